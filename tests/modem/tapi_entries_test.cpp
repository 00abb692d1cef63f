// Line-device path of the channel (reporting rule, recovery, close order),
// discovery and modem entries.
#include <gtest/gtest.h>

#include "fakes.h"
#include "modem/entries.h"
#include "modem/sequences.h"
#include "platform/ui.h"
#include "support/scratch.h"

namespace ovr::test {
namespace {

constexpr const char* kLine = "Ovrin USB GSM Modem";

struct LineBench {
    platform::FakeClock clock;
    SimPorts ports;
    FakeTapi tapi{clock};
    FakeRegistry registry;
    ScriptedUi ui;
    ScratchDir dir;
    modem::ModemAccess acc{ports, tapi, registry, clock, ui, dir.file("RIRER.INI")};
    std::shared_ptr<Wire> wire = std::make_shared<Wire>(*sim::find_profile("pdu"), clock);

    LineBench() {
        tapi.devices.push_back({"Voice line", platform::tapi::kMediaModeInteractiveVoice, "", nullptr});
        tapi.devices.push_back({kLine, platform::tapi::kMediaModeDataModem, "", wire});
    }
    void with_port() {
        registry.modems.push_back({"ovrin usb gsm modem", std::string("COM4")});
        ports.wires["COM4:"] = wire;
    }
};

TEST(ModemLines, OpensThroughTheLineAndClosesInOrder) {
    LineBench b;
    EXPECT_TRUE(modem::TestModem(b.acc, kLine, ""));
    EXPECT_EQ(b.tapi.calls, (std::vector<std::string>{"initialize", "open", "makecall", "getid", "drop", "deallocate",
                                                      "close", "shutdown"}));
    EXPECT_TRUE(b.ports.opened.empty());
}

TEST(ModemLines, EachFailingStepIsReportedWhenNoPortIsKnown) {
    const std::pair<const char*, const char*> cases[] = {
        {"initialize", "Unable to initialize TAPI:  Error 80000044 from lineInitialize"},
        {"open", "Unable to initialize modem:  Error 80000001 from lineOpen"},
        {"makecall", "Unable to initialize modem:  Error 80000047 from lineMakeCall"},
        {"callzero", "Unable to initialize modem:  lineMakeCall failed to init modem"},
        {"getid", "Unable to initialize modem:  Error 80000048 from lineGetID"},
        {"negotiate", nullptr},
        {"caps", nullptr},
    };
    for (auto [step, message] : cases) {
        LineBench b;
        b.tapi.fail = step;
        EXPECT_FALSE(modem::TestModem(b.acc, kLine, "")) << step;
        std::vector<std::string> want;
        if (message) want.push_back(message);
        want.push_back("Unable to access modem, ensure that it is powered on and passes diagnostic tests.");
        EXPECT_EQ(b.ui.texts(), want) << step;
        if (std::string(step) != "initialize") {
            EXPECT_EQ(b.tapi.calls.back(), "shutdown") << step;
        }
        if (std::string(step) == "getid") {
            // The call is dropped and deallocated before the line closes.
            EXPECT_EQ(b.tapi.calls, (std::vector<std::string>{"initialize", "open", "makecall", "getid", "drop",
                                                              "deallocate", "close", "shutdown"}));
        }
    }
}

TEST(ModemLines, FailingOpenWithKnownPortRecoversSilentlyThenRetries) {
    LineBench b;
    b.with_port();
    b.tapi.fail = "open";
    b.tapi.fail_times = 1;
    EXPECT_TRUE(modem::TestModem(b.acc, kLine, ""));
    // The recovery found the modem, reset it and found it again; the second
    // pass opened the line. No line message on the first pass.
    for (const auto& t : b.ui.texts()) EXPECT_EQ(t.find("Unable"), std::string::npos) << t;
    EXPECT_EQ(b.ports.opened, (std::vector<std::string>{"COM4:", "COM4:"}));
    EXPECT_NE(std::find(b.wire->engine.commands().begin(), b.wire->engine.commands().end(), "AT+CFUN=1,1"),
              b.wire->engine.commands().end());

    LineBench c;
    c.with_port();
    c.tapi.fail = "open";
    EXPECT_FALSE(modem::TestModem(c.acc, kLine, ""));
    auto texts = c.ui.texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(),
                         "Unable to initialize modem:  Error 80000001 from lineOpen"),
              1);   // the second pass only
}

TEST(ModemLines, UnknownLineWithoutPortShowsOnlyTheCallersMessage) {
    LineBench b;
    EXPECT_FALSE(modem::TestModem(b.acc, "COM3", ""));   // no colon: a line name
    EXPECT_EQ(b.ui.texts(), (std::vector<std::string>{
                                "Unable to access modem, ensure that it is powered on and passes diagnostic tests."}));
    EXPECT_TRUE(b.ports.opened.empty());
}

TEST(ModemDiscovery, ListsDataModemLinesOnly) {
    LineBench b;
    EXPECT_EQ(modem::ListTapiModems(b.tapi, b.ui), (std::vector<std::string>{kLine}));
    b.tapi.fail = "initialize";
    EXPECT_TRUE(modem::ListTapiModems(b.tapi, b.ui).empty());
    EXPECT_EQ(b.ui.boxes.back().text, "Unable to initialize TAPI:  Error 80000044 from lineInitialize");
    EXPECT_EQ(b.ui.boxes.back().icon, Icon::None);
}

TEST(ModemDiscovery, FindModemPortNeedsAnAttachedPort) {
    FakeRegistry r;
    r.modems = {{"Modem A", std::nullopt}, {"Modem B", std::string("")}, {"modem b", std::string("COM5")}};
    EXPECT_FALSE(modem::FindModemPort(r, "modem a"));
    EXPECT_EQ(modem::FindModemPort(r, "MODEM B"), "COM5");
    EXPECT_FALSE(modem::FindModemPort(r, "Modem C"));
}

TEST(ModemEntries, SectionNames) {
    EXPECT_EQ(modem::ModemSectionName("COM3:"), "Modem - COM3:");
    EXPECT_EQ(modem::ModemSectionName("smpp - provider"), "smpp - provider");
    EXPECT_EQ(modem::ModemSectionName("OvrinSMSModem - 10.0.0.5:80"), "OvrinSMSModem - 10.0.0.5:80");
    EXPECT_EQ(modem::ModemSectionName("Modem [USB] 2"), "Modem - Modem \\x5BUSB\\x5D 2");
    EXPECT_EQ(modem::entry_kind("cimd - x"), modem::EntryKind::Cimd);
    EXPECT_EQ(modem::entry_kind("UCP -x"), modem::EntryKind::LocalModem);
    EXPECT_TRUE(modem::is_direct_port_name("com12:"));
    EXPECT_TRUE(modem::is_direct_port_name("COM:"));
    EXPECT_FALSE(modem::is_direct_port_name("COM3"));
    EXPECT_FALSE(modem::is_direct_port_name("COM3:x"));
}

}  // namespace
}  // namespace ovr::test
