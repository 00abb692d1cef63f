#include "pages/status_page.h"

#include <gtest/gtest.h>

#include "config/ini.h"
#include "service/fake_gateway.h"
#include "service/status_text.h"
#include "support/systemd_bus.h"

using namespace ovr;
using pages::StatusPage;
using pages::ViewerKind;
using test::write_text;

namespace {

struct Site : pages::PageSite {
    bool unsaved = false;
    bool apply_result = true;
    int applied = 0;
    void mark_changed(pages::PageModel&) override {}
    bool apply_all() override {
        ++applied;
        return apply_result;
    }
    bool query_unsaved() override { return unsaved; }
    void set_wizard_buttons(pages::WizardButtons) override {}
    void press_button(pages::SheetButton) override {}
};

struct RecordingWindows : pages::Windows {
    std::vector<std::string> opened;
    void open_queue_viewer(ViewerKind k) override { opened.push_back("queue " + std::to_string(static_cast<int>(k))); }
    void open_event_log_viewer() override { opened.push_back("events"); }
};

struct StatusPageTest : ::testing::Test {
    test::FakeGateway g;
    pages::Context ctx;
    Site site;
    RecordingWindows windows;
    std::vector<std::string> busy_runs;
    std::string data, priv;

    StatusPageTest() {
        StatusPage::forget_last_queue_count();
        data = g.scratch.path() + "data/";
        priv = g.scratch.path() + "private/";
        platform::fs::create_directories(data);
        platform::fs::create_directories(priv);
        ctx.dirs = {data, priv, g.console_dir};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        write_text(ctx.ini.rirer, "");
        ctx.ui = &g.ui;
        ctx.platform = &g.p;
        ctx.windows = &windows;
        ctx.run_busy = [this](const std::string& title, const std::string& text, const std::function<void()>& work) {
            busy_runs.push_back(title + " " + text);
            work();
        };
    }
    ~StatusPageTest() override { StatusPage::forget_last_queue_count(); }

    std::unique_ptr<StatusPage> open() {
        auto page = std::make_unique<StatusPage>(ctx, g.console_dir);
        page->created(site);
        return page;
    }
    void install() { ASSERT_TRUE(g.control().install_and_start(true)); }
    void stop_mmsc() {
        platform::sim::write_status(platform::sim::service_dir(g.root, service::kMmscServiceName),
                                    platform::ServiceState::Stopped, 0);
        ::close(g.fds[service::kMmscServiceName]);
        g.fds.erase(service::kMmscServiceName);
    }
    void queue_files(const std::string& dir, int n, const char* ext) {
        platform::fs::create_directories(dir);
        for (int i = 0; i < n; ++i) write_text(dir + "M" + std::to_string(i) + ext, "x");
    }
    void later(uint64_t ms) { g.clock->inner.advance_ms(ms); }
};

TEST_F(StatusPageTest, HealthyGatewayShowsActiveAndOnlyStopIsEnabled) {
    install();
    auto page = open();
    EXPECT_EQ(page->service_status().text, "Service is Active");
    EXPECT_FALSE(page->service_status().red);
    EXPECT_EQ(page->modem_information().text, "");
    EXPECT_FALSE(page->modem_information().red);
    EXPECT_TRUE(page->run_as_service().checked);
    EXPECT_TRUE(page->stop_button().enabled);
    EXPECT_FALSE(page->start_button().enabled);
    EXPECT_EQ(page->sms_queue().count.text, "Empty");
    EXPECT_EQ(page->mms_queue().count.text, "Empty");
    EXPECT_EQ(page->title(), "Status");
    EXPECT_EQ(page->template_name(), "DIALOG_STATUS");
}

TEST_F(StatusPageTest, MissingOrStoppedServicesAreRedAndDisableTheButtons) {
    {
        auto page = open();
        EXPECT_EQ(page->service_status().text, "Service is NOT Installed");
        EXPECT_TRUE(page->service_status().red);
        EXPECT_EQ(page->modem_information().text, "Service is NOT active");
        EXPECT_TRUE(page->modem_information().red);
        EXPECT_FALSE(page->run_as_service().checked);
        EXPECT_FALSE(page->start_button().enabled);
        EXPECT_FALSE(page->stop_button().enabled);
    }
    install();
    stop_mmsc();
    auto page = open();
    // The SMS gateway is well, so the MMSC state shows.
    EXPECT_EQ(page->service_status().text, "Service is NOT Active");
    EXPECT_TRUE(page->service_status().red);
    EXPECT_TRUE(page->run_as_service().checked);
    EXPECT_TRUE(page->start_button().enabled);
    EXPECT_FALSE(page->stop_button().enabled);
}

TEST_F(StatusPageTest, SmsPortConflictHidesTheStoppedMmsc) {
    install();
    stop_mmsc();
    g.block->data()[service::kFirstPortByte] = 1;
    auto page = open();
    EXPECT_EQ(page->service_status().text, "ERROR:  Web Port already in use");
    EXPECT_TRUE(page->service_status().red);
    g.block->data()[service::kFirstPortByte] = 0;
    g.block->data()[service::kSecondPortByte] = 1;
    page->tick();
    EXPECT_EQ(page->service_status().text, "ERROR:  SMPP Server Port already in use");
    g.block->data()[service::kSecondPortByte] = 0;
    page->tick();
    EXPECT_EQ(page->service_status().text, "Service is NOT Active");
}

TEST_F(StatusPageTest, ModemErrorsOfAnyOfTheFirst201KeysShowInRed) {
    install();
    write_text(ctx.ini.rirer, "[RIRER]\nModem1=\nModem5=COM5:\n");
    auto page = open();
    EXPECT_EQ(page->modem_information().text, "");
    write_text(service::modem_error_path(priv, "COM5:"), "No answer from modem");
    page->tick();
    EXPECT_EQ(page->modem_information().text, "COM5: : No answer from modem\r\n");
    EXPECT_TRUE(page->modem_information().red);
    // The status line is not touched by a modem error.
    EXPECT_EQ(page->service_status().text, "Service is Active");
}

TEST_F(StatusPageTest, QueueCountsAreRedAboveTheThresholdWithTheirLabel) {
    std::string q = data + "Q/";
    queue_files(q, 100, ".REQ");
    auto page = open();
    EXPECT_EQ(page->sms_queue().count.text, "100");
    EXPECT_FALSE(page->sms_queue().count.red);
    EXPECT_FALSE(page->sms_queue().label.red);

    platform::fs::create_directories(q + "sub/");
    write_text(q + "sub/extra.req", "x");  // immediate subdirectories count too
    later(10000);
    page->tick();
    EXPECT_EQ(page->sms_queue().count.text, "101");
    EXPECT_TRUE(page->sms_queue().count.red);
    EXPECT_TRUE(page->sms_queue().label.red);
    EXPECT_FALSE(page->mms_queue().label.red);

    config::ini::write_string(ctx.ini.rirer, "RIRER", "AlertEMailQueueSize", "0");
    later(10000);
    page->tick();
    EXPECT_FALSE(page->sms_queue().count.red);
    EXPECT_FALSE(page->sms_queue().label.red);
}

TEST_F(StatusPageTest, QueuesAreCountedAtMostEveryTenSecondsAcrossPages) {
    std::string q = data + "Q/";
    queue_files(q, 2, ".REQ");
    auto page = open();
    EXPECT_EQ(page->sms_queue().count.text, "2");
    queue_files(q, 5, ".REQ");
    later(9999);
    page->tick();
    EXPECT_EQ(page->sms_queue().count.text, "2");
    later(1);
    page->tick();
    EXPECT_EQ(page->sms_queue().count.text, "5");

    // A sheet opened again soon after shows no count until the next one.
    page.reset();
    later(3000);
    page = open();
    EXPECT_EQ(page->sms_queue().count.text, "");
    later(7000);
    page->tick();
    EXPECT_EQ(page->sms_queue().count.text, "5");
}

TEST_F(StatusPageTest, CounterRowsShowTodayLast7Last30AndZeroAsEmpty) {
    platform::LocalTime today = g.clock->local_now();
    int doy = service::day_of_year(today.year, today.month, today.day);
    auto put = [&](const char* name, uint32_t value) {
        std::string bytes(service::kCounterFileBytes, '\0');
        for (int k = 0; k < 4; ++k) bytes[static_cast<size_t>(doy - 1) * 4 + k] = static_cast<char>(value >> (8 * k));
        platform::fs::create_directories(priv + "STATS/");
        write_text(service::counter_path(priv, name, today.year), bytes);
    };
    put("SMSSENT", 7);
    put("MMSIN-VASP", 2);
    put("MMSIN-USER", 3);
    auto page = open();
    EXPECT_EQ(page->counter_row(1).label.text, "SMS Sent:");
    EXPECT_EQ(page->counter_row(1).counts[0].text, "7");
    EXPECT_EQ(page->counter_row(1).counts[1].text, "7");
    EXPECT_EQ(page->counter_row(1).counts[2].text, "7");
    EXPECT_EQ(page->counter_row(5).label.text, "MMS Processed:");
    EXPECT_EQ(page->counter_row(5).counts[0].text, "5");
    for (const auto& c : page->counter_row(0).counts) EXPECT_EQ(c.text, "");
    EXPECT_EQ(page->counter_row(7).label.text, "MMS Received");
    EXPECT_TRUE(page->counter_row(2).view.has_value());
    EXPECT_TRUE(page->counter_row(7).view.has_value());
    EXPECT_FALSE(page->counter_row(0).view.has_value());
}

TEST_F(StatusPageTest, AnUnchangedRefreshRewritesNothing) {
    install();
    auto page = open();
    uint64_t rev = page->revision();
    later(1000);
    page->tick();
    later(10000);
    page->tick();  // the queue count comes out the same
    EXPECT_EQ(page->revision(), rev);

    pages::Label l{"Service is Active"};
    EXPECT_FALSE(pages::update_label(l, "SERVICE IS ACTIVE", false));
    EXPECT_EQ(l.text, "Service is Active");
    EXPECT_TRUE(pages::update_label(l, "Service is Active", true));  // the colour alone moved
    // A change beyond the first 500 characters still reaches the field.
    pages::Label long_text{std::string(600, 'a')};
    EXPECT_TRUE(pages::update_label(long_text, std::string(599, 'a') + "b", false));
}

TEST_F(StatusPageTest, CheckingRunAsServiceOffersToSaveThenInstallsBehindTheWaitWindow) {
    auto page = open();
    site.unsaved = true;
    g.ui.script({Answer::Yes});
    page->click_run_as_service();
    EXPECT_EQ(g.ui.texts(), std::vector<std::string>{"Save configuration changes?"});
    EXPECT_EQ(g.ui.boxes[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(site.applied, 1);
    EXPECT_EQ(busy_runs, std::vector<std::string>{"Please wait... Installing Services..."});
    EXPECT_EQ(g.ui.busy, std::vector<std::string>{"Installing Services..."});
    EXPECT_TRUE(g.running(service::kSmsServiceName));
    EXPECT_TRUE(g.running(service::kMmscServiceName));
    EXPECT_TRUE(page->run_as_service().checked);
    EXPECT_EQ(page->service_status().text, "Service is Active");
}

TEST_F(StatusPageTest, AFailedApplyStopsTheInstallAndNoGoesOnUnsaved) {
    auto page = open();
    site.unsaved = true;
    site.apply_result = false;
    g.ui.script({Answer::Yes});
    page->click_run_as_service();
    EXPECT_TRUE(busy_runs.empty());
    EXPECT_FALSE(g.installed(service::kSmsServiceName));
    EXPECT_FALSE(page->run_as_service().checked);  // the guard is cleared: the box follows again

    g.ui.script({Answer::No});
    page->click_run_as_service();
    EXPECT_EQ(site.applied, 1);
    EXPECT_TRUE(g.installed(service::kSmsServiceName));
}

TEST_F(StatusPageTest, ClearingRunAsServiceAsksBeforeRemoving) {
    install();
    auto page = open();
    g.ui.script({Answer::No});
    page->click_run_as_service();
    ASSERT_EQ(g.ui.boxes.size(), 1u);
    EXPECT_EQ(g.ui.boxes[0].text, "Are you sure?");
    EXPECT_EQ(g.ui.boxes[0].caption, "Remove Service");
    EXPECT_EQ(g.ui.boxes[0].icon, Icon::Question);
    EXPECT_EQ(g.ui.boxes[0].buttons, Buttons::YesNoCancelDefaultNo);
    EXPECT_TRUE(g.installed(service::kSmsServiceName));
    EXPECT_TRUE(page->run_as_service().checked);  // re-checked: still installed

    g.ui.script({Answer::Yes});
    page->click_run_as_service();
    EXPECT_FALSE(g.installed(service::kSmsServiceName));
    EXPECT_FALSE(g.installed(service::kMmscServiceName));
    EXPECT_FALSE(page->run_as_service().checked);
    EXPECT_EQ(page->service_status().text, "Service is NOT Installed");
}

TEST_F(StatusPageTest, StopAndStartFollowTheirEnableRules) {
    install();
    auto page = open();
    page->press_start();  // disabled while both run
    EXPECT_TRUE(busy_runs.empty());
    page->press_stop();
    EXPECT_EQ(busy_runs, std::vector<std::string>{"Please wait... Stopping Services..."});
    EXPECT_FALSE(g.running(service::kSmsServiceName));
    EXPECT_TRUE(page->start_button().enabled);
    EXPECT_FALSE(page->stop_button().enabled);

    site.unsaved = true;
    g.ui.script({Answer::Cancel});
    page->press_start();
    EXPECT_EQ(g.ui.texts().back(), "Save configuration changes?");
    EXPECT_EQ(site.applied, 0);
    EXPECT_TRUE(g.running(service::kSmsServiceName));
    EXPECT_TRUE(page->stop_button().enabled);
}

// On systemd each refresh takes one look at both units, so what it shows
// after the page's own install, stop, start and remove, or a change made
// elsewhere, is never a state from before.
TEST_F(StatusPageTest, OnSystemdEachRefreshIsOneFreshLook) {
    std::string units = g.scratch.path() + "units/";
    platform::fs::create_directories(units);
    test::SystemdBus bus(units);
    if (!bus.ok()) GTEST_SKIP() << bus.error();
    platform::SystemdOptions o;
    o.bus_address = bus.address();
    o.unit_dir = units;
    g.p.services = platform::make_systemd_service_manager(o);
    auto looks = [&] {
        size_t n = 0;
        for (const auto& c : bus.calls()) n += c == "ListUnitsByNames OvrinSMS.service OvrinMMSC.service";
        return n;
    };
    auto page = open();
    auto shows = [&](const char* text, bool start, bool stop) {
        EXPECT_EQ(page->service_status().text, text);
        EXPECT_EQ(page->start_button().enabled, start) << text;
        EXPECT_EQ(page->stop_button().enabled, stop) << text;
    };
    shows("Service is NOT Installed", false, false);
    EXPECT_EQ(looks(), 1u);
    page->tick();
    EXPECT_EQ(looks(), 2u);

    page->click_run_as_service();
    shows("Service is Active", false, true);
    EXPECT_TRUE(page->run_as_service().checked);
    page->press_stop();
    shows("Service is NOT Active", true, false);
    page->press_start();
    shows("Service is Active", false, true);
    size_t before = looks();
    page->tick();
    EXPECT_EQ(looks(), before + 1);

    bus.set_unit("OvrinMMSC.service", {"loaded", "failed", "failed", true});  // it failed on its own
    page->tick();
    shows("Service is NOT Active", true, false);
    g.ui.script({Answer::Yes});
    page->click_run_as_service();
    shows("Service is NOT Installed", false, false);
    EXPECT_FALSE(page->run_as_service().checked);
}

TEST_F(StatusPageTest, TheTimerWaitsWhileAServiceOperationRuns) {
    install();
    auto page = open();
    uint64_t ticks_seen = 0;
    ctx.run_busy = [&](const std::string&, const std::string&, const std::function<void()>& work) {
        work();
        uint64_t rev = page->revision();
        page->tick();  // the front end's timer firing behind the wait window
        ticks_seen = page->revision() - rev;
    };
    page->press_stop();
    EXPECT_EQ(ticks_seen, 0u);
    EXPECT_EQ(page->service_status().text, "Service is NOT Active");  // refreshed once it returned
}

TEST_F(StatusPageTest, ViewButtonsOpenTheViewersAndTheLogChooserStartsInTheLogDirectory) {
    auto page = open();
    page->press_view(ViewerKind::OutboundSms);
    page->press_view(ViewerKind::ReceivedMms);
    page->press_event_log();
    EXPECT_EQ(windows.opened, (std::vector<std::string>{"queue 0", "queue 3", "events"}));

    g.ui.script_file_choice(data + "SMSOUT-20260101.LOG");
    page->press_view_log_files();  // the file is not there: nothing opens
    EXPECT_TRUE(g.ui.edited.empty());
    ASSERT_EQ(g.ui.chooser_dirs.size(), 1u);
    EXPECT_EQ(g.ui.chooser_dirs[0], data);
    ASSERT_EQ(g.ui.chooser_filters[0].size(), 6u);
    EXPECT_EQ(g.ui.chooser_filters[0][0].label, "OvrinSMS Log Files");
    EXPECT_EQ(g.ui.chooser_filters[0][0].patterns, "*.log");
    EXPECT_EQ(g.ui.chooser_filters[0][2].label, "SMS In Files");
    EXPECT_EQ(g.ui.chooser_filters[0][5].patterns, "*.*");

    write_text(data + "SMSOUT-20260101.LOG", "log");
    config::ini::write_string(ctx.ini.rirer, "RIRER", "LogDirectory", "/var/log/ovrin/");
    page->press_view_log_files();
    EXPECT_EQ(g.ui.chooser_dirs[1], "/var/log/ovrin/");
    EXPECT_EQ(g.ui.edited, std::vector<std::string>{data + "SMSOUT-20260101.LOG"});
}

TEST_F(StatusPageTest, CancelAsksOnlyWithUnsavedChanges) {
    auto page = open();
    EXPECT_TRUE(page->cancel_requested());
    EXPECT_TRUE(g.ui.boxes.empty());
    EXPECT_EQ(page->unsaved_query(), std::optional<bool>(false));
    ctx.unsaved_changes = true;
    EXPECT_EQ(page->unsaved_query(), std::optional<bool>(true));
    g.ui.script({Answer::No, Answer::Yes});
    EXPECT_FALSE(page->cancel_requested());
    EXPECT_TRUE(page->cancel_requested());
    EXPECT_EQ(g.ui.texts()[0], "Exit without saving configuration changes?");
    EXPECT_TRUE(page->left());
}

}  // namespace
