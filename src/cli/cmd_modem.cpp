// ovrinsmsctl modem ...: the local modem list, the modem test and section names.
#include <algorithm>
#include <ostream>

#include "cli/cli.h"
#include "cli/console_ui.h"
#include "cli/netmodem.h"
#include "modem/channel.h"
#include "modem/entries.h"
#include "modem/sequences.h"
#include "platform/platform.h"

namespace ovr::cli {
namespace {

constexpr const char* kUsage =
    "  ovrinsmsctl modem list [--network [--wait S] [--addresses]]\n"
    "  ovrinsmsctl modem query DEVICE [--mms] [--wait S] [--timeout S] [--transcript]\n"
    "  ovrinsmsctl modem test NAME [--pin PIN] [--transcript]\n"
    "  ovrinsmsctl modem section-name ENTRY\n"
    "    NAME is a line name from the list or a port such as COM3:\n"
    "    DEVICE is a network device's name or ADDRESS:PORT (\"OvrinSMSModem - \" may lead)\n";

int run(Context& ctx, const Args& in) {
    if (!in.empty() && in[0] == "query") return run_modem_query(ctx, Args(in.begin() + 1, in.end()));
    if (!in.empty() && in[0] == "list" && std::find(in.begin(), in.end(), "--network") != in.end())
        return run_modem_list_network(ctx, Args(in.begin() + 1, in.end()));
    Args args = in;
    std::string pin;
    bool has_pin = false;
    if (!take_option(args, "--pin", pin, has_pin)) return usage_error(ctx, "--pin needs a PIN");
    bool transcript = take_flag(args, "--transcript");
    if (args.empty()) return usage_error(ctx, "modem needs a subcommand");
    const std::string verb = args[0];
    if ((has_pin || transcript) && verb != "test") return usage_error(ctx, "--pin and --transcript go with modem test");

    if (verb == "section-name") {
        if (args.size() != 2) return usage_error(ctx, "usage: modem section-name ENTRY");
        ctx.out << modem::ModemSectionName(args[1]) << "\n";
        return 0;
    }
    platform::Platform p = platform::make_platform();
    if (verb == "list") {
        if (args.size() != 1) return usage_error(ctx, "usage: modem list");
        ConsoleUi ui(ctx.err, false);
        for (const auto& name : modem::ListTapiModems(*p.tapi, ui)) ctx.out << name << "\n";
        return 0;
    }
    if (verb == "test") {
        if (args.size() != 2) return usage_error(ctx, "usage: modem test NAME [--pin PIN] [--transcript]");
        ConsoleUi ui(ctx.err, false, transcript);
        modem::ModemAccess acc{*p.comm_ports, *p.tapi, *p.registry, *p.clock, ui, ctx.ini.rirer};
        return modem::TestModem(acc, args[1], pin) ? 0 : 1;
    }
    return usage_error(ctx, "unknown modem subcommand \"" + verb + "\"");
}

Registrar reg({"modem", kUsage, &run});

}  // namespace
}  // namespace ovr::cli
