// ovrinsms-console: the configuration console's window front end.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include <QApplication>
#include <QSocketNotifier>
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

namespace {

int quit_pipe[2] = {-1, -1};
std::atomic<int> quit_signals{0};  // lock-free, so safe in a handler

extern "C" void on_quit_signal(int sig) {
    // A second signal while the windows are still closing (an unsaved-changes
    // question waiting, say) ends the console at once: whoever sent it will
    // not wait for an answer. Every INI write is atomic, so nothing is torn.
    if (quit_signals.fetch_add(1) > 0) _exit(128 + sig);
    char c = 1;
    ssize_t n = write(quit_pipe[1], &c, 1);
    (void)n;
}

// SIGTERM (and SIGINT, unless ignored) closes the windows as the user would,
// so the console ends through its normal exit rather than dying in the middle
// of a page's work; a second one ends it at once.
void close_windows_on_signals(QApplication& app) {
    if (pipe2(quit_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(quit_pipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char buf[16];
        while (read(quit_pipe[0], buf, sizeof buf) > 0) {
        }
        QApplication::closeAllWindows();
    });
    struct sigaction sa {};
    sa.sa_handler = on_quit_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    struct sigaction old {};
    if (sigaction(SIGINT, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) sigaction(SIGINT, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    // QApplication takes its own options out of argv; the switches are read
    // from the command line as given.
    std::vector<std::string> args(argv + 1, argv + argc);
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("ovrinsms-console");
    QApplication::setWindowIcon(ui::program_icon());
    close_windows_on_signals(qapp);

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
