// ovrinsmsctl completion bash|zsh: the shell completion script, written from
// the command table so that completion and help cannot drift apart.
#include <ostream>
#include <string>

#include "cli/cli.h"
#include "cli/synopsis.h"

namespace ovr::cli {
namespace {

// What the script offers for one positional word or option value: "-"
// nothing, "@file" file names, "@ini" file names and the named INI files,
// else the choices joined by "|".
std::string offer_code(const Group& g, const Slot& s) {
    if (!s.choices.empty()) return s.word;
    if (s.word == "FILE") return std::string(g.name) == "config" ? "@ini" : "@file";
    if (s.word == "PATH" || s.word == "DIR") return "@file";
    return "-";
}

std::string key_of(const Group& g, const Command& c) { return std::string(g.name) + "/" + c.name; }

void write_tables(std::ostream& os) {
    std::string group_words;
    os << "    local -A commands=(";
    for (const Group& g : groups()) {
        if (g.hidden) continue;
        group_words += std::string(group_words.empty() ? "" : " ") + g.name;
        std::string names;
        for (const Command& c : g.commands) names += std::string(names.empty() ? "" : " ") + c.name;
        os << " [" << g.name << "]=\"" << names << "\"";
    }
    os << " )\n    local -A options=(";
    for (const Group& g : groups()) {
        if (g.hidden) continue;
        for (const Command& c : g.commands) {
            std::string all, valued;
            for (const Option& o : c.options) {
                all += std::string(" ") + o.name;
                if (o.value) valued += std::string(" ") + o.name;
            }
            os << " [" << key_of(g, c) << "]=\"" << all << " --help\" [" << key_of(g, c) << "=]=\"" << valued
               << " \"";
            for (const Option& o : c.options)
                if (o.value) os << " [" << key_of(g, c) << o.name << "]=\"" << offer_code(g, parse_slot(o.value)) << "\"";
        }
    }
    os << " )\n    local -A slots=(";
    for (const Group& g : groups()) {
        if (g.hidden) continue;
        for (const Command& c : g.commands) {
            std::string codes;
            for (const Slot& s : parse_synopsis(c.synopsis))
                codes += (codes.empty() ? "" : " ") + offer_code(g, s) + (s.repeat ? "..." : "");
            os << " [" << key_of(g, c) << "]=\"" << codes << "\"";
        }
    }
    os << " )\n    local groups=\"" << group_words << "\"\n";
}

// The walk over the words before the cursor: group, command, positional
// count, and whether the cursor is on an option's value. The words come from
// COMP_LINE split at blanks, since bash's own COMP_WORDS also splits at "="
// and ":" ("--size=3", "COM7:").
constexpr const char* kScriptBody = R"(    local line=${COMP_LINE:0:COMP_POINT} group= key= n=0 i w skip= ddash=
    local -a words
    read -ra words <<< "$line"
    [[ -z $line || $line == *[[:blank:]] ]] && words+=("")
    local last=$((${#words[@]} - 1)) cur=${words[-1]}
    for ((i = 1; i < last; i++)); do
        w=${words[i]}
        if [[ -n $skip ]]; then skip=; continue; fi
        if [[ -z $group ]]; then
            group=$w
            [[ -n ${commands[$group]+x} && -z ${commands[$group]} ]] && key="$group/"
            continue
        fi
        if [[ $group == help ]]; then n=$((n + 1)); continue; fi
        if [[ -z $key ]]; then key="$group/$w"; continue; fi
        if [[ -z $ddash && $w == -- ]]; then ddash=1; continue; fi
        if [[ -z $ddash && $w == --* ]]; then
            [[ $w != *=* && ${options[$key=]} == *" $w "* ]] && skip=$w
            continue
        fi
        n=$((n + 1))
    done
    local code= prefix=
    COMPREPLY=()
    if [[ -n $skip ]]; then
        code=${options[$key$skip]}
    elif [[ -z $group ]]; then
        COMPREPLY=($(compgen -W "$groups help --help --version" -- "$cur")); return
    elif [[ $group == help ]]; then
        if ((n == 0)); then COMPREPLY=($(compgen -W "$groups" -- "$cur"))
        elif ((n == 1)); then COMPREPLY=($(compgen -W "${commands[${words[2]}]}" -- "$cur")); fi
        return
    elif [[ -z ${commands[$group]+x} ]]; then
        return
    elif [[ -z $key ]]; then
        COMPREPLY=($(compgen -W "${commands[$group]} --help" -- "$cur")); return
    elif [[ -z $ddash && $cur == --*=* ]]; then
        code=${options[$key${cur%%=*}]}
        # bash replaces only the part after "=" when "=" breaks words.
        [[ ${COMP_WORDS[COMP_CWORD]} == "$cur" ]] && prefix="${cur%%=*}="
        cur=${cur#*=}
    elif [[ -z $ddash && $cur == -* ]]; then
        COMPREPLY=($(compgen -W "${options[$key]}" -- "$cur")); return
    else
        local -a spec=(${slots[$key]})
        code=${spec[n]}
        if [[ -z $code && ${#spec[@]} -gt 0 && ${spec[-1]} == *... ]]; then code=${spec[-1]}; fi
        code=${code%...}
    fi
    case $code in
        ''|-) ;;
        @file) COMPREPLY=($(compgen -f -- "$cur")) ;;
        @ini) COMPREPLY=($(compgen -W "__INI_NAMES__" -- "$cur") $(compgen -f -- "$cur")) ;;
        *) COMPREPLY=($(compgen -P "$prefix" -W "${code//|/ }" -- "$cur")) ;;
    esac
}
complete -o filenames -F _ovrinsmsctl ovrinsmsctl
)";

int run(Context& ctx, const Invocation& inv) {
    if (inv.arg(0) == "zsh") ctx.out << "autoload -U +X bashcompinit && bashcompinit\n";
    ctx.out << "# " << inv.arg(0) << " completion for ovrinsmsctl, written by \"ovrinsmsctl completion "
            << inv.arg(0) << "\".\n_ovrinsmsctl() {\n";
    write_tables(ctx.out);
    std::string body = kScriptBody;
    std::string names;
    for (const char* n : kNamedIniFiles) names += std::string(names.empty() ? "" : " ") + n;
    body.replace(body.find("__INI_NAMES__"), 13, names);
    ctx.out << body;
    return 0;
}

Registrar reg({"completion", "shell completion",
               {{"", "bash|zsh", "print the completion script for bash or zsh", {}, &run,
                 "Load it with: source <(ovrinsmsctl completion bash)\n"
                 "or install it as /usr/share/bash-completion/completions/ovrinsmsctl.\n"}}});

}  // namespace
}  // namespace ovr::cli
