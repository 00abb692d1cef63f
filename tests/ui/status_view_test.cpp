// The Status page and the event log viewer on real widgets, offscreen.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "config/ini.h"
#include "pages/status_page.h"
#include "service/fake_gateway.h"
#include "ui/qt/event_log_window.h"
#include "ui/qt/status_view.h"

using namespace ovr;

namespace {

QApplication& qt_app() {
    static int argc = 1;
    static char name[] = "tests_ui";
    static char* argv[] = {name, nullptr};
    if (auto* existing = qobject_cast<QApplication*>(QApplication::instance())) return *existing;
    static QApplication a(argc, argv);
    return a;
}

const QColor kRed(255, 0, 0);

QColor text_colour(QLabel* l) { return l->palette().color(QPalette::WindowText); }
QColor default_colour(QLabel* l) { return QApplication::palette(l).color(QPalette::WindowText); }

struct StatusViewTest : ::testing::Test {
    test::FakeGateway g;
    pages::Context ctx;
    pages::NullPageSite site;
    std::string data;
    StatusViewTest() {
        qt_app();
        pages::StatusPage::forget_last_queue_count();
        data = g.scratch.path() + "data/";
        platform::fs::create_directories(data + "private/");
        ctx.dirs = {data, data + "private/", g.console_dir};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        ctx.ui = &g.ui;
        ctx.platform = &g.p;
    }
    ~StatusViewTest() override { pages::StatusPage::forget_last_queue_count(); }
};

TEST_F(StatusViewTest, ProblemsAreRedTextOnTheStandardBackgroundAndGoBackWhenWell) {
    pages::StatusPage page(ctx, g.console_dir);
    page.created(site);
    ui::StatusView view(page);
    EXPECT_EQ(view.service_status()->text().toStdString(), "Service is NOT Installed");
    EXPECT_EQ(text_colour(view.service_status()), kRed);
    EXPECT_EQ(text_colour(view.modem_information()), kRed);
    EXPECT_FALSE(view.service_status()->autoFillBackground());
    EXPECT_FALSE(view.start_button()->isEnabled());
    EXPECT_FALSE(view.stop_button()->isEnabled());

    ASSERT_TRUE(g.control().install_and_start(true));
    page.tick();
    view.sync_if_changed();
    EXPECT_EQ(view.service_status()->text().toStdString(), "Service is Active");
    EXPECT_EQ(text_colour(view.service_status()), default_colour(view.service_status()));
    EXPECT_EQ(view.modem_information()->text().toStdString(), "");
    EXPECT_EQ(text_colour(view.modem_information()), default_colour(view.modem_information()));
    EXPECT_TRUE(view.run_as_service()->isChecked());
    EXPECT_TRUE(view.stop_button()->isEnabled());
    EXPECT_FALSE(view.start_button()->isEnabled());

    g.block->data()[service::kFirstPortByte] = 1;
    page.tick();
    view.sync_if_changed();
    EXPECT_EQ(view.service_status()->text().toStdString(), "ERROR:  Web Port already in use");
    EXPECT_EQ(text_colour(view.service_status()), kRed);
}

TEST_F(StatusViewTest, AFullQueuePaintsItsLabelAndCountRed) {
    std::string q = data + "Q/";
    platform::fs::create_directories(q);
    for (int i = 0; i < 3; ++i) test::write_text(q + "M" + std::to_string(i) + ".REQ", "x");
    config::ini::write_string(ctx.ini.rirer, "RIRER", "AlertEMailQueueSize", "2");
    pages::StatusPage page(ctx, g.console_dir);
    page.created(site);
    ui::StatusView view(page);
    EXPECT_EQ(view.sms_queue_count()->text().toStdString(), "3");
    EXPECT_EQ(text_colour(view.sms_queue_count()), kRed);
    EXPECT_EQ(text_colour(view.sms_queue_label()), kRed);
    EXPECT_EQ(view.mms_queue_count()->text().toStdString(), "Empty");
    EXPECT_EQ(text_colour(view.mms_queue_label()), default_colour(view.mms_queue_label()));
}

TEST_F(StatusViewTest, FieldsAreRewrittenOnlyWhenTheirTextChangesIgnoringCase) {
    ASSERT_TRUE(g.control().install_and_start(true));
    pages::StatusPage page(ctx, g.console_dir);
    page.created(site);
    ui::StatusView view(page);
    // What is on screen differs from the model only in letter case.
    view.service_status()->setText("SERVICE IS ACTIVE");
    view.count(0, 0)->setText("");
    // Something else changes, so the view syncs all fields.
    test::write_text(service::modem_error_path(ctx.dirs.private_data, "COM1:"), "PIN required");
    config::ini::write_string(ctx.ini.rirer, "RIRER", "Modem1", "COM1:");
    page.tick();
    view.sync_if_changed();
    EXPECT_EQ(view.modem_information()->text().toStdString(), "COM1: : PIN required");
    EXPECT_EQ(view.service_status()->text().toStdString(), "SERVICE IS ACTIVE");

    // An unchanged tick leaves the model's revision, so nothing is touched.
    uint64_t rev = page.revision();
    page.tick();
    EXPECT_EQ(page.revision(), rev);
}

TEST_F(StatusViewTest, TheEventLogWindowAddsNewEventsOnTopAndClears) {
    auto& log = *g.p.event_log;
    log.report(platform::EventType::Information, "OvrinSMS", {"first"}, {2026, 1, 2, 3, 4, 5});
    ui::EventLogWindow w(ctx);
    EXPECT_EQ(w.windowTitle().toStdString(), "Event Log");
    EXPECT_TRUE(w.timer()->isActive());
    EXPECT_EQ(w.timer()->interval(), 5000);
    ASSERT_EQ(w.list()->count(), 1);
    w.list()->setCurrentRow(0);
    log.report(platform::EventType::Warning, "OvrinSMS", {"second"}, {2026, 1, 2, 3, 4, 6});
    w.refresh();
    ASSERT_EQ(w.list()->count(), 2);
    EXPECT_EQ(w.list()->item(0)->text().toStdString(), "2026-01-02 03:04:06 - Warning: second");
    EXPECT_EQ(w.list()->currentItem()->text().toStdString(), "2026-01-02 03:04:05 - Info: first");

    g.ui.script({Answer::Yes});
    w.clear_button()->click();
    EXPECT_EQ(w.list()->count(), 0);
    w.done(1);
    EXPECT_FALSE(w.timer()->isActive());
}

}  // namespace
