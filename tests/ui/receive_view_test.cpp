// The 2-Way page and its dialogs offscreen: the enable rules follow clicks,
// typing checks an action, the PHP upload hides the MM7 fields.
#include "ui/qt/receive_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "config/ini.h"
#include "pages/keyword_dialog.h"
#include "pages/mm7_dialog.h"
#include "pages/receive_page.h"
#include "support/scratch.h"
#include "ui/qt/keyword_dialog_window.h"
#include "ui/qt/mm7_dialog_window.h"
#include "ui/test_app.h"

using namespace ovr;

namespace {

struct TwoWayViewTest : ::testing::Test {
    TwoWayViewTest() {
        test::qt_app();
        ctx.dirs = {dir.path(), dir.path() + "private/", dir.path()};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        ctx.ui = &ui;
        test::write_text(ctx.ini.rirer, "[2Way-Keywords]\nKeyword1=INFO\n[2Way-Keyword-INFO]\nReplyText=hi\n");
    }
    test::ScratchDir dir;
    ScriptedUi ui;
    pages::Context ctx;
    pages::NullPageSite site;
};

}  // namespace

TEST_F(TwoWayViewTest, ClicksMoveTheEnableRules) {
    nettest::PhpSearch none;
    none.directories = {};
    pages::ReceivePage page(ctx, none);
    page.created(site);
    ui::ReceiveView view(page);
    EXPECT_FALSE(view.route_to_user()->isEnabled());
    EXPECT_FALSE(view.table()->isEnabled());
    EXPECT_EQ(view.table()->topLevelItemCount(), 1);
    EXPECT_EQ(view.table()->topLevelItem(0)->text(1).toStdString(), "ReplyText=hi");
    view.process_sms()->click();
    EXPECT_TRUE(view.route_to_user()->isEnabled());
    EXPECT_TRUE(view.table()->isEnabled());
    EXPECT_TRUE(view.add_button()->isEnabled());
    EXPECT_FALSE(view.mms_route(2)->isEnabled());
    view.process_mms()->click();
    EXPECT_TRUE(view.mms_route(2)->isEnabled());
    EXPECT_FALSE(view.configure_button()->isEnabled());
    view.mms_route(2)->click();
    EXPECT_TRUE(view.configure_button()->isEnabled());
    view.route_to_user()->click();
    EXPECT_TRUE(view.users()->isEnabled());
    EXPECT_FALSE(view.table()->isEnabled());
    view.php_enable()->click();  // no interpreter: unchecked again, with the message
    EXPECT_FALSE(view.php_enable()->isChecked());
    EXPECT_EQ(ui.texts().back(), "PHP support not available, unable to locate php-cgi.exe");
}

TEST_F(TwoWayViewTest, TypingIntoAnActionChecksIt) {
    pages::KeywordDialog d(ctx, "");
    ui::KeywordDialogWindow w(d);
    using T = pages::KeywordDialog::Text;
    using C = pages::KeywordDialog::Check;
    EXPECT_FALSE(w.check(C::RunCommand)->isChecked());
    w.line(T::Run)->setText("http://x");
    emit w.line(T::Run)->textEdited("http://x");
    EXPECT_TRUE(w.check(C::RunCommand)->isChecked());
    EXPECT_EQ(d.text(T::Run), "http://x");
    w.line(T::Run)->clear();
    emit w.line(T::Run)->textEdited("");
    EXPECT_FALSE(w.check(C::RunCommand)->isChecked());
    EXPECT_FALSE(w.line(T::Numbers)->isVisible());
}

TEST_F(TwoWayViewTest, PhpUploadHidesTheMm7Fields) {
    pages::Mm7Dialog d(ctx, nullptr);
    ui::Mm7DialogWindow w(d);
    w.show();
    using T = pages::Mm7Dialog::Text;
    EXPECT_TRUE(w.line(T::VaspId)->isVisible());
    emit w.variations()->activated(1);
    EXPECT_FALSE(w.line(T::VaspId)->isVisible());
    EXPECT_FALSE(w.versions()->isVisible());
    EXPECT_TRUE(w.line(T::Server)->isVisible());
    emit w.variations()->activated(3);
    EXPECT_TRUE(w.line(T::UserName)->isVisible());
}
