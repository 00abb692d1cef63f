#include "pages/users_page.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "config/ini.h"
#include "pages/gateway_fixture.h"
#include "pages/user_dialog.h"

using namespace ovr;
using pages::UserBox;
using pages::UserDialog;
using pages::UsersPage;
using pages::UserText;
using test::write_text;

namespace {

// Runs each dialog through the next scripted hand: it fills the fields and
// says whether to press OK (Cancel otherwise). OK that the dialog refuses
// counts as a Cancel after the refusal.
struct DialogWindows : pages::Windows {
    std::vector<std::function<bool(UserDialog&)>> hands;
    int shown = 0;
    void open_queue_viewer(pages::ViewerKind) override {}
    void open_event_log_viewer() override {}
    bool run_dialog(pages::DialogModel& d) override {
        auto& dialog = dynamic_cast<UserDialog&>(d);
        if (static_cast<size_t>(shown) >= hands.size()) return false;
        return hands[static_cast<size_t>(shown++)](dialog) && dialog.ok();
    }
};

struct UsersTest : test::GatewayPageTest {
    DialogWindows windows;
    config::UserFileHandle file;
    UsersTest() {
        setenv("OVRINSMS_DATA_DIR", data.c_str(), 1);
        ctx.windows = &windows;
        config::open_user_file(data, config::kGenericRead | config::kGenericWrite, file);
    }
    ~UsersTest() override { unsetenv("OVRINSMS_DATA_DIR"); }

    void add_user(const std::string& name, const std::string& full = "", bool mm7 = false) {
        config::UserRecord r;
        r.set_name(name);
        r.set_full_name(full);
        r.set_password("pw-" + name);
        ASSERT_TRUE(config::SMSAddUser(file, r));
        if (mm7) {
            config::VaspRecord v;
            v.set_name(name);
            v.set_password("pw-" + name);
            v.set_mm7_flags();
            ASSERT_TRUE(config::VASPAddUser(v));
        }
    }
    std::unique_ptr<UsersPage> open() {
        auto page = std::make_unique<UsersPage>(ctx);
        page->created(site);
        return page;
    }
    std::vector<std::string> names() {
        std::vector<std::string> v;
        config::UserRecord r;
        for (uint32_t i = 0; config::SMSGetUserRecord(file, i, r); ++i) v.push_back(r.name());
        return v;
    }
    bool has_mm7(const std::string& n) {
        config::VaspRecord v;
        return config::VASPFindUserRecord(n, v);
    }
    std::string routing(const std::string& n) {
        return config::ini::read_string(ctx.ini.rirer, pages::kInboundRouting, n, "<none>", 1000);
    }
    std::string user_dir(const std::string& n) { return data + "USERS/" + n + "/"; }
    void make_user_dir(const std::string& n) {
        platform::fs::create_directories(user_dir(n));
        write_text(user_dir(n) + "inbox.txt", n);
    }
};

}  // namespace

TEST(UserNames, UnsafeNames) {
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "a=b", "[x", ";x", " x", "x ", "x\ty", "x\x7f"})
        EXPECT_FALSE(pages::is_safe_user_name(bad)) << bad;
    for (const char* good : {"alice", "a.b", "x[1]", "Jörg", "a;b", "mid dle"})
        EXPECT_TRUE(pages::is_safe_user_name(good)) << good;
}

TEST_F(UsersTest, DialogLoadRules) {
    config::UserRecord r;
    r.set_name("alice");
    r.set_web_login_disabled(true);
    r.set_administrator(true);
    r.set_web_menu_level(0xB3);
    r.set_allowed_ips(std::string(49, '1'));
    write_text(ctx.ini.rirer, "[Inbound SMS Routing]\nalice=+1555\n");
    UserDialog d(ctx, file, r);
    EXPECT_EQ(d.title(), "Edit User");
    EXPECT_FALSE(d.box(UserBox::WebLogin).checked);
    EXPECT_FALSE(d.box(UserBox::Admin).checked);  // web login off
    EXPECT_FALSE(d.box(UserBox::Admin).enabled);
    EXPECT_FALSE(d.menu_enabled());
    EXPECT_EQ(d.menu(), -1);
    // The routing value is loaded although SMPP login is off.
    EXPECT_FALSE(d.box(UserBox::SmppLogin).checked);
    EXPECT_TRUE(d.box(UserBox::AcceptReceived).checked);
    EXPECT_TRUE(d.text(UserText::Recipients).enabled);
    EXPECT_EQ(d.text(UserText::Recipients).text, "+1555");
    EXPECT_TRUE(d.text(UserText::Password).masked);
    for (auto [level, item] : {std::pair{0xB1, 1}, {0xB0, 0}, {0x00, 0}, {0xB2, -1}, {0xB4, -1}, {0xB5, 0}}) {
        r.set_web_menu_level(static_cast<uint8_t>(level));
        EXPECT_EQ(UserDialog(ctx, file, r).menu(), item) << level;
    }
    // An unchanged OK keeps the routing key and stores the menu as 0xB0.
    r.set_web_menu_level(0xB3);
    UserDialog again(ctx, file, r);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(routing("alice"), "+1555");
    EXPECT_EQ(again.record().web_menu_level(), 0xB0);
    EXPECT_FALSE(again.record().administrator());
    EXPECT_TRUE(again.record().accept_received());
}

TEST_F(UsersTest, DialogOkRefusesAndSaysWhy) {
    add_user("bob");
    UserDialog d(ctx, file, config::UserRecord{});
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(g.ui.boxes.back().text, "Field is required!");
    EXPECT_EQ(g.ui.boxes.back().icon, Icon::Error);
    EXPECT_EQ(d.take_focus(), UserText::Name);
    d.set_text(UserText::Name, "BOB");
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(g.ui.boxes.back().text, "User BOB is already defined.");
    EXPECT_EQ(d.refusal(), UserDialog::Refusal::Taken);
    d.set_text(UserText::Name, "..");
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(g.ui.boxes.back().text, "Invalid user name.");
    // Field widths: names cut at whole characters, passwords refused whole.
    EXPECT_FALSE(d.set_text(UserText::Name, std::string(49, 'n') + "é"));
    EXPECT_EQ(d.text(UserText::Name).text, std::string(49, 'n'));
    EXPECT_TRUE(d.set_text(UserText::Password, std::string(50, 'p')));
    EXPECT_FALSE(d.set_text(UserText::Password, std::string(51, 'q')));
    EXPECT_EQ(d.text(UserText::Password).text, std::string(50, 'p'));
    d.click(UserBox::Admin);  // web login is on for a new record
    d.click(UserBox::WebLogin);
    EXPECT_FALSE(d.box(UserBox::Admin).enabled);
    ASSERT_TRUE(d.ok());
    EXPECT_FALSE(d.record().administrator());  // web login off: never admin
    EXPECT_EQ(d.record().password(), std::string(50, 'p'));
    EXPECT_TRUE(d.record().web_login_disabled());
}

TEST_F(UsersTest, Mm7AccountAndRoutingKeyFollowTheBoxes) {
    UserDialog d(ctx, file, config::UserRecord{});
    d.set_text(UserText::Name, "carol");
    d.set_text(UserText::Password, "secret");
    d.set_text(UserText::AllowedIps, "10.0.0.1");
    d.click(UserBox::Mm7Login);
    d.click(UserBox::AcceptReceived);
    d.set_text(UserText::Recipients, "+1555,+1666");
    d.select_menu(1);
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d.record().web_menu_level(), 0xB1);
    EXPECT_EQ(routing("carol"), "+1555,+1666");
    config::VaspRecord v;
    ASSERT_TRUE(config::VASPFindUserRecord("carol", v));
    EXPECT_EQ(v.password(), "secret");
    EXPECT_EQ(v.allowed_ips(), "10.0.0.1");
    EXPECT_EQ(v.bytes[203], 1);
    EXPECT_EQ(v.bytes[204], 0);
    EXPECT_EQ(v.bytes[205], 1);
    EXPECT_EQ(v.bytes[206], 1);
    ASSERT_TRUE(config::SMSAddUser(file, d.record()));
    UserDialog e(ctx, file, d.record());
    EXPECT_TRUE(e.box(UserBox::Mm7Login).checked);
    e.set_text(UserText::Recipients, "");  // cleared: the key goes
    e.click(UserBox::Mm7Login);
    ASSERT_TRUE(e.ok());
    EXPECT_EQ(routing("carol"), "<none>");
    EXPECT_FALSE(has_mm7("carol"));
}

TEST_F(UsersTest, ListIsVirtualKeepsTheLastRecordAndFindsPrefixes) {
    add_user("zed", "Zed Z");
    add_user("Alice", "Alice Liddell");
    add_user("bob");
    auto page = open();
    EXPECT_EQ(page->row_count(), 3u);
    EXPECT_EQ(page->selection(), (std::set<uint32_t>{0}));
    EXPECT_EQ(page->record_reads(), 0u);  // nothing shown yet
    EXPECT_EQ(page->cell(0, 0), "Alice");
    EXPECT_EQ(page->cell(0, 1), "Alice Liddell");
    EXPECT_EQ(page->record_reads(), 1u);
    EXPECT_EQ(page->cell(2, 1), "Zed Z");
    EXPECT_EQ(page->find_row("B"), 1);
    EXPECT_EQ(page->find_row("q"), -1);
    EXPECT_EQ(page->cell(5, 0), "");
    // WebAuth: a click is an edit, Apply writes it.
    EXPECT_TRUE(page->web_auth().checked);
    page->click_web_auth();
    EXPECT_TRUE(ctx.unsaved_changes);
    page->apply();
    EXPECT_EQ(rirer("WebAuth"), "No");
}

TEST_F(UsersTest, CaseOnlyRenameReplacesTheRecordAndMovesNothing) {
    add_user("alice", "", true);
    make_user_dir("alice");
    write_text(ctx.ini.rirer, "[Inbound SMS Routing]\nalice=+1555\n");
    auto page = open();
    windows.hands = {[](UserDialog& d) { return d.set_text(UserText::Name, "Alice"); }};
    page->press_edit();
    EXPECT_EQ(names(), (std::vector<std::string>{"Alice"}));
    EXPECT_TRUE(platform::fs::is_directory(user_dir("alice")));
    EXPECT_EQ(routing("alice"), "+1555");
    EXPECT_TRUE(has_mm7("alice"));
}

TEST_F(UsersTest, RenameMovesTheDirectoryTheRoutingKeyAndTheMm7Account) {
    add_user("alice", "Alice", true);
    add_user("bob");
    make_user_dir("ALICE");  // found ignoring case
    write_text(ctx.ini.rirer, "[Inbound SMS Routing]\nalice=+1555\n");
    auto page = open();
    // Onto another user: refused, nothing changes.
    windows.hands = {[](UserDialog& d) { return d.set_text(UserText::Name, "bob"); },
                     [](UserDialog& d) { return d.set_text(UserText::Name, "alicia"); }};
    page->press_edit();
    EXPECT_EQ(g.ui.boxes.back().text, "User bob is already defined.");
    EXPECT_EQ(names(), (std::vector<std::string>{"alice", "bob"}));
    page->press_edit();
    EXPECT_EQ(names(), (std::vector<std::string>{"alicia", "bob"}));
    EXPECT_TRUE(platform::fs::is_directory(user_dir("alicia")));
    EXPECT_FALSE(platform::fs::is_directory(user_dir("ALICE")));
    EXPECT_EQ(routing("alice"), "<none>");
    EXPECT_EQ(routing("alicia"), "+1555");
    EXPECT_FALSE(has_mm7("alice"));
    config::VaspRecord v;
    ASSERT_TRUE(config::VASPFindUserRecord("alicia", v));
    EXPECT_EQ(v.password(), "pw-alice");
    // With the box cleared the old login still goes.
    windows.hands.push_back([](UserDialog& d) {
        d.click(UserBox::Mm7Login);
        return d.set_text(UserText::Name, "al");
    });
    page->set_selection({0});
    page->key(UsersPage::Key::Enter);
    EXPECT_FALSE(has_mm7("alicia"));
    EXPECT_FALSE(has_mm7("al"));
}

TEST_F(UsersTest, RenameOntoAnExistingDirectoryKeepsBothAndWarns) {
    add_user("alice");
    make_user_dir("alice");
    make_user_dir("alicia");
    auto page = open();
    windows.hands = {[](UserDialog& d) { return d.set_text(UserText::Name, "alicia"); }};
    page->press_edit();
    EXPECT_EQ(names(), (std::vector<std::string>{"alicia"}));
    EXPECT_EQ(g.ui.boxes.back().icon, Icon::Warning);
    EXPECT_EQ(test::read_text(user_dir("alice") + "inbox.txt"), "alice");
    EXPECT_EQ(test::read_text(user_dir("alicia") + "inbox.txt"), "alicia");
}

TEST_F(UsersTest, DeleteAsksThenRemovesRecordsDirectoriesKeysAndAccounts) {
    for (const char* n : {"ann", "ben", "cat", "dan"}) {
        add_user(n, "", true);
        make_user_dir(n);
    }
    write_text(ctx.ini.rirer, "[Inbound SMS Routing]\nann=1\nben=2\ncat=3\ndan=4\n");
    auto page = open();
    page->set_selection({0, 1, 2});
    g.ui.script({Answer::No});
    page->press_delete();
    EXPECT_EQ(g.ui.boxes.back().text, "Delete 3 users?");
    EXPECT_EQ(names().size(), 4u);
    page->key(UsersPage::Key::Delete);  // default answer Yes
    EXPECT_EQ(names(), (std::vector<std::string>{"dan"}));
    for (const char* n : {"ann", "ben", "cat"}) {
        EXPECT_FALSE(platform::fs::is_directory(user_dir(n))) << n;
        EXPECT_EQ(routing(n), "<none>");
        EXPECT_FALSE(has_mm7(n));
    }
    EXPECT_EQ(routing("dan"), "4");
    EXPECT_EQ(page->row_count(), 1u);
    page->set_selection({0});
    g.ui.script({Answer::No});
    page->press_delete();
    EXPECT_EQ(g.ui.boxes.back().text, "Delete User?");
}

TEST_F(UsersTest, DeleteActsOnTheShownNamesWhenAnotherWriterAddedAUser) {
    add_user("bob");
    add_user("carl");
    auto page = open();
    EXPECT_EQ(page->cell(0, 0), "bob");
    page->set_selection({0});
    add_user("adam");  // a web administrator, meanwhile: bob is now row 1
    page->press_delete();
    EXPECT_EQ(names(), (std::vector<std::string>{"adam", "carl"}));
}

TEST_F(UsersTest, AStoredDotDotUserNeverReachesTheDataDirectory) {
    // Records written by someone else, named ".." and "[x" (no INI key),
    // beside a sentinel and a plain user deleted with them.
    for (const char* n : {"..", "[x"}) {
        config::UserRecord r;
        r.set_name(n);
        ASSERT_TRUE(config::SMSAddUser(file, r));
    }
    add_user("bob");
    make_user_dir("bob");
    write_text(ctx.ini.rirer, "[Inbound SMS Routing]\nbob=+1555\n");
    write_text(data + "SENTINEL", "keep");
    auto page = open();
    page->set_selection({0, 1, 2});
    page->press_delete();
    EXPECT_TRUE(names().empty());
    EXPECT_EQ(test::read_text(data + "SENTINEL"), "keep");
    EXPECT_TRUE(platform::fs::is_directory(data + "USERS/"));
    EXPECT_FALSE(platform::fs::exists(user_dir("bob")));
    EXPECT_EQ(routing("bob"), "<none>");  // the batch is not refused for "[x"
}

TEST_F(UsersTest, AddStoresTheDialogsRecordAndCancelNothing) {
    auto page = open();
    EXPECT_TRUE(page->selection().empty());
    windows.hands = {[](UserDialog& d) { return d.set_text(UserText::Name, "newbie"); },
                     [](UserDialog& d) {
                         d.set_text(UserText::Name, "ghost");
                         return false;
                     }};
    page->key(UsersPage::Key::Insert);
    page->press_add();
    EXPECT_EQ(names(), (std::vector<std::string>{"newbie"}));
    EXPECT_EQ(page->row_count(), 1u);
}

// A user file that cannot be written (its lock is a directory: root
// ignores modes) refuses each write loudly and the list shows what is stored.
TEST_F(UsersTest, FailedWritesSayWhichUserAndRefresh) {
    add_user("alice", "Alice", true);
    add_user("bob");
    make_user_dir("alice");
    write_text(ctx.ini.rirer, "[Inbound SMS Routing]\nalice=+1555\nbob=+1666\n");
    auto page = open();
    const std::string lock = data + ".SMSUSERS.DAT.lock";
    auto writes = [&](bool work) {
        platform::fs::remove_file(lock);
        platform::fs::remove_empty_directory(lock);
        if (!work) {
            ASSERT_TRUE(platform::fs::create_directory(lock));
        }
    };
    writes(false);
    auto last_error = [&] {
        EXPECT_EQ(g.ui.boxes.back().icon, Icon::Error);
        return g.ui.boxes.back().text;
    };
    windows.hands = {[](UserDialog& d) {
                         d.click(UserBox::Mm7Login);
                         d.click(UserBox::AcceptReceived);
                         d.set_text(UserText::Recipients, "+1777");
                         return d.set_text(UserText::Name, "newbie");
                     },
                     [](UserDialog& d) {
                         d.set_text(UserText::Recipients, "+1888");
                         return d.set_text(UserText::Name, "alicia");
                     }};
    page->press_add();
    EXPECT_EQ(last_error(), "User newbie could not be saved.");
    EXPECT_EQ(page->row_count(), 2u);
    EXPECT_FALSE(has_mm7("newbie"));  // no login outlives the failed save
    EXPECT_EQ(routing("newbie"), "<none>");
    page->set_selection({0});
    page->press_edit();  // a rename whose new record cannot be stored keeps the old one whole
    EXPECT_EQ(last_error(), "User alicia could not be saved.");
    EXPECT_EQ(names(), (std::vector<std::string>{"alice", "bob"}));
    EXPECT_TRUE(platform::fs::is_directory(user_dir("alice")));
    EXPECT_FALSE(platform::fs::exists(user_dir("alicia")));
    EXPECT_EQ(routing("alice"), "+1555");
    EXPECT_EQ(routing("alicia"), "<none>");
    config::VaspRecord v;
    ASSERT_TRUE(config::VASPFindUserRecord("alice", v));
    EXPECT_EQ(v.password(), "pw-alice");
    EXPECT_FALSE(has_mm7("alicia"));

    page->set_selection({0, 1});
    writes(true);
    add_user("adam");  // another writer, meanwhile; the page has not seen it
    writes(false);
    page->press_delete();
    EXPECT_EQ(last_error(), "User alice could not be deleted.");
    EXPECT_EQ(names(), (std::vector<std::string>{"adam", "alice", "bob"}));
    EXPECT_EQ(page->row_count(), 3u);  // refreshed
    EXPECT_TRUE(platform::fs::is_directory(user_dir("alice")));
    EXPECT_EQ(routing("bob"), "+1666");
}
