// ovrinsmsctl modem ...: the local modem list, the modem test and section names.
#include <ostream>

#include "cli/cli.h"
#include "cli/console_ui.h"
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

int list(Context& ctx, const Invocation&) {
    platform::Platform p = platform::make_platform();
    ConsoleUi ui(ctx.err, false);
    for (const auto& name : modem::ListTapiModems(*p.tapi, ui)) ctx.out << name << "\n";
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
        {"list", "", "print the modems installed as line devices", {}, &list},
        {"test", "NAME", "test a modem as the Modem page does",
         {{"--pin", "PIN", "the SIM's PIN, when it asks for one"},
          {"--transcript", nullptr, "print the AT dialogue on standard error"}},
         &test},
        {"section-name", "ENTRY", "print the INI section name of a modem entry", {}, &section_name},
    },
    "NAME is a line name from \"modem list\" or a port such as COM3:.\n",
});

}  // namespace
}  // namespace ovr::cli
