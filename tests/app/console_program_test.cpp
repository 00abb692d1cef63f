// The switches through the real console program on the simulated platform,
// its boxes recorded instead of shown.
#include <gtest/gtest.h>

#include "platform/fs.h"
#include "support/scratch.h"

using namespace ovr;
using test::read_text;
using test::run_program;

namespace {

struct ProgramTest : ::testing::Test {
    test::ScratchDir d;
    std::map<std::string, std::string> env{{"OVRINSMS_PLATFORM", "sim"},
                                           {"OVRINSMS_SIM_UI", "record"},
                                           {"QT_QPA_PLATFORM", "offscreen"},
                                           {"ASAN_OPTIONS", "detect_leaks=0"}};
    ProgramTest() {
        env["OVRINSMS_SIM_ROOT"] = d.path() + "sim/";
        env["OVRINSMS_DATA_DIR"] = d.path() + "data/";
        env["OVRINSMS_PRIVATE_DIR"] = d.path() + "private/";
        env["OVRINSMS_PROGRAM_DIR"] = d.path() + "program/";
        platform::fs::create_directories(d.path() + "sim");
        platform::fs::create_directories(d.path() + "private/STATS");
    }
    ~ProgramTest() override { run_program("ovrinsmsctl", {"service", "remove", "--quiet"}, env); }
    int run(const std::vector<std::string>& args) { return run_program("ovrinsms-console", args, env).status; }
    // The simulated services as the command-line twin sees them.
    std::string services() { return run_program("ovrinsmsctl", {"service", "status"}, env).out; }
    std::string boxes() { return read_text(d.path() + "sim/ui.log"); }
    const std::string kRunning = "OvrinSMS: installed, running\nOvrinMMSC: installed, running\n";
    const std::string kAbsent = "OvrinSMS: not installed\nOvrinMMSC: not installed\n";
};

}  // namespace

TEST_F(ProgramTest, InstallAndRemoveReportUnlessQuiet) {
    EXPECT_EQ(run({"-INSTALLSERVICE"}), 0);
    EXPECT_EQ(services(), kRunning);
    EXPECT_EQ(run({"/r"}), 0);
    EXPECT_EQ(services(), kAbsent);
    EXPECT_EQ(boxes(), "information: Service successfully installed!\ninformation: Service successfully removed!\n");
    // Start-up ran first: both files exist.
    EXPECT_TRUE(platform::fs::exists(d.path() + "data/RIRER.INI"));
    EXPECT_TRUE(platform::fs::exists(d.path() + "data/MMSC.INI"));

    EXPECT_EQ(run({"/QUIET", "/installservice"}), 0);
    EXPECT_EQ(services(), kRunning);
    EXPECT_EQ(run({"-q", "-REMOVESERVICE"}), 0);
    EXPECT_EQ(services(), kAbsent);
    EXPECT_EQ(boxes(), "information: Service successfully installed!\ninformation: Service successfully removed!\n");
}

TEST_F(ProgramTest, FirstActionInTableOrderRunsAndWordsMustBeWhole) {
    // A word that merely contains "-r" removes nothing; the restart runs.
    EXPECT_EQ(run({"-INSTALLSERVICE"}), 0);
    EXPECT_EQ(run({"/home/x-r/file", "-restartservice"}), 0);
    EXPECT_EQ(services(), kRunning);
    // Stop comes before install in the table: only the stop runs.
    EXPECT_EQ(run({"-INSTALLSERVICE", "-STOPSERVICE"}), 0);
    EXPECT_EQ(services(), "OvrinSMS: installed, not running\nOvrinMMSC: installed, not running\n");
    EXPECT_EQ(run({"-startservice"}), 0);
    EXPECT_EQ(services(), kRunning);
    EXPECT_EQ(boxes(), "information: Service successfully installed!\nbusy: Restarting services...\n");
}

TEST_F(ProgramTest, DeleteDataDirOnYes) {
    env["OVRINSMS_SIM_ANSWERS"] = "no";
    EXPECT_EQ(run({"/DELETEDATADIR"}), 0);
    EXPECT_TRUE(platform::fs::exists(d.path() + "private/STATS"));
    env["OVRINSMS_SIM_ANSWERS"] = "yes";
    EXPECT_EQ(run({"/DELETEDATADIR"}), 0);
    EXPECT_FALSE(platform::fs::exists(d.path() + "private"));
    EXPECT_EQ(boxes(), "question: Delete Configuration files for OvrinSMS?\n"
                       "question: Delete Configuration files for OvrinSMS?\n");
}
