// ovrinsmsctl modem ...: the local modem list, the modem test and section names.
#include <termios.h>
#include <unistd.h>

#include <optional>
#include <ostream>

#include "cli/cli.h"
#include "cli/console_ui.h"
#include "cli/json_text.h"
#include "cli/netmodem.h"
#include "modem/channel.h"
#include "modem/entries.h"
#include "modem/sequences.h"
#include "platform/platform.h"

namespace ovr::cli {
namespace {

int section_name(Context& ctx, const Invocation& inv) {
    ctx.out << modem::ModemSectionName(inv.arg(0)) << "\n";
    return 0;
}

int list(Context& ctx, const Invocation& inv) {
    if (inv.has("--network") && inv.has("--all")) return usage_error(ctx, "--network and --all exclude each other");
    if (inv.has("--addresses") && !inv.has("--network")) return usage_error(ctx, "--addresses goes with --network");
    if (inv.has("--network") || inv.has("--all")) return run_modem_list_network(ctx, inv);
    if (inv.has("--wait")) return usage_error(ctx, "--wait goes with --network or --all");
    platform::Platform p = platform::make_platform();
    ConsoleUi ui(ctx.err, false);
    std::vector<std::string> names = modem::ListTapiModems(*p.tapi, ui);
    if (inv.has("--json")) {
        ctx.out << "[";
        for (size_t i = 0; i < names.size(); ++i) ctx.out << (i ? ", " : "") << json_quote(names[i]);
        ctx.out << "]\n";
    } else {
        for (const auto& name : names) ctx.out << name << "\n";
    }
    // An empty list is a failed search, as for other tools' device lists.
    if (names.empty()) return failure(ctx, "no modems found");
    return 0;
}

// The SIM's PIN never appears on a command line (where every user's `ps`
// sees it): --pin-stdin reads it from the first line of standard input,
// without echo on a terminal.
constexpr size_t kMaxPin = 64;

// Nothing when the input ends before a line; "" for an empty line.
std::optional<std::string> read_pin(Context& ctx) {
    bool tty = isatty(STDIN_FILENO);
    termios saved{};
    bool quiet = tty && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (quiet) {
        termios t = saved;
        t.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &t);
        ctx.err << "PIN: ";
        ctx.err.flush();
    }
    std::string pin;
    bool line = false;
    char c;
    // Byte by byte, so nothing past the line is taken from a shared input.
    while (read(STDIN_FILENO, &c, 1) == 1) {
        if (c == '\n') {
            line = true;
            break;
        }
        if (pin.size() <= kMaxPin) pin += c;
    }
    if (quiet) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        ctx.err << "\n";
    }
    if (!line && pin.empty()) return std::nullopt;
    if (!pin.empty() && pin.back() == '\r') pin.pop_back();
    return pin;
}

// Hides the PIN wherever the dialogue would show it: the command in the
// transcript, and its echo in a reply quoted by a box.
class PinHidingUi : public ConsoleUi {
public:
    PinHidingUi(std::ostream& out, bool transcript, std::string pin)
        : ConsoleUi(out, false, transcript), shown_as_(pin.empty() ? "" : "+CPIN=\"" + pin + "\"") {}
    Answer message(const std::string& text, Icon icon, Buttons buttons, const std::string& caption) override {
        return ConsoleUi::message(hide(text), icon, buttons, caption);
    }
    void progress(const std::string& line) override { ConsoleUi::progress(hide(line)); }

private:
    std::string hide(std::string text) const {
        if (shown_as_.empty()) return text;
        const std::string masked = "+CPIN=\"****\"";
        for (size_t at = text.find(shown_as_); at != std::string::npos; at = text.find(shown_as_, at + masked.size()))
            text.replace(at, shown_as_.size(), masked);
        return text;
    }
    std::string shown_as_;
};

int test(Context& ctx, const Invocation& inv) {
    std::string pin;
    if (inv.has("--pin-stdin")) {
        std::optional<std::string> read = read_pin(ctx);
        if (!read) return usage_error(ctx, "--pin-stdin: no PIN on standard input");
        pin = *read;
        if (pin.empty()) return usage_error(ctx, "--pin-stdin: the PIN is empty");
        if (pin.size() > kMaxPin) return usage_error(ctx, "--pin-stdin: the PIN is longer than 64 characters");
        // It goes into AT+CPIN="...": a quote or a control character would
        // end the command early or start another.
        for (unsigned char ch : pin)
            if (ch < 0x20 || ch == 0x7F || ch == '"')
                return usage_error(ctx, "--pin-stdin: the PIN must not contain a quote or a control character");
    }
    platform::Platform p = platform::make_platform();
    PinHidingUi ui(ctx.err, inv.has("--transcript"), pin);
    modem::ModemAccess acc{*p.comm_ports, *p.tapi, *p.registry, *p.clock, ui, ctx.ini.rirer};
    return modem::TestModem(acc, inv.arg(0), pin) ? 0 : 1;
}

Registrar reg({
    "modem",
    "the local modems and the modem test",
    {
        {"list", "", "print the modems installed as line devices, or the network devices discovered",
         {{"--json", nullptr, "print one JSON array of the names (line devices)"},
          {"--network", nullptr, "discover network modem devices instead"},
          {"--all", nullptr, "the Select Modem list: local modems, then the network devices"},
          {"--wait", "S", "seconds of discovery (default 3)"},
          {"--addresses", nullptr, "print each device's ADDRESS:PORT after a tab"}},
         &list,
         "Exit status 1 and \"no modems found\" on standard error when there is no line device.\n"},
        {"query", "DEVICE", "ask a network modem device \"GET /init\" and print its answer",
         {{"--mms", nullptr, "succeed only when the device names an MMS server URL"},
          {"--wait", "S", "seconds of discovery for a device name (default 5)"},
          {"--timeout", "S", "seconds the reply may keep the reader waiting (default 120)"},
          {"--transcript", nullptr, "print the exchange on standard error"}},
         &run_modem_query},
        {"choose", "TEXT", "choose the modem as the wizard's Select Modem page does, proving it first",
         {{"--wait", "S", "seconds of discovery for a device entry (default 3)"},
          {"--transcript", nullptr, "print the AT dialogue or the device exchange on standard error"}},
         &run_modem_choose,
         "TEXT is a modem from \"modem list --all\" or ADDRESS:PORT. Every box is printed as\n"
         "its icon word and text, then \"Modem1: ENTRY\" (and \"RouteName: X\" for a device).\n"
         "Exit status 0 when the wizard would go on, 1 when it stays on the page.\n"},
        {"test", "NAME", "test a modem as the Modem page does",
         {{"--pin-stdin", nullptr, "read the SIM's PIN, when it asks for one, from standard input"},
          {"--transcript", nullptr, "print the AT dialogue on standard error"}},
         &test,
         "With --pin-stdin the first line of standard input is the PIN (asked for\n"
         "without echo on a terminal); it is never printed: the transcript shows\n"
         "AT+CPIN=\"****\". Example: ovrinsmsctl modem test COM7: --pin-stdin < pin.txt\n"},
        {"section-name", "ENTRY", "print the INI section name of a modem entry", {}, &section_name},
    },
    "NAME is a line name from \"modem list\" or a port such as COM3:. Without a modem,\n"
    "\"ovrinsms-modemsim --link PATH\" plays one on a pty (see its --help).\n"
    "DEVICE is a network device's name or ADDRESS:PORT (\"OvrinSMSModem - \" may lead).\n",
});

}  // namespace
}  // namespace ovr::cli
