// A few paths through the real widgets, offscreen.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "app/sheet.h"
#include "config/ini.h"
#include "device_server.h"
#include "pages/select_modem.h"
#include "support/scratch.h"
#include "ui/test_app.h"
#include "ui/qt/page_views.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/sheet_window.h"

using namespace ovr;

namespace {

QApplication& app() { return test::qt_app(); }

struct UiTest : ::testing::Test {
    test::ScratchDir d;
    ScriptedUi ui;
    pages::Context ctx;
    UiTest() {
        app();
        ctx.dirs = {d.path(), d.path(), d.path()};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        ctx.ui = &ui;
    }
};

}  // namespace

TEST_F(UiTest, DebugLogsEditEnablesApplyAndApplyWrites) {
    app::Sheet sheet(app::SheetKind::Main, ctx, app::make_main_pages(ctx));
    ui::SheetWindow w(sheet, false);
    w.show();
    EXPECT_FALSE(w.help_button()->isVisible());
    EXPECT_EQ(w.tabs()->tabText(7), "Debug Logs");
    EXPECT_FALSE(w.apply_button()->isEnabled());
    w.tabs()->setCurrentIndex(7);
    auto* view = dynamic_cast<ui::DebugLogsView*>(w.view(7));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->check(0)->text(), "SMS Gateway (smsdebug.log, smppdebug.log, etc.)");
    EXPECT_FALSE(view->view_button(0)->isEnabled());
    view->check(1)->click();
    EXPECT_TRUE(w.apply_button()->isEnabled());
    w.apply_button()->click();
    EXPECT_FALSE(w.apply_button()->isEnabled());
    EXPECT_EQ(config::ini::read_string(d.file("MMSC.INI"), "MMSC", "Debug"), "Yes");
}

TEST_F(UiTest, CancelWithChangesAsksAndStaysOnNo) {
    app::Sheet sheet(app::SheetKind::Main, ctx, app::make_main_pages(ctx));
    ui::SheetWindow w(sheet, true);
    w.show();
    w.tabs()->setCurrentIndex(7);
    dynamic_cast<ui::DebugLogsView*>(w.view(7))->check(2)->click();
    ui.script({Answer::No});
    w.cancel_button()->click();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(ui.texts(), (std::vector<std::string>{"Exit without saving configuration changes?"}));
    ui.script({Answer::Yes});
    w.cancel_button()->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(sheet.result(), 0);
}

TEST_F(UiTest, ConfigurationCompleteButtonStates) {
    // A modem without MMS: its settings page lets Next through (and removes
    // the route account of the scratch data directory).
    setenv("OVRINSMS_DATA_DIR", d.path().c_str(), 1);
    config::ini::write_string(ctx.ini.rirer, "RIRER", "Modem1", "COM7:");
    config::ini::write_string(ctx.ini.rirer, "Modem - COM7:", "ReceiveMMS", "No");
    config::ini::write_string(ctx.ini.rirer, "Modem - COM7:", "MMSURL", "http://mms/");
    auto wizard = app::make_wizard_pages(ctx);
    // Proving a modem is the Select Modem page's own business; a stand-in
    // lets Next through.
    wizard[0] = std::make_unique<pages::EmptyPage>(ctx, wizard[0]->title(), wizard[0]->template_name(),
                                                   pages::WizardButtons::Next);
    app::Sheet sheet(app::SheetKind::Wizard, ctx, std::move(wizard));
    ui::SheetWindow w(sheet, false);
    w.show();
    EXPECT_FALSE(w.back_button()->isEnabled());
    for (int i = 0; i < 3; ++i) w.next_button()->click();
    EXPECT_EQ(w.header()->text(), "OvrinSMS Lite Setup Wizard:  Configuration Complete");
    EXPECT_TRUE(w.back_button()->isEnabled());
    EXPECT_FALSE(w.next_button()->isEnabled());
    EXPECT_FALSE(w.finish_button()->isVisible());
    auto* view = dynamic_cast<ui::WizardCompleteView*>(w.view(3));
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->yes()->isChecked() || view->no()->isChecked());
    view->no()->click();
    EXPECT_TRUE(w.finish_button()->isVisible() && w.finish_button()->isEnabled());
    view->yes()->click();
    EXPECT_FALSE(view->no()->isChecked());
    EXPECT_TRUE(w.next_button()->isEnabled());
    w.next_button()->click();
    EXPECT_EQ(w.header()->text(), "OvrinSMS Lite Setup Wizard:  Send Test Message");
    w.back_button()->click();
    view->no()->click();
    w.finish_button()->click();
    EXPECT_TRUE(sheet.closed());
    EXPECT_EQ(sheet.result(), 1);
}

TEST_F(UiTest, BusyWorkRunsOffTheUiThreadAndItsBoxesShowOnIt) {
    ui::QtUi qt(nullptr);
    std::atomic<bool> worker_off_ui{false};
    bool box_on_ui = false;
    // Answers the box when it appears, from the UI thread's event loop.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box_on_ui = QThread::currentThread() == qApp->thread();
            box->button(QMessageBox::Yes)->click();
        }
    });
    answer.start(10);
    Answer got = Answer::No;
    qt.run("Please wait...", "Stopping Services...", [&] {
        worker_off_ui = std::this_thread::get_id() != std::thread::id() &&
                        QThread::currentThread() != qApp->thread();
        qt.progress("AT");
        got = qt.message("Proceed?", Icon::Question, Buttons::YesNo);
    });
    EXPECT_TRUE(worker_off_ui);
    EXPECT_TRUE(box_on_ui);
    EXPECT_EQ(got, Answer::Yes);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(UiTest, FirstStartRunsTheWizardThenTheMainSheet) {
    setenv("OVRINSMS_DATA_DIR", d.path().c_str(), 1);
    setenv("OVRINSMS_PRIVATE_DIR", (d.path() + "private/").c_str(), 1);
    setenv("OVRINSMS_PROGRAM_DIR", d.path().c_str(), 1);
    devicesim::DeviceServer phone(devicesim::DeviceSpec{});
    std::string error;
    ASSERT_TRUE(phone.start(error)) << error;
    std::vector<std::string> seen;
    // Plays the user: through the wizard with "No" and Finish, then on the
    // main sheet clears the SMS gateway's debug log and presses OK.
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        ui::SheetWindow* w = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* s = qobject_cast<ui::SheetWindow*>(top); s && s->isVisible()) w = s;
        if (!w || w->sheet().closed()) return;
        if (w->sheet().kind() == app::SheetKind::Wizard) {
            seen.push_back(w->header()->text().toStdString());
            if (w->sheet().current() == 0) {
                // The modem must answer before the wizard goes on: a phone typed in.
                dynamic_cast<pages::SelectModemPage&>(w->sheet().page(0)).set_text(phone.address());
                w->next_button()->click();
            } else if (w->sheet().current() < 3) {
                w->next_button()->click();
            } else if (auto* v = dynamic_cast<ui::WizardCompleteView*>(w->view(3))) {
                v->no()->click();
                w->finish_button()->click();
            }
        } else {
            seen.push_back("main");
            w->tabs()->setCurrentIndex(7);
            dynamic_cast<ui::DebugLogsView*>(w->view(7))->check(0)->click();
            w->ok_button()->click();
        }
    });
    user.start(5);
    app::ScriptedServiceActions services;
    app::InlineBusyRunner busy;
    ui::QtSheetRunner sheets(false);
    std::ostringstream out;
    app::StartupHooks hooks;
    EXPECT_EQ(app::run_console(ctx, {}, services, busy, sheets, out, hooks), 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"OvrinSMS Lite Setup Wizard:  Select Modem",
                                              "OvrinSMS Lite Setup Wizard:  Modem Settings",
                                              "OvrinSMS Lite Setup Wizard:  Server Settings",
                                              "OvrinSMS Lite Setup Wizard:  Configuration Complete", "main"}));
    EXPECT_FALSE(config::ini::read_value(d.file("RIRER.INI"), "RIRER", "Debug").has_value());
    EXPECT_EQ(config::ini::read_string(d.file("MMSC.INI"), "MMSC", "Debug"), "Yes");
}
