// ovrinsmsctl events: the gateway's events as the event log viewer lists
// them (newest first), and the clearing of the application log.
#include <ostream>

#include "cli/cli.h"
#include "cli/console_ui.h"
#include "cli/json_text.h"
#include "pages/event_log_viewer.h"
#include "platform/platform.h"

namespace ovr::cli {
namespace {

constexpr const char* kUsage =
    "  ovrinsmsctl events [--json]\n"
    "  ovrinsmsctl events --clear [--yes]   (clears the whole application log, then lists)\n";

int run(Context& ctx, const Args& in) {
    Args args = in;
    bool json = take_flag(args, "--json");
    bool clear = take_flag(args, "--clear");
    bool yes = take_flag(args, "--yes");
    if (!args.empty() || (yes && !clear)) return usage_error(ctx, "usage: events [--json] [--clear [--yes]]");
    platform::Platform p = platform::make_platform();
    ConsoleUi ui(ctx.err, yes);
    pages::Context pc;
    pc.dirs = ctx.dirs;
    pc.ini = ctx.ini;
    pc.platform = &p;
    pc.ui = &ui;
    // No list limit here: a script sees every event.
    pages::EventLogViewer viewer(pc, static_cast<size_t>(-1));
    size_t boxes = ui.shown().size();
    if (clear) {
        viewer.press_clear();
    } else {
        viewer.opened();
    }
    // A box here is the log failing to open.
    bool failed = false;
    for (size_t i = boxes; i < ui.shown().size(); ++i)
        if (ui.shown()[i] == pages::EventLogViewer::kOpenFailed) failed = true;
    if (failed) return 1;
    if (clear && viewer.cleared() == 0) return failure(ctx, "the event log was not cleared");
    if (json) {
        ctx.out << "[";
        bool first = true;
        for (const auto& line : viewer.lines()) {
            ctx.out << (first ? "" : ", ") << json_quote(line);
            first = false;
        }
        ctx.out << "]\n";
    } else {
        for (const auto& line : viewer.lines()) ctx.out << line << "\n";
    }
    return 0;
}

Registrar reg({"events", kUsage, &run});

}  // namespace
}  // namespace ovr::cli
