#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/ini.h"
#include "platform/fs.h"
#include "queue/request_files.h"
#include "queue/support_calls.h"
#include "queue_fixture.h"

namespace fs = ovr::platform::fs;
using namespace ovr::queue;
using ovr::test::QueueTree;
using ovr::test::read_text;
using ovr::test::write_text;

namespace {
std::vector<std::string> names_in(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::list_directory(dir)) out.push_back(e.name);
    std::sort(out.begin(), out.end());
    return out;
}
}  // namespace

TEST(RequestFiles, TagAndPhoneNumber) {
    EXPECT_EQ(test_tag(0x1234ABu), "TEST34AB");
    EXPECT_EQ(test_tag(0xAB), "TEST00AB");
    EXPECT_TRUE(is_valid_phone_number("+15551234"));
    EXPECT_TRUE(is_valid_phone_number("0"));
    EXPECT_FALSE(is_valid_phone_number("1555-1234"));
    EXPECT_FALSE(is_valid_phone_number(""));
    EXPECT_FALSE(is_valid_phone_number("+"));
    EXPECT_FALSE(is_valid_phone_number("++1"));
}

TEST(RequestFiles, SmsRequestIsExactAndReplacesAWaitingFile) {
    QueueTree t;
    std::string q = ResolveOutboundSmsQueue(t.q);
    write_text(q + "TEST00AB.REQ", "older and longer content that must go away");
    ASSERT_TRUE(WriteSmsRequest(t.q, "TEST00AB", "+15551234"));
    EXPECT_EQ(read_text(q + "TEST00AB.REQ"), "[SMS]\r\nPhoneNumber=+15551234\r\nData=OvrinSMS Test Message\r\n");
    EXPECT_EQ(names_in(q), std::vector<std::string>{"TEST00AB.REQ"});   // no temporary left
}

TEST(RequestFiles, SmsRequestFailsCleanlyWhenTheNameIsTaken) {
    QueueTree t;
    std::string q = ResolveOutboundSmsQueue(t.q);
    mkdir((q + "TEST0001.REQ").c_str(), 0755);
    mkdir((q + "TEST0001.REQ/x").c_str(), 0755);
    EXPECT_FALSE(WriteSmsRequest(t.q, "TEST0001", "1"));
    EXPECT_EQ(names_in(q), std::vector<std::string>{"TEST0001.REQ"});
}

TEST(RequestFiles, MmsPairIsExact) {
    QueueTree t;
    std::string tmpl(100000, '\0');
    for (size_t i = 0; i < tmpl.size(); ++i) tmpl[i] = static_cast<char>(i * 7);
    write_text(t.q.dirs.real_program + "mmstest.mms", tmpl);   // found without regard to case
    ASSERT_EQ(WriteMmsRequest(t.q, "TESTBEEF", "+44"), MmsRequestResult::Ok);
    std::string q = ResolveOutboundMmsQueue(t.q);
    EXPECT_EQ(read_text(q + "TESTBEEF.MMS"), tmpl);
    EXPECT_EQ(read_text(q + "TESTBEEF.INI"),
              "[Routing]\r\nMessageID=TESTBEEF\r\n[Recipients]\r\nRecip1=+44/TYPE=VASP:ovrinsmslite\r\n");
    EXPECT_EQ(names_in(q), (std::vector<std::string>{"TESTBEEF.INI", "TESTBEEF.MMS"}));
    EXPECT_EQ(CountOutboundMms(t.q), 1u);
}

TEST(RequestFiles, MmsFailuresLeaveNothingBehind) {
    QueueTree t;
    EXPECT_EQ(WriteMmsRequest(t.q, "TEST0001", "1"), MmsRequestResult::TemplateMissing);
    EXPECT_EQ(mms_template_path(t.q), t.q.dirs.real_program + "MMSTEST.MMS");
    write_text(t.q.dirs.real_program + "MMSTEST.MMS", "M");
    std::string q = ResolveOutboundMmsQueue(t.q);
    EXPECT_TRUE(names_in(q).empty());
    // The message file cannot take its name: the companion goes too.
    mkdir((q + "TEST0002.MMS").c_str(), 0755);
    mkdir((q + "TEST0002.MMS/x").c_str(), 0755);
    EXPECT_EQ(WriteMmsRequest(t.q, "TEST0002", "1"), MmsRequestResult::CreateFailed);
    EXPECT_EQ(names_in(q), std::vector<std::string>{"TEST0002.MMS"});
}

namespace {
std::vector<std::string> g_signals;
}

TEST(RequestFiles, SignalsNameTheModemAndTheRoute) {
    QueueTree t;
    SupportCalls saved = support_calls();
    SupportCalls calls;
    calls.set_event_for_interface = [](const char* kind, const char* name) {
        g_signals.push_back(std::string(kind) + " " + name);
    };
    set_support_calls(calls);
    ovr::config::ini::write_string(t.q.ini.rirer, "RIRER", "Modem1", "ovrinsmsmodem - Box 7");
    SignalSmsQueued(t.q);
    SignalMmsQueued(t.q);
    ovr::config::ini::write_string(t.q.ini.rirer, "RIRER", "Modem1", "COM3:");
    SignalMmsQueued(t.q);
    set_support_calls(saved);
    EXPECT_EQ(g_signals, (std::vector<std::string>{"SMSOut ovrinsmsmodem - Box 7", "VASPOut Box 7",
                                                   "VASPOut ovrinsmslite", "VASPOut ovrinsmslite"}));
}
