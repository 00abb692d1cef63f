#include "modem/sequences.h"

#include "config/text.h"

namespace ovr::modem {

using platform::CommPort;

namespace {

// Send X, wait n s: the reply (empty when nothing came).
struct Exchange {
    bool sent = false;
    size_t got = 0;
    std::string reply;
    bool ok() const { return IsOkResponse(reply); }
};

Exchange exchange(ModemAccess& acc, CommPort& port, const std::string& command, uint32_t seconds) {
    Exchange e;
    e.sent = SendModemCommand(acc, port, command);
    if (!e.sent) return e;
    e.got = ReadModemResponse(acc, port, e.reply, kResponseBuffer, seconds);
    return e;
}

size_t skip_blanks(const std::string& s, size_t i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    return i;
}

}  // namespace

bool EnsureModemPowered(ModemAccess& acc, CommPort& port) {
    Exchange e = exchange(acc, port, "AT+CFUN?\r", 10);
    if (!e.sent || e.got == 0) return false;
    size_t p = e.reply.find("+CFUN:");
    if (p == std::string::npos) return false;
    p = skip_blanks(e.reply, p + 6);
    if (p < e.reply.size() && e.reply[p] == '1') return false;
    return exchange(acc, port, "AT+CFUN=1\r", 10).ok();
}

bool WaitForNetwork(ModemAccess& acc, CommPort& port) {
    EnsureModemPowered(acc, port);
    for (int poll = 0; poll < 18; ++poll) {
        Exchange e = exchange(acc, port, "AT+COPS?\r", 10);
        if (!e.sent || e.got == 0) return false;
        size_t p = e.reply.find("+COPS:");
        if (p == std::string::npos) continue;
        p = skip_blanks(e.reply, p + 6);
        while (p < e.reply.size() && e.reply[p] >= '0' && e.reply[p] <= '9') ++p;
        p = skip_blanks(e.reply, p);
        if (p < e.reply.size() && e.reply[p] == ',') {
            // Registered: the message storage must answer too.
            for (int ask = 0; ask < 10; ++ask) {
                Exchange s = exchange(acc, port, "AT+CPMS?\r", 10);
                if (!s.sent || s.got == 0) return false;
                if (s.reply.find("+CMS ERROR") == std::string::npos) return true;
                if (ask < 9) acc.clock.sleep_ms(2000);
            }
            return false;
        }
        acc.clock.sleep_ms(5000);
    }
    return false;
}

bool ResetModem(ModemAccess& acc, CommPort& port) {
    Exchange e = exchange(acc, port, "AT+CFUN=?\r", 10);
    if (e.ok()) {
        size_t p = e.reply.find("+CFUN:");
        if (p != std::string::npos) {
            p = skip_blanks(e.reply, p + 6);
            if (p < e.reply.size() && e.reply[p] == '(') {
                size_t close = e.reply.find(')', p);
                if (close != std::string::npos) {
                    size_t after = skip_blanks(e.reply, close + 1);
                    // A second parameter is offered: full reset.
                    if (after < e.reply.size() && e.reply[after] == ',' &&
                        exchange(acc, port, "AT+CFUN=1,1\r", 10).ok())
                        return true;
                }
            }
        }
    }
    if (exchange(acc, port, "AT*E2RESET=?\r", 10).ok() && exchange(acc, port, "AT*E2RESET\r", 10).ok()) return true;
    if (exchange(acc, port, "AT!RESET\r", 10).ok()) return true;
    return exchange(acc, port, "AT+CFUN=1\r", 10).ok();
}

bool TestModem(ModemAccess& acc, const std::string& modem_name, const std::string& pin) {
    acc.ui.busy_begin("Testing modem...");
    acc.busy = true;
    struct BusyEnd {
        ModemAccess& acc;
        ~BusyEnd() {
            acc.busy = false;
            acc.ui.busy_end();
        }
    } busy_end{acc};

    OpenChannel ch = OpenModemPort(acc, modem_name, pin);
    if (!ch.valid()) {
        show_box(acc, "Unable to access modem, ensure that it is powered on and passes diagnostic tests.", Icon::Error);
        return false;
    }
    CommPort& port = *ch.port;
    SetModemTimeouts(acc, port, kTestTimeouts);
    if (EnsureModemPowered(acc, port)) WaitForNetwork(acc, port);

    bool passed = false;
    std::string failure;
    auto run = [&]() {
        if (!pin.empty()) {
            Exchange q = exchange(acc, port, "AT+CPIN?\r", 5);
            if (!config::find_ignoring_case(q.reply, "READY")) {
                if (SendModemCommand(acc, port, "AT+CPIN=\"" + pin + "\"\r")) {
                    std::string reply;
                    ReadModemResponse(acc, port, reply, kResponseBuffer, 30);
                    if (!IsOkResponse(reply)) {
                        failure = "Invalid PIN --\r\n\r\n" + reply;
                        return;
                    }
                    exchange(acc, port, "AT+CPIN?\r", 25);
                }
            }
        }
        // Each step: its three failure texts (not sent, no reply, not OK).
        auto step = [&](const std::string& cmd, const char* not_sent, const char* no_reply,
                        const char* not_ok) -> bool {
            Exchange e = exchange(acc, port, cmd, 30);
            if (!e.sent) failure = not_sent;
            else if (e.got == 0) failure = no_reply;
            else if (!e.ok()) failure = std::string(not_ok) + e.reply;
            return failure.empty();
        };
        if (!step("ATE0V1\r", "Unable to send initialization command to modem",
                  "Error waiting for initialization response from modem", "Error initializing modem --\r\n\r\n"))
            return;
        if (!step("ATE0V1\r", "Unable to send initial command to modem", "Error waiting for initial response from modem",
                  "Error initialising modem --\r\n\r\n"))
            return;

        const char* kCsmsNotSent = "Unable to send SMS initialization command to modem";
        const char* kCsmsNoReply = "Error waiting for SMS initialization response from modem";
        bool csms_ok = false;
        for (const char* cmd : {"AT+CSMS=0\r", "AT+CSMS=128\r"}) {
            Exchange e = exchange(acc, port, cmd, 30);
            if (!e.sent) return void(failure = kCsmsNotSent);
            if (e.got == 0) return void(failure = kCsmsNoReply);
            if (e.ok()) {
                csms_ok = true;
                break;
            }
        }
        if (!csms_ok && EnsureModemPowered(acc, port)) {
            // The radio was off: give the SIM time to come up, then ask again.
            WaitForNetwork(acc, port);
            for (int attempt = 0; attempt < 8; ++attempt) {
                acc.clock.sleep_ms(5000);
                Exchange e = exchange(acc, port, "AT+CSMS=0\r", 30);
                if (!e.sent || e.got == 0) continue;
                if (e.ok()) break;
                e = exchange(acc, port, "AT+CSMS=128\r", 30);
                if (!e.sent || e.got == 0) continue;
                if (e.ok()) break;
                e = exchange(acc, port, "AT+CSMS?\r", 30);
                if (!e.sent || e.got == 0) continue;
                if (e.ok() && config::find_ignoring_case(e.reply, "+CSMS:")) break;
            }
        }

        Exchange pdu = exchange(acc, port, "AT+CMGF=0\r", 30);
        if (!pdu.sent) return void(failure = "Unable to send SMS PDU mode initialization command to modem");
        if (pdu.got == 0) return void(failure = "Error waiting for SMS PDU mode initialization response from modem");
        std::string pass_text;
        if (pdu.ok()) {
            if (!SendModemCommand(acc, port, "AT+CMGS=86\r"))
                return void(failure = "Unable to send SMS message command to modem");
            std::string reply;
            size_t n = ReadModemResponse(acc, port, reply, kResponseBuffer, 5);
            // Silence or the modem's prompt for the PDU: it takes the command.
            if (n != 0 && (IsOkResponse(reply) || reply.find("ERROR") != std::string::npos))
                return void(failure = "Modem does not properly support command for sending SMS (AT+CMGS)");
            pass_text = "Modem successfully tested!";
        } else {
            Exchange text = exchange(acc, port, "AT+CMGF=1\r", 30);
            if (!text.sent) show_box(acc, "Unable to send SMS text mode initialization command to modem", Icon::None);
            else if (text.got == 0)
                show_box(acc, "Error waiting for SMS text mode initialization response from modem", Icon::None);
            if (!SendModemCommand(acc, port, "AT+CMGS=\"123456789\"\r"))
                return void(failure = "Unable to send SMS message command to modem");
            std::string reply;
            size_t n = ReadModemResponse(acc, port, reply, kResponseBuffer, 5);
            if (n != 0 && (IsOkResponse(reply) || reply.find("ERROR") != std::string::npos))
                return void(failure = "Modem does not properly support command for sending SMS (AT+CMGS - text mode)");
            pass_text = "Modem successfully tested!\r\n\r\nModem supports text messages only.";
        }
        // Leave the message prompt without sending anything.
        SendModemCommand(acc, port, "\x1b");
        acc.clock.sleep_ms(100);
        SendModemCommand(acc, port, "\r");
        acc.clock.sleep_ms(100);
        exchange(acc, port, "AT\r", 5);
        show_box(acc, pass_text, Icon::Information);
        passed = true;
    };
    run();
    if (!passed && !failure.empty()) show_box(acc, failure, Icon::Error);
    CloseChannel(acc, ch);
    return passed;
}

}  // namespace ovr::modem
