// ovrinsmsctl service ...: the service operations of the console's switches,
// always in command-line mode (never re-launching elevated), and the state of
// the two services.
#include <ostream>

#include "cli/cli.h"
#include "cli/console_ui.h"
#include "cli/json_text.h"
#include "platform/platform.h"
#include "service/control.h"
#include "service/status.h"

namespace ovr::cli {
namespace {

constexpr const char* kUsage =
    "  ovrinsmsctl service status [--json]\n"
    "  ovrinsmsctl service install|remove|start|stop|restart [--quiet]\n"
    "  ovrinsmsctl /INSTALLSERVICE|/REMOVESERVICE|/STARTSERVICE|/STOPSERVICE|/RESTARTSERVICE\n"
    "    (the form an elevated copy of the console is run with)\n";

int status(Context& ctx, platform::Platform& p, bool json) {
    struct Row {
        const char* name;
        bool installed, running;
    };
    Row rows[2] = {{service::kSmsServiceName, service::sms_service_installed(p), service::sms_service_running(p)},
                   {service::kMmscServiceName, service::mmsc_service_installed(p), service::mmsc_service_running(p)}};
    if (json) {
        ctx.out << "{";
        for (int i = 0; i < 2; ++i) {
            ctx.out << (i ? ", " : "") << json_quote(rows[i].name) << ": {\"installed\": "
                    << (rows[i].installed ? "true" : "false") << ", \"running\": "
                    << (rows[i].running ? "true" : "false") << "}";
        }
        ctx.out << "}\n";
        return 0;
    }
    for (const Row& r : rows) {
        ctx.out << r.name << ": " << (r.installed ? "installed" : "not installed");
        if (r.installed) ctx.out << ", " << (r.running ? "running" : "not running");
        ctx.out << "\n";
    }
    return 0;
}

// Runs one operation the way its switch does, with the switch's result
// messages for install and remove; 0 when the services ended up as asked.
int operate(Context& ctx, const std::string& verb, bool quiet) {
    platform::Platform p = platform::make_platform();
    ConsoleUi ui(ctx.err, false);
    service::ServiceControl control(p, ui);
    auto both_running = [&] { return service::sms_service_running(p) && service::mmsc_service_running(p); };
    if (verb == "install") {
        bool ok = control.install_and_start(true);
        if (!quiet) {
            if (ok) ui.message("Service successfully installed!", Icon::Information);
            else ui.message("Service installation failed!", Icon::Error);
        }
        return ok ? 0 : 1;
    }
    if (verb == "remove") {
        control.stop(true);
        bool ok = control.remove(true);
        if (!quiet) {
            if (ok) ui.message("Service successfully removed!", Icon::Information);
            else ui.message("Service removal failed!", Icon::Error);
        }
        return ok ? 0 : 1;
    }
    if (verb == "stop") {
        control.stop(true);
        bool installed = service::sms_service_installed(p) && service::mmsc_service_installed(p);
        bool any = service::sms_service_running(p) || service::mmsc_service_running(p);
        if (installed && any) return failure(ctx, "the services are still running");
        return installed ? 0 : 1;
    }
    if (verb == "start" || verb == "restart") {
        if (verb == "start") control.start(true);
        else control.restart(true);
        return both_running() ? 0 : 1;
    }
    return usage_error(ctx, "unknown service subcommand \"" + verb + "\"");
}

int run(Context& ctx, const Args& in) {
    Args args = in;
    bool json = take_flag(args, "--json");
    bool quiet = take_flag(args, "--quiet");
    if (args.size() != 1) return usage_error(ctx, "usage: service status [--json] | service install|remove|start|stop|restart [--quiet]");
    const std::string& verb = args[0];
    if (verb == "status") {
        if (quiet) return usage_error(ctx, "--quiet goes with the operations");
        platform::Platform p = platform::make_platform();
        return status(ctx, p, json);
    }
    if (json) return usage_error(ctx, "--json goes with service status");
    return operate(ctx, verb, quiet);
}

int run_switch(Context& ctx, const std::string& verb, const Args& args) {
    if (!args.empty()) return usage_error(ctx, "the switch takes no arguments");
    return operate(ctx, verb, false);
}

Registrar reg({"service", kUsage, &run});
Registrar reg_install({"/INSTALLSERVICE", "", [](Context& c, const Args& a) { return run_switch(c, "install", a); }});
Registrar reg_remove({"/REMOVESERVICE", "", [](Context& c, const Args& a) { return run_switch(c, "remove", a); }});
Registrar reg_start({"/STARTSERVICE", "", [](Context& c, const Args& a) { return run_switch(c, "start", a); }});
Registrar reg_stop({"/STOPSERVICE", "", [](Context& c, const Args& a) { return run_switch(c, "stop", a); }});
Registrar reg_restart({"/RESTARTSERVICE", "", [](Context& c, const Args& a) { return run_switch(c, "restart", a); }});

}  // namespace
}  // namespace ovr::cli
