// The SIM's PIN reaches "modem test" only through standard input and is
// never printed: not in the transcript, not in the modem's echo quoted by a
// box. A simulated modem that asks for a PIN plays the SIM on a pty.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/scratch.h"

extern char** environ;

using ovr::test::run_program;
using ovr::test::RunResult;
using ovr::test::ScratchDir;

namespace {

bool contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

class ModemPin : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(run_program("/bin/mkdir", {"-p", d.file("sim/modems"), d.file("sim/dosdevices")}).status, 0);
        start_modem();
        ASSERT_EQ(symlink(link_.c_str(), d.file("sim/dosdevices/com7").c_str()), 0);
    }
    void TearDown() override { stop_modem(); }

    // A fresh SIM that still wants its PIN "1234".
    void start_modem() {
        stop_modem();
        unlink(link_.c_str());
        std::string prog = ovr::test::bin_path("ovrinsms-modemsim");
        std::vector<std::string> args{prog, "--link", link_, "--profile", "pin", "--log", d.file("modem.log")};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        ASSERT_EQ(posix_spawn(&modem_, prog.c_str(), &fa, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&fa);
        for (int i = 0; i < 200 && access(link_.c_str(), F_OK) != 0; ++i) usleep(10000);
        ASSERT_EQ(access(link_.c_str(), F_OK), 0) << "the simulated modem did not come up";
    }
    void stop_modem() {
        if (modem_ <= 0) return;
        kill(modem_, SIGTERM);
        waitpid(modem_, nullptr, 0);
        modem_ = 0;
    }
    RunResult test(const std::vector<std::string>& options, const std::string& input) {
        std::vector<std::string> args{"modem", "test", "COM7:"};
        args.insert(args.end(), options.begin(), options.end());
        return run_program("ovrinsmsctl", args, env, input);
    }

    ScratchDir d;
    std::string link_ = d.file("sim/modems/PIN Modem");
    pid_t modem_ = 0;
    std::map<std::string, std::string> env{{"OVRINSMS_DATA_DIR", d.file("data/")},
                                           {"OVRINSMS_PRIVATE_DIR", d.file("private/")},
                                           {"OVRINSMS_PLATFORM", "sim"},
                                           {"OVRINSMS_SIM_ROOT", d.file("sim/")}};
};

TEST_F(ModemPin, ComesFromStandardInputAndIsNeverShown) {
    RunResult r = test({"--pin-stdin", "--transcript"}, "9999\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "error: Invalid PIN --")) << r.err;
    EXPECT_TRUE(contains(r.err, "-> AT+CPIN=\"****\"<CR>")) << r.err;
    EXPECT_FALSE(contains(r.out + r.err, "9999")) << r.err;

    start_modem();
    r = test({"--pin-stdin", "--transcript"}, "1234\r\n");   // a CR LF line too
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "information: Modem successfully tested!")) << r.err;
    // The modem echoes the command before ATE0 turns echo off.
    EXPECT_TRUE(contains(r.err, "<- AT+CPIN=\"****\"")) << r.err;
    EXPECT_FALSE(contains(r.out + r.err, "1234")) << r.err;
}

TEST_F(ModemPin, IsNeverAnArgumentAndRefusedWhenItWouldBreakTheCommand) {
    RunResult r = test({"--pin", "1234"}, "");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("ovrinsmsctl: unknown option \"--pin\"\n", 0), 0u) << r.err;
    for (const auto& [input, why] : std::vector<std::pair<std::string, std::string>>{
             {"", "no PIN on standard input"},
             {"\n", "the PIN is empty"},
             {"12\"34\n", "the PIN must not contain a quote or a control character"},
             {"12\t34\n", "the PIN must not contain a quote or a control character"},
             {std::string(65, '1') + "\n", "the PIN is longer than 64 characters"}}) {
        r = test({"--pin-stdin"}, input);
        EXPECT_EQ(r.status, 2) << why;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "ovrinsmsctl: --pin-stdin: " + why);
        EXPECT_TRUE(contains(r.err, "usage: ovrinsmsctl modem test NAME [--pin-stdin] [--transcript]\n"));
    }
    // None of them reached the modem.
    EXPECT_FALSE(contains(ovr::test::read_text(d.file("modem.log")), "CPIN"));
}

}  // namespace
