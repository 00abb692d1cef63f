// The keyword dialog's twin: the dialog's refusals as "error: " lines with
// exit 1, and what new, edit, show and delete leave in the table.
#include <gtest/gtest.h>

#include "config/ini.h"
#include "support/scratch.h"

using ovr::test::run_program;
using ovr::test::RunResult;
using ovr::test::ScratchDir;

namespace {

class KeywordTwin : public ::testing::Test {
protected:
    RunResult ctl(const std::vector<std::string>& args) { return run_program("ovrinsmsctl", args, env); }
    std::string rirer() const { return d.file("data/RIRER.INI"); }
    ScratchDir d;
    std::map<std::string, std::string> env{{"OVRINSMS_DATA_DIR", d.file("data/")},
                                           {"OVRINSMS_PRIVATE_DIR", d.file("private/")},
                                           {"OVRINSMS_PROGRAM_DIR", d.path()},
                                           {"OVRINSMS_PLATFORM", "sim"},
                                           {"OVRINSMS_SIM_ROOT", d.file("sim/")}};
};

}  // namespace

TEST_F(KeywordTwin, RefusalsAreOneErrorLineWithExitOne) {
    RunResult r = ctl({"keywords", "new", "INFO", "--run", "notepad"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "error: Cannot locate program file:  notepad.EXE  Please specify an http://url, or a valid executable "
              "file name.\n");
    r = ctl({"keywords", "new", "INFO", "--reply-text", "a\nb"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ovr::config::ini::read_string(rirer(), "2Way-Keyword-INFO", "ReplyText"), "a\\nb");
    r = ctl({"keywords", "new", "INFO", "--reply-text", "again"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: Keyword already exists\n");
    r = ctl({"keywords", "new", "X", "--run", "http://x", "--no-run"});
    EXPECT_EQ(r.status, 2);
    r = ctl({"keywords", "edit", "MISSING", "--run", "http://x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: \"MISSING\" is not in the table\n");
}

TEST_F(KeywordTwin, EditShowAndDeleteWorkOnTheSameEntry) {
    ASSERT_EQ(ctl({"keywords", "new", "INFO##123", "--mail-to", "a@b.c"}).status, 0);
    RunResult r = ctl({"keywords", "edit", "info##123", "--keyword", "NEWS", "--run", "https://x/?q=@@SMS@@",
                       "--run-response", "--no-mail-to"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = ctl({"keywords", "show", "NEWS##123"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "entry: NEWS##123\nkeyword: NEWS\nnumbers: 123\nreply-text: \nreply-file: \nrun: https://x/?q=@@SMS@@\n"
              "run-response: yes\nmail-to: \ndlist-add: \ndlist-remove: \n");
    r = ctl({"keywords", "show", "NEWS##123", "--json"});
    EXPECT_NE(r.out.find("\"run-response\": \"yes\""), std::string::npos);
    EXPECT_EQ(ctl({"keywords", "list"}).out, "NEWS##123\tRun=https://x/?q=@@SMS@@\tRunSendResponse=Yes\n");
    ASSERT_EQ(ctl({"keywords", "delete", "NEWS##123"}).status, 0);
    EXPECT_EQ(ovr::config::ini::read_section_names(rirer()), std::vector<std::string>{"2Way-Keywords"});
}
