#include "pages/server_page.h"

#include <gtest/gtest.h>

#include "pages/gateway_fixture.h"

using namespace ovr;
using pages::PortField;
using pages::ServerPage;
using test::write_text;

namespace {

struct ServerPageTest : test::GatewayPageTest {
    std::unique_ptr<ServerPage> open(bool wizard = false) {
        auto page = std::make_unique<ServerPage>(ctx, wizard, g.console_dir);
        page->created(site);
        page->shown();
        return page;
    }
    bool sms_running() { return service::sms_service_running(g.p); }
};

}  // namespace

TEST(ServerPorts, LeadingDigitsAndTheTcpRange) {
    EXPECT_EQ(pages::port_value("8800"), 8800u);
    EXPECT_EQ(pages::port_value("25x"), 25u);
    EXPECT_EQ(pages::port_value("x25"), 0u);
    EXPECT_EQ(pages::port_value(""), 0u);
    EXPECT_EQ(pages::port_value("65535"), 65535u);
    EXPECT_EQ(pages::port_value("65536"), 0u);
    EXPECT_EQ(pages::port_value("99999999999999999999999"), 0u);
}

TEST_F(ServerPageTest, LoadFallsBackToTheDefaultAndLeavesUnusablePortsOff) {
    {
        auto page = open();
        EXPECT_EQ(page->web_port().text, "8800");
        EXPECT_FALSE(page->smpp_enable().checked);
        EXPECT_EQ(page->smpp_port().text, "");
        EXPECT_FALSE(page->smpp_port().enabled);
        EXPECT_FALSE(page->smpp_port_label().enabled);
        EXPECT_FALSE(page->mm7_enable().checked);
        EXPECT_EQ(page->title(), "Server");
    }
    write_text(ctx.ini.rirer, "[RIRER]\nWebPort=70000\nSMPPPort=2775\n");
    write_text(ctx.ini.mmsc, "[MMSC]\nWebPort=0\n");
    {
        auto page = open();
        EXPECT_EQ(page->web_port().text, "8800");
        EXPECT_TRUE(page->smpp_enable().checked);
        EXPECT_EQ(page->smpp_port().text, "2775");
        EXPECT_TRUE(page->smpp_port().enabled);
        EXPECT_FALSE(page->mm7_enable().checked);
        EXPECT_EQ(page->mm7_port().text, "");
    }
    write_text(ctx.ini.rirer, "[RIRER]\nWebPort=abc\nSMPPPort=65536\n");
    write_text(ctx.ini.mmsc, "[MMSC]\nWebPort=8081\n");
    auto page = open();
    EXPECT_EQ(page->web_port().text, "8800");
    EXPECT_FALSE(page->smpp_enable().checked);
    EXPECT_EQ(page->smpp_port().text, "");
    EXPECT_TRUE(page->mm7_enable().checked);
    EXPECT_EQ(page->mm7_port().text, "8081");
    EXPECT_EQ(site.changed, 0);  // loading is not an edit
    EXPECT_FALSE(ctx.unsaved_changes);
}

TEST_F(ServerPageTest, ApplyStoresByTheRulesAndKeepsTheTypedTexts) {
    write_text(ctx.ini.mmsc, "[MMSC]\nWebPort=8081\n");
    auto page = open();
    page->set_port_text(PortField::Web, "abc");
    EXPECT_TRUE(ctx.unsaved_changes);
    EXPECT_EQ(site.changed, 1);
    page->click_enable(PortField::Smpp);  // checked, with an empty field
    EXPECT_TRUE(page->smpp_port().enabled);
    EXPECT_TRUE(page->smpp_port_label().enabled);
    page->click_enable(PortField::Mm7);   // unchecked
    EXPECT_FALSE(page->mm7_port().enabled);
    ASSERT_TRUE(page->can_apply());
    page->apply();
    EXPECT_FALSE(ctx.unsaved_changes);
    EXPECT_EQ(rirer("WebPort"), "8800");
    EXPECT_EQ(rirer("SMPPPort"), "<none>");
    EXPECT_EQ(mmsc("WebPort"), "<none>");
    EXPECT_EQ(page->mm7_port().text, "8081");
    EXPECT_EQ(page->web_port().text, "abc");

    page->set_port_text(PortField::Web, "0");
    page->set_port_text(PortField::Smpp, "70000");  // no TCP port: SMPP off
    page->apply();
    EXPECT_EQ(rirer("WebPort"), "8800");
    EXPECT_EQ(rirer("SMPPPort"), "<none>");
    page->set_port_text(PortField::Web, "80");
    page->set_port_text(PortField::Smpp, "2775x");
    page->apply();
    EXPECT_EQ(rirer("WebPort"), "80");
    EXPECT_EQ(rirer("SMPPPort"), "2775");
    // The empty SMPP field shows clear on the next load.
    page->set_port_text(PortField::Smpp, "");
    page->apply();
    EXPECT_FALSE(open()->smpp_enable().checked);
}

TEST_F(ServerPageTest, EqualEnabledPortsAreRefusedWithTheFocusOnTheLaterField) {
    write_text(ctx.ini.rirer, "[RIRER]\nWebPort=8800\nSMPPPort=2775\n");
    write_text(ctx.ini.mmsc, "[MMSC]\nWebPort=8081\n");
    auto page = open();
    page->set_port_text(PortField::Smpp, "8800");
    EXPECT_FALSE(page->can_apply());
    EXPECT_FALSE(page->left());
    ASSERT_FALSE(g.ui.boxes.empty());
    EXPECT_EQ(g.ui.boxes.back().text,
              "Port 8800 is used twice: the web interface, SMPP and MM7/EAIF ports must differ.");
    EXPECT_EQ(g.ui.boxes.back().icon, Icon::Error);
    EXPECT_EQ(page->focus(), PortField::Smpp);
    EXPECT_EQ(rirer("SMPPPort"), "2775");  // nothing written

    page->set_port_text(PortField::Smpp, "2775");
    page->set_port_text(PortField::Mm7, "02775");
    EXPECT_FALSE(page->can_apply());
    EXPECT_EQ(page->focus(), PortField::Mm7);
    EXPECT_EQ(g.ui.boxes.back().text.substr(0, 10), "Port 2775 ");
    // A disabled protocol holds no port.
    page->click_enable(PortField::Smpp);
    EXPECT_TRUE(page->can_apply());
    EXPECT_TRUE(page->left());
}

TEST_F(ServerPageTest, StatusAndTheButtonsThreeTexts) {
    auto page = open();
    EXPECT_EQ(page->server_status().text, "Not Active");
    EXPECT_EQ(page->service_button().label, "Install Service");
    install();
    page->tick();
    EXPECT_EQ(page->server_status().text, "Active");
    EXPECT_EQ(page->service_button().label, "Stop Service");
    // One running, the other stopped: still active, and the button stops both.
    ASSERT_TRUE(service::mmsc_service_running(g.p));
    g.control().stop(true);
    g.control().start(true);
    platform::sim::write_status(platform::sim::service_dir(g.root, service::kMmscServiceName),
                                platform::ServiceState::Stopped, 0);
    ::close(g.fds[service::kMmscServiceName]);
    g.fds.erase(service::kMmscServiceName);
    page->tick();
    EXPECT_EQ(page->server_status().text, "Active");
    page->press_service_button();
    EXPECT_FALSE(sms_running());
    EXPECT_EQ(page->server_status().text, "Not Active");
    EXPECT_EQ(page->service_button().label, "Start Service");
    page->press_service_button();
    EXPECT_TRUE(sms_running());
    EXPECT_EQ(page->service_button().label, "Stop Service");
    EXPECT_EQ(busy_runs.size(), 2u);
}

TEST_F(ServerPageTest, MissingMmscReadsInstallService) {
    install();
    g.control().stop(true);
    uint32_t err = 0;
    auto mgr = g.p.services->open_manager(platform::kServiceAllAccess, err);
    ASSERT_TRUE(mgr);
    auto svc = mgr->open_service(service::kMmscServiceName, platform::kServiceAllAccess, err);
    ASSERT_TRUE(svc);
    ASSERT_EQ(svc->remove(), 0u);
    auto page = open();
    EXPECT_EQ(page->server_status().text, "Not Active");
    EXPECT_EQ(page->service_button().label, "Install Service");
}

TEST_F(ServerPageTest, TheSaveQuestionsThreeAnswers) {
    auto page = open();
    page->set_port_text(PortField::Web, "8900");
    // Cancel: nothing is saved and nothing installed.
    g.ui.script({Answer::Cancel});
    page->press_service_button();
    EXPECT_EQ(g.ui.boxes.back().text, "Save configuration changes?");
    EXPECT_EQ(site.applied, 0);
    EXPECT_FALSE(sms_running());
    EXPECT_TRUE(ctx.unsaved_changes);
    // Yes, but applying fails: nothing more.
    site.apply_result = false;
    g.ui.script({Answer::Yes});
    page->press_service_button();
    EXPECT_EQ(site.applied, 1);
    EXPECT_FALSE(sms_running());
    EXPECT_TRUE(ctx.unsaved_changes);
    // No: installed unsaved.
    g.ui.script({Answer::No});
    page->press_service_button();
    EXPECT_EQ(site.applied, 1);
    EXPECT_TRUE(sms_running());
    EXPECT_TRUE(ctx.unsaved_changes);
    page->press_service_button();  // stops, asks nothing
    EXPECT_FALSE(sms_running());
    // Yes: applied, then installed.
    site.apply_result = true;
    site.on_apply = [&] { page->apply(); };
    size_t boxes = g.ui.boxes.size();
    g.ui.script({Answer::Yes});
    page->press_service_button();
    EXPECT_EQ(g.ui.boxes.size(), boxes + 1);
    EXPECT_EQ(site.applied, 2);
    EXPECT_EQ(rirer("WebPort"), "8900");
    EXPECT_FALSE(ctx.unsaved_changes);
    EXPECT_TRUE(sms_running());
}

TEST_F(ServerPageTest, WizardNextSavesInstallsAndMovesOnWhateverTheOutcome) {
    auto page = open(true);
    EXPECT_EQ(page->title(), "OvrinSMS Lite Setup Wizard:  Server Settings");
    ASSERT_FALSE(site.buttons.empty());
    EXPECT_EQ(site.buttons.back(), pages::WizardButtons::BackNext);
    page->set_port_text(PortField::Web, "8811");
    EXPECT_TRUE(page->wizard_next());
    EXPECT_EQ(rirer("WebPort"), "8811");
    EXPECT_TRUE(sms_running());
    g.control().stop(true);
    // Without the service programs the install fails; the wizard goes on.
    platform::fs::remove_file(g.console_dir + service::kSmsProgram);
    EXPECT_TRUE(page->wizard_next());
    EXPECT_EQ(busy_runs.size(), 2u);
    // A conflict holds the wizard on the page.
    page->click_enable(PortField::Mm7);
    page->set_port_text(PortField::Mm7, "8811");
    EXPECT_FALSE(page->wizard_next());
    EXPECT_EQ(busy_runs.size(), 2u);
    EXPECT_EQ(mmsc("WebPort"), "<none>");
}

TEST_F(ServerPageTest, WebInterfaceAddress) {
    EXPECT_EQ(pages::web_interface_url(ctx.ini), "http://127.0.0.1:8800/");
    const std::pair<const char*, const char*> cases[] = {
        {"[RIRER]\nWebPort=0\nIPAddress=10.0.0.5\n", "http://10.0.0.5:8800/"},
        {"[RIRER]\nWebPort=8080\nIPAddress=0.0.0.0\n", "http://127.0.0.1:8080/"},
        {"[RIRER]\nWebPort=8080\nIPAddress=fe80::1\n", "http://[fe80::1]:8080/"},
        {"[RIRER]\nWebPort=8080\nIPAddress=[2001:db8::2]\n", "http://[2001:db8::2]:8080/"},
        {"[RIRER]\nWebPort=99999\nIPAddress=::\n", "http://[::1]:8800/"},
        {"[RIRER]\nWebPort=\nIPAddress=gw.example.net\n", "http://gw.example.net:8800/"},
    };
    for (auto [ini, url] : cases) {
        write_text(ctx.ini.rirer, ini);
        EXPECT_EQ(pages::web_interface_url(ctx.ini), url) << ini;
    }
}
