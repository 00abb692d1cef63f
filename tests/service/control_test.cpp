#include <gtest/gtest.h>

#include "fake_gateway.h"

namespace ovr::test {
namespace {

using service::kMmscServiceName;
using service::kSmsServiceName;
using Texts = std::vector<std::string>;

TEST(ServiceInstall, CreatesBothServicesRecordsTheirProgramsAndStartsThem) {
    FakeGateway g;
    EXPECT_TRUE(g.control().install_and_start(true));
    EXPECT_TRUE(g.running(kSmsServiceName));
    EXPECT_TRUE(g.running(kMmscServiceName));
    EXPECT_NE(g.config_of(kSmsServiceName).find("DisplayName=Ovrin SMS Gateway Lite Edition\n"), std::string::npos);
    EXPECT_NE(g.config_of(kSmsServiceName).find("BinaryPath=" + g.console_dir + "SMSGWNT.EXE\n"), std::string::npos);
    EXPECT_NE(g.config_of(kMmscServiceName).find("BinaryPath=" + g.console_dir + "MMSCNT.EXE\n"), std::string::npos);
    EXPECT_NE(g.config_of(kMmscServiceName).find("StartType=2\n"), std::string::npos);
    EXPECT_TRUE(g.ui.boxes.empty());
    // No firewall helper beside the console: nothing is started for it.
    EXPECT_FALSE(platform::fs::exists(g.root + "processes.log"));
    EXPECT_EQ(g.p.services->open_handles(), 0);
}

TEST(ServiceInstall, StartsTheFirewallHelperForEachServiceWhenPresent) {
    FakeGateway g;
    write_text(g.console_dir + "FWHELPER.EXE", "");
    ASSERT_TRUE(g.control().install_and_start(true));
    const std::string d = g.console_dir;
    EXPECT_EQ(read_text(g.root + "processes.log"),
              "\"" + d + "FWHELPER.EXE\" \"" + d + "SMSGWS.EXE\" \"Ovrin SMS Gateway Lite Edition\"\n\"" + d +
                  "FWHELPER.EXE\" \"" + d + "MMSC.EXE\" \"Ovrin MMS Gateway Lite Edition\"\n");
}

TEST(ServiceInstall, ExistingServicesAreOnlyReconfiguredAndStarted) {
    FakeGateway g;
    std::string old_dir = g.console_dir;
    ASSERT_TRUE(g.control().install_and_start(true));
    g.control().stop(true);
    ASSERT_FALSE(g.running(kSmsServiceName));
    // The console moved: the records follow it.
    g.console_dir = g.scratch.path() + "moved/";
    platform::fs::create_directories(g.console_dir);
    for (const char* prog : {"SMSGWNT.EXE", "MMSCNT.EXE"}) {
        write_text(g.console_dir + prog, "");
        FakeGateway::chmod_x(g.console_dir + prog);
    }
    EXPECT_TRUE(g.control().install_and_start(true));
    EXPECT_TRUE(g.ui.boxes.empty());
    EXPECT_NE(g.config_of(kSmsServiceName).find("BinaryPath=" + g.console_dir + "SMSGWNT.EXE"), std::string::npos);
    EXPECT_TRUE(g.running(kSmsServiceName));
    EXPECT_TRUE(g.running(kMmscServiceName));
}

TEST(ServiceInstall, WithoutRightsTheElevatedCopyDoesTheWorkOrTheRightsMessageShows) {
    {   // Command-line mode never re-launches.
        FakeGateway g;
        platform::sim::set_rights(g.root, false);
        EXPECT_FALSE(g.control().install_and_start(true));
        EXPECT_EQ(g.ui.texts(), Texts{"Administrator rights are required for service installation."});
        EXPECT_EQ(g.ui.boxes[0].icon, Icon::None);
        EXPECT_FALSE(g.installed(kSmsServiceName));
        EXPECT_TRUE(g.elevation->switches.empty());
    }
    {   // Pages ask, and on Yes the elevated copy installs.
        FakeGateway g;
        platform::sim::set_rights(g.root, false);
        g.elevated_copy_runs_switches();
        g.ui.script({Answer::Yes});
        EXPECT_TRUE(g.control().install_and_start(false));
        ASSERT_EQ(g.ui.boxes.size(), 1u);
        EXPECT_EQ(g.ui.boxes[0].text, service::kElevationPrompt);
        EXPECT_EQ(g.ui.boxes[0].buttons, Buttons::YesNoCancel);
        EXPECT_EQ(g.elevation->switches, Texts{"/INSTALLSERVICE"});
        EXPECT_TRUE(g.running(kMmscServiceName));
    }
    {   // Cancel at the prompt: the rights message, nothing installed.
        FakeGateway g;
        platform::sim::set_rights(g.root, false);
        g.elevated_copy_runs_switches();
        g.ui.script({Answer::Cancel});
        EXPECT_FALSE(g.control().install_and_start(false));
        EXPECT_EQ(g.ui.texts(), (Texts{service::kElevationPrompt, service::kInstallRightsMessage}));
        EXPECT_TRUE(g.elevation->switches.empty());
    }
    {   // Elevation impossible: no prompt, straight to the message.
        FakeGateway g;
        platform::sim::set_rights(g.root, false);
        g.elevation->allowed = false;
        EXPECT_FALSE(g.control().install_and_start(false));
        EXPECT_EQ(g.ui.texts(), Texts{service::kInstallRightsMessage});
    }
    {   // An elevated copy that achieves nothing gives false.
        FakeGateway g;
        platform::sim::set_rights(g.root, false);
        g.ui.script({Answer::Yes});
        EXPECT_FALSE(g.control().install_and_start(false));
        EXPECT_EQ(g.elevation->switches.size(), 1u);
    }
}

TEST(ServiceInstall, CreateFailureNamesTheErrorAndKeepsWhatWasDone) {
    FakeGateway g;
    // A record of the MMSC service's name that the manager cannot open but
    // blocks creation: a deleted service whose program still runs.
    ASSERT_TRUE(g.control().install_and_start(true));
    {
        uint32_t err;
        auto mgr = g.p.services->open_manager(platform::kManagerAllAccess, err);
        auto mmsc = mgr->open_service(kMmscServiceName, platform::kServiceAllAccess, err);
        ASSERT_EQ(mmsc->remove(), 0u);   // still running: marked for deletion
    }
    g.behaviour = StopBehaviour::Never;
    EXPECT_FALSE(g.control().install_and_start(true));
    EXPECT_EQ(g.ui.texts(), Texts{"CreateService Failed, 1072\r\nAdministrator rights are required for service installation."});
    EXPECT_TRUE(g.installed(kSmsServiceName));
    EXPECT_EQ(g.p.services->open_handles(), 0);
}

TEST(ServiceRemove, StopsAndDeletesBothServices) {
    FakeGateway g;
    ASSERT_TRUE(g.control().install_and_start(true));
    EXPECT_TRUE(g.control().remove(true));
    EXPECT_FALSE(g.installed(kSmsServiceName));
    EXPECT_FALSE(g.installed(kMmscServiceName));
    EXPECT_TRUE(g.ui.boxes.empty());
    EXPECT_LE(g.clock->inner.total_slept_ms(), 2000u);
    EXPECT_EQ(g.p.services->open_handles(), 0);
}

TEST(ServiceRemove, PartlyInstalledServices) {
    {   // Without the SMS gateway service there is nothing to remove.
        FakeGateway g;
        ASSERT_TRUE(g.control().install_and_start(true));
        uint32_t err;
        {
            auto mgr = g.p.services->open_manager(platform::kManagerAllAccess, err);
            g.control().stop(true);
            ASSERT_EQ(mgr->open_service(kSmsServiceName, platform::kServiceAllAccess, err)->remove(), 0u);
        }
        EXPECT_TRUE(g.control().remove(true));
        EXPECT_TRUE(g.installed(kMmscServiceName));
        EXPECT_TRUE(g.ui.boxes.empty());
    }
    {   // SMS gateway alone: it goes, then the missing MMSC service takes the rights path.
        FakeGateway g;
        ASSERT_TRUE(g.control().install_and_start(true));
        uint32_t err;
        {
            auto mgr = g.p.services->open_manager(platform::kManagerAllAccess, err);
            auto mmsc = mgr->open_service(kMmscServiceName, platform::kServiceAllAccess, err);
            mmsc->send_stop();
            g.react();
            ASSERT_EQ(mmsc->remove(), 0u);
        }
        EXPECT_TRUE(g.control().remove(true));
        EXPECT_FALSE(g.installed(kSmsServiceName));
        EXPECT_EQ(g.ui.texts(), Texts{"Administrator rights are required for service modification."});
    }
}

TEST(ServiceRemove, WithoutRightsChangesNothing) {
    FakeGateway g;
    ASSERT_TRUE(g.control().install_and_start(true));
    platform::sim::set_rights(g.root, false);
    EXPECT_FALSE(g.control().remove(true));
    EXPECT_EQ(g.ui.texts(), Texts{service::kRemoveRightsMessage});
    EXPECT_TRUE(g.running(kSmsServiceName));
    // Through the elevated copy it goes.
    g.elevated_copy_runs_switches();
    g.ui.script({Answer::Yes});
    EXPECT_TRUE(g.control().remove(false));
    EXPECT_EQ(g.elevation->switches, Texts{"/REMOVESERVICE"});
    EXPECT_FALSE(g.installed(kMmscServiceName));
}

TEST(ServiceStop, UsesTheStopRequestByteWhenTheServiceIgnoresTheControl) {
    FakeGateway g;
    g.behaviour = StopBehaviour::OnStopByteOnly;
    ASSERT_TRUE(g.control().install_and_start(true));
    g.control().stop(true);
    EXPECT_FALSE(g.running(kSmsServiceName));
    // The MMSC service has no byte and never stops: the wait gives up after
    // 120 one-second rounds, on the fake clock.
    EXPECT_TRUE(g.running(kMmscServiceName));
    EXPECT_EQ(g.clock->inner.total_slept_ms(), 120000u);
    EXPECT_TRUE(g.ui.boxes.empty());
    EXPECT_EQ(g.p.services->open_handles(), 0);
}

TEST(ServiceStop, WithoutTheSharedMemoryBlockStopRequestsAreSkipped) {
    FakeGateway g;
    g.publish_block = false;
    ASSERT_TRUE(g.control().install_and_start(true));
    EXPECT_FALSE(service::set_stop_request(*g.p.shared_memory));
    g.control().stop(true);
    EXPECT_FALSE(g.running(kSmsServiceName));
    EXPECT_FALSE(g.running(kMmscServiceName));
    EXPECT_TRUE(g.ui.boxes.empty());
}

TEST(ServiceStartStop, RightsAndAlreadyRunning) {
    FakeGateway g;
    ASSERT_TRUE(g.control().install_and_start(true));
    g.control().start(true);   // both already running: no message
    EXPECT_TRUE(g.ui.boxes.empty());
    platform::sim::set_rights(g.root, false);
    g.control().stop(true);
    g.control().start(true);
    g.control().restart(true);
    EXPECT_EQ(g.ui.texts(), Texts(3, service::kControlRightsMessage));
    for (const auto& b : g.ui.boxes) EXPECT_EQ(b.icon, Icon::Error);
    EXPECT_TRUE(g.running(kSmsServiceName));
}

TEST(ServiceStart, ReportsEachServiceThatCannotStart) {
    FakeGateway g;
    ASSERT_TRUE(g.control().install_and_start(true));
    g.control().stop(true);
    platform::fs::remove_file(g.console_dir + "SMSGWNT.EXE");
    platform::fs::remove_file(g.console_dir + "MMSCNT.EXE");
    g.control().start(true);
    EXPECT_EQ(g.ui.texts(), (Texts{"Error 2 starting service", "Error 2 starting service"}));
    // The SMS gateway never comes up: the full wait, then back to the caller.
    EXPECT_GE(g.clock->inner.total_slept_ms(), 120000u);
}

TEST(ServiceRestart, StopsPausesAndStartsOrTakesTheRightsPath) {
    FakeGateway g;
    ASSERT_TRUE(g.control().install_and_start(true));
    size_t launches = g.launched.size();
    g.control().restart(true);
    EXPECT_EQ(g.launched.size(), launches + 2);
    EXPECT_TRUE(g.running(kSmsServiceName));
    EXPECT_EQ(g.ui.busy_depth, 0);
    EXPECT_EQ(g.ui.busy.size(), 1u);

    // No SMS gateway service: the rights path even with full rights.
    FakeGateway h;
    h.control().restart(false);
    EXPECT_EQ(h.ui.texts(), Texts{service::kElevationPrompt});
    EXPECT_EQ(h.elevation->switches, Texts{"/RESTARTSERVICE"});
}

TEST(ServiceState, MissingManagerMakesEveryTestFalse) {
    ScratchDir dir;
    platform::Platform p;
    p.services = platform::make_posix_service_manager();
    EXPECT_FALSE(service::sms_service_installed(p));
    EXPECT_FALSE(service::sms_service_running(p));
    EXPECT_FALSE(service::mmsc_service_installed(p));
    EXPECT_FALSE(service::mmsc_service_running(p));
}

}  // namespace
}  // namespace ovr::test
