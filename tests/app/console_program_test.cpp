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
    int run(const std::vector<std::string>& args) { return run_program("ovrinsms-console", args, env).status; }
    std::string actions() { return read_text(d.path() + "sim/service-actions.log"); }
    std::string boxes() { return read_text(d.path() + "sim/ui.log"); }
};

}  // namespace

TEST_F(ProgramTest, InstallAndRemoveReportUnlessQuiet) {
    EXPECT_EQ(run({"-INSTALLSERVICE"}), 0);
    EXPECT_EQ(run({"/r"}), 0);
    EXPECT_EQ(actions(), "install command-line\nstop command-line\nremove command-line\n");
    EXPECT_EQ(boxes(), "information: Service successfully installed!\ninformation: Service successfully removed!\n");
    // Start-up ran first: both files exist.
    EXPECT_TRUE(platform::fs::exists(d.path() + "data/RIRER.INI"));
    EXPECT_TRUE(platform::fs::exists(d.path() + "data/MMSC.INI"));

    EXPECT_EQ(run({"/QUIET", "/installservice"}), 0);
    EXPECT_EQ(run({"-q", "-REMOVESERVICE"}), 0);
    EXPECT_EQ(boxes(), "information: Service successfully installed!\ninformation: Service successfully removed!\n");
}

TEST_F(ProgramTest, FirstActionInTableOrderRunsAndWordsMustBeWhole) {
    EXPECT_EQ(run({"/home/x-r/file", "-restartservice"}), 0);
    EXPECT_EQ(run({"-INSTALLSERVICE", "-STOPSERVICE"}), 0);
    EXPECT_EQ(actions(), "restart command-line\nstop command-line\n");
    EXPECT_EQ(boxes(), "");
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
