// ovrinsmsctl counters: today, the last 7 and the last 30 days of every day
// counter the gateway keeps, for the local date now.
#include <cstdio>
#include <ostream>

#include "cli/cli.h"
#include "cli/json_text.h"
#include "platform/platform.h"
#include "service/status.h"

namespace ovr::cli {
namespace {

int run(Context& ctx, const Invocation& inv) {
    bool json = inv.has("--json");
    platform::Platform p = platform::make_platform();
    platform::LocalTime now = p.clock->local_now();
    if (json) {
        ctx.out << "{";
        bool first = true;
        for (const char* name : service::kCounterNames) {
            auto s = service::read_counter(ctx.dirs.private_data, name, now);
            ctx.out << (first ? "" : ", ") << json_quote(name) << ": [" << s.today << ", " << s.last7 << ", "
                    << s.last30 << "]";
            first = false;
        }
        ctx.out << "}\n";
        return 0;
    }
    char line[128];
    snprintf(line, sizeof line, "%-12s %10s %10s %10s\n", "", "Today", "Last 7", "Last 30");
    ctx.out << line;
    for (const char* name : service::kCounterNames) {
        auto s = service::read_counter(ctx.dirs.private_data, name, now);
        snprintf(line, sizeof line, "%-12s %10u %10u %10u\n", name, s.today, s.last7, s.last30);
        ctx.out << line;
    }
    return 0;
}

Registrar reg({"counters", "today, last 7 and last 30 days of every day counter",
               {{"", "", "print today, the last 7 and the last 30 days of every day counter",
                 {{"--json", nullptr, "print one JSON object"}}, &run}}});

}  // namespace
}  // namespace ovr::cli
