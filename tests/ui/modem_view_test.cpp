// The Modem page on real widgets, offscreen: the enable and visibility
// rules reach the widgets, and clicks and typing reach the model.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QApplication>
#include <QKeyEvent>
#include <gtest/gtest.h>

#include <cstdlib>

#include "config/ini.h"
#include "pages/modem_page.h"
#include "support/page_site.h"
#include "support/scratch.h"
#include "ui/qt/modem_view.h"
#include "test_app.h"

using namespace ovr;

namespace {

struct ModemViewTest : ::testing::Test {
    test::ScratchDir d;
    ScriptedUi ui;
    pages::Context ctx;
    test::CountingSite site;
    ModemViewTest() {
        test::qt_app();
        setenv("OVRINSMS_DATA_DIR", d.path().c_str(), 1);
        ctx.dirs = {d.path(), d.path(), d.path()};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        ctx.ui = &ui;
    }
    ~ModemViewTest() override { unsetenv("OVRINSMS_DATA_DIR"); }
};

}  // namespace

TEST_F(ModemViewTest, EnableRulesReachTheWidgetsAndEditsReachThePage) {
    test::write_text(ctx.ini.rirer, "[RIRER]\nModem1=COM7:\n[Modem - COM7:]\nAPN=internet\nReceiveMMS=No\n");
    pages::ModemPageServices s;
    s.network_connections = [] { return std::vector<std::string>{"Modem: COM7:", "Dial-up"}; };
    pages::ModemPage page(ctx, s);
    page.created(site);
    ui::ModemView view(page);
    view.show();
    EXPECT_EQ(view.modem()->text(), "COM7:");
    EXPECT_TRUE(view.modem()->isReadOnly());
    EXPECT_FALSE(view.send_mms()->isChecked());
    EXPECT_FALSE(view.text(0)->isEnabled());
    EXPECT_FALSE(view.text_label(0)->isEnabled());
    EXPECT_FALSE(view.test()->isEnabled());
    EXPECT_FALSE(view.connection()->isEnabled());
    EXPECT_EQ(view.text(2)->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(view.use_default()->isHidden());

    view.send_mms()->click();
    EXPECT_TRUE(view.text(0)->isEnabled() && view.test()->isEnabled() && view.receive_mms()->isEnabled());
    view.non_standard()->click();
    EXPECT_TRUE(view.connection()->isEnabled());
    EXPECT_EQ(view.connection()->currentText(), "Modem: COM7:");
    view.receive_sms()->click();
    EXPECT_FALSE(view.storage()->isEnabled());
    EXPECT_FALSE(view.receive_mms()->isEnabled());

    view.text(0)->selectAll();
    for (char c : std::string("mms")) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_M, Qt::NoModifier, QString(QChar(c)));
        QApplication::sendEvent(view.text(0), &key);
    }
    EXPECT_EQ(page.text(pages::ModemPage::Field::Apn).text, "mms");
    EXPECT_TRUE(ctx.unsaved_changes);

    // A refused test puts the focus on the field concerned.
    view.test()->click();
    EXPECT_EQ(ui.texts().back(), "MMS Server URL is Required!");
    EXPECT_EQ(page.focus(), pages::ModemPage::Field::Url);
}

TEST_F(ModemViewTest, ANetworkDeviceHidesTheDialSettings) {
    test::write_text(ctx.ini.rirer, "[RIRER]\nModem1=OvrinSMSModem - 10.0.0.5:8990\n");
    pages::ModemPageServices s;
    s.device_mms = [](const std::string&, std::string& url, std::string& proxy) {
        url = "http://mms/";
        proxy = "1.2.3.4:80";
        return true;
    };
    pages::ModemPage page(ctx, s);
    page.created(site);
    ui::ModemView view(page);
    view.show();
    EXPECT_FALSE(view.use_default()->isHidden());
    EXPECT_TRUE(view.use_default()->isChecked());
    EXPECT_TRUE(view.text(0)->isHidden() && view.test()->isHidden() && view.storage()->isHidden());
    EXPECT_FALSE(view.text(4)->isEnabled());
    EXPECT_EQ(view.text(4)->text(), "http://mms/");
    view.use_default()->click();
    EXPECT_TRUE(view.text(4)->isEnabled());
    EXPECT_TRUE(view.lookup()->isEnabled());
}
