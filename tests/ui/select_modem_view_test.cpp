// The Select Modem view offscreen: a click in the list fills the text field,
// the window's activation refills the list, a device discovered between two
// ticks is listed at once, and a device query's exchange shows in the wait
// window while the query still runs.
#include "ui/qt/select_modem_view.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "app/sheet.h"
#include "config/ini.h"
#include "config/modem_cache.h"
#include "device_server.h"
#include "pages/select_modem.h"
#include "platform/device_browser.h"
#include "platform/fs.h"
#include "support/scratch.h"
#include "ui/test_app.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/sheet_window.h"

using namespace ovr;

namespace {

QApplication& app() { return test::qt_app(); }

struct SelectModemViewTest : ::testing::Test {
    test::ScratchDir dir;
    platform::Platform plat;
    pages::Context ctx;
    ScriptedUi ui;

    SelectModemViewTest() {
        app();
        plat = platform::make_sim_platform(dir.path() + "sim/", std::make_shared<platform::SystemClock>());
        ctx.dirs = {dir.path() + "data/", dir.path() + "private/", dir.path()};
        platform::fs::create_directories(ctx.dirs.program_data);
        ctx.ini = config::ini_paths_for(ctx.dirs);
        test::write_text(ctx.ini.rirer, "[RIRER]\n");
        ctx.ui = &ui;
        ctx.platform = &plat;
    }
    // A data-modem line: a link in the simulated modems directory.
    void add_modem(const std::string& name) {
        platform::fs::create_directories(plat.sim_root + "modems/");
        ASSERT_EQ(symlink("/dev/null", (plat.sim_root + "modems/" + name).c_str()), 0);
    }
    static int row_of(QListWidget* list, const QString& text) {
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text() == text) return i;
        return -1;
    }
};

TEST_F(SelectModemViewTest, ClickFillsTheFieldAndActivationRefillsKeepingTheSelection) {
    add_modem("Beta Modem");
    std::vector<std::unique_ptr<pages::PageModel>> v;
    v.push_back(std::make_unique<pages::SelectModemPage>(ctx));
    app::Sheet sheet(app::SheetKind::Wizard, ctx, std::move(v));
    ui::SheetWindow w(sheet, true);
    auto* view = dynamic_cast<ui::SelectModemView*>(w.view(0));
    ASSERT_NE(view, nullptr);
    QListWidget* list = view->list();
    int beta = row_of(list, "Beta Modem");
    ASSERT_GE(beta, 0);
    emit list->itemClicked(list->item(beta));
    EXPECT_EQ(view->text()->text(), "Beta Modem");

    add_modem("Alpha Modem");
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&w, &activate);
    EXPECT_EQ(row_of(list, "Alpha Modem"), 0);
    EXPECT_EQ(list->currentRow(), row_of(list, "Beta Modem"));
    EXPECT_TRUE(list->currentItem()->isSelected());
    EXPECT_EQ(view->text()->text(), "Beta Modem");

    // Typing goes to the page; the field never holds more than an entry may.
    view->text()->setText("");
    for (QChar c : QString("10.0.0.200:8990")) {
        view->text()->insert(QString(c));
        emit view->text()->textEdited(view->text()->text());
    }
    auto& page = dynamic_cast<pages::SelectModemPage&>(sheet.page(0));
    EXPECT_EQ(page.text(), "10.0.0.200:8990");
    EXPECT_EQ(view->text()->maxLength(), 249);
}

// The view alone has no tick timer: only the discovery thread's wake can
// bring the device into the list.
TEST_F(SelectModemViewTest, DeviceFoundBetweenTicksIsListedWithoutWaitingForTheTick) {
    config::set_modem_browser(platform::make_sim_device_browser(plat.sim_root, plat.clock));
    pages::SelectModemPage page(ctx);
    pages::NullPageSite site;
    page.created(site);
    const QString entry = QString::fromStdString("OvrinSMSModem - Woken Phone " + std::to_string(getpid()));
    {
        ui::SelectModemView view(page);
        ASSERT_FALSE(platform::register_sim_device(plat.sim_root, entry.mid(16).toStdString(), "127.0.0.1:9").empty());
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (row_of(view.list(), entry) < 0 && std::chrono::steady_clock::now() < until) {
            QThread::msleep(10);
            QApplication::processEvents();
        }
        EXPECT_GE(row_of(view.list(), entry), 0);
    }
    // Without its view the page is never woken again (a wake into the dead
    // view would be a use after free).
    const std::string unseen = "Unseen Phone " + std::to_string(getpid());
    ASSERT_FALSE(platform::register_sim_device(plat.sim_root, unseen, "127.0.0.1:8").empty());
    for (int i = 0; i < 100 && !config::cached_modem_address(unseen); ++i) QThread::msleep(10);
    QApplication::processEvents();
}

TEST_F(SelectModemViewTest, DeviceExchangeShowsInTheWaitWindowWhileTheQueryRuns) {
    devicesim::DeviceSpec spec;
    spec.profile = "slow";
    spec.slow_delay_ms = 1500;
    devicesim::DeviceServer server(spec);
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;

    ui::QtUi qt_ui(nullptr);
    ctx.ui = &qt_ui;
    ctx.run_busy = [&](const std::string& title, const std::string& text, const std::function<void()>& work) {
        qt_ui.run(title, text, work);
    };
    pages::SelectModemPage::Options o;
    o.discover = false;
    auto page = std::make_unique<pages::SelectModemPage>(ctx, o);
    pages::NullPageSite site;
    page->created(site);
    page->set_text(server.address());

    QString seen;
    bool ticked_while_busy = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* dlg = qobject_cast<ui::BusyDialog*>(top))
                if (auto* lines = dlg->findChild<QPlainTextEdit*>()) seen = lines->toPlainText();
        if (page->busy()) {
            page->tick();   // as the page's timer would
            ticked_while_busy = true;
        }
    });
    probe.start(100);
    EXPECT_TRUE(page->wizard_next());
    probe.stop();
    EXPECT_TRUE(ticked_while_busy);
    // The request went out and was shown before the late reply arrived.
    EXPECT_TRUE(seen.contains("-> GET /init HTTP/1.0")) << seen.toStdString();
    EXPECT_EQ(config::ini::read_string(ctx.ini.rirer, "RIRER", "Modem1"), "OvrinSMSModem - " + server.address());
}

}  // namespace
