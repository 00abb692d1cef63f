// `queue send-test --wait` follows a test SMS through the simulated services
// to its line in the daily log, as the Test Message page does; `queue
// cancel-test` withdraws one as the page's Cancel.
#include <gtest/gtest.h>

#include "platform/fs.h"
#include "support/scratch.h"

namespace ovr::test {
namespace {

// A scratch simulated gateway: its three directories and the environment
// that points the programs at them.
struct SimGateway {
    ScratchDir dir;
    std::map<std::string, std::string> env{{"OVRINSMS_PLATFORM", "sim"},
                                           {"OVRINSMS_SIM_ROOT", dir.path() + "sim/"},
                                           {"OVRINSMS_DATA_DIR", dir.path() + "data/"},
                                           {"OVRINSMS_PRIVATE_DIR", dir.path() + "private/"}};
    SimGateway() {
        for (const char* d : {"data/", "private/"}) platform::fs::create_directories(dir.path() + d);
    }
};

}  // namespace

TEST(SendTestWait, PrintsEachStatusLineAndExitsWithTheResult) {
    SimGateway g;
    auto& env = g.env;
    auto ctl = [&](const std::vector<std::string>& args) { return run_program("ovrinsmsctl", args, env); };
    ASSERT_EQ(run_program("ovrinsms-gwsim", {"ctl", "delay", "50"}, env).status, 0);
    ASSERT_EQ(ctl({"service", "install"}).status, 0);

    auto ok = ctl({"queue", "send-test", "sms", "+15551234", "--wait", "--timeout", "60"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.out.find("Status:  OK -- Message Sent\n"), std::string::npos) << ok.out;
    EXPECT_EQ(ok.out.rfind("queued TEST", 0), 0u);

    ASSERT_EQ(run_program("ovrinsms-gwsim", {"ctl", "fail", "sms", "No network", "1"}, env).status, 0);
    auto failed = ctl({"queue", "send-test", "sms", "+15551234", "--wait", "--timeout", "60"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.out.find("Status:  ERROR\nNo network\n"), std::string::npos) << failed.out;
    EXPECT_EQ(ctl({"queue", "send-test", "sms", "+1", "--wait", "--timeout", "0"}).status, 2);
    ctl({"service", "remove", "--quiet"});
}

TEST(SendTestWait, CancelTestWithdrawsAQueuedTestOrSaysWhyNot) {
    SimGateway g;
    auto& env = g.env;
    auto ctl = [&](const std::vector<std::string>& args) { return run_program("ovrinsmsctl", args, env); };
    // The services hold every test long enough to withdraw it.
    ASSERT_EQ(run_program("ovrinsms-gwsim", {"ctl", "delay", "600000"}, env).status, 0);
    ASSERT_EQ(ctl({"service", "install"}).status, 0);
    std::string queue;  // where the last test went
    auto queued_tag = [&](const char* kind) {
        auto r = ctl({"queue", "send-test", kind, "+15551234"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_GT(r.out.size(), 20u);
        queue = r.out.substr(19, r.out.size() - 20) + "/";  // "queued TEST1A2B in DIR\n"
        return r.out.substr(7, 8);
    };

    std::string sms = queued_tag("sms");
    std::string req = queue + sms + ".REQ";
    ASSERT_TRUE(platform::fs::exists(req));
    std::string lower = "test" + sms.substr(4);
    auto cancelled = ctl({"queue", "cancel-test", "sms", lower});
    EXPECT_EQ(cancelled.status, 0) << cancelled.err;
    EXPECT_EQ(cancelled.out, "cancelled " + sms + "\n");
    EXPECT_FALSE(platform::fs::exists(req));
    auto again = ctl({"queue", "cancel-test", "sms", sms});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find(sms + " is not in the outbound SMS queue"), std::string::npos) << again.err;

    std::string mms = queued_tag("mms");
    ASSERT_TRUE(platform::fs::exists(queue + mms + ".INI"));
    EXPECT_EQ(ctl({"queue", "cancel-test", "mms", mms}).status, 0);
    EXPECT_FALSE(platform::fs::exists(queue + mms + ".MMS"));
    EXPECT_FALSE(platform::fs::exists(queue + mms + ".INI"));

    // A file that cannot be deleted: the services are stopped, it is tried
    // again, they are started again, and the reason is given.
    platform::fs::create_directories(g.dir.path() + "data/Q/TEST0001.REQ");
    auto stuck = ctl({"queue", "cancel-test", "sms", "TEST0001"});
    EXPECT_EQ(stuck.status, 1);
    EXPECT_NE(stuck.err.find("cannot delete " + g.dir.path() + "data/Q/TEST0001.REQ: Is a directory"), std::string::npos)
        << stuck.err;
    EXPECT_EQ(ctl({"status"}).status, 0);  // both services running again
    EXPECT_NE(ctl({"events"}).out.find("The OvrinSMS service has stopped."), std::string::npos);

    for (const char* bad : {"TEST12", "TESTXYZW", "PROD0001"})
        EXPECT_EQ(ctl({"queue", "cancel-test", "sms", bad}).status, 2) << bad;
    ctl({"service", "remove", "--quiet"});
}

}  // namespace ovr::test
