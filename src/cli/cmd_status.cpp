// ovrinsmsctl status: the service status and modem information texts of the
// Status page, with their red flags, so a script sees what the page shows.
#include <ostream>

#include "cli/cli.h"
#include "cli/json_text.h"
#include "platform/platform.h"
#include "service/status_text.h"

namespace ovr::cli {
namespace {

constexpr const char* kUsage = "  ovrinsmsctl status [--json]\n";

void print_text(Context& ctx, const char* label, const service::StatusText& t) {
    ctx.out << label << (t.red ? " [red]" : "") << ":";
    if (t.text.empty()) {
        ctx.out << "\n";
        return;
    }
    // One indented line per line of the field.
    std::string line;
    ctx.out << "\n";
    for (char c : t.text) {
        if (c == '\r') continue;
        if (c == '\n') {
            ctx.out << "  " << line << "\n";
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) ctx.out << "  " << line << "\n";
}

int run(Context& ctx, const Args& in) {
    Args args = in;
    bool json = take_flag(args, "--json");
    if (!args.empty()) return usage_error(ctx, "usage: status [--json]");
    platform::Platform p = platform::make_platform();
    service::StatusText svc = service::service_status_text(p);
    service::StatusText modem = service::modem_information_text(p, ctx.ini.rirer, ctx.dirs.private_data);
    if (json) {
        ctx.out << "{\"service_status\": {\"text\": " << json_quote(svc.text)
                << ", \"red\": " << (svc.red ? "true" : "false") << "}, \"modem_information\": {\"text\": "
                << json_quote(modem.text) << ", \"red\": " << (modem.red ? "true" : "false") << "}}\n";
        return 0;
    }
    print_text(ctx, "Service status", svc);
    print_text(ctx, "Modem information", modem);
    return 0;
}

Registrar reg({"status", kUsage, &run});

}  // namespace
}  // namespace ovr::cli
