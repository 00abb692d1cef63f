// The E-mail page and the mailbox dialog on real widgets, offscreen: what the
// user sees follows the models' rules.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

#include "support/scratch.h"
#include "test_app.h"
#include "ui/qt/email_view.h"

using namespace ovr;
using Field = pages::MailboxDialog::Field;

namespace {

bool pass(Ui*, const std::string&, bool, const std::string&, const std::string&) { return true; }
bool fail(Ui*, const std::string&, bool, const std::string&, const std::string&) { return false; }

class EmailViewTest : public ::testing::Test {
protected:
    EmailViewTest() {
        test::qt_app();
        ctx.dirs = {d.path(), d.path() + "private/", d.path()};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        test::write_text(ctx.ini.mmsc, "");
        test::write_text(ctx.ini.rirer, "");
        ctx.ui = &ui;
    }
    test::ScratchDir d;
    pages::Context ctx;
    ScriptedUi ui;
};

TEST_F(EmailViewTest, DeliveryReportsAreEnabledOnlyWhileRepliesAreRouted) {
    pages::EmailPage page(ctx);
    ui::EmailView v(page);
    EXPECT_FALSE(v.delivery_reports()->isEnabled());
    v.track_sender()->click();
    EXPECT_TRUE(v.delivery_reports()->isEnabled());
    v.delivery_reports()->click();
    EXPECT_TRUE(page.delivery_reports().checked);
    v.track_sender()->click();
    EXPECT_FALSE(v.delivery_reports()->isEnabled());
    // Typing in the template is not a change; choosing from the list is.
    ctx.unsaved_changes = false;
    v.template_box()->setEditText("@@Text@@ and more");
    EXPECT_EQ(page.template_text(), "@@Text@@ and more");
    EXPECT_EQ(v.template_box()->count(), 3);
    EXPECT_EQ(v.template_box()->itemText(0).toStdString(), pages::kDefaultEmailTemplate);
}

TEST_F(EmailViewTest, ThePasswordIsMaskedAndAFailedTestFocusesItsServer) {
    ui::MailboxWindow w(ctx, pages::MailboxKind::Sms, nullptr, {&pass, &fail, &pass});
    w.show();
    EXPECT_EQ(w.field(Field::Password)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(w.field(Field::ReceivePort)->text().toStdString(), "143");
    w.tls()->click();
    EXPECT_EQ(w.field(Field::ReceivePort)->text().toStdString(), "993");
    EXPECT_EQ(w.field(Field::SmtpPort)->text().toStdString(), "587");
    w.pop3()->click();
    EXPECT_EQ(w.field(Field::ReceivePort)->text().toStdString(), "995");
    w.imap()->click();

    w.press_ok();
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Field is required!"});
    EXPECT_EQ(w.focusWidget(), w.field(Field::Address));
    for (auto [f, text] : {std::pair{Field::Address, "a@b.c"}, {Field::User, "u"}, {Field::Password, "p"},
                           {Field::ReceiveHost, "imap.b.c"}, {Field::SmtpHost, "smtp.b.c"}}) {
        w.field(f)->setFocus();
        w.field(f)->setText(text);
        w.model().set_text(f, text);
    }
    w.press_ok();
    EXPECT_TRUE(w.isVisible()) << "the IMAP test failed: the dialog stays";
    EXPECT_EQ(w.focusWidget(), w.field(Field::ReceiveHost));
    EXPECT_EQ(test::read_text(ctx.ini.mmsc), "");
}

}  // namespace
