// The Select Modem page over line devices backed by the AT modem simulator
// and network devices served by the device simulator on loopback.
#include "pages/select_modem.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "config/ini.h"
#include "config/modem_cache.h"
#include "device_server.h"
#include "modem/entries.h"
#include "modem/fakes.h"
#include "platform/device_browser.h"
#include "platform/fs.h"
#include "support/scratch.h"

using namespace ovr;
using pages::SelectModemPage;
using test::write_text;

namespace {

struct Site : pages::PageSite {
    std::vector<pages::WizardButtons> buttons;
    void mark_changed(pages::PageModel&) override {}
    bool apply_all() override { return true; }
    bool query_unsaved() override { return false; }
    void set_wizard_buttons(pages::WizardButtons b) override { buttons.push_back(b); }
    void press_button(pages::SheetButton) override {}
};

struct Device {
    explicit Device(const std::string& profile, const std::string& name = "Ovrin Phone") {
        devicesim::DeviceSpec spec;
        spec.profile = profile;
        spec.name = name;
        spec.slow_delay_ms = 50;
        server = std::make_unique<devicesim::DeviceServer>(spec);
        std::string error;
        EXPECT_TRUE(server->start(error)) << error;
    }
    std::string address() const { return server->address(); }
    std::unique_ptr<devicesim::DeviceServer> server;
};

// A wizard page over a scratch data directory. Local modems run on a fake
// clock; device queries and discovery need the real one (sockets and the
// discovery thread wait in real time), so each test picks.
struct SelectModemTest : ::testing::Test {
    test::ScratchDir dir;
    std::shared_ptr<platform::FakeClock> fake = std::make_shared<platform::FakeClock>();
    std::shared_ptr<test::SimPorts> ports = std::make_shared<test::SimPorts>();
    std::shared_ptr<test::FakeTapi> tapi = std::make_shared<test::FakeTapi>(*fake);
    platform::Platform plat;
    pages::Context ctx;
    ScriptedUi ui;
    Site site;
    std::vector<std::string> busy_runs;
    SelectModemPage::Options options;

    SelectModemTest() {
        plat.backend = platform::Backend::Sim;
        plat.sim_root = dir.path() + "sim/";
        plat.clock = fake;
        plat.comm_ports = ports;
        plat.tapi = tapi;
        plat.registry = std::make_shared<test::FakeRegistry>();
        ctx.dirs = {dir.path() + "data/", dir.path() + "private/", dir.path()};
        platform::fs::create_directories(ctx.dirs.program_data);
        ctx.ini = config::ini_paths_for(ctx.dirs);
        write_text(ctx.ini.rirer, "[RIRER]\n");
        ctx.ui = &ui;
        ctx.platform = &plat;
        ctx.run_busy = [this](const std::string& title, const std::string& text, const std::function<void()>& work) {
            busy_runs.push_back(title + " " + text);
            work();
        };
        options.discover = false;
        options.limits.idle_ms = 1500;
        options.limits.wait_ms = 1500;
        options.limits.overall_ms = 2000;
        options.connect_timeout_ms = 1500;
    }

    void real_clock() { plat.clock = std::make_shared<platform::SystemClock>(); }
    void add_modem(const std::string& name, const std::string& profile = "pdu") {
        test::FakeTapi::Device d;
        d.name = name;
        d.port = "COM9";
        d.wire = std::make_shared<test::Wire>(*sim::find_profile(profile), *fake);
        tapi->devices.push_back(d);
    }
    std::unique_ptr<SelectModemPage> open() {
        auto page = std::make_unique<SelectModemPage>(ctx, options);
        page->created(site);
        page->shown();
        return page;
    }
    std::string key(const std::string& section, const std::string& name) {
        return config::ini::read_value(ctx.ini.rirer, section, name).value_or("(unset)");
    }
    static size_t count(const std::vector<std::string>& v, const std::string& s) {
        return static_cast<size_t>(std::count(v.begin(), v.end(), s));
    }
};

TEST_F(SelectModemTest, CreatedPageListsLocalModemsSortedAndSelectsModem1) {
    add_modem("zeta modem");
    add_modem("Alpha Modem");
    add_modem("beta modem");
    tapi->devices.push_back({"Voice Line", 0x4, "", nullptr});  // not a data modem
    write_text(ctx.ini.rirer, "[RIRER]\nModem1=beta modem\n");
    auto page = open();
    std::vector<std::string> locals;
    for (const auto& e : page->items())
        if (e.rfind("OvrinSMSModem - ", 0) != 0) locals.push_back(e);
    EXPECT_EQ(locals, (std::vector<std::string>{"Alpha Modem", "beta modem", "zeta modem"}));
    ASSERT_TRUE(page->selected());
    EXPECT_EQ(page->items()[*page->selected()], "beta modem");
    EXPECT_EQ(page->text(), "beta modem");
    EXPECT_FALSE(page->test_and_add_button().visible);
    EXPECT_FALSE(page->cancel_button().visible);
    EXPECT_EQ(site.buttons.back(), pages::WizardButtons::Next);
    EXPECT_EQ(page->refresh_interval_ms(), 1000u);

    page->click_item(0);
    EXPECT_EQ(page->text(), "Alpha Modem");
}

TEST_F(SelectModemTest, EmptyTextStaysWithoutAMessage) {
    auto page = open();
    EXPECT_FALSE(page->wizard_next());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(busy_runs.empty());
}

TEST_F(SelectModemTest, ListedModemThatPassesIsStoredAndItsPinRemoved) {
    add_modem("Simulated GSM Modem");
    write_text(ctx.ini.rirer, "[RIRER]\nModem1=Old\n[Modem - Simulated GSM Modem]\nPIN=1234\nBaud=9600\n");
    auto page = open();
    page->click_item(0);
    ASSERT_TRUE(page->wizard_next());
    EXPECT_EQ(key("RIRER", "Modem1"), "Simulated GSM Modem");
    EXPECT_EQ(key("Modem - Simulated GSM Modem", "PIN"), "(unset)");
    EXPECT_EQ(key("Modem - Simulated GSM Modem", "Baud"), "9600");
    EXPECT_EQ(ctx.current_modem, "Simulated GSM Modem");
    EXPECT_EQ(busy_runs, (std::vector<std::string>{"Please wait... Testing modem..."}));
    EXPECT_EQ(ui.texts().back(), "Modem successfully tested!");
    // The AT dialogue went to the wait window.
    EXPECT_NE(std::find(ui.progress_lines.begin(), ui.progress_lines.end(), "-> ATE0V1<CR>"), ui.progress_lines.end())
        << ::testing::PrintToString(ui.progress_lines);
    EXPECT_EQ(ui.busy_depth, 0);
}

TEST_F(SelectModemTest, ListedModemThatFailsLeavesModem1Unchanged) {
    add_modem("Silent Modem", "silent");
    write_text(ctx.ini.rirer, "[RIRER]\nModem1=Old\n[Modem - Silent Modem]\nPIN=1234\n");
    auto page = open();
    page->click_item(0);
    EXPECT_FALSE(page->wizard_next());
    EXPECT_EQ(key("RIRER", "Modem1"), "Old");
    EXPECT_EQ(key("Modem - Silent Modem", "PIN"), "1234");
    EXPECT_FALSE(ui.boxes.empty());   // the test said why
    EXPECT_NE(ui.boxes.back().text, SelectModemPage::kUnableToConnect);
}

TEST_F(SelectModemTest, TypedAddressOfAnAnsweringDeviceIsStoredWithItsRoute) {
    real_clock();
    Device d("good");
    auto page = open();
    page->set_text(d.address());
    ASSERT_TRUE(page->wizard_next()) << ::testing::PrintToString(ui.texts());
    std::string entry = "OvrinSMSModem - " + d.address();
    EXPECT_EQ(key("RIRER", "Modem1"), entry);
    EXPECT_EQ(key(entry, "RouteName"), "127.0.0.1");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(busy_runs, (std::vector<std::string>{"Please wait... Connecting to modem..."}));
    EXPECT_FALSE(ui.progress_lines.empty());
    EXPECT_EQ(ui.busy_depth, 0);
}

TEST_F(SelectModemTest, BadPeersAndUnknownNamesKeepThePageWithOneBox) {
    real_clock();
    for (const char* profile : {"wrong", "noid", "refusing", "huge-headers", "silent", "reset"}) {
        SCOPED_TRACE(profile);
        ui.boxes.clear();
        Device d(profile);
        write_text(ctx.ini.rirer, "[RIRER]\nModem1=Old\n");
        auto page = open();
        page->set_text(d.address());
        auto began = std::chrono::steady_clock::now();
        EXPECT_FALSE(page->wizard_next());
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(4));
        EXPECT_EQ(ui.texts(), (std::vector<std::string>{"Unable to connect to modem"}));
        EXPECT_EQ(ui.boxes.back().icon, Icon::Error);
        EXPECT_EQ(key("RIRER", "Modem1"), "Old");
    }
    ui.boxes.clear();
    auto page = open();
    page->set_text("no such modem");
    EXPECT_FALSE(page->wizard_next());
    EXPECT_EQ(ui.texts(), (std::vector<std::string>{"Unable to connect to modem"}));
}

TEST_F(SelectModemTest, DeviceEntryConnectsThroughTheCacheAndRoutesByName) {
    real_clock();
    Device d("good", "Select Phone One");
    config::set_modem_browser(platform::make_sim_device_browser(plat.sim_root, plat.clock));
    ASSERT_TRUE(config::cache_modem("Select Phone One", d.address()));
    auto page = open();
    std::string entry = "OvrinSMSModem - Select Phone One";
    auto& items = page->items();
    auto it = std::find(items.begin(), items.end(), entry);
    ASSERT_NE(it, items.end());
    page->click_item(static_cast<size_t>(it - items.begin()));
    ASSERT_TRUE(page->wizard_next()) << ::testing::PrintToString(ui.texts());
    EXPECT_EQ(key("RIRER", "Modem1"), entry);
    EXPECT_EQ(key(entry, "RouteName"), "Select Phone One");

    // The prefix in any case counts; a device that is gone does not.
    d.server->stop();
    page->set_text("ovrinsmsmodem - Select Phone One");
    EXPECT_FALSE(page->wizard_next());
    EXPECT_EQ(ui.texts().back(), "Unable to connect to modem");
    EXPECT_EQ(key("RIRER", "Modem1"), entry);
}

TEST_F(SelectModemTest, BracketedAddressRoutesByItsHost) {
    real_clock();
    devicesim::DeviceSpec spec;
    spec.listen = "[::1]:0";
    devicesim::DeviceServer server(spec);
    std::string error;
    if (!server.start(error)) GTEST_SKIP() << "no IPv6 loopback here: " << error;
    auto page = open();
    page->set_text(server.address());
    ASSERT_TRUE(page->wizard_next()) << ::testing::PrintToString(ui.texts());
    EXPECT_EQ(key(modem::ModemSectionName("OvrinSMSModem - " + server.address()), "RouteName"), "[::1]");
}

TEST_F(SelectModemTest, LongTextIsCutAndLongDeviceEntriesRefusedBeforeConnecting) {
    auto page = open();
    page->set_text(std::string(300, 'a'));
    EXPECT_EQ(page->text().size(), 249u);
    // A cut never splits a character.
    page->set_text(std::string(248, 'a') + "\xC3\xA9");
    EXPECT_EQ(page->text(), std::string(248, 'a'));
    // 16 + 234 > 249: refused without a connection (no wait window).
    page->set_text(std::string(230, 'a') + ":8990");
    EXPECT_FALSE(page->wizard_next());
    EXPECT_EQ(ui.texts(), (std::vector<std::string>{"Unable to connect to modem"}));
    EXPECT_TRUE(busy_runs.empty());
}

TEST_F(SelectModemTest, UnwritableConfigurationIsReportedAndThePageStays) {
    add_modem("Simulated GSM Modem");
    write_text(ctx.ini.rirer, "[RIRER]\nModem1=Old\n");
    auto page = open();
    page->click_item(0);
    // The writer's lock cannot be taken (root writes anywhere, so no chmod).
    ASSERT_TRUE(platform::fs::create_directories(ctx.dirs.program_data + ".RIRER.INI.lock/"));
    EXPECT_FALSE(page->wizard_next());
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().icon, Icon::Error);
    EXPECT_EQ(ui.boxes.back().text, "Unable to save the modem in " + ctx.ini.rirer + ":  Is a directory");
    EXPECT_EQ(key("RIRER", "Modem1"), "Old");
    EXPECT_EQ(ctx.current_modem, "");
}

TEST_F(SelectModemTest, TapiFailureShowsOnceAndRefillsKeepTheSelection) {
    add_modem("Alpha Modem");
    add_modem("Beta Modem");
    tapi->fail = "initialize";
    tapi->fail_times = 1;
    auto page = open();
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(page->items().empty() || page->items()[0].rfind("OvrinSMSModem - ", 0) == 0);

    page->window_activated();   // TAPI works again
    ASSERT_GE(page->items().size(), 2u);
    page->click_item(1);
    EXPECT_EQ(page->text(), "Beta Modem");
    // A modem added before the next activation sorts in ahead; the selection follows its text.
    tapi->devices.insert(tapi->devices.begin(), {"Aardvark Modem", platform::tapi::kMediaModeDataModem, "", nullptr});
    page->window_activated();
    ASSERT_TRUE(page->selected());
    EXPECT_EQ(page->items()[*page->selected()], "Beta Modem");
    EXPECT_EQ(*page->selected(), 2u);

    // Failing refills never show a box (each would re-activate the window).
    tapi->fail = "initialize";
    tapi->fail_times = 5;
    page->window_activated();
    page->window_activated();
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_FALSE(page->selected());
    EXPECT_EQ(page->text(), "Beta Modem");   // what was typed or clicked stays
}

TEST_F(SelectModemTest, DiscoveredDeviceWakesThePageAndIsMergedWithinOneTickAndOnlyOnce) {
    real_clock();
    options.discover = true;
    options.pass_seconds = 2;
    config::set_modem_browser(platform::make_sim_device_browser(plat.sim_root, plat.clock));
    add_modem("Simulated GSM Modem");
    std::atomic<int> wakes{0};
    auto page = open();
    page->set_discovery_wake([&] { ++wakes; });
    auto wakes_after = [&](int want) {
        for (int i = 0; i < 100 && wakes < want; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return wakes.load();
    };
    const std::string name = "Merge Phone " + std::to_string(getpid());
    const std::string entry = "OvrinSMSModem - " + name;
    ASSERT_FALSE(platform::register_sim_device(plat.sim_root, name, "127.0.0.1:9").empty());
    ASSERT_FALSE(platform::register_sim_device(plat.sim_root, name, "127.0.0.1:10").empty());  // seen twice
    // The thread caches it within a registry scan and wakes the page, whose
    // next tick lists it.
    ASSERT_EQ(wakes_after(1), 1);
    EXPECT_TRUE(config::cached_modem_address(name));
    page->tick();
    EXPECT_EQ(count(page->items(), entry), 1u);
    EXPECT_EQ(page->items().front(), "Simulated GSM Modem");   // appended after the local modems
    page->tick();
    page->window_activated();
    page->tick();
    EXPECT_EQ(count(page->items(), entry), 1u);

    // Two more at once: one wake until the page ticks, which lists both.
    ASSERT_FALSE(platform::register_sim_device(plat.sim_root, name + " 2", "127.0.0.1:11").empty());
    ASSERT_FALSE(platform::register_sim_device(plat.sim_root, name + " 3", "127.0.0.1:12").empty());
    ASSERT_EQ(wakes_after(2), 2);
    for (int i = 0; i < 50 && !config::cached_modem_address(name + " 3"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(wakes, 2);
    page->tick();
    EXPECT_EQ(count(page->items(), entry + " 2"), 1u);
    EXPECT_EQ(count(page->items(), entry + " 3"), 1u);

    auto began = std::chrono::steady_clock::now();
    page.reset();   // the thread is gone with the page
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(500));
}

TEST_F(SelectModemTest, TicksAndRefillsWaitWhileNextRuns) {
    real_clock();
    Device d("slow");
    config::set_modem_browser(platform::make_sim_device_browser(plat.sim_root, plat.clock));
    auto page = open();
    const std::string name = "Busy Phone " + std::to_string(getpid());
    size_t before = page->items().size();
    bool checked = false;
    ctx.run_busy = [&](const std::string&, const std::string&, const std::function<void()>& work) {
        // What the wait window's event loop would deliver meanwhile.
        ASSERT_TRUE(config::cache_modem(name, "127.0.0.1:9"));
        page->tick();
        page->window_activated();
        EXPECT_TRUE(page->busy());
        EXPECT_EQ(page->items().size(), before);
        checked = true;
        work();
    };
    page->set_text(d.address());
    EXPECT_TRUE(page->wizard_next());
    EXPECT_TRUE(checked);
    page->tick();
    EXPECT_EQ(count(page->items(), "OvrinSMSModem - " + name), 1u);
}

}  // namespace
