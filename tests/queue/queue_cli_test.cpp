#include <gtest/gtest.h>

#include "support/scratch.h"

using ovr::test::run_program;
using ovr::test::ScratchDir;
using ovr::test::write_text;

namespace {
struct Env {
    ScratchDir d;
    std::map<std::string, std::string> vars{{"OVRINSMS_DATA_DIR", d.path()},
                                            {"OVRINSMS_PRIVATE_DIR", d.path()},
                                            {"OVRINSMS_PROGRAM_DIR", d.path()}};
};
}  // namespace

TEST(QueueCli, SendTestThenCountAndList) {
    Env e;
    auto r = run_program("ovrinsmsctl", {"queue", "send-test", "sms", "+15551234"}, e.vars);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.out.substr(0, 7), "queued ");
    std::string tag = r.out.substr(7, 8);
    EXPECT_EQ(r.out.substr(15), " in " + e.d.path() + "Q\n");
    EXPECT_EQ(tag.substr(0, 4), "TEST");
    EXPECT_EQ(run_program("ovrinsmsctl", {"queue", "count", "sms"}, e.vars).out, "1\n");
    r = run_program("ovrinsmsctl", {"queue", "list", "outbound-sms", "--json"}, e.vars);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("{\"total\": 1, \"loaded\": 1, \"rows\": [\n  [\"" + tag + ".REQ\", \"" + tag +
                         ".REQ\", \"\", \"+15551234\", \""),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"Queued\"]\n]}"), std::string::npos);
}

TEST(QueueCli, SendTestFailuresAndBadUsage) {
    Env e;
    auto r = run_program("ovrinsmsctl", {"queue", "send-test", "mms", "+1"}, e.vars);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ovrinsmsctl: MMS test template not found: " + e.d.path() + "MMSTEST.MMS\n");
    EXPECT_EQ(run_program("ovrinsmsctl", {"queue", "send-test", "sms", "1555-1234"}, e.vars).status, 2);
    EXPECT_EQ(run_program("ovrinsmsctl", {"queue", "list", "outbound-sms", "--sort", "+7"}, e.vars).status, 2);
    EXPECT_EQ(run_program("ovrinsmsctl", {"queue", "list", "outbound"}, e.vars).status, 2);
    EXPECT_EQ(run_program("ovrinsmsctl", {"queue", "parse", e.d.path()}, e.vars).status, 1);
}

TEST(QueueCli, ParseShowsEveryField) {
    Env e;
    write_text(e.d.file("a.SMS"),
               "[SMS-IN]\r\nSender=+1\r\nbinary=Yes\r\ndcs=08\r\nData=00E9\r\nReceiptDelivered=Yes\r\n"
               "[ErrorDetail]\r\nLastRetryTime=20160519123045\r\n");
    auto r = run_program("ovrinsmsctl", {"queue", "parse", e.d.file("a.SMS"), "--json"}, e.vars);
    ASSERT_EQ(r.status, 0);
    for (const char* want : {"\"Sender\": \"+1\"", "\"dcs\": 8", "\"binary\": 1", "\"receipt_flags\": 12",
                             "\"LastRetryTime\": \"2016-05-19 12:30:45\"",
                             "\"FirstAttemptTime\": \"0000-00-00 00:00:00\"", "\"display_text\": \"\xC3\xA9\"",
                             "\"RetryCount\": 0", "\"ReceiptMessageId\": \"\""})
        EXPECT_NE(r.out.find(want), std::string::npos) << want << "\n" << r.out;
}
