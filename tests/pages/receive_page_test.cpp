// The 2-Way page: loading, the enable rules, change tracking, the keyword
// buttons through the front end, leaving, and Apply as one write.
#include "pages/receive_page.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "config/ini.h"
#include "config/records.h"
#include "config/support.h"
#include "keywords/table.h"
#include "pages/keyword_dialog.h"
#include "pages/mm7_dialog.h"
#include "platform/fs.h"
#include "platform/registry.h"
#include "support/page_site.h"
#include "support/scratch.h"

namespace pages = ovr::pages;
namespace ini = ovr::config::ini;
using P = pages::ReceivePage;
using R = P::MmsRoute;
using ovr::test::read_text;
using ovr::test::ScratchDir;
using ovr::test::write_text;

namespace {

// The front end: runs each dialog through a script, then presses OK.
struct ScriptedWindows : pages::Windows {
    std::vector<pages::ViewerKind> viewers;
    std::function<void(pages::KeywordDialog&)> keyword_edits;
    int mm7_runs = 0;
    void open_queue_viewer(pages::ViewerKind k) override { viewers.push_back(k); }
    void open_event_log_viewer() override {}
    bool run_keyword_dialog(pages::KeywordDialog& d) override {
        if (!keyword_edits) return false;
        keyword_edits(d);
        return d.ok();
    }
    bool run_mm7_dialog(pages::Mm7Dialog&) override {
        ++mm7_runs;
        return false;
    }
};

class ReceivePageTest : public ::testing::Test {
protected:
    ReceivePageTest() {
        ctx.dirs = {dir.path(), dir.path() + "private/", dir.path()};
        ctx.ini = ovr::config::ini_paths_for(ctx.dirs);
        ctx.ui = &ui;
        ctx.windows = &windows;
        platform.registry = ovr::platform::make_link_registry(dir.file("modems/"), dir.file("charsets"));
        ctx.platform = &platform;
        write_text(dir.file("charsets"), "iso-8859-1\nutf-8\nwindows-1252\n");
        php.directories = {};
    }
    void add_user(const std::string& name, bool accepts) {
        ovr::config::UserFileHandle f;
        ASSERT_TRUE(ovr::config::open_user_file(dir.path(), ovr::config::kGenericRead | ovr::config::kGenericWrite, f));
        ovr::config::UserRecord r;
        r.set_name(name);
        r.set_accept_received(accepts);
        ASSERT_TRUE(ovr::config::SMSAddUser(f, r));
        ovr::config::SMSCloseUserFile(f);
    }
    P& open() {
        page = std::make_unique<P>(ctx, php);
        page->created(site);
        return *page;
    }
    std::string get(const std::string& section, const std::string& key) {
        return ini::read_string(ctx.ini.rirer, section, key, "<absent>");
    }
    static constexpr const char* kModem = "Modem - COM7:";
    ScratchDir dir;
    ovr::ScriptedUi ui;
    ScriptedWindows windows;
    ovr::platform::Platform platform;
    pages::Context ctx;
    ovr::nettest::PhpSearch php;
    ovr::test::CountingSite site;
    std::unique_ptr<P> page;
};

}  // namespace

TEST_F(ReceivePageTest, LoadsEveryChoiceFromTheFiles) {
    add_user("zed", true);
    add_user("amy", true);
    add_user("bob", false);
    write_text(ctx.ini.rirer,
               "[RIRER]\nModem1=COM7:\nReceiveSMS=No\nReceiveMMS=yes\nReceiveSMSCharset=WINDOWS-1252\n"
               "[Modem - COM7:]\nRouteLocal=AMY\nMMSRouting=OvrinSMSLiteMM7\n"
               "[2Way-Keywords]\nKeyword1=stop\nKeyword2=HELP\n[2Way-Keyword-HELP]\nReplyText=Send STOP\n");
    P& p = open();
    EXPECT_EQ(p.users().items, (std::vector<std::string>{"", "amy", "zed"}));
    EXPECT_EQ(p.users().current(), "amy");
    EXPECT_TRUE(p.route_to_user().selected);
    EXPECT_TRUE(p.process_sms().checked) << "a routed user turns SMS processing on";
    EXPECT_FALSE(p.use_commands().selected);
    EXPECT_TRUE(p.process_mms().checked);
    EXPECT_TRUE(p.mms_route(R::Mm7).selected);
    EXPECT_FALSE(p.mms_route(R::MmsIn).selected);
    EXPECT_FALSE(p.mms_route(R::PostUrl).visible);
    EXPECT_EQ(p.charsets().items, (std::vector<std::string>{"(default)", "iso-8859-1", "utf-8", "windows-1252"}));
    EXPECT_EQ(p.charsets().current(), "windows-1252");
    EXPECT_EQ(p.rows(), (std::vector<std::string>{"HELP\tReplyText=Send STOP", "stop"}));
    EXPECT_EQ(p.selected_row(), 0);
    EXPECT_EQ(site.changed, 0) << "loading marks nothing changed";
}

TEST_F(ReceivePageTest, EdgeCasesOfLoading) {
    add_user("amy", false);  // no longer takes received messages
    write_text(ctx.ini.rirer,
               "[RIRER]\nModem1=COM7:\nReceiveSMS=Yes\n2WayMMSPostURL=http://up.example/x\n"
               "[Modem - COM7:]\nRouteLocal=amy\n");
    {
        P& p = open();
        EXPECT_TRUE(p.use_commands().selected);
        EXPECT_EQ(p.charsets().current(), "utf-8") << "absent reads as utf-8";
        EXPECT_TRUE(p.mms_route(R::PostUrl).selected && p.mms_route(R::PostUrl).visible && p.post_url().visible);
        EXPECT_EQ(p.post_url().text, "http://up.example/x");
        p.apply();
        EXPECT_EQ(get(kModem, "RouteLocal"), "<absent>");
        EXPECT_EQ(get("RIRER", "ReceiveSMSCharset"), "utf-8");
    }
    write_text(ctx.ini.rirer, "[RIRER]\nModem1=COM7:\n[Modem - COM7:]\nMMSRouting=nobody.example\n");
    EXPECT_TRUE(open().mms_route(R::MmsIn).selected);
    write_text(dir.file("charsets"), "");
    EXPECT_EQ(open().charsets().items, std::vector<std::string>{"(default)"});
}

TEST_F(ReceivePageTest, EnableRulesFollowEveryClick) {
    write_text(ctx.ini.rirer, "[RIRER]\nModem1=COM7:\n");
    P& p = open();
    struct State {
        bool sms, to_user, mms;
        R route;
        // expected
        bool radios, users, table, mms_box, mms_radios, configure, email, post;
    };
    const State states[] = {
        {false, false, false, R::MmsIn, false, false, false, false, false, false, false, false},
        {true, false, false, R::Mm7, true, false, true, true, false, false, false, false},
        {true, true, false, R::MmsIn, true, true, false, true, false, false, false, false},
        {true, false, true, R::Mm7, true, false, true, true, true, true, false, false},
        {true, false, true, R::Email, true, false, true, true, true, false, true, false},
        {true, false, true, R::PostUrl, true, false, true, true, true, false, false, true},
        {false, true, true, R::Email, false, false, false, false, false, false, false, false},
    };
    for (const State& s : states) {
        if (p.process_sms().checked != s.sms) p.click_process_sms();
        p.choose_sms_route(s.to_user);
        if (p.process_mms().checked != s.mms) p.click_process_mms();
        p.choose_mms_route(s.route);
        EXPECT_EQ(p.route_to_user().enabled, s.radios);
        EXPECT_EQ(p.use_commands().enabled, s.radios);
        EXPECT_EQ(p.users().enabled, s.users);
        EXPECT_EQ(p.table_enabled(), s.table);
        EXPECT_EQ(p.add_button().enabled, s.table);
        EXPECT_EQ(p.charsets().enabled, s.table);
        EXPECT_EQ(p.process_mms().enabled, s.sms);
        EXPECT_EQ(p.mms_route(R::SmsCommands).enabled, s.mms_radios);
        EXPECT_EQ(p.configure_button().enabled, s.configure);
        EXPECT_EQ(p.email().enabled, s.email);
        EXPECT_EQ(p.post_url().enabled, s.post);
        EXPECT_TRUE(p.view_sms().enabled && p.view_mms().enabled);
    }
    EXPECT_GT(site.changed, 0);
    EXPECT_TRUE(ctx.unsaved_changes);
}

TEST_F(ReceivePageTest, KeywordButtonsRunTheDialogAndSelectTheirRow) {
    write_text(ctx.ini.rirer, "[RIRER]\nReceiveSMS=Yes\n");
    P& p = open();
    p.press_edit();  // nothing selected: nothing runs
    windows.keyword_edits = [](pages::KeywordDialog& d) {
        d.set_text(pages::KeywordDialog::Text::Keyword, "INFO");
        d.set_text(pages::KeywordDialog::Text::ReplyText, "hi");
    };
    p.press_add();
    windows.keyword_edits = [](pages::KeywordDialog& d) {
        d.set_text(pages::KeywordDialog::Text::Keyword, "ABOUT");
        d.set_text(pages::KeywordDialog::Text::MailTo, "a@b");
    };
    p.press_add();
    EXPECT_EQ(p.rows(), (std::vector<std::string>{"ABOUT\tMailTo=a@b", "INFO\tReplyText=hi"}));
    EXPECT_EQ(p.selected_row(), 0);
    p.select_row(1);
    windows.keyword_edits = [](pages::KeywordDialog& d) { d.set_text(pages::KeywordDialog::Text::Keyword, "NEWS"); };
    p.press_edit();
    EXPECT_EQ(p.rows()[1], "NEWS\tReplyText=hi");
    EXPECT_EQ(p.selected_row(), 1);
    EXPECT_EQ(site.changed, 0) << "keyword buttons write at once, Apply is not needed";

    p.press_remove();  // the last row: the new last row is selected
    EXPECT_EQ(p.rows(), std::vector<std::string>{"ABOUT\tMailTo=a@b"});
    EXPECT_EQ(p.selected_row(), 0);
    p.press_remove();
    EXPECT_TRUE(p.rows().empty());
    EXPECT_EQ(p.selected_row(), -1);
    EXPECT_EQ(read_text(ctx.ini.rirer), "[RIRER]\nReceiveSMS=Yes\n[2Way-Keywords]\n");

    p.press_configure();
    EXPECT_EQ(windows.mm7_runs, 1);
    p.press_view(pages::ViewerKind::ReceivedMms);
    EXPECT_EQ(windows.viewers, std::vector<pages::ViewerKind>{pages::ViewerKind::ReceivedMms});
}

TEST_F(ReceivePageTest, LeavingRefusesWhatTheGatewayCannotUse) {
    write_text(ctx.ini.rirer, "[RIRER]\nModem1=COM7:\nReceiveSMS=Yes\nReceiveMMS=Yes\n");
    add_user("amy", true);
    P& p = open();
    EXPECT_TRUE(p.left());
    p.choose_sms_route(true);
    EXPECT_FALSE(p.left());
    EXPECT_EQ(ui.boxes.back().text, P::kSelectUser);
    EXPECT_EQ(p.focus(), P::Focus::Users);
    p.select_user(1);
    p.choose_mms_route(R::Mm7);
    EXPECT_FALSE(p.left());
    EXPECT_EQ(ui.boxes.back().text, P::kConfigureMm7);
    EXPECT_EQ(p.focus(), P::Focus::Configure);
    ovr::platform::fs::create_directories(dir.path() + "VASPOUT/ovrinsmslitemm7");
    write_text(dir.path() + "VASPOUT/ovrinsmslitemm7/VASP.INI", "[VASP]\nServer=http://x/\n");
    EXPECT_TRUE(p.left());
    p.choose_mms_route(R::Email);
    p.set_email("postmaster");
    EXPECT_FALSE(p.left());
    EXPECT_EQ(ui.boxes.back().text, P::kInvalidAddress);
    EXPECT_EQ(p.focus(), P::Focus::Email);
    p.click_process_sms();
    EXPECT_TRUE(p.left()) << "nothing is checked while SMS processing is off";
}

TEST_F(ReceivePageTest, ApplyWritesEveryKeyInOneGo) {
    add_user("amy", true);
    write_text(ctx.ini.rirer, "[RIRER]\nModem1=COM7:\nReceiveSMS=Yes\nReceiveMMS=Yes\n2WayMMSToSMS=Yes\n");
    P& p = open();
    p.choose_sms_route(true);
    p.select_user(1);
    p.select_charset(0);
    p.choose_mms_route(R::PostUrl);
    p.set_post_url("upload.example/in");
    p.apply();
    EXPECT_TRUE(p.apply_succeeded());
    EXPECT_EQ(p.post_url().text, "http://upload.example/in");
    EXPECT_EQ(read_text(ctx.ini.rirer),
              "[RIRER]\nModem1=COM7:\nReceiveSMS=Yes\nReceiveMMS=Yes\nPHPEnable=No\nPHPAllowRemote=No\n"
              "2WayMMSPostURL=http://upload.example/in\n[Modem - COM7:]\nRouteLocal=amy\n");
    EXPECT_FALSE(ctx.unsaved_changes);
    EXPECT_EQ(open().post_url().text, "http://upload.example/in") << "shown again at the next load";

    // SMS processing off: both No, whatever the MMS box shows.
    P& q = open();
    q.click_process_sms();
    q.apply();
    EXPECT_EQ(get("RIRER", "ReceiveSMS"), "No");
    EXPECT_EQ(get("RIRER", "ReceiveMMS"), "No");
}

TEST_F(ReceivePageTest, WithoutAModemTheModemKeysAreLeftAlone) {
    write_text(ctx.ini.rirer, "[RIRER]\n2WayMMSToSMS=Yes\n[Modem - COM7:]\nRouteLocal=amy\nMMSRouting=a@b\n");
    P& p = open();
    EXPECT_TRUE(p.mms_route(R::MmsIn).selected);
    p.choose_mms_route(R::Mm7);
    p.apply();
    EXPECT_EQ(get("RIRER", "2WayMMSToSMS"), "Yes");
    EXPECT_EQ(get(kModem, "RouteLocal"), "amy");
    EXPECT_EQ(get(kModem, "MMSRouting"), "a@b");
}

TEST_F(ReceivePageTest, AFailedApplyKeepsTheChangesPending) {
    ASSERT_TRUE(ovr::platform::fs::create_directories(ctx.ini.rirer));  // a directory where the file should be
    P& p = open();
    p.click_process_sms();
    p.apply();
    EXPECT_FALSE(p.apply_succeeded());
    EXPECT_EQ(ui.boxes.back().text, "Unable to write " + ctx.ini.rirer);
    EXPECT_TRUE(ctx.unsaved_changes);
}

TEST_F(ReceivePageTest, PhpNeedsTheInterpreterAndShowsWhereScriptsLive) {
    write_text(ctx.ini.rirer, "[RIRER]\nPHPEnable=Yes\nPHPAllowRemote=Yes\n");
    P& p = open();
    EXPECT_FALSE(p.php_enable().checked) << "no interpreter: off, without a message";
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(p.php_remote().enabled);
    EXPECT_TRUE(p.php_remote().checked);
    p.click_php_enable();
    EXPECT_FALSE(p.php_enable().checked);
    EXPECT_EQ(ui.boxes.back().text, "PHP support not available, unable to locate php-cgi.exe");

    std::string cgi = dir.file("bin/php-cgi");
    ovr::platform::fs::create_directories(dir.file("bin"));
    write_text(cgi, "#!/bin/sh\n");
    ::chmod(cgi.c_str(), 0755);
    php.phprc = dir.file("bin");
    P& q = open();
    EXPECT_TRUE(q.php_enable().checked);
    EXPECT_TRUE(q.php_remote().enabled);
    EXPECT_EQ(q.php_location().text, "http://ovrinsmsphp/php resolves to " + dir.path() + "PHP/");
    EXPECT_TRUE(ovr::platform::fs::is_directory(dir.path() + "PHP"));
    q.click_php_enable();
    EXPECT_EQ(q.php_location().text, "");
    EXPECT_FALSE(q.php_remote().enabled);
}

TEST_F(ReceivePageTest, ActivationAddsNewReceivingUsersAndKeepsTheSelection) {
    add_user("mike", true);
    write_text(ctx.ini.rirer, "[RIRER]\nModem1=COM7:\n[Modem - COM7:]\nRouteLocal=mike\n");
    P& p = open();
    add_user("ann", true);
    add_user("zoe", true);
    p.shown();
    EXPECT_EQ(p.users().items, (std::vector<std::string>{"", "ann", "mike", "zoe"}));
    EXPECT_EQ(p.users().current(), "mike");
}
