// ovrinsmsctl modem query and list --network against in-process simulated
// devices over loopback, on the simulated platform.
#include <gtest/gtest.h>

#include "device_server.h"
#include "platform/device_browser.h"
#include "platform/fs.h"
#include "support/scratch.h"

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
    std::unique_ptr<devicesim::DeviceServer> server;
};

class NetModemCli : public ::testing::Test {
protected:
    RunResult ctl(std::vector<std::string> args) {
        return run_program("ovrinsmsctl", args, {{"OVRINSMS_PLATFORM", "sim"}, {"OVRINSMS_SIM_ROOT", root.path()}});
    }
    ScratchDir root;
};

TEST_F(NetModemCli, QueryByAddressPrintsTheFourValues) {
    Device d("good");
    auto r = ctl({"modem", "query", d.server->address()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "DeviceName: Ovrin Phone\nDeviceID: 356938035643809\nMMSURL: http://mms.example.net/\n"
              "MMSProxy: 10.1.1.1:8080\n");
    Device nomms("nomms");
    r = ctl({"modem", "query", "OVRINSMSMODEM - " + nomms.server->address()});
    EXPECT_EQ(r.status, 0) << r.err;
    r = ctl({"modem", "query", nomms.server->address(), "--mms"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: Unable to connect to modem\n");
}

TEST_F(NetModemCli, FailuresAndBadUsage) {
    Device silent("silent"), noid("noid");
    auto r = ctl({"modem", "query", silent.server->address(), "--timeout", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: Unable to connect to modem\n");
    EXPECT_EQ(ctl({"modem", "query", noid.server->address()}).status, 1);
    EXPECT_EQ(ctl({"modem", "query"}).status, 2);
    EXPECT_EQ(ctl({"modem", "query", "a:1", "--timeout", "x"}).status, 2);
    EXPECT_EQ(ctl({"modem", "list", "--network", "--wait", "-1"}).status, 2);
}

TEST_F(NetModemCli, RegisteredDevicesAreListedAndQueriedByName) {
    Device a("good", "Ovrin Phone A"), b("slow", "Ovrin Phone B");
    ASSERT_FALSE(platform::register_sim_device(root.path(), "Ovrin Phone A", a.server->address()).empty());
    ASSERT_FALSE(platform::register_sim_device(root.path(), "Ovrin Phone B", b.server->address()).empty());
    auto r = ctl({"modem", "list", "--network", "--wait", "0", "--addresses"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("OvrinSMSModem - Ovrin Phone A\t" + a.server->address() + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("OvrinSMSModem - Ovrin Phone B\t" + b.server->address() + "\n"), std::string::npos) << r.out;
    r = ctl({"modem", "query", "ovrin phone a", "--wait", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 25), "DeviceName: Ovrin Phone A");
    // The page's list: no local modem here, then both devices.
    r = ctl({"modem", "list", "--all", "--wait", "0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("OvrinSMSModem - Ovrin Phone ", 0), 0u) << r.out;
    EXPECT_EQ(ctl({"modem", "list", "--all", "--network"}).status, 2);
    // An entry half-written or of another shape is passed over.
    platform::fs::write_file_atomic(platform::sim_device_registry(root.path()) + "bad.device", "no address\n");
    r = ctl({"modem", "list", "--network", "--wait", "0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
}

}  // namespace
}  // namespace ovr::test
