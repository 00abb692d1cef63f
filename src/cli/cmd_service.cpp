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

int status_cmd(Context& ctx, const Invocation& inv) {
    platform::Platform p = platform::make_platform();
    return status(ctx, p, inv.has("--json"));
}

template <const char* Verb>
int operation(Context& ctx, const Invocation& inv) {
    return operate(ctx, Verb, inv.has("--quiet"));
}

// The form an elevated copy is run with: the switch alone.
template <const char* Verb>
int elevated(Context& ctx, const Invocation&) {
    return operate(ctx, Verb, false);
}

constexpr char kInstall[] = "install", kRemove[] = "remove", kStart[] = "start", kStop[] = "stop",
               kRestart[] = "restart";
const Option kQuiet{"--quiet", nullptr, "print no result message"};

Registrar reg({
    "service",
    "install, remove, start and stop the two services",
    {
        {"status", "", "print whether each service is installed and running",
         {{"--json", nullptr, "print one JSON object"}}, &status_cmd},
        {"install", "", "install both services and start them", {kQuiet}, &operation<kInstall>},
        {"remove", "", "stop both services and remove them", {kQuiet}, &operation<kRemove>},
        {"start", "", "start both services", {kQuiet}, &operation<kStart>},
        {"stop", "", "stop both services", {kQuiet}, &operation<kStop>},
        {"restart", "", "stop both services, then start them", {kQuiet}, &operation<kRestart>},
    },
    "The operations are those of the console's switches, always without re-launching elevated.\n",
});
Registrar reg_install({"/INSTALLSERVICE", "", {{"", "", "service install", {}, &elevated<kInstall>}}, nullptr, true});
Registrar reg_remove({"/REMOVESERVICE", "", {{"", "", "service remove", {}, &elevated<kRemove>}}, nullptr, true});
Registrar reg_start({"/STARTSERVICE", "", {{"", "", "service start", {}, &elevated<kStart>}}, nullptr, true});
Registrar reg_stop({"/STOPSERVICE", "", {{"", "", "service stop", {}, &elevated<kStop>}}, nullptr, true});
Registrar reg_restart({"/RESTARTSERVICE", "", {{"", "", "service restart", {}, &elevated<kRestart>}}, nullptr, true});

}  // namespace
}  // namespace ovr::cli
