// ovrinsmsctl modem ...: the local modem list, the modem test and section names.
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

int test(Context& ctx, const Invocation& inv) {
    platform::Platform p = platform::make_platform();
    ConsoleUi ui(ctx.err, false, inv.has("--transcript"));
    modem::ModemAccess acc{*p.comm_ports, *p.tapi, *p.registry, *p.clock, ui, ctx.ini.rirer};
    return modem::TestModem(acc, inv.arg(0), inv.value("--pin")) ? 0 : 1;
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
         {{"--pin", "PIN", "the SIM's PIN, when it asks for one"},
          {"--transcript", nullptr, "print the AT dialogue on standard error"}},
         &test},
        {"section-name", "ENTRY", "print the INI section name of a modem entry", {}, &section_name},
    },
    "NAME is a line name from \"modem list\" or a port such as COM3:. Without a modem,\n"
    "\"ovrinsms-modemsim --link PATH\" plays one on a pty (see its --help).\n"
    "DEVICE is a network device's name or ADDRESS:PORT (\"OvrinSMSModem - \" may lead).\n",
});

}  // namespace
}  // namespace ovr::cli
