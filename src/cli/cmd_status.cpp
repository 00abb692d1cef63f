// ovrinsmsctl status: what the Status page shows: the service status and
// modem information texts with their red flags, the two outbound queue
// counts and the day counter rows, so a script sees what the page shows.
#include <cstdio>
#include <ostream>

#include "cli/cli.h"
#include "cli/json_text.h"
#include "platform/platform.h"
#include "queue/queue_dirs.h"
#include "service/status.h"
#include "service/status_text.h"

namespace ovr::cli {
namespace {

// `empty` says what an empty field means.
void print_text(Context& ctx, const char* label, const service::StatusText& t, const char* empty) {
    ctx.out << label << (t.red ? " [red]" : "") << ":";
    if (t.text.empty()) {
        ctx.out << "\n  " << empty << "\n";
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

const char* json_bool(bool b) { return b ? "true" : "false"; }

std::string json_queue(const queue::QueueCountText& q) {
    return "{\"count\": " + std::to_string(q.count) + ", \"text\": " + json_quote(q.text) +
           ", \"red\": " + json_bool(q.red) + "}";
}

void print_queue(Context& ctx, const char* label, const queue::QueueCountText& q) {
    char line[128];
    std::snprintf(line, sizeof line, "%-22s %10s%s\n", label, q.text.c_str(), q.red ? " [red]" : "");
    ctx.out << line;
}

void print_row(Context& ctx, const service::CounterRow& row) {
    char line[128];
    std::snprintf(line, sizeof line, "%-22s %10s %10s %10s\n", row.label, service::count_field_text(row.today).c_str(),
                  service::count_field_text(row.last7).c_str(), service::count_field_text(row.last30).c_str());
    // An all-empty row keeps no trailing blanks.
    std::string text = line;
    while (text.size() > 1 && text[text.size() - 2] == ' ') text.erase(text.size() - 2, 1);
    ctx.out << text;
}

// As "systemctl is-active": 0 when both services run, 3 when either is not
// installed or not running, so monitoring can use it as it stands.
int exit_status(const service::GatewayStates& st) { return st.sms_up() && st.mmsc_up() ? 0 : 3; }

int run(Context& ctx, const Invocation& inv) {
    bool json = inv.has("--json");
    platform::Platform p = platform::make_platform();
    // One look: the texts and the exit status tell of the same moment.
    const service::GatewayStates st = service::read_gateway_states(p);
    service::StatusText svc = service::service_status_text(p, st);
    service::StatusText modem = service::modem_information_text(st, ctx.ini.rirer, ctx.dirs.private_data);
    queue::QueueSetup q = queue::make_queue_setup(ctx.dirs, ctx.ini);
    queue::QueueCountText sms_queue = queue::queue_count_text(q, queue::CountOutboundSms(q));
    queue::QueueCountText mms_queue = queue::queue_count_text(q, queue::CountOutboundMms(q));
    auto rows = service::status_counter_rows(ctx.dirs.private_data, p.clock->local_now());
    // The page's order: the SMS queue heads the five SMS rows, the MMS queue
    // the three MMS rows.
    constexpr size_t kSmsRows = 5;
    if (json) {
        ctx.out << "{\"service_status\": {\"text\": " << json_quote(svc.text) << ", \"red\": " << json_bool(svc.red)
                << "}, \"modem_information\": {\"text\": " << json_quote(modem.text)
                << ", \"red\": " << json_bool(modem.red) << "}, \"outbound_sms_queue\": " << json_queue(sms_queue)
                << ", \"outbound_mms_queue\": " << json_queue(mms_queue) << ", \"counters\": [";
        for (size_t i = 0; i < rows.size(); ++i) {
            const service::CounterRow& r = rows[i];
            ctx.out << (i ? ", " : "") << "{\"row\": " << json_quote(r.label) << ", \"counters\": [" << json_quote(r.first)
                    << (r.second ? ", " + json_quote(r.second) : std::string()) << "], \"today\": " << r.today
                    << ", \"last7\": " << r.last7 << ", \"last30\": " << r.last30 << "}";
        }
        ctx.out << "]}\n";
        return exit_status(st);
    }
    print_text(ctx, "Service status", svc, "(none)");
    print_text(ctx, "Modem information", modem, "(no modem errors)");
    char head[128];
    std::snprintf(head, sizeof head, "%-22s %10s %10s %10s\n", "", "Today", "Last 7", "Last 30");
    ctx.out << head;
    print_queue(ctx, "Outbound SMS Queue:", sms_queue);
    for (size_t i = 0; i < kSmsRows; ++i) print_row(ctx, rows[i]);
    print_queue(ctx, "Outbound MMS Queue:", mms_queue);
    for (size_t i = kSmsRows; i < rows.size(); ++i) print_row(ctx, rows[i]);
    return exit_status(st);
}

Registrar reg({"status", "what the Status page shows",
               {{"", "", "print the service status, modem information, queue counts and counters",
                 {{"--json", nullptr, "print one JSON object"}}, &run,
                 "Exit status: 0 when both services are installed and running, 3 when either\n"
                 "is not (the texts are printed either way), 1 or 2 as for any command.\n"
                 "An empty modem information field (no modem errors) shows as\n"
                 "\"(no modem errors)\".\n\n"
                 "--json prints {\"service_status\": {\"text\", \"red\"},\n"
                 "  \"modem_information\": {\"text\", \"red\"},\n"
                 "  \"outbound_sms_queue\": {\"count\", \"text\", \"red\"}, \"outbound_mms_queue\": {...},\n"
                 "  \"counters\": [{\"row\", \"counters\": [NAME, ...], \"today\", \"last7\", \"last30\"}, ...]}.\n"}}});

}  // namespace
}  // namespace ovr::cli
