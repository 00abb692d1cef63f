// ovrinsmsctl modem choose end to end: the real program on the simulated
// platform, against the device simulator in-process and the AT modem
// simulator program on a pty.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "device_server.h"
#include "platform/clock.h"
#include "platform/device_browser.h"
#include "platform/fs.h"
#include "support/scratch.h"

extern char** environ;

namespace ovr::test {
namespace {

struct Device {
    explicit Device(const std::string& profile, const std::string& name = "Ovrin Phone") {
        devicesim::DeviceSpec spec;
        spec.profile = profile;
        spec.name = name;
        server = std::make_unique<devicesim::DeviceServer>(spec);
        std::string error;
        EXPECT_TRUE(server->start(error)) << error;
    }
    std::string address() const { return server->address(); }
    std::unique_ptr<devicesim::DeviceServer> server;
};

class ChooseCli : public ::testing::Test {
protected:
    ChooseCli() {
        platform::fs::create_directories(root.file("data/"));
        platform::fs::create_directories(root.file("private/"));
        write_text(rirer(), "[RIRER]\nModem1=Old\n");
    }
    std::string sim_root() const { return root.file("sim/"); }
    std::string rirer() const { return root.file("data/RIRER.INI"); }
    RunResult ctl(std::vector<std::string> args) {
        return run_program("ovrinsmsctl", args,
                           {{"OVRINSMS_PLATFORM", "sim"},
                            {"OVRINSMS_SIM_ROOT", sim_root()},
                            {"OVRINSMS_DATA_DIR", root.file("data/")},
                            {"OVRINSMS_PRIVATE_DIR", root.file("private/")}});
    }
    std::string get(const std::string& section, const std::string& key) {
        RunResult r = ctl({"config", "get", "RIRER", section, key});
        return r.status == 0 ? r.out : "(unset)";
    }
    ScratchDir root;
};

TEST_F(ChooseCli, TypedAddressIsProvedAndStoredWithItsRoute) {
    Device d("good");
    RunResult r = ctl({"modem", "choose", d.address(), "--transcript"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string entry = "OvrinSMSModem - " + d.address();
    EXPECT_EQ(r.out, "Modem1: " + entry + "\nRouteName: 127.0.0.1\n");
    EXPECT_NE(r.err.find("-> GET /init HTTP/1.0"), std::string::npos) << r.err;
    EXPECT_EQ(get("RIRER", "Modem1"), entry + "\n");
    EXPECT_EQ(get(entry, "RouteName"), "127.0.0.1\n");
}

TEST_F(ChooseCli, UnprovedChoicesStayAndLeaveModem1) {
    Device wrong("wrong");
    for (const std::string& text : {wrong.address(), std::string("127.0.0.1:1"), std::string("no such modem")}) {
        SCOPED_TRACE(text);
        RunResult r = ctl({"modem", "choose", text});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.out, "error: Unable to connect to modem\n");
    }
    EXPECT_EQ(get("RIRER", "Modem1"), "Old\n");
    EXPECT_EQ(ctl({"modem", "choose", ""}).status, 2);
    EXPECT_EQ(ctl({"modem", "choose"}).status, 2);
    EXPECT_EQ(ctl({"modem", "choose", "x", "--wait", "forever"}).status, 2);
}

TEST_F(ChooseCli, RegisteredDeviceIsFoundByItsEntry) {
    Device d("good", "Choose Phone");
    ASSERT_FALSE(platform::register_sim_device(sim_root(), "Choose Phone", d.address()).empty());
    RunResult r = ctl({"modem", "choose", "OvrinSMSModem - Choose Phone", "--wait", "2"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Modem1: OvrinSMSModem - Choose Phone\nRouteName: Choose Phone\n");
    EXPECT_EQ(get("OvrinSMSModem - Choose Phone", "RouteName"), "Choose Phone\n");
}

TEST_F(ChooseCli, SimulatedGsmModemIsTestedAndItsPinRemoved) {
    platform::fs::create_directories(sim_root() + "modems/");
    write_text(rirer(), "[RIRER]\nModem1=Old\n[Modem - Simulated GSM Modem]\nPIN=1234\n");
    std::string sim = bin_path("ovrinsms-modemsim"), link = sim_root() + "modems/Simulated GSM Modem";
    const char* argv[] = {sim.c_str(), "--link", link.c_str(), "--profile", "pdu", nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, sim.c_str(), &fa, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    platform::SystemClock clock;
    for (int i = 0; i < 500 && !platform::fs::exists(link); ++i) clock.sleep_ms(10);
    ASSERT_TRUE(platform::fs::exists(link));

    RunResult r = ctl({"modem", "choose", "Simulated GSM Modem"});
    kill(pid, SIGTERM);
    int st = 0;
    waitpid(pid, &st, 0);
    EXPECT_EQ(r.status, 0) << r.err;
    // Through its line device, so no speed notice.
    EXPECT_EQ(r.out, "information: Modem successfully tested!\nModem1: Simulated GSM Modem\n");
    EXPECT_EQ(get("RIRER", "Modem1"), "Simulated GSM Modem\n");
    EXPECT_EQ(get("Modem - Simulated GSM Modem", "PIN"), "(unset)");
}

}  // namespace
}  // namespace ovr::test
