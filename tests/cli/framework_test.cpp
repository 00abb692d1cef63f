// The command table behind ovrinsmsctl: help at every level, --version, and
// usage errors with their reason, all from the real executable.
#include <gtest/gtest.h>

#include "support/scratch.h"

using ovr::test::run_program;
using ovr::test::RunResult;
using ovr::test::ScratchDir;

namespace {

class CliFramework : public ::testing::Test {
protected:
    RunResult ctl(const std::vector<std::string>& args) {
        return run_program("ovrinsmsctl", args,
                           {{"OVRINSMS_DATA_DIR", dir.path()}, {"OVRINSMS_PRIVATE_DIR", dir.file("private/")},
                            {"OVRINSMS_PROGRAM_DIR", dir.path()}, {"OVRINSMS_PLATFORM", "sim"},
                            {"OVRINSMS_SIM_ROOT", dir.file("sim/")}});
    }
    bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
    ScratchDir dir;
};

TEST_F(CliFramework, HelpListsEveryVisibleCommandOnce) {
    for (const auto& words : std::vector<std::vector<std::string>>{{"help"}, {"--help"}, {"-h"}}) {
        RunResult r = ctl(words);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        for (const char* line : {"  config ", "    get ", "    send-test ", "  status ", "  users "})
            EXPECT_TRUE(contains(r.out, line)) << line;
        EXPECT_FALSE(contains(r.out, "/INSTALLSERVICE"));
    }
}

TEST_F(CliFramework, GroupHelpShowsOnlyThatGroup) {
    RunResult a = ctl({"help", "queue"});
    RunResult b = ctl({"queue", "--help"});
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(b.status, 0);
    EXPECT_EQ(a.out, b.out);
    EXPECT_TRUE(contains(a.out, "usage: ovrinsmsctl queue COMMAND"));
    EXPECT_TRUE(contains(a.out, "  send-test sms|mms NUMBER [--wait] [--timeout S]\n"));
    EXPECT_FALSE(contains(a.out, "config"));
    // A group that is one command shows that command's usage.
    EXPECT_TRUE(contains(ctl({"status", "-h"}).out, "usage: ovrinsmsctl status [--json]\n"));
}

TEST_F(CliFramework, HelpIsNeverTakenAsAnArgument) {
    // Without the table this opened a modem called "--help".
    for (const auto& words : std::vector<std::vector<std::string>>{
             {"modem", "test", "--help"}, {"modem", "test", "COM7:", "-h"}, {"help", "modem", "test"},
             {"modem", "test", "--pin-stdin", "--help"}}) {
        RunResult r = ctl(words);
        EXPECT_EQ(r.status, 0) << words.back();
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(contains(r.out, "usage: ovrinsmsctl modem test NAME [--pin-stdin] [--transcript]\n")) << r.out;
        EXPECT_TRUE(contains(r.out, "--transcript  print the AT dialogue"));
    }
    // After "--" it is a plain word again.
    std::string ini = dir.file("x.ini");
    EXPECT_EQ(ctl({"config", "set", ini, "S", "k", "--", "--help"}).status, 0);
    EXPECT_EQ(ctl({"config", "get", ini, "S", "k"}).out, "--help\n");
}

TEST_F(CliFramework, Version) {
    RunResult r = ctl({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("ovrinsmsctl ", 0), 0u);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
    EXPECT_EQ(ctl({"--version", "x"}).status, 2);
}

TEST_F(CliFramework, BadUsageNamesTheReasonAndTheUsage) {
    struct Case {
        std::vector<std::string> words;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command \"frobnicate\""},
        {{"--frob"}, "unknown option \"--frob\""},
        {{"config"}, "config needs a command"},
        {{"config", "fetch"}, "unknown config command \"fetch\""},
        {{"config", "get", "RIRER", "S"}, "missing KEY"},
        {{"config", "get", "RIRER", "S", "k", "extra"}, "unexpected argument \"extra\""},
        {{"config", "get", "RIRER", "S", "k", "--size"}, "--size needs a value (N)"},
        {{"config", "get", "RIRER", "S", "k", "--frob"}, "unknown option \"--frob\""},
        {{"config", "set", "RIRER", "S", "k", "v", "--size", "3"}, "unknown option \"--size\""},
        {{"status", "--json=yes"}, "--json takes no value"},
        {{"queue", "count", "fax"}, "\"fax\" is not one of sms or mms"},
        {{"help", "nothing"}, "no command group \"nothing\""},
        {{"help", "config", "fetch"}, "no command \"fetch\" in config"},
    };
    for (const Case& c : cases) {
        RunResult r = ctl(c.words);
        EXPECT_EQ(r.status, 2) << c.reason;
        EXPECT_EQ(r.out, "") << c.reason;
        EXPECT_EQ(r.err.rfind("ovrinsmsctl: " + c.reason + "\n", 0), 0u) << r.err;
    }
    // A command's error ends with its usage line.
    EXPECT_TRUE(contains(ctl({"config", "get", "RIRER"}).err,
                         "\nusage: ovrinsmsctl config get FILE SECTION KEY [--default TEXT] [--size N]\n"));
}

TEST_F(CliFramework, OptionsGoAnywhereAndTakeEitherForm) {
    std::string ini = dir.file("x.ini");
    ASSERT_EQ(ctl({"config", "set", ini, "S", "k", "abcdef"}).status, 0);
    EXPECT_EQ(ctl({"config", "get", "--size", "4", ini, "S", "k"}).out, "abc\n");
    EXPECT_EQ(ctl({"config", "get", ini, "S", "k", "--size=3"}).out, "ab\n");
    // The last of a repeated option counts; "-5" is a value, not an option.
    EXPECT_EQ(ctl({"config", "get", ini, "S", "k", "--size=3", "--size", "5"}).out, "abcd\n");
    EXPECT_EQ(ctl({"config", "set", ini, "S", "n", "-5"}).status, 0);
    EXPECT_EQ(ctl({"config", "get", ini, "S", "n"}).out, "-5\n");
}

}  // namespace
