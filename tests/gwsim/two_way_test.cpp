// The simulated service's two-way processing: which keyword answers, what is
// queued, and a local command that gets the text as one argument, never
// through a shell.
#include "two_way.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "config/ini.h"
#include "keywords/editing.h"
#include "platform/fs.h"
#include "support/scratch.h"

namespace ovr::gwsim {
namespace {
using test::read_text;
using test::ScratchDir;
using test::write_text;

struct TwoWay : ::testing::Test {
    TwoWay() {
        dirs = {d.path(), d.path() + "private/", d.path()};
        rirer = config::ini_paths_for(dirs).rirer;
    }
    void keyword(const std::string& entry, keywords::Actions a) {
        ASSERT_EQ(keywords::save_entry(rirer, "", entry, a), keywords::SaveOutcome::Saved);
    }
    ScratchDir d;
    config::Directories dirs;
    std::string rirer;
    platform::SystemClock clock;
};

TEST_F(TwoWay, TheFirstWholeKeywordOnTheRightNumberAnswers) {
    keywords::Actions reply;
    reply.send_reply = true;
    reply.reply_text = "For 12345 only";
    keyword("INFO##12345,777", reply);
    reply.reply_text = "line one\nline two";
    keyword("INFO", reply);
    EXPECT_EQ(match_keyword(rirer, {"+1", "777", "  info now"})->entry, "INFO##12345,777");
    auto hit = match_keyword(rirer, {"+1", "999", "Info now please"});
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->entry, "INFO");
    EXPECT_EQ(hit->rest, "now please");
    EXPECT_FALSE(match_keyword(rirer, {"+1", "999", "INFORMATION"}));

    std::vector<std::string> log = apply_two_way(dirs, {"+15550001", "999", "info"}, clock);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "reply queued " + d.path() + "Q/2WAY0000.REQ");
    EXPECT_EQ(read_text(d.path() + "Q/2WAY0000.REQ"), "[SMS]\r\nPhoneNumber=+15550001\r\nData=line one\\nline two\r\n");
}

TEST_F(TwoWay, ReplacementsAreEncodedForUrlsAndStayOneArgumentForCommands) {
    ReceivedSms sms{"+15550001", "1", "GO ; touch x"};
    EXPECT_EQ(replace_fields("http://h/?t=@@SMS@@&s=@@SENDER@@&f=@@FULLSMS@@", sms, "; touch x", &percent_encode),
              "http://h/?t=%3B%20touch%20x&s=%2B15550001&f=GO%20%3B%20touch%20x");
    EXPECT_EQ(command_argv("\"/opt/my tool\" -m @@SMS@@ x@@SENDER@@y", sms, "; touch x"),
              (std::vector<std::string>{"/opt/my tool", "-m", "; touch x", "x+15550001y"}));

    // A script that records its arguments, one a line.
    std::string script = d.file("record.sh");
    write_text(script, "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done\n");
    ::chmod(script.c_str(), 0755);
    keywords::Actions run;
    run.run_command = true;
    run.run = script + " @@SMS@@";
    run.run_send_response = true;
    keyword("GO", run);
    std::vector<std::string> log = apply_two_way(dirs, sms, clock);
    EXPECT_EQ(log.at(1), "command exited 0");
    EXPECT_EQ(read_text(d.path() + "Q/2WAY0000.REQ"), "[SMS]\r\nPhoneNumber=+15550001\r\nData=[; touch x]\r\n");
    EXPECT_FALSE(platform::fs::exists(d.file("x")));
}

TEST_F(TwoWay, CommandsAreBoundedInTimeAndOutput) {
    auto start = std::chrono::steady_clock::now();
    CommandRun slow = run_command({"/bin/sleep", "5"}, clock, 200);
    EXPECT_TRUE(slow.started && slow.timed_out);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    CommandRun loud = run_command({"/usr/bin/yes"}, clock);
    EXPECT_EQ(loud.output.size(), kOutputLimit);
    EXPECT_FALSE(run_command({"no-such-program"}, clock).started) << "no search path, no shell";
}

}  // namespace
}  // namespace ovr::gwsim
