// The console's command-line twin driving the gateway simulator through the
// simulated service manager: real programs, real processes.
#include <gtest/gtest.h>

#include <memory>

#include "platform/fs.h"
#include "platform/platform.h"
#include "service/control.h"
#include "service/status.h"
#include "support/scratch.h"

namespace ovr::test {
namespace {

struct SimEnv {
    ScratchDir dir;
    std::map<std::string, std::string> env{{"OVRINSMS_PLATFORM", "sim"},
                                           {"OVRINSMS_SIM_ROOT", dir.path() + "sim/"},
                                           {"OVRINSMS_DATA_DIR", dir.path() + "data/"},
                                           {"OVRINSMS_PRIVATE_DIR", dir.path() + "private/"}};
    SimEnv() {
        platform::fs::create_directories(dir.path() + "data/");
        platform::fs::create_directories(dir.path() + "private/");
    }
    ~SimEnv() {
        // Never leave a simulated service behind.
        ctl({"service", "remove", "--quiet"});
    }
    RunResult ctl(const std::vector<std::string>& args) { return run_program("ovrinsmsctl", args, env); }
    RunResult gwsim(const std::vector<std::string>& args) { return run_program("ovrinsms-gwsim", args, env); }
    std::string status_line() {
        RunResult r = ctl({"status", "--json"});
        return r.out;
    }
};

TEST(EndToEnd, InstallWatchAPortConflictAndRemove) {
    SimEnv s;
    RunResult r = s.ctl({"service", "install"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "information: Service successfully installed!\n");
    EXPECT_EQ(s.ctl({"service", "status", "--json"}).out,
              "{\"OvrinSMS\": {\"installed\": true, \"running\": true}, "
              "\"OvrinMMSC\": {\"installed\": true, \"running\": true}}\n");
    EXPECT_EQ(s.ctl({"status"}).out.rfind("Service status:\n  Service is Active\nModem information:\n", 0), 0u);

    ASSERT_EQ(s.gwsim({"ctl", "port-conflict", "sms-web", "on"}).status, 0);
    EXPECT_EQ(s.ctl({"status"}).out.rfind("Service status [red]:\n  ERROR:  Web Port already in use\n", 0), 0u);

    ASSERT_EQ(s.gwsim({"ctl", "modem-error", "COM1:", "No answer"}).status, 0);
    ASSERT_EQ(s.ctl({"config", "set", "RIRER", "RIRER", "Modem1", "COM1:"}).status, 0);
    EXPECT_NE(s.ctl({"status"}).out.find("Modem information [red]:\n  COM1: : No answer\n"), std::string::npos);

    r = s.ctl({"service", "remove"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "information: Service successfully removed!\n");
    EXPECT_EQ(s.ctl({"service", "status"}).out, "OvrinSMS: not installed\nOvrinMMSC: not installed\n");
    // The services wrote their start and stop into the event log, both under
    // the source the viewer lists.
    std::string log = read_text(s.dir.path() + "sim/eventlog/Application.log");
    EXPECT_NE(log.find("OvrinSMS\tThe OvrinSMS service has stopped."), std::string::npos);
    EXPECT_NE(log.find("OvrinSMS\tThe OvrinMMSC service has stopped."), std::string::npos);
}

TEST(EndToEnd, StopStartAndRightsThroughTheSwitches) {
    SimEnv s;
    ASSERT_EQ(s.ctl({"/INSTALLSERVICE"}).status, 0);
    ASSERT_EQ(s.ctl({"service", "stop"}).status, 0);
    EXPECT_EQ(s.ctl({"service", "status"}).out, "OvrinSMS: installed, not running\nOvrinMMSC: installed, not running\n");
    ASSERT_EQ(s.ctl({"/STARTSERVICE"}).status, 0);
    EXPECT_EQ(s.ctl({"service", "status"}).out, "OvrinSMS: installed, running\nOvrinMMSC: installed, running\n");

    ASSERT_EQ(s.gwsim({"ctl", "rights", "off"}).status, 0);
    RunResult r = s.ctl({"service", "remove"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "error: Administrator rights are required for service installation or modification.\n"
              "message: Administrator rights are required for service modification.\n"
              "error: Service removal failed!\n");
    EXPECT_EQ(s.ctl({"service", "status"}).out, "OvrinSMS: installed, running\nOvrinMMSC: installed, running\n");
    ASSERT_EQ(s.gwsim({"ctl", "rights", "on"}).status, 0);
}

TEST(EndToEnd, ThePageRelaunchesTheConsoleElevated) {
    SimEnv s;
    // What a page does without rights: ask, then run an elevated copy of the
    // console with the switch and wait for it (on the real clock: the copy
    // is a real process).
    std::string root = s.dir.path() + "sim/";
    auto clock = std::make_shared<platform::SystemClock>();
    platform::Platform p = platform::make_sim_platform(root, clock);
    p.elevation = platform::make_sim_elevation(root, clock, bin_path("ovrinsmsctl"));
    platform::sim::set_rights(root, false);
    for (auto& [k, v] : s.env) setenv(k.c_str(), v.c_str(), 1);
    ScriptedUi ui;
    ui.script({Answer::Yes, Answer::Yes});
    service::ServiceControl control(p, ui, std::string(OVR_BIN_DIR) + "/");
    EXPECT_TRUE(control.install_and_start(false));
    EXPECT_TRUE(service::sms_service_running(p));
    EXPECT_TRUE(control.remove(false));
    EXPECT_FALSE(service::mmsc_service_installed(p));
    EXPECT_EQ(ui.texts(), std::vector<std::string>(2, service::kElevationPrompt));
    for (auto& [k, v] : s.env) unsetenv(k.c_str());
    // The rights went to the elevated copies only.
    EXPECT_FALSE(platform::sim::rights_granted(root));
}

}  // namespace
}  // namespace ovr::test
