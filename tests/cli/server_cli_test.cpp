// ovrinsmsctl server: the Server page's ports from a shell.
#include <gtest/gtest.h>

#include <map>

#include "config/ini.h"
#include "support/scratch.h"

using ovr::test::run_program;
using ovr::test::ScratchDir;
using ovr::test::write_text;
namespace ini = ovr::config::ini;

namespace {

struct ServerCli : ::testing::Test {
    ScratchDir d;
    std::map<std::string, std::string> env() {
        return {{"OVRINSMS_DATA_DIR", d.path()}, {"OVRINSMS_PRIVATE_DIR", d.file("private/")},
                {"OVRINSMS_PLATFORM", "sim"}, {"OVRINSMS_SIM_ROOT", d.file("sim/")},
                {"OVRINSMS_SIM_DESKTOP", "record"}};
    }
    ovr::test::RunResult run(std::vector<std::string> args) { return run_program("ovrinsmsctl", args, env()); }
};

}  // namespace

TEST_F(ServerCli, SetRefusesBadPortsAndConflictsWithoutWriting) {
    write_text(d.file("RIRER.INI"), "[RIRER]\nWebPort=8800\n");
    write_text(d.file("MMSC.INI"), "");
    auto conflict = run({"server", "set", "--smpp-port", "8800"});
    EXPECT_EQ(conflict.status, 1);
    EXPECT_NE(conflict.err.find("Port 8800 is used twice"), std::string::npos) << conflict.err;
    EXPECT_EQ(run({"server", "set", "--web-port", "70000"}).status, 2);
    EXPECT_EQ(run({"server", "set", "--web-port", "0"}).status, 2);
    EXPECT_EQ(run({"server", "set", "--web-port", "off"}).status, 2);
    EXPECT_EQ(ini::read_string(d.file("RIRER.INI"), "RIRER", "SMPPPort", "<none>", 100), "<none>");

    auto ok = run({"server", "set", "--smpp-port", "2775", "--mm7-port", "8081"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(run({"server", "get"}).out,
              "Web Interface Port Number: 8800\nSMPP Port Number: 2775\nMM7/EAIF Port Number: 8081\n"
              "Server Status: Not Active\nService button: Install Service\n");
    EXPECT_EQ(run({"server", "set", "--mm7-port", "off"}).status, 0);
    EXPECT_EQ(ini::read_string(d.file("MMSC.INI"), "MMSC", "WebPort", "<none>", 100), "<none>");
    EXPECT_EQ(run({"server", "get", "--json"}).out,
              "{\"web_port\": 8800, \"smpp_port\": 2775, \"mm7_port\": null, \"status\": \"Not Active\", "
              "\"button\": \"Install Service\"}\n");
}

TEST_F(ServerCli, OpenWebNeedsAUserWhileLoginsAreRequired) {
    write_text(d.file("RIRER.INI"), "[RIRER]\nWebPort=8900\n");
    auto none = run({"server", "open-web"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "error: No user accounts are defined.\n");
    write_text(d.file("RIRER.INI"), "[RIRER]\nWebPort=8900\nWebAuth=No\n");
    auto printed = run({"server", "open-web", "--print"});
    EXPECT_EQ(printed.out, "http://127.0.0.1:8900/\n");
    auto opened = run({"server", "open-web"});
    EXPECT_EQ(opened.status, 0) << opened.err;
    EXPECT_NE(ovr::test::read_text(d.file("sim/desktop.log")).find("open http://127.0.0.1:8900/"), std::string::npos);
}
