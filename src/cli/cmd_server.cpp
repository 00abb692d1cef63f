// ovrinsmsctl server ...: the Server page from a shell: the ports the
// services listen on, the service status, and the web interface's address.
#include <ostream>

#include "cli/cli.h"
#include "cli/diagnose.h"
#include "config/settings.h"
#include "config/support.h"
#include "pages/server_page.h"
#include "platform/platform.h"
#include "platform/ui.h"
#include "service/status.h"

namespace ovr::cli {
namespace {

std::string port_or_off(uint32_t p) { return p ? std::to_string(p) : "off"; }
std::string json_port(uint32_t p) { return p ? std::to_string(p) : "null"; }

int run_get(Context& ctx, const Invocation& inv) {
    pages::ServerPorts p = pages::load_server_ports(ctx.ini);
    auto plat = platform::make_platform();
    bool running = service::sms_service_running(plat) || service::mmsc_service_running(plat);
    bool installed = service::sms_service_installed(plat) && service::mmsc_service_installed(plat);
    const char* status = running ? "Active" : "Not Active";
    const char* button = running ? "Stop Service" : installed ? "Start Service" : "Install Service";
    if (inv.has("--json")) {
        ctx.out << "{\"web_port\": " << p.web << ", \"smpp_port\": " << json_port(p.smpp)
                << ", \"mm7_port\": " << json_port(p.mm7) << ", \"status\": \"" << status << "\", \"button\": \""
                << button << "\"}\n";
        return 0;
    }
    ctx.out << "Web Interface Port Number: " << p.web << "\n"
            << "SMPP Port Number: " << port_or_off(p.smpp) << "\n"
            << "MM7/EAIF Port Number: " << port_or_off(p.mm7) << "\n"
            << "Server Status: " << status << "\n"
            << "Service button: " << button << "\n";
    return 0;
}

// A port option: a whole number from 1 to 65535, or "off" where allowed.
bool port_option(Context& ctx, const Invocation& inv, const char* name, bool may_be_off, uint32_t& out, int& rc) {
    if (!inv.has(name)) return true;
    const std::string& v = inv.value(name);
    if (may_be_off && v == "off") {
        out = 0;
        return true;
    }
    size_t n = 0;
    if (!parse_size(v, n) || n < 1 || n > 65535) {
        rc = usage_error(ctx, std::string(name) + " takes a port from 1 to 65535" + (may_be_off ? " or \"off\"" : "") +
                                  ", not \"" + v + "\"");
        return false;
    }
    out = static_cast<uint32_t>(n);
    return true;
}

int run_set(Context& ctx, const Invocation& inv) {
    pages::ServerPorts p = pages::load_server_ports(ctx.ini);
    int rc = 0;
    if (!port_option(ctx, inv, "--web-port", false, p.web, rc) || !port_option(ctx, inv, "--smpp-port", true, p.smpp, rc) ||
        !port_option(ctx, inv, "--mm7-port", true, p.mm7, rc))
        return rc;
    if (auto c = pages::find_port_conflict(p)) return failure(ctx, pages::port_conflict_message(c->port));
    if (ensure_data_directory(ctx) != 0) return 1;
    if (!pages::save_server_ports(ctx.ini, p))
        return failure(ctx, "the ports were not all saved: " + unwritable_reason(ctx.ini.rirer));
    return 0;
}

int run_open_web(Context& ctx, const Invocation& inv) {
    // With web logins required and no user, the page would not open it.
    if (config::read_yes(ctx.ini.rirer, "RIRER", "WebAuth", "Yes")) {
        config::UserFileHandle file;
        config::UserRecord r;
        if (!config::open_user_file(ctx.dirs.program_data, config::kGenericRead, file))
            return failure(ctx, "cannot read the user file in " + ctx.dirs.program_data);
        if (!config::SMSGetUserRecord(file, 0, r)) {
            ctx.err << "error: No user accounts are defined.\n";
            return 1;
        }
    }
    std::string url = pages::web_interface_url(ctx.ini);
    if (inv.has("--print")) {
        ctx.out << url << "\n";
        return 0;
    }
    auto plat = platform::make_platform();
    if (!plat.desktop || !plat.desktop->open(url, "./")) return failure(ctx, "cannot open " + url);
    ctx.out << url << "\n";
    return 0;
}

Registrar reg({"server",
               "the ports the services listen on, as the Server page sets them",
               {
                   {"get", "", "print the three ports and the service status", {{"--json", nullptr, "print one JSON object"}},
                    &run_get,
                    "An optional protocol that is off shows \"off\". --json prints {\"web_port\": N,\n"
                    "\"smpp_port\": N|null, \"mm7_port\": N|null, \"status\": TEXT, \"button\": TEXT}.\n"},
                   {"set", "", "set any of the three ports; the others keep theirs",
                    {{"--web-port", "N", "the web interface port, 1 to 65535"},
                     {"--smpp-port", "N", "the SMPP server port, or \"off\""},
                     {"--mm7-port", "N", "the MMSC's MM7/EAIF port, or \"off\""}},
                    &run_set,
                    "Two enabled protocols cannot share a port: such a change is refused (exit 1)\n"
                    "and nothing is written. The services read the ports when they start.\n"},
                   {"open-web", "", "open the web interface in the browser, as \"Test Using Web Interface\"",
                    {{"--print", nullptr, "print the address instead of opening it"}}, &run_open_web,
                    "While web logins are required (WebAuth) and no user is defined it opens\n"
                    "nothing: \"error: No user accounts are defined.\" and exit 1.\n"},
               }});

}  // namespace
}  // namespace ovr::cli
