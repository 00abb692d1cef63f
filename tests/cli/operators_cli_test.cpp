// ovrinsmsctl operators lookup: the operator database from a shell.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

#include "support/scratch.h"

extern char** environ;

using ovr::test::run_program;
using ovr::test::ScratchDir;

namespace {

ovr::test::RunResult lookup(std::vector<std::string> args, const std::string& db) {
    args.insert(args.begin(), {"operators", "lookup"});
    ScratchDir d;
    return run_program("ovrinsmsctl", args,
                       {{"OVRINSMS_OPERATOR_DB", db}, {"OVRINSMS_DATA_DIR", d.path()}, {"OVRINSMS_PLATFORM", "sim"},
                        {"OVRINSMS_SIM_ROOT", d.file("sim/")}});
}

const std::string kSmall = std::string(OVR_SOURCE_DIR) + "/tests/modem/operators/small.xml";

}  // namespace

TEST(OperatorsCli, PrintsThePublishedSettingsByNetworkOrCountry) {
    auto by_network = lookup({"26201"}, kSmall);
    EXPECT_EQ(by_network.status, 0) << by_network.err;
    EXPECT_EQ(by_network.out,
              "operator: Telekom One (the network's own operator)\ncountry: de (Germany)\nnetworks: 26201 26206\n"
              "apn: mms.t-one.de (T-One MMS)\nlogin: t-one\npassword: m&s\nproxy: 172.28.23.131:8008\n"
              "mmsc: http://mms.t-one.de/servlets/mms\n\n"
              "operator: Virtual Mobile\ncountry: de (Germany)\nnetworks: 26201\napn: mms.virtual\nlogin: \n"
              "password: \nproxy: 10.0.0.1:80\nmmsc: http://mms.virtual.example/servlets/mms\n");
    auto json = lookup({"--country", "US", "--json"}, kSmall);
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out,
              "[{\"operator\": \"Three Digit Wireless\", \"country\": \"us\", \"country_name\": \"United States\", "
              "\"primary\": false, \"networks\": [\"310260\"], \"apn\": \"fast.example.com\", \"apn_name\": \"\", "
              "\"login\": \"\", \"password\": \"\", \"proxy\": \"\", "
              "\"mmsc\": \"http://mms.msg.example.com/mms/wapenc\"}]\n");
    EXPECT_EQ(lookup({"26201", "--name", "virtual"}, kSmall).out.substr(0, 24), "operator: Virtual Mobile");
}

TEST(OperatorsCli, SaysWhyNothingCameAndTellsBadUsageApart) {
    struct Case {
        std::vector<std::string> args;
        std::string db;
        int status;
        std::string error;
    } cases[] = {
        {{"2620"}, kSmall, 2, "not a network: \"2620\" (MCC and MNC: 5 or 6 digits, as 26201)"},
        {{"26201", "--country", "de"}, kSmall, 2, "give one of MCCMNC, --country CC and --modem NAME"},
        {{}, kSmall, 2, "give one of MCCMNC, --country CC and --modem NAME"},
        {{"--country", "deu"}, kSmall, 2, "not a country code: \"deu\" (two letters, as de)"},
        {{"26299"}, kSmall, 1, "no operator of the network 26299 in " + kSmall},
        {{"26207"}, kSmall, 1, "no MMS settings published for the network 26207 (Data Only)"},
        {{"--country", "de", "--name", "x"}, kSmall, 1,
         "no operator of the country de named like \"x\" in " + kSmall},
        {{"26201"}, "/nonexistent/serviceproviders.xml", 1,
         "the operator database /nonexistent/serviceproviders.xml is missing (install the package "
         "mobile-broadband-provider-info)"},
    };
    for (const Case& c : cases) {
        auto r = lookup(c.args, c.db);
        EXPECT_EQ(r.status, c.status) << c.error;
        EXPECT_EQ(r.out, "") << c.error;
        EXPECT_NE(r.err.find("ovrinsmsctl: " + c.error + "\n"), std::string::npos) << r.err;
    }
}

// --modem asks a simulated modem on a pty for its SIM's network (the test
// network 001 01), as the Modem page's Lookup does.
TEST(OperatorsCli, AsksTheModemForItsNetwork) {
    ScratchDir d;
    ASSERT_EQ(run_program("/bin/mkdir", {"-p", d.file("sim/modems"), d.file("sim/dosdevices")}).status, 0);
    std::string link = d.file("sim/modems/Simulated GSM Modem"), prog = ovr::test::bin_path("ovrinsms-modemsim");
    std::vector<std::string> args{prog, "--link", link};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t modem = 0;
    ASSERT_EQ(posix_spawn(&modem, prog.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    for (int i = 0; i < 200 && access(link.c_str(), F_OK) != 0; ++i) usleep(10000);
    ASSERT_EQ(symlink(link.c_str(), d.file("sim/dosdevices/com7").c_str()), 0);
    ovr::test::write_text(d.file("ops.xml"),
                          "<serviceproviders><country code='xx'><name>Test</name><provider><name>Ovrin Net</name>"
                          "<gsm><network-id mcc='001' mnc='01'/><apn value='mms.ovrin'><usage type='mms'/>"
                          "<mmsc>http://mms.ovrin.test/</mmsc><mmsproxy>10.1.1.1:8080</mmsproxy></apn></gsm>"
                          "</provider></country></serviceproviders>");
    std::map<std::string, std::string> env{{"OVRINSMS_OPERATOR_DB", d.file("ops.xml")},
                                           {"OVRINSMS_DATA_DIR", d.file("data/")},
                                           {"OVRINSMS_PLATFORM", "sim"},
                                           {"OVRINSMS_SIM_ROOT", d.file("sim/")}};
    auto found = run_program("ovrinsmsctl", {"operators", "lookup", "--modem", "COM7:", "--json"}, env);
    auto unknown = run_program("ovrinsmsctl", {"operators", "lookup", "--modem", "COM9:"}, env);
    kill(modem, SIGTERM);
    waitpid(modem, nullptr, 0);
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_NE(found.out.find("\"networks\": [\"00101\"], \"apn\": \"mms.ovrin\""), std::string::npos) << found.out;
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("the modem COM9: did not say which network its SIM card belongs to"), std::string::npos)
        << unknown.err;
}
