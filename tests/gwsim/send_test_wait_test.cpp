// `queue send-test --wait` follows a test SMS through the simulated services
// to its line in the daily log, as the Test Message page does.
#include <gtest/gtest.h>

#include "platform/fs.h"
#include "support/scratch.h"

namespace ovr::test {

TEST(SendTestWait, PrintsEachStatusLineAndExitsWithTheResult) {
    ScratchDir dir;
    std::map<std::string, std::string> env{{"OVRINSMS_PLATFORM", "sim"},
                                           {"OVRINSMS_SIM_ROOT", dir.path() + "sim/"},
                                           {"OVRINSMS_DATA_DIR", dir.path() + "data/"},
                                           {"OVRINSMS_PRIVATE_DIR", dir.path() + "private/"}};
    for (const char* d : {"data/", "private/"}) platform::fs::create_directories(dir.path() + d);
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

}  // namespace ovr::test
