// Keyword editing: command checks, reply files, and saves and removals that
// land whole.
#include "keywords/editing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "config/ini.h"
#include "keywords/table.h"
#include "platform/fs.h"
#include "support/scratch.h"

namespace kw = ovr::keywords;
namespace ini = ovr::config::ini;
using ovr::test::read_text;
using ovr::test::ScratchDir;
using ovr::test::write_text;

namespace {

void make_program(const std::string& path, mode_t mode = 0755) {
    write_text(path, "#!/bin/sh\n");
    ::chmod(path.c_str(), mode);
}

kw::Actions reply(const std::string& text) {
    kw::Actions a;
    a.reply_text = text;
    a.send_reply = true;
    return a;
}

}  // namespace

TEST(KeywordEntry, SplitsAtTheFirstDoubleHash) {
    EXPECT_EQ(kw::split_entry("INFO##12345").keyword, "INFO");
    EXPECT_EQ(kw::split_entry("INFO##12345").numbers, "12345");
    EXPECT_EQ(kw::split_entry("A##B##C").numbers, "B##C");
    EXPECT_EQ(kw::split_entry("INFO").numbers, "");
    EXPECT_EQ(kw::join_entry("INFO", ""), "INFO");
    EXPECT_EQ(kw::join_entry("INFO", "1;2"), "INFO##1;2");
}

TEST(KeywordCommand, UrlsPassUnseenAndProgramsMustBeExecutableFiles) {
    ScratchDir d;
    for (const char* url : {"http://x", "HTTPS://y z", "httppost://anything at all", "httpspost://"})
        EXPECT_FALSE(kw::command_refusal(url)) << url;

    std::string tool = d.file("tool");
    make_program(tool);
    EXPECT_FALSE(kw::command_refusal(tool + " @@SENDER@@ @@SMS@@"));
    // A quoted path with blanks is taken whole; a lone leading quote is ignored.
    std::string spaced = d.file("my tool");
    make_program(spaced);
    EXPECT_FALSE(kw::command_refusal("\"" + spaced + "\" -x"));
    EXPECT_FALSE(kw::command_refusal("\"" + tool + " arg"));

    // Not executable, a directory, or missing: refused, naming the last try.
    std::string plain = d.file("plain");
    make_program(plain, 0644);
    EXPECT_EQ(kw::command_refusal(plain).value_or(""),
              "Cannot locate program file:  " + plain +
                  ".EXE\r\n\r\nPlease specify an http://url, or a valid executable file name.");
    EXPECT_TRUE(kw::command_refusal(d.path().substr(0, d.path().size() - 1)));
    std::string dotted = d.file("missing.sh");
    EXPECT_NE(kw::command_refusal(dotted + " x").value_or("").find("file:  " + dotted + "\r\n"), std::string::npos);

    // The ".EXE" retry finds the program.
    make_program(d.file("legacy.EXE"));
    EXPECT_FALSE(kw::command_refusal(d.file("legacy") + " arg"));
}

TEST(KeywordReplyFile, LooksAsWrittenThenInFilesAndStoresInsideNamesBare) {
    ScratchDir d;
    std::string files = kw::files_directory(d.path());
    EXPECT_EQ(files, d.path() + "FILES");
    ovr::platform::fs::create_directories(files);
    write_text(files + "/logo.png", "x");
    write_text(d.file("elsewhere.png"), "x");
    EXPECT_EQ(kw::locate_reply_file("logo.png", files).value_or(""), files + "/logo.png");
    EXPECT_EQ(kw::locate_reply_file(d.file("elsewhere.png"), files).value_or(""), d.file("elsewhere.png"));
    EXPECT_FALSE(kw::locate_reply_file("nothing.png", files));
    EXPECT_FALSE(kw::locate_reply_file("", files));

    EXPECT_EQ(kw::stored_reply_file(files + "/logo.png", files), "logo.png");
    EXPECT_EQ(kw::stored_reply_file(files + "/sub/a.gif", files), "sub/a.gif");
    // Case matters on this file system: "files" is another directory.
    EXPECT_EQ(kw::stored_reply_file(d.path() + "files/logo.png", files), d.path() + "files/logo.png");
    EXPECT_EQ(kw::stored_reply_file(files + "X/logo.png", files), files + "X/logo.png");
}

TEST(KeywordSave, AddWritesSectionThenEntryAndRefusesADuplicate) {
    ScratchDir d;
    std::string f = d.file("RIRER.INI");
    ASSERT_EQ(kw::save_entry(f, "", "INFO", reply("a\nb")), kw::SaveOutcome::Saved);
    EXPECT_EQ(read_text(f), "[2Way-Keyword-INFO]\nReplyText=a\\nb\n[2Way-Keywords]\nKeyword1=INFO\n");
    // Typed backslashes stay as they are: "\n" typed returns as a line break.
    EXPECT_EQ(kw::load_actions(ini::snapshot(f), "info").reply_text, "a\nb");

    const std::string before = read_text(f);
    EXPECT_EQ(kw::save_entry(f, "", "info", reply("other")), kw::SaveOutcome::AlreadyExists);
    EXPECT_EQ(kw::save_entry(f, "", "NEWS", reply("n")), kw::SaveOutcome::Saved);
    EXPECT_EQ(kw::save_entry(f, "NEWS", "Info", reply("other")), kw::SaveOutcome::AlreadyExists);
    EXPECT_EQ(kw::load_actions(ini::snapshot(f), "INFO").reply_text, "a\nb");
}

TEST(KeywordSave, RenameMovesTheSectionOnlyWhenNothingElseNamesIt) {
    ScratchDir d;
    std::string f = d.file("RIRER.INI");
    write_text(f,
               "[2Way-Keywords]\nKeyword1=INFO\nKeyword2=STOP\nKeyword3=INFO\n"
               "[2Way-Keyword-INFO]\nReplyText=old\nMailTo=a@b\n[2Way-Keyword-STOP]\nDListRemove=all\n");
    kw::Actions a = kw::load_actions(ini::snapshot(f), "INFO");
    EXPECT_TRUE(a.forward && a.send_reply && !a.run_command);
    a.forward = false;  // turned off: its key goes, its text is kept by the dialog only

    // INFO is named twice: the duplicate keeps the old section.
    ASSERT_EQ(kw::save_entry(f, "INFO", "NEWS", a), kw::SaveOutcome::Saved);
    EXPECT_EQ(kw::enumerate(f), (std::vector<std::string>{"NEWS", "STOP", "INFO"}));
    EXPECT_EQ(ini::read_string(f, "2Way-Keyword-NEWS", "ReplyText"), "old");
    EXPECT_FALSE(ini::read_value(f, "2Way-Keyword-NEWS", "MailTo"));
    EXPECT_EQ(ini::read_string(f, "2Way-Keyword-INFO", "MailTo"), "a@b");

    // The last INFO renamed: now its section goes.
    ASSERT_EQ(kw::save_entry(f, "INFO", "HELP", reply("h")), kw::SaveOutcome::Saved);
    EXPECT_EQ(kw::enumerate(f), (std::vector<std::string>{"NEWS", "STOP", "HELP"}));
    EXPECT_EQ(ini::read_section_names(f),
              (std::vector<std::string>{"2Way-Keywords", "2Way-Keyword-STOP", "2Way-Keyword-NEWS",
                                        "2Way-Keyword-HELP"}));

    // Only the case changed: the table and the section stay.
    ASSERT_EQ(kw::save_entry(f, "help", "Help", reply("h2")), kw::SaveOutcome::Saved);
    EXPECT_EQ(kw::enumerate(f), (std::vector<std::string>{"NEWS", "STOP", "HELP"}));
    EXPECT_EQ(ini::read_string(f, "2Way-Keyword-HELP", "ReplyText"), "h2");
}

TEST(KeywordSave, AnEntryThatVanishedIsAddedBackAndItsOldSectionDropped) {
    ScratchDir d;
    std::string f = d.file("RIRER.INI");
    write_text(f, "[2Way-Keywords]\nKeyword1=STOP\n[2Way-Keyword-GONE]\nRun=http://x\n");
    ASSERT_EQ(kw::save_entry(f, "GONE", "BACK", reply("r")), kw::SaveOutcome::Saved);
    EXPECT_EQ(kw::enumerate(f), (std::vector<std::string>{"STOP", "BACK"}));
    EXPECT_FALSE(ini::read_value(f, "2Way-Keyword-GONE", "Run"));
}

TEST(KeywordSave, AFailedWriteReportsAndLeavesTheFile) {
    ScratchDir d;
    // A file that cannot be read is never replaced: a directory in its place.
    std::string f = d.file("RIRER.INI");
    ASSERT_TRUE(ovr::platform::fs::create_directories(f));
    EXPECT_EQ(kw::save_entry(f, "", "INFO", reply("x")), kw::SaveOutcome::WriteFailed);
    EXPECT_FALSE(kw::remove_entry(f, "STOP"));
    EXPECT_EQ(kw::save_entry(d.file("gone/RIRER.INI"), "", "INFO", reply("x")), kw::SaveOutcome::WriteFailed);
}

TEST(KeywordRemove, TakesTheRowThenTheSectionUnlessADuplicateNamesIt) {
    ScratchDir d;
    std::string f = d.file("RIRER.INI");
    write_text(f,
               "[2Way-Keywords]\nKeyword1=A\nKeyword2=B\nKeyword3=A\nKeyword4=C\n"
               "[2Way-Keyword-A]\nRun=http://a\n[2Way-Keyword-B]\nRun=http://b\n");
    ASSERT_TRUE(kw::remove_entry(f, "a"));
    EXPECT_EQ(kw::enumerate(f), (std::vector<std::string>{"B", "A", "C"}));
    EXPECT_TRUE(ini::read_value(f, "2Way-Keyword-A", "Run"));
    ASSERT_TRUE(kw::remove_entry(f, "A"));
    EXPECT_FALSE(ini::read_value(f, "2Way-Keyword-A", "Run"));
    ASSERT_TRUE(kw::remove_entry(f, "B"));
    EXPECT_EQ(read_text(f), "[2Way-Keywords]\nKeyword1=C\n");
    EXPECT_FALSE(kw::remove_entry(f, "B"));
}
