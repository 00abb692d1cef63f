// A test message travels end to end through the real programs: the console's
// command-line twin installs the simulated services, queues a test SMS and a
// test MMS, and the services send them, log the results and count them.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/clock.h"
#include "platform/fs.h"
#include "support/loopback.h"
#include "support/scratch.h"

namespace ovr::test {
namespace {

namespace fs = platform::fs;

struct SimEnv {
    ScratchDir dir;
    std::string data = dir.path() + "data/";
    std::map<std::string, std::string> env{{"OVRINSMS_PLATFORM", "sim"},
                                           {"OVRINSMS_SIM_ROOT", dir.path() + "sim/"},
                                           {"OVRINSMS_DATA_DIR", dir.path() + "data/"},
                                           {"OVRINSMS_PRIVATE_DIR", dir.path() + "private/"},
                                           {"OVRINSMS_PROGRAM_DIR", dir.path() + "prog/"}};
    SimEnv() {
        for (const char* d : {"data/", "private/", "prog/"}) fs::create_directories(dir.path() + d);
        write_text(dir.path() + "prog/MMSTEST.MMS", "MMS template");
    }
    ~SimEnv() { ctl({"service", "remove", "--quiet"}); }
    RunResult ctl(const std::vector<std::string>& args) { return run_program("ovrinsmsctl", args, env); }
    RunResult gwsim(const std::vector<std::string>& args) { return run_program("ovrinsms-gwsim", args, env); }
};

std::string trim_line(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

// The tag in "queued TAG in DIRECTORY".
std::string queued_tag(const std::string& out) {
    if (out.rfind("queued ", 0) != 0) return {};
    return out.substr(7, out.find(' ', 7) - 7);
}

// Field n of the first line of the log whose field `id_field` is the tag.
std::string result_for(const std::string& log, const std::string& tag, size_t id_field, size_t result_field) {
    auto text = fs::read_file(log);
    if (!text) return "";
    size_t at = 0;
    while (at < text->size()) {
        size_t end = text->find('\n', at);
        std::string line = trim_line(text->substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? text->size() : end + 1;
        std::vector<std::string> f(1);
        for (char c : line) {
            if (c == ',') f.emplace_back();
            else f.back() += c;
        }
        if (f.size() > std::max(id_field, result_field) && f[id_field] == tag) return f[result_field];
    }
    return "";
}

std::string only_log(const std::string& dir, const char* pattern) {
    auto logs = fs::list_directory(dir, pattern);
    return logs.size() == 1 ? dir + logs[0].name : "";
}

TEST(QueueEndToEnd, TestMessagesAreSentLoggedAndCounted) {
    SimEnv s;
    // Only the queue signal (or the look at start) brings a message in soon.
    ASSERT_EQ(s.gwsim({"ctl", "delay", "50"}).status, 0);
    ASSERT_EQ(s.gwsim({"ctl", "scan", "60000"}).status, 0);
    ASSERT_EQ(s.ctl({"config", "set", "RIRER", "RIRER", "Modem1", "COM7:"}).status, 0);
    RunResult r = s.ctl({"service", "install"});
    ASSERT_EQ(r.status, 0) << r.err;

    r = s.ctl({"queue", "send-test", "sms", "+15551234"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string tag = queued_tag(r.out);
    ASSERT_EQ(tag.size(), 8u);
    std::string req = s.data + "Q/" + tag + ".REQ";
    std::string sms_log;
    EXPECT_TRUE(eventually([&] {
        sms_log = only_log(s.data, "SMSOUT-*.LOG");
        return !fs::exists(req) && !sms_log.empty();
    }));
    EXPECT_EQ(result_for(sms_log, tag, 1, 4), "OK");

    r = s.ctl({"queue", "send-test", "mms", "+15551234"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string mtag = queued_tag(r.out);
    std::string msg = s.data + "VASPQ/" + mtag + ".MMS";
    std::string mms_log;
    EXPECT_TRUE(eventually([&] {
        mms_log = only_log(s.data, "MMSC-*.LOG");
        // The message file goes first, its companion right after.
        return !fs::exists(msg) && !fs::exists(s.data + "VASPQ/" + mtag + ".INI") && !mms_log.empty();
    }));
    EXPECT_EQ(result_for(mms_log, mtag, 6, 5), "OK");

    std::string status = s.ctl({"status"}).out;
    EXPECT_NE(status.find("Outbound SMS Queue:         Empty\n"
                          "SMS Submitted:                  1          1          1\n"
                          "SMS Sent:                       1          1          1\n"
                          "SMS Received:\n"),
              std::string::npos)
        << status;
    EXPECT_NE(status.find("MMS Processed:                  1          1          1\n"
                          "MMS Sent:                       1          1          1\n"),
              std::string::npos)
        << status;
}

// The event log viewer lists one source: both services' start and stop
// lines must be under it.
TEST(QueueEndToEnd, BothServicesLogTheirStartAndStopWhereTheViewerLooks) {
    SimEnv s;
    ASSERT_EQ(s.ctl({"service", "install"}).status, 0);
    ASSERT_EQ(s.ctl({"service", "stop", "--quiet"}).status, 0);
    RunResult r = s.ctl({"events"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name : {"OvrinSMS", "OvrinMMSC"})
        for (const char* what : {"started", "stopped"})
            EXPECT_NE(r.out.find(std::string(" - Info: The ") + name + " service has " + what + ".\n"),
                      std::string::npos)
                << name << " " << what << " missing from:\n" << r.out;
}

TEST(QueueEndToEnd, ARetriedMessageShowsInTheQueueUntilTheServiceRecovers) {
    SimEnv s;
    ASSERT_EQ(s.gwsim({"ctl", "delay", "50"}).status, 0);
    ASSERT_EQ(s.gwsim({"ctl", "fail", "sms", "No network"}).status, 0);
    ASSERT_EQ(s.ctl({"service", "install"}).status, 0);
    RunResult r = s.ctl({"queue", "send-test", "sms", "+15551234"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string tag = queued_tag(r.out);

    std::string row;
    EXPECT_TRUE(eventually([&] {
        row = s.ctl({"queue", "list", "outbound-sms"}).out;
        return row.find("\tRetry - ") != std::string::npos;
    })) << row;
    EXPECT_NE(row.find(" attempt(s) - No network\n"), std::string::npos) << row;
    r = s.ctl({"status", "--json"});
    EXPECT_NE(r.out.find("\"outbound_sms_queue\": {\"count\": 1, \"text\": \"1\", \"red\": false}"), std::string::npos)
        << r.out;

    ASSERT_EQ(s.gwsim({"ctl", "fail", "sms", "off"}).status, 0);
    ASSERT_EQ(s.gwsim({"ctl", "wake", "sms"}).status, 0);
    EXPECT_TRUE(eventually([&] { return !fs::exists(s.data + "Q/" + tag + ".REQ"); }));
    EXPECT_EQ(result_for(only_log(s.data, "SMSOUT-*.LOG"), tag, 1, 4), "OK");
}

TEST(QueueEndToEnd, ReceivedSamplesShowInTheViewersRows) {
    SimEnv s;
    RunResult r = s.gwsim({"ctl", "receive", "sms"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(s.gwsim({"ctl", "receive", "mms"}).status, 0);
    r = s.ctl({"queue", "list", "received-sms", "--json"});
    EXPECT_EQ(r.out.rfind("{\"total\": 3, \"loaded\": 3,", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\"Grüße 你好\"]"), std::string::npos) << r.out;
    r = s.ctl({"queue", "list", "received-mms"});
    EXPECT_NE(r.out.find("\t+15550001\t+15550100\t"), std::string::npos) << r.out;
    EXPECT_NE(s.ctl({"status"}).out.find("SMS Received:                   3          3          3\n"),
              std::string::npos);
}

}  // namespace
}  // namespace ovr::test
