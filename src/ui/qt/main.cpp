// ovrinsms-console: the configuration console's window front end.
#include <QApplication>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/console.h"
#include "app/recording_ui.h"
#include "config/modem_cache.h"
#include "platform/device_browser.h"
#include "platform/dynlib.h"
#include "ui/qt/console_windows.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/sheet_window.h"

using namespace ovr;

int main(int argc, char** argv) {
    // QApplication takes its own options out of argv; the switches are read
    // from the command line as given.
    std::vector<std::string> args(argv + 1, argv + argc);
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("ovrinsms-console");
    QApplication::setWindowIcon(ui::program_icon());

    platform::Platform plat = platform::make_platform();
    // Discovery of network modem devices, for the Select Modem page.
    std::string no_discovery;
    config::set_modem_browser(platform::make_device_browser(plat, no_discovery));
    pages::Context ctx;
    ctx.platform = &plat;
    ui::ConsoleWindows windows(ctx);
    ctx.windows = &windows;

    ui::QtUi qt_ui(plat.desktop);
    app::InlineBusyRunner inline_busy;
    std::unique_ptr<app::RecordingUi> recording;
    app::BusyRunner* busy = &qt_ui;
    ctx.ui = &qt_ui;
    if (plat.backend == platform::Backend::Sim && platform::get_env("OVRINSMS_SIM_UI") == "record") {
        recording = std::make_unique<app::RecordingUi>(plat.sim_root + "ui.log", platform::get_env("OVRINSMS_SIM_ANSWERS"),
                                                       plat.desktop);
        ctx.ui = recording.get();
        busy = &inline_busy;
    }

    app::GatewayServiceActions services(plat, *ctx.ui);
    // The sheets need to know whether help exists, which start-up finds out.
    struct LateRunner final : app::SheetRunner {
        pages::Context& ctx;
        explicit LateRunner(pages::Context& c) : ctx(c) {}
        int run(app::Sheet& sheet) override { return ui::QtSheetRunner(ctx.help_available).run(sheet); }
    } sheets(ctx);
    return app::run_console(ctx, args, services, *busy, sheets, std::cout, app::default_hooks());
}
