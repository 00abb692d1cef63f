#!/usr/bin/env python3
"""Writes the command-line twin's reference from its own command table, as
its help shows it: the manual page ovrinsmsctl.1, the manual's chapter
cli.html and the bash completion script.

usage: cli_docs.py OVRINSMSCTL OUTPUT_DIR
"""
import html
import os
import subprocess
import sys


def run(ctl, *args):
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0")
    return subprocess.run([ctl, *args], check=True, capture_output=True, text=True, env=env).stdout


def commands(top_help):
    """(group, [command, ...]) in the order of "ovrinsmsctl help"."""
    groups = []
    inside = False
    for line in top_help.splitlines():
        if line == "Commands:":
            inside = True
            continue
        if inside and not line.strip():
            break
        if not inside:
            continue
        if line.startswith("    "):
            groups[-1][1].append(line.split()[0])
        elif line.startswith("  "):
            groups.append((line.split()[0], []))
    return groups


def roff(text):
    out = []
    for line in text.splitlines():
        line = line.replace("\\", "\\e")
        if line.startswith((".", "'")):
            line = "\\&" + line
        out.append(line)
    return "\n".join(out)


def main():
    ctl, outdir = sys.argv[1], sys.argv[2]
    os.makedirs(outdir, exist_ok=True)
    top = run(ctl, "help")
    version = run(ctl, "--version").split()[-1]
    groups = commands(top)
    sections = []  # (title, help text)
    for group, cmds in groups:
        sections.append((group, run(ctl, "help", group)))
        for c in cmds:
            sections.append((group + " " + c, run(ctl, "help", group, c)))

    man = [".TH OVRINSMSCTL 1 \"\" \"ovrinsmsctl " + version + "\" \"User Commands\"",
           ".SH NAME", "ovrinsmsctl \\- command-line twin of the Ovrin SMS/MMS Gateway Lite console",
           ".SH SYNOPSIS", ".B ovrinsmsctl", "\\fIGROUP\\fR [\\fICOMMAND\\fR] [\\fIARGS\\fR] [\\fIOPTIONS\\fR]",
           ".SH DESCRIPTION", ".nf", roff(top), ".fi", ".SH COMMANDS"]
    for title, text in sections:
        man += [".SS " + title, ".nf", roff(text), ".fi"]
    man += [".SH FILES", "/var/lib/ovrinsms/ (program data), /var/lib/ovrinsms/private/ (private data),",
            "/usr/share/ovrinsms/manual/ (the manual)",
            ".SH SEE ALSO", ".BR ovrinsms-console (1)"]
    with open(os.path.join(outdir, "ovrinsmsctl.1"), "w") as f:
        f.write("\n".join(man) + "\n")

    page = ["<!DOCTYPE html>", "<html lang=\"en\"><head><meta charset=\"utf-8\">",
            "<title>ovrinsmsctl reference</title><link rel=\"stylesheet\" href=\"manual.css\"></head><body>",
            "<nav><a href=\"index.html\">Contents</a></nav>",
            "<h1>ovrinsmsctl, the command-line twin</h1>",
            "<p>Every page action of the console can be done and checked from a shell. "
            "This reference is the program's own help, command by command.</p>",
            "<pre>" + html.escape(top) + "</pre>", "<h2>Commands</h2><ul>"]
    for title, _ in sections:
        page.append("<li><a href=\"#" + title.replace(" ", "-") + "\">" + html.escape(title) + "</a></li>")
    page.append("</ul>")
    for title, text in sections:
        page += ["<h3 id=\"" + title.replace(" ", "-") + "\">ovrinsmsctl " + html.escape(title) + "</h3>",
                 "<pre>" + html.escape(text) + "</pre>"]
    page.append("</body></html>")
    with open(os.path.join(outdir, "cli.html"), "w") as f:
        f.write("\n".join(page) + "\n")

    with open(os.path.join(outdir, "ovrinsmsctl.bash-completion"), "w") as f:
        f.write(run(ctl, "completion", "bash"))


if __name__ == "__main__":
    main()
