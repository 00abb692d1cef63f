// ovrinsmsctl operators lookup: the operator database from a shell.
#include <gtest/gtest.h>

#include <map>

#include "support/scratch.h"

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
        {{"26201", "--country", "de"}, kSmall, 2, "give either MCCMNC or --country CC"},
        {{}, kSmall, 2, "give either MCCMNC or --country CC"},
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
