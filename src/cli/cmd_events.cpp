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

int run(Context& ctx, const Invocation& inv) {
    bool json = inv.has("--json");
    bool clear = inv.has("--clear");
    bool yes = inv.has("--yes");
    if (yes && !clear) return usage_error(ctx, "--yes goes with --clear");
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
    // A box here is the log failing to open or to clear.
    bool failed = false;
    for (size_t i = boxes; i < ui.shown().size(); ++i)
        if (ui.shown()[i] == pages::EventLogViewer::kOpenFailed || ui.shown()[i] == pages::EventLogViewer::kClearFailed)
            failed = true;
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

Registrar reg({"events", "the gateway's events, newest first",
               {{"", "", "print the gateway's events as the event log viewer lists them, newest first",
                 {{"--json", nullptr, "print one JSON array of the lines"},
                  {"--clear", nullptr, "clear the application log first (asks unless --yes); on the journal, hide the events logged so far"},
                  {"--yes", nullptr, "answer yes to the question of --clear"}},
                 &run, "--json prints [LINE, ...], newest first, each line as the viewer shows it.\n"}}});

}  // namespace
}  // namespace ovr::cli
