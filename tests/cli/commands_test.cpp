// The manners of the command groups beyond config: what send-test says, the
// exit codes scripts and monitoring rely on, refused entries, and --json on
// every listing giving one JSON document.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "support/scratch.h"

using ovr::test::run_program;
using ovr::test::RunResult;
using ovr::test::ScratchDir;
using ovr::test::write_text;

namespace {

class Commands : public ::testing::Test {
protected:
    RunResult ctl(const std::vector<std::string>& args) { return run_program("ovrinsmsctl", args, env); }
    // True when python's json module reads the text as one document.
    bool parses_as_json(const std::string& text) {
        return run_program("/usr/bin/python3", {"-c", "import json, sys; json.load(sys.stdin)"}, {}, text).status == 0;
    }
    ScratchDir d;
    std::map<std::string, std::string> env{{"OVRINSMS_DATA_DIR", d.file("data/")},
                                           {"OVRINSMS_PRIVATE_DIR", d.file("private/")},
                                           {"OVRINSMS_PROGRAM_DIR", d.path()},
                                           {"OVRINSMS_PLATFORM", "sim"},
                                           {"OVRINSMS_SIM_ROOT", d.file("sim/")}};
};

TEST_F(Commands, SendTestSaysWhatItQueuedAndWhere) {
    RunResult r = ctl({"queue", "send-test", "sms", "+15551234"});
    ASSERT_EQ(r.status, 0) << r.err;   // the data directory did not exist: it is made
    ASSERT_EQ(r.out.size(), std::string("queued TEST0000 in ").size() + d.file("data/Q").size() + 1) << r.out;
    EXPECT_EQ(r.out.rfind("queued TEST", 0), 0u);
    EXPECT_EQ(r.out.substr(15), " in " + d.file("data/Q") + "\n");
    EXPECT_EQ(access((d.file("data/Q/") + r.out.substr(7, 8) + ".REQ").c_str(), F_OK), 0);

    r = ctl({"queue", "send-test", "mms", "+15551234"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ovrinsmsctl: MMS test template not found: " + d.path() + "MMSTEST.MMS\n");
    r = ctl({"queue", "send-test", "sms", "555-1234"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("ovrinsmsctl: the phone number is an optional \"+\" and digits only, not \"555-1234\"\n", 0), 0u);
}

TEST_F(Commands, TheShippedTemplateMakesATestMms) {
    std::string shipped = ovr::test::bin_path("MMSTEST.MMS");
    if (access(shipped.c_str(), R_OK) != 0) GTEST_SKIP() << "no MMSTEST.MMS beside the programs";
    env["OVRINSMS_PROGRAM_DIR"] = ovr::test::bin_path("");
    RunResult r = ctl({"queue", "send-test", "mms", "+15551234"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(15), " in " + d.file("data/VASPQ") + "\n");
    EXPECT_EQ(ctl({"queue", "count", "mms"}).out, "1\n");
}

TEST_F(Commands, ExitCodesForMonitoring) {
    RunResult r = ctl({"modem", "list"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ovrinsmsctl: no modems found\n");
    EXPECT_EQ(ctl({"modem", "list", "--json"}).out, "[]\n");

    // Like "systemctl is-active": 3 while a service is not running, the texts
    // printed all the same.
    r = ctl({"status"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out.rfind("Service status [red]:\n  Service is NOT Installed\n", 0), 0u) << r.out;
    EXPECT_EQ(ctl({"status", "--json"}).status, 3);
}

// The Status page's modem field, as text: the service not active, each
// modem's error, or nothing to report, said so rather than left blank.
TEST_F(Commands, StatusShowsTheModemInformationOfThePage) {
    auto modem_lines = [&] {
        std::string out = ctl({"status"}).out;
        size_t at = out.find("Modem information");
        size_t end = out.find("  Today");
        return at == std::string::npos ? out : out.substr(at, out.rfind('\n', end) + 1 - at);
    };
    ASSERT_EQ(ctl({"config", "set", "RIRER", "RIRER", "Modem1", "COM7:"}).status, 0);
    EXPECT_EQ(modem_lines(), "Modem information [red]:\n  Service is NOT active\n");
    ASSERT_EQ(ctl({"service", "install", "--quiet"}).status, 0);
    struct Removed {
        std::map<std::string, std::string>& env;
        ~Removed() { run_program("ovrinsmsctl", {"service", "remove", "--quiet"}, env); }
    } removed{env};
    EXPECT_EQ(modem_lines(), "Modem information:\n  (no modem errors)\n");
    RunResult r = run_program("ovrinsms-gwsim", {"ctl", "modem-error", "COM7:", "Modem not responding"}, env);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(modem_lines(), "Modem information [red]:\n  COM7: : Modem not responding\n");
    EXPECT_NE(ctl({"status", "--json"}).out.find(
                  "\"modem_information\": {\"text\": \"COM7: : Modem not responding\\r\\n\", \"red\": true}"),
              std::string::npos);
}

TEST_F(Commands, KeywordEntriesThatWouldBreakTheFileAreRefused) {
    RunResult r = ctl({"keywords", "add", "A\nB"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "ovrinsmsctl: the entry must not contain a line break");
    r = ctl({"keywords", "add", "X]Y"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "ovrinsmsctl: the entry's section name must not contain \"]\"");
    ASSERT_EQ(ctl({"keywords", "add", "INFO##+1555"}).status, 0);
    EXPECT_EQ(ctl({"keywords", "list", "--json"}).out, "[{\"entry\": \"INFO##+1555\", \"actions\": {}}]\n");
}

TEST_F(Commands, AFailedKeywordWriteIsNotAMissingEntry) {
    ASSERT_EQ(ctl({"keywords", "add", "INFO"}).status, 0);
    // An old line still to convert, for the migration.
    write_text(d.file("data/RIRER.INI"), "[RIRER]\nReceiveSMSCommand1=OLD\treplytext:x\n[2Way-Keywords]\nKeyword1=INFO\n");
    // A directory where the writers' lock file goes: every write is refused,
    // even for root.
    unlink(d.file("data/.RIRER.INI.lock").c_str());
    ASSERT_EQ(mkdir(d.file("data/.RIRER.INI.lock").c_str(), 0755), 0);
    const std::string cannot = "ovrinsmsctl: cannot write " + d.file("data/RIRER.INI") + ": ";
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"keywords", "rename", "info", "NEWS"}, {"keywords", "remove", "INFO"},
          {"keywords", "migrate"}}) {
        RunResult r = ctl(words);
        EXPECT_EQ(r.status, 1) << words[1];
        EXPECT_EQ(r.err.rfind(cannot, 0), 0u) << r.err;
    }
    RunResult r = ctl({"keywords", "rename", "NEWS", "INFO2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ovrinsmsctl: \"NEWS\" is not in the table\n");
    EXPECT_EQ(ctl({"keywords", "remove", "NEWS"}).err, "ovrinsmsctl: \"NEWS\" is not in the table\n");
    ASSERT_EQ(rmdir(d.file("data/.RIRER.INI.lock").c_str()), 0);
    EXPECT_EQ(ctl({"keywords", "rename", "info", "NEWS"}).status, 0);
    EXPECT_EQ(ctl({"keywords", "list"}).out, "NEWS\n");
}

TEST_F(Commands, EveryListingHasOneJsonDocument) {
    ASSERT_EQ(ctl({"config", "set", "RIRER", "RIRER", "Modem1", "COM7:"}).status, 0);
    ASSERT_EQ(ctl({"keywords", "add", "INFO"}).status, 0);
    ASSERT_EQ(ctl({"config", "set", "RIRER", "2Way-Keyword-INFO", "ReplyText", "Tab\there \"quoted\" \xC3\xA9 \xFF"}).status, 0);
    ASSERT_EQ(ctl({"queue", "send-test", "sms", "+1555"}).status, 0);
    const std::vector<std::vector<std::string>> listings = {
        {"config", "sections", "RIRER", "--json"},
        {"config", "keys", "RIRER", "RIRER", "--json"},
        {"config", "section", "RIRER", "2Way-Keyword-INFO", "--json"},
        {"counters", "--json"},
        {"events", "--json"},
        {"keywords", "list", "--json"},
        {"modem", "list", "--json"},
        {"queue", "list", "outbound-sms", "--json"},
        {"queue", "list", "received-mms", "--json"},
        {"service", "status", "--json"},
        {"status", "--json"},
    };
    for (const auto& words : listings) {
        RunResult r = ctl(words);
        EXPECT_LE(r.status, 3) << words[0];
        EXPECT_TRUE(parses_as_json(r.out)) << words[0] << " " << words[1] << "\n" << r.out;
    }
    // users list reads the account file of the data directory.
    write_text(d.file("data/SMSUSERS.DAT"), "");
    RunResult r = ctl({"users", "list", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "[]\n");
}

}  // namespace
