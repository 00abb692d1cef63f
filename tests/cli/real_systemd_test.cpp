// Opt-in (OVRINSMS_REAL_SYSTEMD=1, as root, on a host whose PID 1 is
// systemd): ovrinsmsctl installs the simulated gateway as the real units
// OvrinSMS.service and OvrinMMSC.service, starts, queries, stops and removes
// them. Never run by default: it changes the machine.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>

#include "support/scratch.h"

namespace ovr::test {
namespace {

const char* const kUnits[] = {"/etc/systemd/system/OvrinSMS.service", "/etc/systemd/system/OvrinMMSC.service"};
const char* const kPrograms[] = {"SMSGWNT.EXE", "MMSCNT.EXE"};

struct Units {
    std::map<std::string, std::string> env;
    RunResult ctl(const std::vector<std::string>& args) { return run_program("ovrinsmsctl", args, env); }
    // The services take a moment to come up or down; poll the status.
    int status_settled(int want) {
        int rc = -1;
        for (int i = 0; i < 100 && rc != want; ++i) {
            rc = ctl({"status"}).status;
            if (rc != want) usleep(100000);
        }
        return rc;
    }
    ~Units() { ctl({"service", "remove", "--quiet"}); }  // whatever happened, nothing stays behind
};

TEST(RealSystemd, InstallStartStatusStopRemoveOfTheSimulatedGateway) {
    const char* opt = std::getenv("OVRINSMS_REAL_SYSTEMD");
    if (!opt || std::string(opt) != "1")
        GTEST_SKIP() << "set OVRINSMS_REAL_SYSTEMD=1 (as root, systemd as PID 1) to install real units";
    if (access("/run/systemd/system", F_OK) != 0) GTEST_SKIP() << "systemd is not this host's PID 1";
    if (geteuid() != 0) GTEST_SKIP() << "installing units into /etc/systemd/system needs root";
    for (const char* u : kUnits)
        if (access(u, F_OK) == 0) GTEST_SKIP() << u << " exists: a real gateway is installed, left alone";

    ScratchDir d;
    Units units;
    units.env = {{"OVRINSMS_DATA_DIR", d.file("data/")}, {"OVRINSMS_PRIVATE_DIR", d.file("private/")}};
    auto r = units.ctl({"service", "install"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (int i = 0; i < 2; ++i) {
        std::string text = read_text(kUnits[i]);
        EXPECT_NE(text.find("ExecStart=\"" + bin_path(kPrograms[i]) + "\""), std::string::npos) << text;
        EXPECT_NE(text.find("Restart=on-failure"), std::string::npos) << text;
    }
    EXPECT_EQ(units.status_settled(0), 0);
    r = units.ctl({"service", "status", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(units.ctl({"service", "stop"}).status, 0);
    EXPECT_EQ(units.status_settled(3), 3);
    EXPECT_EQ(units.ctl({"service", "start"}).status, 0);
    EXPECT_EQ(units.status_settled(0), 0);
    r = units.ctl({"service", "remove"});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* u : kUnits) EXPECT_NE(access(u, F_OK), 0) << u;
    EXPECT_EQ(units.ctl({"status"}).status, 3);
}

}  // namespace
}  // namespace ovr::test
