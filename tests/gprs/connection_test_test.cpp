#include "gprs/connection_test.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

#include "config/ini.h"
#include "keywords/table.h"
#include "platform/fs.h"
#include "support/modem_process.h"
#include "support/scratch.h"

using namespace ovr;
namespace ini = config::ini;
namespace fs = platform::fs;
using test::read_text;
using test::write_text;

namespace {

// Runs the elevated side in this process in place of a re-launched copy.
struct InProcessElevation : platform::Elevation {
    std::function<void()> child;
    Outcome outcome = Outcome::Ended;
    std::vector<std::string> env;
    int runs = 0;
    bool possible() override { return true; }
    bool relaunch(const std::string&, uint32_t) override { return false; }
    Outcome relaunch_with(const std::string& sw, const std::vector<std::string>& e, uint32_t) override {
        EXPECT_EQ(sw, "/MODEMTEST");
        env = e;
        ++runs;
        if (child) child();
        return outcome;
    }
};

struct GprsTest : ::testing::Test {
    test::ScratchDir d;
    ScriptedUi ui;
    platform::Platform p;
    std::unique_ptr<gprs::GprsLibrary> lib = gprs::GprsLibrary::load(gprs::kSimGprsLibraryName);
    std::shared_ptr<InProcessElevation> elevation = std::make_shared<InProcessElevation>();
    gprs::TestEnv env;
    bool admin = true;

    std::unique_ptr<test::ModemProcess> modem;

    GprsTest() {
        p = platform::make_sim_platform(d.path() + "sim/", std::make_shared<platform::SystemClock>());
        p.elevation = elevation;
        setenv("OVRINSMS_SIM_ROOT", p.sim_root.c_str(), 1);
        // A silent modem or network costs a test 1.5 s, not the product's minute.
        setenv("OVRINSMS_GPRS_WAIT_MS", "1500", 1);
        fs::create_directories(p.sim_root + "gprs/");
        fs::create_directories(p.sim_root + "dosdevices/");
        // The simulated modem on COM7:, playing the operator the profile file names.
        modem = std::make_unique<test::ModemProcess>(
            port(), std::vector<std::string>{"--gprs-from", p.sim_root + "gprs/profile", "--log", modem_log()});
        env.dirs = {d.path(), d.path() + "private/", d.path()};
        env.ui = &ui;
        env.platform = &p;
        env.has_admin_rights = [this] { return admin; };
    }
    ~GprsTest() override {
        unsetenv("OVRINSMS_SIM_ROOT");
        unsetenv("OVRINSMS_GPRS_WAIT_MS");
    }
    std::string port() const { return p.sim_root + "dosdevices/com7"; }
    std::string modem_log() const { return d.path() + "modem.log"; }
    void profile(const std::string& word) { write_text(p.sim_root + "gprs/profile", word + "\n"); }
    std::string file() const { return d.path() + "MODEMTEST.INI"; }
    void write_request(const std::string& run = "run1") {
        write_text(file(), "[ModemTest]\nWAPGatewayIP=10.1.1.1:8080\nAPN=internet\nAPNLogin=bob\nAPNPass=s3cret\n"
                           "ModemName=COM7:\nRunId=" + run + "\n");
    }
    std::string result() { return keywords::unescape_line_breaks(ini::read_string(file(), "ModemTest", "Result")); }
    // No one holds the modem's port (the library locks it while it has it).
    bool modem_free() {
        int fd = ::open(port().c_str(), O_RDWR | O_NOCTTY);
        bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (fd >= 0) ::close(fd);
        return free;
    }
};

}  // namespace

TEST_F(GprsTest, TheLibraryCountsOnlyWithEveryRequiredFunction) {
    ASSERT_TRUE(modem->up());
    ASSERT_NE(lib, nullptr);
    EXPECT_NE(lib->cid_for_apn, nullptr);
    // The host's library: every required function, no driver check.
    auto real = gprs::GprsLibrary::load(gprs::kGprsLibraryName);
    ASSERT_NE(real, nullptr);
    EXPECT_EQ(real->cid_for_apn, nullptr);
    EXPECT_NE(real->error_string, nullptr);
    EXPECT_EQ(gprs::GprsLibrary::load("libsmsssl.so"), nullptr);  // loads, but is another library
    EXPECT_EQ(gprs::GprsLibrary::load("libno-such-library.so"), nullptr);
    write_text(p.sim_root + "gprs/connections", "Modem: COM7:\n\nOperator GPRS\n");
    EXPECT_EQ(lib->network_connections(), (std::vector<std::string>{"Modem: COM7:", "Operator GPRS"}));
}

TEST_F(GprsTest, DialResultsBecomeTheirVerdicts) {
    EXPECT_EQ(gprs::dial_verdict(0, lib.get()), "Connection Test OK!");
    EXPECT_EQ(gprs::dial_verdict(1, lib.get()), "Unable to connect to WAP Gateway");
    EXPECT_EQ(gprs::dial_verdict(720, lib.get()),
              "Connection Failed\r\nRAS Error 720\r\nThe network refused the data context for this APN.");
    EXPECT_EQ(gprs::dial_verdict(691, nullptr), "Connection Failed\r\nRAS Error 691\r\n");
    EXPECT_EQ(gprs::dial_verdict(599, lib.get()), "Connection Failed");
    EXPECT_EQ(gprs::dial_verdict(800, lib.get()), "Connection Failed");
}

TEST_F(GprsTest, EachOperatorProfileGivesItsVerdictAndTheModemGoesBack) {
    ASSERT_TRUE(modem->up());
    const std::pair<const char*, const char*> cases[] = {
        {"ok", "Connection Test OK!"},
        {"mmsc-refusing", "Unable to connect to WAP Gateway"},
        {"wrong-apn", "Connection Failed\r\nRAS Error 720\r\nThe network refused the data context for this APN."},
        {"no-coverage", "Connection Failed\r\nRAS Error 678\r\nThe modem found no GPRS network (no coverage)."},
        {"silent", "Connection Failed\r\nRAS Error 718\r\nThe network did not answer the data call in time."},
        {"modem-busy", "Unable to allocate modem, modem in use by OvrinSMS"},
    };
    for (const auto& [word, verdict] : cases) {
        SCOPED_TRACE(word);
        profile(word);
        write_request("tag-" + std::string(word));
        gprs::RunModemTestSwitch(env, lib.get());
        EXPECT_EQ(result(), verdict);
        EXPECT_EQ(ini::read_string(file(), "ModemTest", "RunId"), "tag-" + std::string(word));
        EXPECT_TRUE(modem_free());
    }
    std::string calls = read_text(p.sim_root + "gprs/calls.log");
    EXPECT_NE(calls.find("dial Modem: COM7: apn=internet login=bob gateway=10.1.1.1:8080"), std::string::npos);
    EXPECT_NE(calls.find("allocate COM7: 30000"), std::string::npos);
    EXPECT_EQ(calls.find("s3cret"), std::string::npos);
    // The modem heard the whole data call, and the proxy's request on it.
    std::string heard = read_text(modem_log());
    for (const char* line : {"AT+CGATT=1", "AT+CGDCONT=1,\"IP\",\"internet\"", "ATD*99***1#",
                             "[data] GET http://10.1.1.1:8080/ HTTP/1.0", "ATH"})
        EXPECT_NE(heard.find(line), std::string::npos) << line;
    EXPECT_EQ(heard.find("s3cret"), std::string::npos);
}

TEST_F(GprsTest, ASilentLibraryIsGivenUpOnAndTheModemHandedBack) {
    // On the fake clock the copy's 100 s pass before the library's dial ends.
    p.clock = std::make_shared<platform::FakeClock>();
    profile("silent");
    write_request();
    gprs::RunModemTestSwitch(env, lib.get());
    EXPECT_EQ(result(), "Connection Failed\r\nNo answer from the GPRS library within 100 seconds.");
    // The port goes back once the library's own bounded wait lets go of it.
    bool free = false;
    for (int i = 0; i < 50 && !(free = modem_free()); ++i) usleep(100000);
    EXPECT_TRUE(free);
}

TEST_F(GprsTest, TheHostLibraryDialsToConnectAndStartsThePppDaemon) {
    ASSERT_TRUE(modem->up());
    if (::access("/usr/sbin/pppd", X_OK) != 0 && ::access("/sbin/pppd", X_OK) != 0)
        GTEST_SKIP() << "pppd is not installed (Debian package ppp)";
    if (::geteuid() != 0) GTEST_SKIP() << "the PPP daemon runs as root only";
    if (::access("/dev/ppp", F_OK) == 0)
        GTEST_SKIP() << "this kernel has PPP: the daemon would negotiate with a modem simulator that speaks no PPP";
    setenv("OVRINSMS_DEVICE_MAP", (p.sim_root + "dosdevices/").c_str(), 1);
    auto real = gprs::GprsLibrary::load(gprs::kGprsLibraryName);
    ASSERT_NE(real, nullptr);
    int reason = 0;
    intptr_t handle = real->modem_allocate("COM7:", 30000, &reason);
    ASSERT_NE(handle, 0) << reason;
    EXPECT_FALSE(modem_free());
    // Up to CONNECT over the modem, then the daemon's real refusal here.
    int r = real->dial("Modem: COM7:", "internet", "bob", "s3cret", "10.1.1.1:8080");
    EXPECT_EQ(r, 734);
    std::string verdict = gprs::dial_verdict(r, real.get());
    EXPECT_EQ(verdict.rfind("Connection Failed\r\nRAS Error 734\r\nThe PPP data link could not be brought up. "
                            "(pppd: the kernel has no PPP support",
                            0),
              0u)
        << verdict;
    profile("wrong-apn");
    EXPECT_EQ(real->dial("Modem: COM7:", "internet", "bob", "s3cret", "10.1.1.1:8080"), 720);
    EXPECT_EQ(real->dial("Modem: COM7:", "inter\"net", "", "", "10.1.1.1:8080"), 752);
    EXPECT_EQ(real->dial("Modem: ../x", "internet", "", "", "10.1.1.1:8080"), 623);
    real->modem_release(handle);
    EXPECT_TRUE(modem_free());
    unsetenv("OVRINSMS_DEVICE_MAP");
    std::string heard = read_text(modem_log());
    EXPECT_NE(heard.find("AT+CGDCONT=1,\"IP\",\"internet\""), std::string::npos);
    EXPECT_NE(heard.find("ATD*99***1#"), std::string::npos);
    EXPECT_EQ(heard.find("inter\"net"), std::string::npos);
    EXPECT_EQ(heard.find("s3cret"), std::string::npos);
}

TEST_F(GprsTest, TheElevatedCopyRefusesWhatItMustNotDo) {
    write_request();
    gprs::RunModemTestSwitch(env, nullptr);
    EXPECT_EQ(result(), "Internal Error");

    admin = false;
    write_request();
    gprs::RunModemTestSwitch(env, lib.get());
    EXPECT_EQ(result(), "Administrative rights are required for this test.");
    EXPECT_EQ(ui.boxes.back().icon, Icon::Error);
    admin = true;

    write_text(file(), "[ModemTest]\nAPN=in\"ternet\nModemName=COM7:\n");
    gprs::RunModemTestSwitch(env, lib.get());
    EXPECT_EQ(result().rfind("Connection Failed\r\nSettings holding quotes", 0), 0u);
    EXPECT_EQ(read_text(p.sim_root + "gprs/calls.log").find("in\"ternet"), std::string::npos);

    // A link in the user's data directory is not followed.
    fs::remove_file(file());
    write_text(d.file("elsewhere"), "[ModemTest]\nModemName=COM7:\n");
    ASSERT_EQ(::symlink(d.file("elsewhere").c_str(), file().c_str()), 0);
    gprs::RunModemTestSwitch(env, lib.get());
    EXPECT_EQ(read_text(d.file("elsewhere")), "[ModemTest]\nModemName=COM7:\n");
}

TEST_F(GprsTest, AnUpdatedDriverOffersTheRebootAndAsksForIt) {
    profile("driver-update");
    write_request();
    ui.script({Answer::Yes});
    gprs::RunModemTestSwitch(env, lib.get());
    EXPECT_EQ(result(), "Please restart your system before continuing");
    EXPECT_TRUE(fs::exists(p.sim_root + "reboot-requested"));
    EXPECT_TRUE(modem_free());

    fs::remove_file(p.sim_root + "reboot-requested");
    ui.script({Answer::No});
    gprs::RunModemTestSwitch(env, lib.get());
    EXPECT_EQ(result(), "Connection Test OK!");
    EXPECT_FALSE(fs::exists(p.sim_root + "reboot-requested"));
}

TEST_F(GprsTest, ThePageShowsThisRunsVerdictAndOffersRetry) {
    admin = false;
    env.has_admin_rights = [this] { return admin; };
    elevation->child = [this] {
        // The elevated copy has rights.
        gprs::TestEnv e = env;
        e.has_admin_rights = [] { return true; };
        gprs::RunModemTestSwitch(e, lib.get());
    };
    gprs::TestSettings s{"HTTP://10.1.1.1:8080", "internet", "bob", "s3cret", "COM7:", std::nullopt};
    EXPECT_TRUE(gprs::RunConnectionTest(env, s));
    EXPECT_EQ(ui.texts().back(), "Connection Test OK!");
    EXPECT_EQ(ui.boxes.back().icon, Icon::Information);
    EXPECT_NE(read_text(p.sim_root + "gprs/calls.log").find("gateway=10.1.1.1:8080\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_EQ(elevation->env, gprs::directory_environment(env.dirs));

    profile("wrong-apn");
    ui.script({Answer::Yes, Answer::Retry, Answer::Cancel});
    EXPECT_FALSE(gprs::RunConnectionTest(env, s));
    EXPECT_EQ(elevation->runs, 3);
    EXPECT_EQ(ui.boxes.back().buttons, Buttons::RetryCancel);
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(GprsTest, AVerdictOfAnotherRunOrNoneAtAllIsNeverTakenForThisOne) {
    // A copy left over from an earlier run writes its late verdict.
    elevation->child = [this] {
        ini::write_string(file(), "ModemTest", "Result", "Connection Test OK!");
        ini::write_string(file(), "ModemTest", "RunId", "an-earlier-run");
    };
    admin = false;
    gprs::TestSettings s{"10.1.1.1:8080", "internet", "", "", "COM7:", std::nullopt};
    EXPECT_FALSE(gprs::RunConnectionTest(env, s));
    EXPECT_EQ(ui.texts().back(), "The connection test ended without a verdict.");

    elevation->child = nullptr;
    elevation->outcome = platform::Elevation::Outcome::StillRunning;
    EXPECT_FALSE(gprs::RunConnectionTest(env, s));
    EXPECT_EQ(ui.texts().back(), "The connection test gave no verdict within 120 seconds.");

    // Declining the elevation prompt: no test, no message, no file.
    size_t boxes = ui.boxes.size();
    int runs = elevation->runs;
    ui.script({Answer::No});
    EXPECT_FALSE(gprs::RunConnectionTest(env, s));
    EXPECT_EQ(ui.boxes.size(), boxes + 1);  // the prompt alone
    EXPECT_EQ(elevation->runs, runs);
    EXPECT_FALSE(fs::exists(file()));
}
