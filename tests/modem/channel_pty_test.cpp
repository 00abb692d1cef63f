// The AT channel over a real pty (the test answers as the modem), and the
// modem command line against the simulator program.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>

#include "fakes.h"
#include "modem/channel.h"
#include "platform/fs.h"
#include "support/pty.h"
#include "support/scratch.h"

extern char** environ;

namespace ovr::test {
namespace {

struct PtyChannel {
    std::shared_ptr<platform::FakeClock> clock = std::make_shared<platform::FakeClock>();
    PtyPair pty;
    std::shared_ptr<platform::CommPorts> ports = platform::make_posix_comm_ports(clock);
    FakeTapi tapi{*clock};
    FakeRegistry registry;
    ScriptedUi ui;
    ScratchDir dir;
    modem::ModemAccess acc{*ports, tapi, registry, *clock, ui, dir.file("RIRER.INI")};
    std::unique_ptr<platform::CommPort> port;
    PtyChannel() {
        platform::SystemError e;
        port = ports->open(pty.slave_path(), e);
        modem::SetModemTimeouts(acc, *port, modem::kTestTimeouts);
    }
    size_t read(std::string& reply, uint32_t seconds) {
        return modem::ReadModemResponse(acc, *port, reply, modem::kResponseBuffer, seconds);
    }
};

TEST(ChannelOnPty, CommandsGoOutWhole) {
    PtyChannel c;
    ASSERT_TRUE(c.port);
    EXPECT_TRUE(modem::SendModemCommand(c.acc, *c.port, "AT+CMGS=\"123456789\"\r"));
    EXPECT_EQ(c.pty.read_now(), "AT+CMGS=\"123456789\"\r");
    EXPECT_EQ(c.ui.progress_lines.back(), "-> AT+CMGS=\"123456789\"<CR>");
}

TEST(ChannelOnPty, ReadEndsAtOnceOnOkOrError) {
    PtyChannel c;
    std::string reply;
    c.pty.write("\r\nOK\r\n");
    EXPECT_EQ(c.read(reply, 30), 6u);
    EXPECT_TRUE(modem::IsOkResponse(reply));
    EXPECT_LT(c.clock->tick_ms(), 100u);
    c.pty.write("\r\n+CMS ERROR: 500\r\n");
    EXPECT_GT(c.read(reply, 30), 0u);
    EXPECT_FALSE(modem::IsOkResponse(reply));
    EXPECT_LT(c.clock->tick_ms(), 100u);
}

TEST(ChannelOnPty, OkAtTheStartIsNoOkAndSilenceTimesOut) {
    PtyChannel c;
    std::string reply;
    c.pty.write("OK");
    uint64_t start = c.clock->tick_ms();
    EXPECT_EQ(c.read(reply, 5), 2u);   // waited the whole time for a real OK
    EXPECT_FALSE(modem::IsOkResponse(reply));
    uint64_t waited = c.clock->tick_ms() - start;
    EXPECT_GE(waited, 5000u);
    EXPECT_LE(waited, 6000u);
    start = c.clock->tick_ms();
    EXPECT_EQ(c.read(reply, 1), 0u);
    EXPECT_GE(c.clock->tick_ms() - start, 1000u);
    EXPECT_LE(c.clock->tick_ms() - start, 2000u);
}

TEST(ChannelOnPty, ReplyIsCutToTheBuffer) {
    PtyChannel c;
    std::string reply;
    c.pty.write(std::string(600, 'x'));
    EXPECT_EQ(c.read(reply, 1), 499u);
}

// The simulator program behind a COM name, driven through ovrinsmsctl.
TEST(ModemCommandLine, TestsTheSimulatedModemOnCom7) {
    ScratchDir d;
    platform::fs::create_directory(d.file("map"));
    platform::fs::create_directory(d.file("data"));
    write_text(d.file("data/RIRER.INI"), "");
    std::string sim = bin_path("ovrinsms-modemsim"), link = d.file("map/com7"), log = d.file("sim.log");
    const char* argv[] = {sim.c_str(), "--link", link.c_str(), "--profile", "pdu", "--log", log.c_str(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, sim.c_str(), &fa, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    platform::SystemClock clock;
    for (int i = 0; i < 500 && !platform::fs::exists(link); ++i) clock.sleep_ms(10);
    ASSERT_TRUE(platform::fs::exists(link));

    std::map<std::string, std::string> env{{"OVRINSMS_DEVICE_MAP", d.file("map")},
                                           {"OVRINSMS_DATA_DIR", d.file("data/")},
                                           {"OVRINSMS_PLATFORM", "posix"}};
    RunResult r = run_program("ovrinsmsctl", {"modem", "test", "COM7:", "--transcript"}, env);
    kill(pid, SIGTERM);
    int st = 0;
    waitpid(pid, &st, 0);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("information: Initialised modem at 115200 bps\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("information: Modem successfully tested!\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("-> AT+CMGS=86<CR>"), std::string::npos);
    EXPECT_NE(read_text(log).find("AT+CSMS=0\n"), std::string::npos);
    EXPECT_FALSE(platform::fs::exists(link));   // the simulator took its link away

}

}  // namespace
}  // namespace ovr::test
