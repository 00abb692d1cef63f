// ovrinsmsctl modem settings|set|mms-test on the simulated gateway: the
// Modem page's model from a shell, and the operator test through the
// elevated copy, the simulated GPRS library and the simulated modem.
#include <gtest/gtest.h>

#include <map>

#include "config/ini.h"
#include "support/modem_process.h"
#include "support/scratch.h"

using ovr::test::read_text;
using ovr::test::run_program;
using ovr::test::ScratchDir;
using ovr::test::write_text;
namespace ini = ovr::config::ini;

namespace {

struct ModemMmsCli : ::testing::Test {
    ScratchDir d;
    std::unique_ptr<ovr::test::ModemProcess> modem;
    ModemMmsCli() {
        run_program("/bin/mkdir", {"-p", d.file("sim/dosdevices"), d.file("sim/gprs"), d.file("data")});
        write_text(d.file("data/RIRER.INI"), "[RIRER]\nModem1=COM7:\n");
        write_text(d.file("data/MMSC.INI"), "");
        modem = std::make_unique<ovr::test::ModemProcess>(
            d.file("sim/dosdevices/com7"),
            std::vector<std::string>{"--gprs-from", d.file("sim/gprs/profile"), "--log", d.file("modem.log")});
    }
    std::map<std::string, std::string> env() {
        return {{"OVRINSMS_DATA_DIR", d.file("data/")}, {"OVRINSMS_PRIVATE_DIR", d.file("private/")},
                {"OVRINSMS_PLATFORM", "sim"},           {"OVRINSMS_SIM_ROOT", d.file("sim/")},
                {"OVRINSMS_GPRS_WAIT_MS", "1500"}};
    }
    ovr::test::RunResult ctl(const std::vector<std::string>& args, const std::string& input = {}) {
        return run_program("ovrinsmsctl", args, env(), input);
    }
};

}  // namespace

TEST_F(ModemMmsCli, EachOperatorProfileGivesItsVerdict) {
    ASSERT_TRUE(modem->up());
    const struct {
        const char* profile;
        int status;
        const char* err;
    } cases[] = {
        {"ok", 0, "information: Connection Test OK!\n"},
        {"wrong-apn", 1, "error: Connection Failed\nRAS Error 720\nThe network refused the data context for this APN.\n"},
        {"no-coverage", 1, "error: Connection Failed\nRAS Error 678\nThe modem found no GPRS network (no coverage).\n"},
        {"mmsc-refusing", 1, "error: Unable to connect to WAP Gateway\n"},
        {"silent", 1, "error: Connection Failed\nRAS Error 718\nThe network did not answer the data call in time.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile);
        write_text(d.file("sim/gprs/profile"), std::string(c.profile) + "\n");
        auto r = ctl({"modem", "mms-test", "--apn", "internet", "--mmsc", "http://mmsc.example/", "--proxy",
                      "http://10.1.1.1:8080", "--user", "bob", "--password-stdin"},
                     "s3cret\n");
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
        // The test leaves nothing behind and saves nothing.
        EXPECT_FALSE(ovr::test::run_program("/usr/bin/test", {"-e", d.file("data/MODEMTEST.INI")}).status == 0);
    }
    EXPECT_EQ(ini::read_string(d.file("data/RIRER.INI"), "Modem - COM7:", "APN", "<none>", 100), "<none>");
    std::string heard = read_text(d.file("modem.log"));
    EXPECT_NE(heard.find("[data] GET http://10.1.1.1:8080/ HTTP/1.0"), std::string::npos) << heard;
    EXPECT_EQ((heard + read_text(d.file("sim/gprs/calls.log"))).find("s3cret"), std::string::npos);

    // The page's checks come first, with its messages.
    auto r = ctl({"modem", "mms-test", "--apn", "internet", "--proxy", "10.1.1.1:8080"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: MMS Server URL is Required!\n");
    r = ctl({"modem", "mms-test", "--apn", "inter\"net", "--mmsc", "http://m/", "--proxy", "10.1.1.1:8080"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("error: "), std::string::npos);
    EXPECT_EQ(read_text(d.file("modem.log")).find("inter\"net"), std::string::npos);
}

TEST_F(ModemMmsCli, SetWritesWhatSettingsShows) {
    auto r = ctl({"modem", "set", "apn", "internet", "apn-login", "bob", "proxy", "10.1.1.1:8080", "url",
                  "http://mmsc.example/", "storage", "sim", "--password-stdin"},
                 "s3cret\n");
    ASSERT_EQ(r.status, 0) << r.err;
    r = ctl({"modem", "settings", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"modem\": \"COM7:\", \"kind\": \"Local GSM modem\", \"sms-access\": \"default\", \"receive-sms\": true, "
              "\"storage\": \"sim\", \"send-mms\": true, \"apn\": \"internet\", \"apn-login\": \"bob\", "
              "\"apn-password\": \"(set)\", \"proxy\": \"10.1.1.1:8080\", \"url\": \"http://mmsc.example/\", "
              "\"connection\": \"\", \"receive-mms\": true, \"route\": \"ovrinsmslite\"}\n");
    EXPECT_EQ(r.out.find("s3cret"), std::string::npos);
    // What the services read.
    const std::string vasp = d.file("data/VASPOUT/ovrinsmslite/VASP.INI");
    EXPECT_EQ(ini::read_string(vasp, "VASP", "APNPass", "", 100), "s3cret");
    EXPECT_EQ(ini::read_string(vasp, "VASP", "Server", "", 100), "http://mmsc.example/");
    EXPECT_EQ(ini::read_string(d.file("data/RIRER.INI"), "Modem - COM7:", "ReceiveTo", "", 100), "SM");
    EXPECT_EQ(ini::read_string(d.file("data/MMSC.INI"), "MMSC", "DefaultOutboundRoute", "", 100), "ovrinsmslite");

    // Off again: the route goes, and the page shows it gone.
    ASSERT_EQ(ctl({"modem", "set", "send-mms", "no"}).status, 0);
    EXPECT_NE(ctl({"modem", "settings"}).out.find("send-mms: no\n"), std::string::npos);
    EXPECT_NE(run_program("/usr/bin/test", {"-e", vasp}).status, 0);

    // Refusals: usage for what the page cannot take, the page's message for its checks.
    EXPECT_EQ(ctl({"modem", "set", "storage", "floppy"}).status, 2);
    EXPECT_EQ(ctl({"modem", "set", "apn"}).status, 2);
    r = ctl({"modem", "set", "send-mms", "yes", "apn", "a\\b", "url", "http://m/", "proxy", "10.1.1.1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ini::read_string(d.file("data/RIRER.INI"), "Modem - COM7:", "APN", "<none>", 100), "internet");
}
