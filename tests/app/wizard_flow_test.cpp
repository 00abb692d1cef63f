// The setup wizard from a fresh data directory on the simulated gateway:
// through the Server Settings step (which installs and starts the services)
// and Configuration Complete to a test SMS that ends "Status:  OK -- Message
// Sent", then Finish; and a rerun cancelled after it stopped the services.
#include <gtest/gtest.h>

#include <cstdio>

#include "app/console.h"
#include "app/sheet.h"
#include "config/ini.h"
#include "pages/server_page.h"
#include "pages/test_message.h"
#include "pages/wizard_complete.h"
#include "queue/request_files.h"
#include "service/fake_gateway.h"

using namespace ovr;
using pages::WizardButtons;

TEST(WizardFlow, FromNothingToASentTestMessageAndFinish) {
    test::FakeGateway g;
    std::string data = g.scratch.path() + "data/", priv = g.scratch.path() + "private/";
    platform::fs::create_directories(data);
    platform::fs::create_directories(priv);
    pages::Context ctx;
    ctx.dirs = {data, priv, g.console_dir};
    ctx.ini = config::ini_paths_for(ctx.dirs);
    test::write_text(ctx.ini.rirer, "");
    test::write_text(ctx.ini.mmsc, "");
    ctx.ui = &g.ui;
    ctx.platform = &g.p;
    // The pages install the services from beside the test's stand-in programs.
    auto pages_list = app::make_wizard_pages(ctx);
    // Proving and configuring the modem are their own pages' business (their
    // tests); stand-ins let Next through here.
    for (size_t i : {0u, 1u})
        pages_list[i] = std::make_unique<pages::EmptyPage>(ctx, pages_list[i]->title(), pages_list[i]->template_name(),
                                                           i == 0 ? WizardButtons::Next : WizardButtons::BackNext);
    pages_list[2] = std::make_unique<pages::ServerPage>(ctx, true, g.console_dir);
    pages_list[4] = std::make_unique<pages::TestMessagePage>(ctx, true, g.console_dir);
    app::Sheet sheet(app::SheetKind::Wizard, ctx, std::move(pages_list));
    sheet.open();
    sheet.next();
    sheet.next();
    ASSERT_EQ(sheet.page(2).title(), "OvrinSMS Lite Setup Wizard:  Server Settings");
    EXPECT_EQ(sheet.wizard_buttons(), WizardButtons::BackNext);
    dynamic_cast<pages::ServerPage&>(sheet.page(2)).set_port_text(pages::PortField::Web, "8811");
    sheet.next();
    ASSERT_EQ(sheet.current(), 3u);
    EXPECT_EQ(config::ini::read_string(ctx.ini.rirer, "RIRER", "WebPort", "", 10), "8811");
    EXPECT_TRUE(service::sms_service_running(g.p));
    dynamic_cast<pages::WizardCompletePage&>(sheet.page(3)).choose_yes();
    sheet.next();
    ASSERT_EQ(sheet.current(), 4u);
    EXPECT_EQ(sheet.wizard_buttons(), WizardButtons::BackDisabledFinish);
    auto& test_page = dynamic_cast<pages::TestMessagePage&>(sheet.page(4));
    test_page.set_phone_number("+15551234");
    test_page.tick();
    test_page.press_send_sms();
    EXPECT_EQ(test_page.sms_status().text, "Status:  Waiting");
    sheet.finish();
    EXPECT_FALSE(sheet.closed());
    // The service sends it: the result line, then the file goes.
    std::string tag = queue::test_tag(ctx.tests.sms.tag_value);
    auto day = g.p.clock->local_now();
    char log[40];
    std::snprintf(log, sizeof log, "SMSOUT-%04d%02d%02d.LOG", day.year, day.month, day.day);
    test::write_text(data + log, "10:00:00," + tag + ",+15551234,COM7:,OK\r\n");
    platform::fs::remove_file(data + "Q/" + tag + ".REQ");
    test_page.tick();
    EXPECT_EQ(test_page.sms_status().text, "Status:  OK -- Message Sent");
    EXPECT_EQ(sheet.wizard_buttons(), WizardButtons::BackFinish);
    sheet.finish();
    EXPECT_TRUE(sheet.closed());
    EXPECT_EQ(sheet.result(), 1);
}

namespace {

// The user cancels every wizard; a main sheet would be a fault here.
struct CancellingSheets : app::SheetRunner {
    int wizards = 0, mains = 0;
    int run(app::Sheet& sheet) override {
        ++(sheet.kind() == app::SheetKind::Wizard ? wizards : mains);
        return 0;
    }
};

}  // namespace

TEST(WizardFlow, ACancelledRerunOffersToRestartTheServicesItStopped) {
    test::FakeGateway g;
    std::string data = g.scratch.path() + "data/";
    platform::fs::create_directories(data);
    pages::Context ctx;
    ctx.dirs = {data, g.scratch.path() + "private/", g.console_dir};
    ctx.ini = config::ini_paths_for(ctx.dirs);
    test::write_text(ctx.ini.rirer, "[RIRER]\nModem1=COM7:\n");
    test::write_text(ctx.ini.mmsc, "");
    ctx.ui = &g.ui;
    ctx.platform = &g.p;
    app::GatewayServiceActions services(g.p, g.ui);
    app::InlineBusyRunner busy;
    ASSERT_TRUE(g.control().install_and_start(true));
    auto offers = [&] {
        size_t n = 0;
        for (const auto& b : g.ui.boxes) n += b.text == "Service is not active, do you wish to activate the service?";
        return n;
    };

    // -WIZARD stops the running gateway, the user cancels: asked, Yes starts it.
    CancellingSheets sheets;
    EXPECT_EQ(app::run_sheet_loop(ctx, true, services, busy, sheets), 0);
    EXPECT_EQ(sheets.wizards, 1);
    EXPECT_EQ(sheets.mains, 0);
    EXPECT_EQ(offers(), 1u);
    EXPECT_TRUE(services.both_running());
    EXPECT_FALSE(ctx.run_busy);

    // No keeps it stopped; the next cancelled wizard stopped nothing and asks
    // nothing.
    g.ui.script({Answer::No});
    app::run_sheet_loop(ctx, true, services, busy, sheets);
    EXPECT_EQ(offers(), 2u);
    EXPECT_FALSE(services.any_running());
    app::run_sheet_loop(ctx, true, services, busy, sheets);
    EXPECT_EQ(offers(), 2u);
    EXPECT_EQ(sheets.mains, 0);
}
