// The whole modem test against each simulated modem, on a fake clock.
#include <gtest/gtest.h>

#include <algorithm>

#include "fakes.h"
#include "modem/sequences.h"
#include "platform/ui.h"
#include "support/scratch.h"

namespace ovr::test {
namespace {

using modem::TestModem;

struct Bench {
    platform::FakeClock clock;
    SimPorts ports;
    FakeTapi tapi{clock};
    FakeRegistry registry;
    ScriptedUi ui;
    ScratchDir dir;
    modem::ModemAccess acc{ports, tapi, registry, clock, ui, dir.file("RIRER.INI")};
    std::shared_ptr<Wire> wire;

    explicit Bench(const std::string& profile, const std::string& port = "COM7:") {
        wire = std::make_shared<Wire>(*sim::find_profile(profile), clock);
        ports.wires[port] = wire;
    }
    const std::vector<std::string>& sent() const { return wire->engine.commands(); }
    bool sent_any(const std::string& prefix) const {
        return std::any_of(sent().begin(), sent().end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    }
};

TEST(ModemTest, WellBehavedPduModemPasses) {
    Bench b("pdu");
    EXPECT_TRUE(TestModem(b.acc, "COM7:", ""));
    EXPECT_EQ(b.ui.texts(), (std::vector<std::string>{"Initialised modem at 115200 bps", "Modem successfully tested!"}));
    EXPECT_EQ(b.ui.boxes.back().icon, Icon::Information);
    EXPECT_EQ(b.sent(), (std::vector<std::string>{"ATE0V1", "AT+CFUN?", "ATE0V1", "ATE0V1", "AT+CSMS=0", "AT+CMGF=0",
                                                  "AT+CMGS=86", "AT"}));
    EXPECT_FALSE(b.sent_any("AT+CPIN"));   // no PIN: never a PIN command
    EXPECT_EQ(b.ui.busy_depth, 0);
    EXPECT_FALSE(b.ui.progress_lines.empty());
    // The prompt probe waits its 5 s out; nothing else runs into a time-out.
    EXPECT_LT(b.clock.tick_ms(), 10000u);
}

TEST(ModemTest, TextOnlyModemPassesWithNotice) {
    Bench b("text-only");
    EXPECT_TRUE(TestModem(b.acc, "COM7:", ""));
    EXPECT_EQ(b.ui.texts().back(), "Modem successfully tested!\r\n\r\nModem supports text messages only.");
    EXPECT_TRUE(b.sent_any("AT+CMGS=\"123456789\""));
}

TEST(ModemTest, PinRequiredFailsWithoutPinAndPassesWithIt) {
    {
        Bench b("pin");
        EXPECT_FALSE(TestModem(b.acc, "COM7:", ""));
        EXPECT_EQ(b.ui.texts().back(), "Modem does not properly support command for sending SMS (AT+CMGS - text mode)");
        EXPECT_FALSE(b.sent_any("AT+CPIN"));
    }
    {
        Bench b("pin");
        EXPECT_TRUE(TestModem(b.acc, "COM7:", "1234"));
        // The PIN went in while opening, so the test's check finds READY
        // and does not send it again.
        EXPECT_EQ(std::count(b.sent().begin(), b.sent().end(), "AT+CPIN=\"1234\""), 1);
        EXPECT_TRUE(b.sent_any("AT+CPIN?"));
    }
}

TEST(ModemTest, WrongPinIsReportedWithTheModemsReply) {
    Bench b("pin");
    EXPECT_FALSE(TestModem(b.acc, "COM7:", "9999"));
    EXPECT_EQ(b.ui.texts().back(), "Invalid PIN --\r\n\r\n\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(b.ui.boxes.back().icon, Icon::Error);
    EXPECT_EQ(b.sent().back(), "AT+CPIN=\"9999\"");   // nothing further before the clean-up
}

TEST(ModemTest, RadioOffModemIsSwitchedOnAndWaitedFor) {
    Bench b("radio-off");
    EXPECT_TRUE(TestModem(b.acc, "COM7:", ""));
    EXPECT_TRUE(b.sent_any("AT+CFUN=1"));
    EXPECT_GE(std::count(b.sent().begin(), b.sent().end(), "AT+COPS?"), 2);
    EXPECT_TRUE(b.sent_any("AT+CPMS?"));
    EXPECT_EQ(b.ui.texts().back(), "Modem successfully tested!");
}

TEST(ModemTest, RefusedCsmsAtFullFunctionalityGoesStraightToPduMode) {
    Bench b("csms-refused");
    EXPECT_TRUE(TestModem(b.acc, "COM7:", ""));
    auto& s = b.sent();
    auto at = std::find(s.begin(), s.end(), "AT+CSMS=128");
    ASSERT_NE(at, s.end());
    EXPECT_EQ(*(at + 1), "AT+CFUN?");
    EXPECT_EQ(*(at + 2), "AT+CMGF=0");
}

TEST(ModemTest, RefusedCmgsFails) {
    Bench b("cmgs-refused");
    EXPECT_FALSE(TestModem(b.acc, "COM7:", ""));
    EXPECT_EQ(b.ui.texts().back(), "Modem does not properly support command for sending SMS (AT+CMGS)");
    EXPECT_EQ(b.ui.boxes.back().icon, Icon::Error);
}

TEST(ModemTest, SilentModemCannotBeAccessedAfterRecovery) {
    Bench b("silent");
    EXPECT_FALSE(TestModem(b.acc, "COM7:", ""));
    EXPECT_EQ(b.ui.texts(), (std::vector<std::string>{
                                "Unable to access modem, ensure that it is powered on and passes diagnostic tests."}));
    // Six speeds directly, then the recovery's eleven tries and five hang-ups.
    EXPECT_EQ(b.wire->speeds_set, (std::vector<uint32_t>{115200, 57600, 38400, 19200, 9600, 2400, 115200, 115200, 57600,
                                                          57600, 38400, 38400, 19200, 19200, 9600, 9600}));
    EXPECT_EQ(std::count(b.sent().begin(), b.sent().end(), "ATH0"), 5);
}

TEST(ModemTest, OneSpeedModemIsFoundByTheSpeedSearch) {
    Bench b("one-speed");
    EXPECT_TRUE(TestModem(b.acc, "COM7:", ""));
    EXPECT_EQ(b.ui.texts().front(), "Initialised modem at 9600 bps");
}

TEST(ModemTest, ModemAt2400IsFoundDirectlyButNotByRecovery) {
    platform::FakeClock clock;
    auto p = *sim::find_profile("pdu");
    p.only_speed = 2400;
    Bench b("pdu");
    b.wire = std::make_shared<Wire>(p, b.clock);
    b.ports.wires["COM7:"] = b.wire;
    EXPECT_TRUE(TestModem(b.acc, "COM7:", ""));
    EXPECT_EQ(b.ui.texts().front(), "Initialised modem at 2400 bps");
    ScriptedUi ui2;
    modem::ModemAccess acc2{b.ports, b.tapi, b.registry, b.clock, ui2, b.acc.rirer_ini};
    EXPECT_FALSE(modem::RecoverModemPort(acc2, "COM7", ""));
    EXPECT_EQ(b.ports.opened.back(), "COM7:");   // the colon was added
}

TEST(ModemTest, SlowRepliesAndUnsolicitedCodesStillPass) {
    for (const char* profile : {"slow", "urc"}) {
        Bench b(profile);
        EXPECT_TRUE(TestModem(b.acc, "COM7:", "")) << profile;
        EXPECT_EQ(b.ui.texts().back(), "Modem successfully tested!") << profile;
    }
}

TEST(ModemTest, OldModemTimeoutsAppliesTheProposedSet) {
    Bench b("pdu");
    write_text(b.acc.rirer_ini, "[RIRER]\r\nOldModemTimeouts=TRUE\r\n");
    EXPECT_TRUE(TestModem(b.acc, "COM7:", ""));
    EXPECT_EQ(b.wire->timeouts, modem::kTestTimeouts);
    Bench c("pdu");
    EXPECT_TRUE(TestModem(c.acc, "COM7:", ""));
    EXPECT_EQ(c.wire->timeouts, (platform::CommTimeouts{platform::kMaxDword, 0, 0, 0, 0}));
}

TEST(ModemTest, PortInUseAndMissingPortAreReported) {
    Bench b("pdu");
    b.ports.busy.insert("COM7:");
    EXPECT_FALSE(TestModem(b.acc, "COM7:", ""));
    ASSERT_EQ(b.ui.texts().size(), 2u);
    EXPECT_EQ(b.ui.texts()[0],
              "Unable to access modem at COM7: -- Error 10 -- Device or resource busy\r\n"
              "Another application is already using this device.");
    Bench c("pdu");
    EXPECT_FALSE(TestModem(c.acc, "COM12:", ""));
    EXPECT_EQ(c.ui.texts()[0], "Unable to access modem at COM12: -- Error 2 -- No such file or directory");
    EXPECT_EQ(c.ports.opened, (std::vector<std::string>{"COM12:", "\\\\.\\COM12"}));
}

TEST(ModemTest, ComNameFallsBackToItsDevicePath) {
    Bench b("pdu", "\\\\.\\COM12");
    EXPECT_TRUE(TestModem(b.acc, "COM12:", ""));
}

TEST(ModemTest, ResetFamiliesAreTriedInOrder) {
    // The well-behaved modem offers a second AT+CFUN parameter.
    Bench b("pdu");
    b.wire->speed = 115200;
    platform::SystemError e;
    auto port = b.ports.open("COM7:", e);
    port->set_state({115200});
    EXPECT_TRUE(modem::ResetModem(b.acc, *port));
    EXPECT_EQ(b.sent(), (std::vector<std::string>{"AT+CFUN=?", "AT+CFUN=1,1"}));
    // A silent modem hears every family once.
    Bench s("silent");
    port = s.ports.open("COM7:", e);
    EXPECT_FALSE(modem::ResetModem(s.acc, *port));
    EXPECT_EQ(s.sent(), (std::vector<std::string>{"AT+CFUN=?", "AT*E2RESET=?", "AT!RESET", "AT+CFUN=1"}));
}

}  // namespace
}  // namespace ovr::test
