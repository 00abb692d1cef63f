#include "pages/test_message.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "pages/gateway_fixture.h"
#include "pages/user_dialog.h"
#include "queue/request_files.h"

using namespace ovr;
using pages::TestMessagePage;
using test::write_text;

namespace {

struct AddUserWindows : pages::Windows {
    int shown = 0;
    void open_queue_viewer(pages::ViewerKind) override {}
    void open_event_log_viewer() override {}
    bool run_dialog(pages::DialogModel& d) override {
        ++shown;
        auto& u = dynamic_cast<pages::UserDialog&>(d);
        u.set_text(pages::UserText::Name, "first");
        return u.ok();
    }
};

struct TestMessageTest : test::GatewayPageTest {
    AddUserWindows windows;
    TestMessageTest() {
        setenv("OVRINSMS_DATA_DIR", data.c_str(), 1);
        ctx.windows = &windows;
        write_text(ctx.ini.rirer, "[RIRER]\nModem1=COM7:\n");
    }
    ~TestMessageTest() override { unsetenv("OVRINSMS_DATA_DIR"); }
    std::unique_ptr<TestMessagePage> open(bool wizard = false) {
        auto page = std::make_unique<TestMessagePage>(ctx, wizard, g.console_dir);
        page->created(site);
        page->shown();
        return page;
    }
    std::string sms_file() { return data + "Q/" + queue::test_tag(ctx.tests.sms.tag_value) + ".REQ"; }
    std::string sms_log() {
        auto t = g.p.clock->local_now();
        char name[40];
        std::snprintf(name, sizeof name, "SMSOUT-%04d%02d%02d.LOG", t.year, t.month, t.day);
        return data + name;
    }
    void later(uint64_t ms) { g.clock->inner.advance_ms(ms); }
};

}  // namespace

TEST_F(TestMessageTest, StoppedGatewayDisablesEverything) {
    auto page = open();
    page->set_phone_number("+15551234");
    EXPECT_TRUE(page->send_sms_button().enabled);  // the field's own notification
    page->tick();
    EXPECT_FALSE(page->phone_number().enabled);
    EXPECT_FALSE(page->send_sms_button().enabled);
    EXPECT_FALSE(page->send_mms_button().enabled);
    EXPECT_FALSE(page->web_button().enabled);
    EXPECT_FALSE(page->cancel_button().visible);
    install();
    page->tick();
    EXPECT_TRUE(page->send_sms_button().enabled);
    EXPECT_TRUE(page->send_mms_button().enabled);
    for (const char* bad : {"1555-1234", "", "+"}) {
        page->set_phone_number(bad);
        page->tick();
        EXPECT_FALSE(page->send_sms_button().enabled) << bad;
    }
}

TEST_F(TestMessageTest, SmsFollowedFromWaitingThroughRetriesToTheLog) {
    install();
    auto page = open(true);
    EXPECT_EQ(site.buttons.back(), pages::WizardButtons::BackDisabledFinish);
    page->set_phone_number("+15551234");
    page->press_send_sms();
    ASSERT_TRUE(platform::fs::exists(sms_file()));
    EXPECT_EQ(page->sms_status().text, "Status:  Waiting");
    EXPECT_TRUE(page->cancel_button().visible);
    EXPECT_FALSE(page->send_sms_button().enabled);
    page->press_send_sms();  // refused while pending: still one file
    write_text(sms_file(), test::read_text(sms_file()) + "[ErrorDetail]\r\nRetryCount=2\r\nLastErrorInfo=Busy\r\n");
    page->tick();
    EXPECT_EQ(page->sms_status().text, "Status:  Retry pending, 2 attempts");
    EXPECT_EQ(page->sms_detail().text, "Last Error Info:  Busy");
    write_text(priv + "COM7-.ERR", "Modem not responding");
    page->tick();
    EXPECT_EQ(page->sms_status().text, "Status:  Modem Off-Line");
    EXPECT_EQ(page->sms_detail().text, "Modem not responding");
    platform::fs::remove_file(priv + "COM7-.ERR");
    // The service deletes the file before it logs the result.
    std::string tag = queue::test_tag(ctx.tests.sms.tag_value);
    platform::fs::remove_file(sms_file());
    later(1000);
    page->tick();
    EXPECT_EQ(page->sms_status().text, "");
    EXPECT_EQ(site.buttons.back(), pages::WizardButtons::BackFinish);
    write_text(sms_log(), "10:00:00," + tag + ",+15551234,COM7:,ok\r\n");
    later(1000);
    page->tick();
    EXPECT_EQ(page->sms_status().text, "Status:  OK -- Message Sent");
    // The state outlives the page: a new page starts empty and idle.
    auto main_page = open();
    EXPECT_EQ(main_page->sms_status().text, "");
    EXPECT_TRUE(ctx.tests.sms.done);
}

TEST_F(TestMessageTest, MmsWithItsCompanionRouteErrorAndTemplate) {
    install();
    auto page = open();
    page->set_phone_number("15551234");
    page->press_send_mms();
    ASSERT_FALSE(g.ui.boxes.empty());
    EXPECT_EQ(g.ui.boxes.back().caption, "Error locating MMS message template file");
    EXPECT_EQ(g.ui.boxes.back().text, g.console_dir + "MMSTEST.MMS");
    EXPECT_FALSE(ctx.tests.mms.pending);
    write_text(g.console_dir + "MMSTEST.MMS", "template bytes");
    page->press_send_mms();
    ASSERT_TRUE(ctx.tests.mms.pending);
    std::string base = data + "VASPQ/" + queue::test_tag(ctx.tests.mms.tag_value);
    EXPECT_EQ(test::read_text(base + ".MMS"), "template bytes");
    EXPECT_EQ(page->mms_status().text, "Status:  Waiting");
    write_text(priv + "MMSCROUTE--ovrinsmslite.ERR", "Connection refused");
    page->tick();
    EXPECT_EQ(page->mms_status().text, "Status:  Connection Error");
    platform::fs::remove_file(priv + "MMSCROUTE--ovrinsmslite.ERR");
    config::ini::write_string(base + ".INI", "Routing", "RetryCount", "1");
    page->tick();
    EXPECT_EQ(page->mms_status().text, "Status:  Retry pending, 1 attempts");
}

TEST_F(TestMessageTest, CancelWithdrawsAndCountsAsFinished) {
    install();
    auto page = open(true);
    page->set_phone_number("+15551234");
    page->press_send_sms();
    std::string file = sms_file();
    auto outcome = page->press_cancel();
    EXPECT_EQ(outcome.withdrawn, std::vector<std::string>{file});
    EXPECT_TRUE(outcome.left.empty());
    EXPECT_FALSE(platform::fs::exists(file));
    page->tick();
    EXPECT_EQ(page->sms_status().text, "");
    EXPECT_EQ(page->sms_detail().text, "");
    page->tick();  // the button follows the tests at the start of a tick
    EXPECT_FALSE(page->cancel_button().visible);
    EXPECT_EQ(site.buttons.back(), pages::WizardButtons::BackFinish);
    EXPECT_TRUE(service::sms_service_running(g.p));
}

TEST_F(TestMessageTest, WebInterfaceAsksForAUserWhileLoginsAreRequired) {
    install();
    auto page = open();
    g.ui.script({Answer::No});
    page->press_web();
    EXPECT_EQ(g.ui.boxes.back().text, TestMessagePage::kNoUsersQuestion);
    EXPECT_EQ(windows.shown, 0);
    EXPECT_EQ(test::read_text(g.root + "desktop.log"), "");
    page->press_web();  // Yes: the dialog adds "first"
    EXPECT_EQ(windows.shown, 1);
    EXPECT_NE(test::read_text(g.root + "desktop.log").find("open http://127.0.0.1:8800/"), std::string::npos);
    config::UserFileHandle f;
    config::open_user_file(data, config::kGenericRead, f);
    EXPECT_EQ(config::SMSGetRecordCount(f), 1u);
}
