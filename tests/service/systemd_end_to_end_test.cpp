// ovrinsmsctl's service commands on the systemd backend (a scripted systemd
// on a private bus) say and return exactly what they do on the simulated
// platform.
#include <gtest/gtest.h>

#include "fake_gateway.h"
#include "platform/fs.h"
#include "support/scratch.h"
#include "support/systemd_bus.h"

namespace ovr::test {
namespace {

struct Env {
    ScratchDir dir;
    std::map<std::string, std::string> env{{"OVRINSMS_DATA_DIR", dir.path() + "data/"},
                                           {"OVRINSMS_PRIVATE_DIR", dir.path() + "private/"}};
    Env() {
        platform::fs::create_directories(dir.path() + "data/");
        platform::fs::create_directories(dir.path() + "private/");
    }
    RunResult ctl(const std::vector<std::string>& args) { return run_program("ovrinsmsctl", args, env); }
};

struct SimEnv : Env {
    SimEnv() {
        env["OVRINSMS_PLATFORM"] = "sim";
        env["OVRINSMS_SIM_ROOT"] = dir.path() + "sim/";
    }
    ~SimEnv() { ctl({"service", "remove", "--quiet"}); }
    void rights(bool on) { run_program("ovrinsms-gwsim", {"ctl", "rights", on ? "on" : "off"}, env); }
};

struct SystemdEnv : Env {
    std::string units = dir.path() + "units/";
    SystemdBus bus{units};
    SystemdEnv() {
        platform::fs::create_directories(units);
        env["OVRINSMS_SYSTEMD_BUS"] = bus.address();
        env["OVRINSMS_UNIT_DIR"] = units;
    }
    // Without rights the unit directory cannot be written.
    void rights(bool on) { env["OVRINSMS_UNIT_DIR"] = on ? units : dir.path() + "read-only/"; }
};

std::string show(const RunResult& r) { return std::to_string(r.status) + "|" + r.out + "|" + r.err; }

TEST(SystemdEndToEnd, ServiceCommandsMatchTheSimulatedPlatform) {
    SimEnv sim;
    SystemdEnv sd;
    if (!sd.bus.ok()) GTEST_SKIP() << sd.bus.error();
    const std::vector<std::vector<std::string>> steps = {
        {"service", "status"}, {"service", "stop"},   {"service", "install"},          {"service", "status", "--json"},
        {"service", "install"}, {"service", "stop"},  {"service", "status"},           {"service", "start"},
        {"service", "start"},  {"service", "status"}, {"/STOPSERVICE"},                {"/STARTSERVICE"},
        {"status", "--json"},  {"service", "remove"}, {"service", "status"},           {"service", "remove"},
    };
    for (const auto& step : steps) {
        std::string what;
        for (const auto& a : step) what += a + " ";
        EXPECT_EQ(show(sd.ctl(step)), show(sim.ctl(step))) << what;
    }
    EXPECT_FALSE(platform::fs::exists(sd.units + "OvrinSMS.service"));

    // Without rights, the same refusals and exit codes.
    ASSERT_EQ(sim.ctl({"service", "install"}).status, 0);
    ASSERT_EQ(sd.ctl({"service", "install"}).status, 0);
    sim.rights(false);
    sd.rights(false);
    for (const auto& step : std::vector<std::vector<std::string>>{
             {"service", "stop"}, {"service", "remove"}, {"service", "install"}, {"service", "status"}}) {
        EXPECT_EQ(show(sd.ctl(step)), show(sim.ctl(step))) << step[1];
    }
    sim.rights(true);
    sd.rights(true);
}

// In-process on the fake clock: a wait for a start that never comes costs
// nothing.
struct SystemdPlatform {
    ScratchDir dir;
    std::string units = dir.path() + "units/";
    std::unique_ptr<SystemdBus> bus;
    platform::Platform p;
    platform::SystemdOptions o;
    ScriptedUi ui;
    SystemdPlatform() {
        platform::fs::create_directories(units);
        bus = std::make_unique<SystemdBus>(units);
        p = platform::make_sim_platform(dir.path() + "sim/", std::make_shared<platform::FakeClock>());
        o.bus_address = bus->address();
        o.unit_dir = units;
        p.services = platform::make_systemd_service_manager(o);
    }
    bool both_running() { return service::sms_service_running(p) && service::mmsc_service_running(p); }
};

TEST(SystemdServiceControl, PolkitRefusalsAndTheElevatedRelaunch) {
    SystemdPlatform s;
    if (!s.bus->ok()) GTEST_SKIP() << s.bus->error();
    auto& [dir, units, bus_ptr, p, o, ui] = s;
    SystemdBus& bus = *bus_ptr;
    auto elevation = std::make_shared<FakeElevation>();
    p.elevation = elevation;
    service::ServiceControl control(p, ui, "/opt/ovrinsms/");

    ASSERT_TRUE(control.install_and_start(true));
    EXPECT_NE(read_text(units + "OvrinMMSC.service").find("ExecStart=\"/opt/ovrinsms/MMSCNT.EXE\"\n"),
              std::string::npos);
    control.stop(true);
    bus.refuse("StartUnit");
    control.start(true);
    EXPECT_EQ(ui.texts(), (std::vector<std::string>{"Error 5 starting service", "Error 5 starting service"}));
    EXPECT_FALSE(service::sms_service_running(p));

    // A page without rights asks, then runs the elevated copy with the switch.
    ui.boxes.clear();
    o.unit_dir = dir.path() + "read-only/";
    p.services = platform::make_systemd_service_manager(o);
    ui.script({Answer::Yes});
    control.stop(false);
    EXPECT_EQ(elevation->switches, (std::vector<std::string>{"/STOPSERVICE"}));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, service::kElevationPrompt);
    EXPECT_EQ(p.services->open_handles(), 0);
}

// systemd runs a start job a moment after StartUnit returns: a start only
// queued is already a start pending, so "service start" succeeds, and a stop
// cancels it.
TEST(SystemdServiceControl, AQueuedStartIsAStartPending) {
    SystemdPlatform s;
    if (!s.bus->ok()) GTEST_SKIP() << s.bus->error();
    service::ServiceControl control(s.p, s.ui, "/opt/ovrinsms/");
    ASSERT_TRUE(control.install_and_start(true));
    control.stop(true);
    ASSERT_FALSE(s.both_running());
    s.bus->queue_starts(true);
    control.start(true);
    EXPECT_TRUE(s.ui.texts().empty());
    EXPECT_TRUE(s.both_running());
    control.stop(true);
    EXPECT_FALSE(s.both_running());
    EXPECT_EQ(s.bus->unit("OvrinMMSC.service").job, "");
}

}  // namespace
}  // namespace ovr::test
