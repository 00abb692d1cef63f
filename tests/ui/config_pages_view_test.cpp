// The Server and Users pages and the user dialog on real widgets, offscreen.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "config/ini.h"
#include "config/support.h"
#include "pages/server_page.h"
#include "pages/user_dialog.h"
#include "pages/users_page.h"
#include "support/page_site.h"
#include "support/scratch.h"
#include "ui/qt/server_view.h"
#include "ui/test_app.h"
#include "ui/qt/user_dialog_view.h"
#include "ui/qt/users_view.h"

using namespace ovr;

namespace {

struct ConfigViews : ::testing::Test {
    test::ScratchDir d;
    ScriptedUi ui;
    pages::Context ctx;
    test::CountingSite site;
    ConfigViews() {
        test::qt_app();
        ctx.dirs = {d.path(), d.path(), d.path()};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        ctx.ui = &ui;
        setenv("OVRINSMS_DATA_DIR", d.path().c_str(), 1);
    }
    ~ConfigViews() override { unsetenv("OVRINSMS_DATA_DIR"); }
};

}  // namespace

TEST_F(ConfigViews, ServerEnableBoxesGreyTheirPortFieldsAndTypingIsAnEdit) {
    test::write_text(ctx.ini.rirer, "[RIRER]\nSMPPPort=2775\n");
    pages::ServerPage page(ctx);
    page.created(site);
    ui::ServerView v(page);
    EXPECT_EQ(v.web_port()->text(), "8800");
    EXPECT_TRUE(v.smpp_port()->isEnabled());
    EXPECT_FALSE(v.mm7_port()->isEnabled());
    EXPECT_FALSE(v.mm7_port_label()->isEnabled());
    EXPECT_EQ(site.changed, 0);  // filling the fields was no edit
    v.mm7_enable()->click();
    EXPECT_TRUE(v.mm7_port()->isEnabled());
    EXPECT_TRUE(v.mm7_port_label()->isEnabled());
    v.smpp_enable()->click();
    EXPECT_FALSE(v.smpp_port()->isEnabled());
    EXPECT_EQ(v.smpp_port()->text(), "2775");  // the text stays
    v.web_port()->setFocus();
    v.web_port()->selectAll();
    v.web_port()->insert("8900");
    EXPECT_EQ(page.web_port().text, "8900");
    EXPECT_GE(site.changed, 3);
    EXPECT_EQ(v.server_status()->text(), "");  // no platform: no status
}

TEST_F(ConfigViews, VirtualListAsksOnlyForTheRowsItShows) {
    config::UserFileHandle f;
    ASSERT_TRUE(config::open_user_file(d.path(), config::kGenericRead | config::kGenericWrite, f));
    // Many users, written in one go as the gateway would have them.
    std::string bytes;
    for (int i = 0; i < 5000; ++i) {
        config::UserRecord r;
        char name[16];
        std::snprintf(name, sizeof name, "user%05d", i);
        r.set_name(name);
        bytes.append(reinterpret_cast<const char*>(r.bytes.data()), r.bytes.size());
    }
    test::write_text(d.path() + config::kUserFileName, bytes);
    pages::UsersPage page(ctx);
    page.created(site);
    ui::UsersView v(page);
    v.resize(500, 400);
    v.show();
    QApplication::processEvents();
    EXPECT_EQ(v.list()->model()->rowCount(), 5000);
    EXPECT_GT(page.record_reads(), 0u);
    EXPECT_LT(page.record_reads(), 200u);
    EXPECT_EQ(v.list()->model()->index(4999, 0).data().toString(), "user04999");
    // Type-ahead goes through the page's prefix search.
    v.list()->keyboardSearch("user0420");
    EXPECT_EQ(page.selection(), (std::set<uint32_t>{4200}));
}

TEST_F(ConfigViews, UserDialogMasksThePasswordAndFollowsItsBoxes) {
    config::UserFileHandle f;
    config::open_user_file(d.path(), config::kGenericRead | config::kGenericWrite, f);
    config::UserRecord r;
    r.set_name("alice");
    r.set_password("secret");
    r.set_web_menu_level(0xB3);
    pages::UserDialog dialog(ctx, f, r);
    ui::UserDialogView v(dialog);
    QLineEdit* pw = v.edit(static_cast<int>(pages::UserText::Password));
    EXPECT_EQ(pw->echoMode(), QLineEdit::Password);
    EXPECT_EQ(pw->text(), "secret");
    EXPECT_EQ(v.menu()->currentIndex(), -1);
    EXPECT_TRUE(v.menu()->isEnabled());
    v.box(static_cast<int>(pages::UserBox::WebLogin))->click();
    EXPECT_FALSE(v.menu()->isEnabled());
    EXPECT_FALSE(v.menu_label()->isEnabled());
    EXPECT_FALSE(v.box(static_cast<int>(pages::UserBox::Admin))->isEnabled());
    QLineEdit* recips = v.edit(static_cast<int>(pages::UserText::Recipients));
    EXPECT_FALSE(recips->isEnabled());
    v.box(static_cast<int>(pages::UserBox::AcceptReceived))->click();
    EXPECT_TRUE(recips->isEnabled());
    EXPECT_TRUE(v.recipients_label()->isEnabled());
    // A refused name keeps the dialog open with the focus on the name.
    v.edit(static_cast<int>(pages::UserText::Name))->setText("");
    dialog.set_text(pages::UserText::Name, "");
    v.show();
    v.press_ok();
    EXPECT_TRUE(v.isVisible());
    EXPECT_EQ(ui.boxes.back().text, "Field is required!");
}
