#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

#include "fakes.h"
#include "modem/operators.h"
#include "platform/ui.h"
#include "support/scratch.h"

using namespace ovr::modem;

namespace {

std::string fixture(const char* name) { return std::string(OVR_SOURCE_DIR) + "/tests/modem/operators/" + name; }

std::vector<std::string> names(const std::vector<const Operator*>& ops) {
    std::vector<std::string> out;
    for (const Operator* op : ops) out.push_back(op->name);
    return out;
}

}  // namespace

TEST(Operators, LooksUpByNetworkTheNetworksOwnOperatorFirst) {
    std::string error;
    auto db = operator_database(fixture("small.xml"), error);
    ASSERT_TRUE(db) << error;
    EXPECT_EQ(names(db->by_network("26201")), (std::vector<std::string>{"Telekom One", "Virtual Mobile"}));
    EXPECT_EQ(names(db->by_network("26206")), (std::vector<std::string>{"Telekom One"}));
    EXPECT_EQ(names(db->by_network("310260")), (std::vector<std::string>{"Three Digit Wireless"}));
    EXPECT_TRUE(db->by_network("2620").empty());
    EXPECT_TRUE(db->by_network("26299").empty());

    const Operator& one = *db->by_network("26206")[0];
    EXPECT_EQ(one.country, "de");
    EXPECT_EQ(one.country_name, "Germany");
    EXPECT_TRUE(one.primary);
    ASSERT_EQ(one.mms.size(), 1u);
    const OperatorMms& m = one.mms[0];
    EXPECT_EQ(m.apn, "mms.t-one.de");
    EXPECT_EQ(m.title, "T-One MMS");
    EXPECT_EQ(m.login, "t-one");
    EXPECT_EQ(m.password, "m&s");
    EXPECT_EQ(m.proxy, "172.28.23.131:8008");
    EXPECT_EQ(m.url, "http://mms.t-one.de/servlets/mms");   // blanks around the text dropped

    // Internet-only access points carry no MMS settings; an APN with an MMS
    // server counts without a usage; a malformed network is left out.
    EXPECT_TRUE(db->by_network("26207")[0]->mms.empty());
    const Operator& three = *db->by_network("310260")[0];
    ASSERT_EQ(three.mms.size(), 1u);
    EXPECT_EQ(three.mms[0].url, "http://mms.msg.example.com/mms/wapenc");
    EXPECT_EQ(three.networks, (std::vector<std::string>{"310260"}));
}

TEST(Operators, LooksUpByCountryAndNamePart) {
    std::string error;
    auto db = operator_database(fixture("small.xml"), error);
    ASSERT_TRUE(db) << error;
    EXPECT_EQ(names(db->by_country("DE")), (std::vector<std::string>{"Virtual Mobile", "Telekom One", "Data Only"}));
    EXPECT_EQ(names(db->by_country("de", "TELEKOM")), (std::vector<std::string>{"Telekom One"}));
    EXPECT_EQ(names(db->by_country("us", "cdma")), (std::vector<std::string>{"CDMA Only"}));
    EXPECT_TRUE(db->by_country("fr").empty());
    EXPECT_TRUE(db->by_country("de", "nobody").empty());
}

TEST(Operators, AMissingOrDamagedFileIsAClearErrorAndIsTriedAgain) {
    ovr::test::ScratchDir dir;
    std::string path = dir.file("serviceproviders.xml");
    std::string error;
    EXPECT_FALSE(operator_database(path, error));
    EXPECT_EQ(error, "the operator database " + path + " is missing (install the package mobile-broadband-provider-info)");

    EXPECT_FALSE(operator_database(fixture("truncated.xml"), error));
    EXPECT_EQ(error, "the operator database " + fixture("truncated.xml") +
                         " is damaged: line 6: the element <name> is not closed");
    EXPECT_FALSE(operator_database(fixture("wrong_root.xml"), error));
    EXPECT_NE(error.find("line 2: the root element is <providers>, not <serviceproviders>"), std::string::npos) << error;

    // Larger than the bound: refused without being read.
    ovr::test::write_text(path, "");
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(kOperatorDatabaseMaxBytes) + 1), 0);
    EXPECT_FALSE(operator_database(path, error));
    EXPECT_EQ(error, "the operator database " + path + " is larger than 8 MiB: not read");

    // Installed later, it is read on the next lookup.
    ovr::test::write_text(path, "<serviceproviders><country code='fr'><provider><name>Late</name>"
                                      "</provider></country></serviceproviders>");
    auto db = operator_database(path, error);
    ASSERT_TRUE(db) << error;
    EXPECT_EQ(names(db->by_country("fr")), (std::vector<std::string>{"Late"}));
}

TEST(Operators, IsParsedOncePerProcessWhateverTheThreads) {
    std::string path = fixture("small.xml");
    std::vector<std::shared_ptr<const OperatorDatabase>> seen(4);
    std::vector<std::thread> threads;
    for (auto& s : seen)
        threads.emplace_back([&s, &path] {
            std::string error;
            s = operator_database(path, error);
        });
    for (auto& t : threads) t.join();
    for (auto& s : seen) EXPECT_EQ(s, seen[0]);
    ASSERT_TRUE(seen[0]);
}

TEST(Operators, NetworksFromTheUserAndTheModem) {
    for (const char* ok : {"26201", "310260"}) EXPECT_TRUE(valid_network(ok)) << ok;
    for (const char* bad : {"", "2620", "3102601", "2620a", " 26201"}) EXPECT_FALSE(valid_network(bad)) << bad;
    EXPECT_EQ(networks_of_imsi("262011234567890"), (std::vector<std::string>{"262011", "26201"}));
    EXPECT_TRUE(networks_of_imsi("ERROR").empty());
    EXPECT_EQ(network_of_cops_reply("\r\n+COPS: 0,2,\"26201\",7\r\n\r\nOK\r\n"), "26201");
    EXPECT_EQ(network_of_cops_reply("+COPS: 1,2,\"310260\""), "310260");
    EXPECT_EQ(network_of_cops_reply("+COPS: 0,0,\"Ovrin Net\""), "");
    EXPECT_EQ(network_of_cops_reply("+COPS: 0"), "");
    EXPECT_EQ(network_of_cops_reply("+COPS: 0,2,\"26201"), "");
}

// The whole list Debian ships, when it is installed.
TEST(Operators, ReadsTheRealProviderList) {
    struct stat st {};
    if (stat(kOperatorDatabasePath, &st) != 0) GTEST_SKIP() << kOperatorDatabasePath << " is not installed";
    std::string error;
    auto db = operator_database(kOperatorDatabasePath, error);
    ASSERT_TRUE(db) << error;
    EXPECT_GT(db->operators().size(), 500u);
    std::vector<const Operator*> de = db->by_network("26201");
    ASSERT_FALSE(de.empty());
    EXPECT_EQ(de[0]->country, "de");
    size_t with_mms = 0;
    for (const Operator& op : db->operators()) with_mms += !op.mms.empty();
    EXPECT_GT(with_mms, 200u);
}

TEST(Operators, AsksTheModemForItsSimsNetworkAndLetsABusyModemBe) {
    ovr::platform::FakeClock clock;
    ovr::test::SimPorts ports;
    ovr::test::FakeTapi tapi{clock};
    ovr::test::FakeRegistry registry;
    ovr::ScriptedUi ui;
    ovr::test::ScratchDir dir;
    ModemAccess acc{ports, tapi, registry, clock, ui, dir.file("RIRER.INI")};
    auto wire = std::make_shared<ovr::test::Wire>(*ovr::sim::find_profile("pdu"), clock);
    ports.wires["COM7:"] = wire;
    // The simulated SIM is on the test network 001 01.
    EXPECT_EQ(ReadModemNetworks(acc, "COM7:"), (std::vector<std::string>{"001010", "00101"}));
    EXPECT_EQ(wire->engine.commands().back(), "AT+CIMI");

    ports.busy.insert("COM7:");   // the gateway service holds it
    EXPECT_TRUE(ReadModemNetworks(acc, "COM7:").empty());

    // A SIM of a listed network (as the demo's modem has) leads to that
    // network's operator; its 6-digit form is tried first and not listed.
    ovr::sim::ModemProfile on_ee = *ovr::sim::find_profile("pdu");
    on_ee.network = "23430";
    on_ee.operator_name = "EE";
    ports.busy.clear();
    ports.wires["COM7:"] = std::make_shared<ovr::test::Wire>(on_ee, clock);
    std::vector<std::string> networks = ReadModemNetworks(acc, "COM7:");
    EXPECT_EQ(networks, (std::vector<std::string>{"234300", "23430"}));
    struct stat st {};
    if (stat(kOperatorDatabasePath, &st) != 0) GTEST_SKIP() << kOperatorDatabasePath << " is not installed";
    std::string error;
    auto db = operator_database(kOperatorDatabasePath, error);
    ASSERT_TRUE(db) << error;
    std::vector<const Operator*> found;
    for (const std::string& n : networks)
        for (const Operator* op : db->by_network(n)) found.push_back(op);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0]->name, "EE");
}
