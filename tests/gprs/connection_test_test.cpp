#include "gprs/connection_test.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

#include "config/ini.h"
#include "keywords/table.h"
#include "platform/fs.h"
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

    GprsTest() {
        p = platform::make_sim_platform(d.path() + "sim/", std::make_shared<platform::SystemClock>());
        p.elevation = elevation;
        setenv("OVRINSMS_SIM_ROOT", p.sim_root.c_str(), 1);
        fs::create_directories(p.sim_root + "gprs/");
        env.dirs = {d.path(), d.path() + "private/", d.path()};
        env.ui = &ui;
        env.platform = &p;
        env.has_admin_rights = [this] { return admin; };
    }
    ~GprsTest() override { unsetenv("OVRINSMS_SIM_ROOT"); }
    void profile(const std::string& word) { write_text(p.sim_root + "gprs/profile", word + "\n"); }
    std::string file() const { return d.path() + "MODEMTEST.INI"; }
    void write_request(const std::string& run = "run1") {
        write_text(file(), "[ModemTest]\nWAPGatewayIP=10.1.1.1:8080\nAPN=internet\nAPNLogin=bob\nAPNPass=s3cret\n"
                           "ModemName=COM7:\nRunId=" + run + "\n");
    }
    std::string result() { return keywords::unescape_line_breaks(ini::read_string(file(), "ModemTest", "Result")); }
    bool modem_free() {
        int fd = ::open((p.sim_root + "gprs/modem.lock").c_str(), O_RDWR | O_CREAT, 0600);
        bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        ::close(fd);
        return free;
    }
};

}  // namespace

TEST_F(GprsTest, TheLibraryCountsOnlyWithEveryRequiredFunction) {
    ASSERT_NE(lib, nullptr);
    EXPECT_NE(lib->cid_for_apn, nullptr);
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
    const std::pair<const char*, const char*> cases[] = {
        {"ok", "Connection Test OK!"},
        {"mmsc-refusing", "Unable to connect to WAP Gateway"},
        {"wrong-apn", "Connection Failed\r\nRAS Error 720\r\nThe network refused the data context for this APN."},
        {"no-coverage", "Connection Failed\r\nRAS Error 678\r\nThe modem found no GPRS network (no coverage)."},
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
}

TEST_F(GprsTest, ASilentLibraryIsGivenUpOnAndTheModemHandedBack) {
    p.clock = std::make_shared<platform::FakeClock>();
    profile("silent");
    write_request();
    gprs::RunModemTestSwitch(env, lib.get());
    EXPECT_EQ(result(), "Connection Failed\r\nNo answer from the GPRS library within 100 seconds.");
    EXPECT_TRUE(modem_free());
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
