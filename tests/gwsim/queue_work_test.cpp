// The simulated services working the queues, driven tick by tick on a fake
// clock, and read back with the console's own readers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <set>

#include "config/gsm7.h"
#include "config/ini.h"
#include "config/interface_events.h"
#include "platform/fs.h"
#include "queue/mms_files.h"
#include "queue/queue_list.h"
#include "queue/request_files.h"
#include "queue/sms_file.h"
#include "queue_work.h"
#include "samples.h"
#include "service/status.h"
#include "support/scratch.h"

namespace ovr::test {
namespace {

namespace fs = platform::fs;
using gwsim::Role;

std::vector<std::string> split_fields(const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == ',') out.emplace_back();
        else out.back() += c;
    }
    return out;
}

std::vector<std::string> log_lines(const std::string& path) {
    std::vector<std::string> lines;
    auto text = fs::read_file(path);
    if (!text) return lines;
    size_t at = 0;
    while (at < text->size()) {
        size_t end = text->find("\r\n", at);
        if (end == std::string::npos) {
            ADD_FAILURE() << "log line without CR LF";
            break;
        }
        lines.push_back(text->substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

struct QueueWorkTest : ::testing::Test {
    ScratchDir dir;
    std::string root = dir.path() + "sim/";
    config::Directories dirs{dir.path() + "data/", dir.path() + "private/", dir.path() + "prog/"};
    config::IniPaths ini = config::ini_paths_for(dirs);
    queue::QueueSetup q = queue::make_queue_setup(dirs, ini);
    platform::FakeClock clock{platform::LocalTime{2026, 3, 14, 9, 30, 0, 0, 6}};

    QueueWorkTest() {
        for (const std::string& d : {dirs.program_data, dirs.private_data, dirs.real_program})
            fs::create_directories(d);
        EXPECT_TRUE(gwsim::write_delay(root, 500));
        EXPECT_TRUE(gwsim::write_scan_interval(root, 5000));
    }
    uint32_t today(const char* counter) { return service::read_counter(dirs.private_data, counter, clock.local_now()).today; }
    std::string sms_log() { return gwsim::daily_log_path(dirs, Role::Sms, clock.local_now()); }
    std::string mms_log() { return gwsim::daily_log_path(dirs, Role::Mmsc, clock.local_now()); }
    std::unique_ptr<queue::SmsFileRecord> parse(const std::string& path) {
        auto rec = std::make_unique<queue::SmsFileRecord>();
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_GE(fd, 0) << path;
        if (fd >= 0) {
            queue::ParseSmsFile(fd, *rec);
            close(fd);
        }
        return rec;
    }
    void step(gwsim::QueueWork& w, uint64_t ms) {
        clock.advance_ms(ms);
        w.tick(false);
    }
};

TEST_F(QueueWorkTest, SmsRequestsAreSentAfterTheDelayFromTheQueueAndItsSubdirectories) {
    ASSERT_TRUE(queue::WriteSmsRequest(q, "TEST00AB", "+15551234"));
    std::string sub = queue::ResolveOutboundSmsQueue(q, "COM7:");
    write_text(sub + "web1.req", "[SMS]\r\nPhoneNumber=+4412345\r\nData=hi, there\r\n");
    // Two levels down is not part of the queue.
    fs::create_directories(sub + "deeper/");
    write_text(sub + "deeper/X.REQ", "[SMS]\r\nPhoneNumber=1\r\n");

    gwsim::QueueWork w(Role::Sms, clock, dirs, root);
    w.tick(false);
    EXPECT_EQ(w.pending(), 2u);
    step(w, 400);
    EXPECT_TRUE(fs::exists(q.dirs.program_data + "Q/TEST00AB.REQ"));
    step(w, 100);
    EXPECT_EQ(w.pending(), 0u);
    EXPECT_FALSE(fs::exists(q.dirs.program_data + "Q/TEST00AB.REQ"));
    EXPECT_FALSE(fs::exists(sub + "web1.req"));
    EXPECT_TRUE(fs::exists(sub + "deeper/X.REQ"));

    auto lines = log_lines(sms_log());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(fs::base_name(sms_log()), "SMSOUT-20260314.LOG");
    std::map<std::string, std::vector<std::string>> by_id;
    for (const auto& l : lines) by_id[split_fields(l)[1]] = split_fields(l);
    ASSERT_TRUE(by_id.count("TEST00AB") && by_id.count("web1"));
    EXPECT_EQ(by_id["TEST00AB"].size(), 5u);
    EXPECT_EQ(by_id["TEST00AB"][0], "2026-03-14 09:30:00");
    EXPECT_EQ(by_id["TEST00AB"][2], "+15551234");
    EXPECT_EQ(by_id["TEST00AB"][4], "OK");
    EXPECT_EQ(today("SMSSUBMIT"), 2u);
    EXPECT_EQ(today("SMSSENT"), 2u);
    EXPECT_EQ(today("SMSFAILED"), 0u);
}

TEST_F(QueueWorkTest, AFailingSmsIsRetriedInItsFileThenLoggedAsFailed) {
    ASSERT_TRUE(gwsim::write_fail(root, Role::Sms, std::string("No network, try later"), 2));
    ASSERT_TRUE(queue::WriteSmsRequest(q, "TEST0001", "+15551234"));
    std::string path = queue::ResolveOutboundSmsQueue(q) + "TEST0001.REQ";
    gwsim::QueueWork w(Role::Sms, clock, dirs, root);
    w.tick(false);
    step(w, 500);
    ASSERT_TRUE(fs::exists(path));
    // As the console reads a retried file: the request keys still there.
    auto rec = parse(path);
    EXPECT_STREQ(rec->PhoneNumber, "+15551234");
    EXPECT_EQ(rec->RetryCount, 1);
    EXPECT_STREQ(rec->LastErrorInfo, "No network, try later");
    EXPECT_EQ(rec->FirstAttemptTime.year, 2026);
    EXPECT_EQ(rec->LastRetryTime.minute, 30);
    EXPECT_EQ(config::ini::read_string(path, "ErrorDetail", "RetryCount"), "1");
    step(w, 500);
    EXPECT_EQ(parse(path)->RetryCount, 2);
    EXPECT_TRUE(log_lines(sms_log()).empty());

    step(w, 500);
    EXPECT_FALSE(fs::exists(path));
    auto lines = log_lines(sms_log());
    ASSERT_EQ(lines.size(), 1u);
    auto f = split_fields(lines[0]);
    ASSERT_EQ(f.size(), 5u);
    EXPECT_EQ(f[1], "TEST0001");
    EXPECT_EQ(f[4], "No network; try later");
    EXPECT_EQ(today("SMSSUBMIT"), 1u);
    EXPECT_EQ(today("SMSRETRY"), 2u);
    EXPECT_EQ(today("SMSFAILED"), 1u);
    EXPECT_EQ(today("SMSSENT"), 0u);
}

TEST_F(QueueWorkTest, FailingWithoutALimitKeepsRetryingUntilTurnedOff) {
    ASSERT_TRUE(gwsim::write_fail(root, Role::Sms, std::string("Busy"), -1));
    ASSERT_TRUE(queue::WriteSmsRequest(q, "TEST0002", "+1"));
    std::string path = queue::ResolveOutboundSmsQueue(q) + "TEST0002.REQ";
    gwsim::QueueWork w(Role::Sms, clock, dirs, root);
    w.tick(false);
    for (int i = 0; i < 5; ++i) step(w, 500);
    EXPECT_EQ(parse(path)->RetryCount, 5);
    ASSERT_TRUE(gwsim::write_fail(root, Role::Sms, std::nullopt, -1));
    step(w, 500);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(split_fields(log_lines(sms_log()).at(0))[4], "OK");
    EXPECT_EQ(today("SMSSUBMIT"), 1u);
}

TEST_F(QueueWorkTest, RetryCountsFromTheFileAreTakenAsTheyStand) {
    ASSERT_TRUE(gwsim::write_fail(root, Role::Sms, std::string("Busy"), -1));
    std::string qdir = queue::ResolveOutboundSmsQueue(q);
    write_text(qdir + "MAX.REQ", "[SMS]\r\nPhoneNumber=1\r\n[ErrorDetail]\r\nRetryCount=2147483647\r\n");
    write_text(qdir + "NEG.REQ", "[SMS]\r\nPhoneNumber=1\r\n[ErrorDetail]\r\nRetryCount=-4\r\n");
    gwsim::QueueWork w(Role::Sms, clock, dirs, root);
    w.tick(false);
    step(w, 500);
    EXPECT_EQ(parse(qdir + "MAX.REQ")->RetryCount, 2147483647);
    EXPECT_EQ(parse(qdir + "NEG.REQ")->RetryCount, 1);
}

TEST_F(QueueWorkTest, TheQueueSignalWakesTheServiceAndAPeriodicScanFindsTheRest) {
    ASSERT_TRUE(gwsim::write_delay(root, 0));
    ASSERT_TRUE(config::ini::write_string(ini.rirer, "RIRER", "Modem1", "COM7:"));
    gwsim::QueueWork w(Role::Sms, clock, dirs, root);
    w.tick(false);   // first look: the listeners are set up, the queue is empty

    ASSERT_TRUE(queue::WriteSmsRequest(q, "TEST0010", "+1"));
    step(w, 100);
    EXPECT_EQ(log_lines(sms_log()).size(), 0u);
    // The console's signal for the configured modem.
    config::signal_interface(dirs.private_data, "SMSOut", "COM7:");
    step(w, 100);
    EXPECT_EQ(log_lines(sms_log()).size(), 1u);

    // A signal for another modem is not ours; the periodic scan still comes.
    ASSERT_TRUE(queue::WriteSmsRequest(q, "TEST0011", "+1"));
    config::signal_interface(dirs.private_data, "SMSOut", "COM8:");
    step(w, 4700);
    EXPECT_EQ(log_lines(sms_log()).size(), 1u);
    step(w, 400);
    EXPECT_EQ(log_lines(sms_log()).size(), 2u);
}

TEST_F(QueueWorkTest, AnOfflineModemHoldsTheSmsQueue) {
    ASSERT_TRUE(config::ini::write_string(ini.rirer, "RIRER", "Modem1", "COM3:"));
    write_text(service::modem_error_path(dirs.private_data, "COM3:"), "No answer");
    ASSERT_TRUE(queue::WriteSmsRequest(q, "TEST0020", "+1"));
    gwsim::QueueWork w(Role::Sms, clock, dirs, root);
    w.tick(false);
    for (int i = 0; i < 4; ++i) step(w, 500);
    EXPECT_TRUE(fs::exists(queue::ResolveOutboundSmsQueue(q) + "TEST0020.REQ"));
    EXPECT_EQ(today("SMSSUBMIT"), 0u);
    fs::remove_file(service::modem_error_path(dirs.private_data, "COM3:"));
    step(w, 500);
    EXPECT_FALSE(fs::exists(queue::ResolveOutboundSmsQueue(q) + "TEST0020.REQ"));
}

TEST_F(QueueWorkTest, MmsPairsAreSentAndLoneMessageFilesWait) {
    write_text(dirs.real_program + "MMSTEST.MMS", "template");
    ASSERT_EQ(queue::WriteMmsRequest(q, "TEST00CD", "+15551234"), queue::MmsRequestResult::Ok);
    std::string vq = queue::ResolveOutboundMmsQueue(q);
    fs::create_directories(vq + "sub/");
    write_text(vq + "sub/m2.mms", "x");
    write_text(vq + "sub/m2.ini",
               "[Routing]\r\nSenderAddress=+1999\r\n[Recipients]\r\nR1=+1/TYPE=PLMN\r\nR2=+2/TYPE=PLMN\r\n");
    write_text(vq + "LONE.MMS", "no companion");

    gwsim::QueueWork w(Role::Mmsc, clock, dirs, root);
    w.tick(false);
    EXPECT_EQ(w.pending(), 2u);
    step(w, 500);
    EXPECT_FALSE(fs::exists(vq + "TEST00CD.MMS"));
    EXPECT_FALSE(fs::exists(vq + "TEST00CD.INI"));
    EXPECT_FALSE(fs::exists(vq + "sub/m2.mms"));
    EXPECT_FALSE(fs::exists(vq + "sub/m2.ini"));
    EXPECT_TRUE(fs::exists(vq + "LONE.MMS"));

    auto lines = log_lines(mms_log());
    EXPECT_EQ(fs::base_name(mms_log()), "MMSC-20260314.LOG");
    ASSERT_EQ(lines.size(), 2u);
    std::map<std::string, std::vector<std::string>> by_id;
    for (const auto& l : lines) by_id[split_fields(l).back()] = split_fields(l);
    ASSERT_TRUE(by_id.count("TEST00CD") && by_id.count("m2"));
    EXPECT_EQ(by_id["TEST00CD"].size(), 7u);
    EXPECT_EQ(by_id["TEST00CD"][5], "OK");
    EXPECT_EQ(by_id["TEST00CD"][4], "+15551234");
    EXPECT_EQ(by_id["m2"][3], "+1999");
    EXPECT_EQ(by_id["m2"][4], "+1 +2");
    EXPECT_EQ(today("MMSIN-VASP"), 2u);
    EXPECT_EQ(today("MMSOUT-VASP"), 2u);
}

TEST_F(QueueWorkTest, AFailingMmsKeepsItsRetryDetailsInTheCompanion) {
    write_text(dirs.real_program + "MMSTEST.MMS", "template");
    ASSERT_TRUE(gwsim::write_fail(root, Role::Mmsc, std::string("Route down"), 1));
    ASSERT_EQ(queue::WriteMmsRequest(q, "TEST00CE", "+15551234"), queue::MmsRequestResult::Ok);
    std::string vq = queue::ResolveOutboundMmsQueue(q);
    gwsim::QueueWork w(Role::Mmsc, clock, dirs, root);
    w.tick(false);
    step(w, 500);
    queue::RoutingCompanion c = queue::ReadRoutingCompanion(vq + "TEST00CE.INI");
    EXPECT_EQ(c.retry_count, 1);
    EXPECT_EQ(c.last_error, "Route down");
    EXPECT_EQ(c.recipients, std::vector<std::string>{"+15551234"});
    EXPECT_EQ(config::ini::read_string(vq + "TEST00CE.INI", "Routing", "MessageID"), "TEST00CE");
    step(w, 500);
    EXPECT_FALSE(fs::exists(vq + "TEST00CE.MMS"));
    auto f = split_fields(log_lines(mms_log()).at(0));
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f[5], "Route down");
    EXPECT_EQ(f[6], "TEST00CE");
    EXPECT_EQ(today("MMSOUT-VASP"), 0u);
}

TEST_F(QueueWorkTest, ReceivedSamplesReadAsTheConsoleShowsThem) {
    for (auto k : {gwsim::SmsSample::Plain, gwsim::SmsSample::Ucs2, gwsim::SmsSample::Gsm7})
        EXPECT_FALSE(gwsim::drop_received_sms(dirs, k, clock.local_now()).empty());
    std::string hdr = gwsim::drop_received_mms(dirs, clock.local_now());
    ASSERT_FALSE(hdr.empty());

    queue::QueueList sms = queue::ListReceivedSms(q, clock);
    ASSERT_EQ(sms.loaded(), 3u);
    std::set<std::string> texts;
    for (const auto& e : sms.entries) {
        EXPECT_EQ(e->string(2), "+15550001");
        EXPECT_EQ(e->string(5), "Received");
        texts.insert(std::string(e->string(6)));
    }
    EXPECT_EQ(texts, (std::set<std::string>{gwsim::kPlainSampleText, "Grüße 你好", "Hi @ home: 5£ {ok} €"}));
    // Names do not collide within one second.
    EXPECT_EQ(fs::list_directory(queue::ResolveReceivedSmsDirectory(q), "*.SMS").size(), 3u);

    queue::QueueList mms = queue::ListReceivedMms(q, clock);
    ASSERT_EQ(mms.loaded(), 1u);
    EXPECT_EQ(mms.entries[0]->string(2), "+15550001");
    EXPECT_EQ(mms.entries[0]->string(3), "+15550100");
    EXPECT_EQ(mms.entries[0]->string(5), "Simulated MMS");
    auto parts = queue::ReadContentLocations(hdr);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].content_type, "text/plain");
    EXPECT_EQ(parts[1].content_type, "image/gif");
    for (const auto& p : parts) EXPECT_TRUE(fs::regular_file_exists(queue::ResolveReceivedMmsDirectory(q) + p.path));
}

}  // namespace
}  // namespace ovr::test

namespace ovr::test {
namespace {

TEST_F(QueueWorkTest, LogAfterDeleteWritesTheResultLaterAndAStoppingServiceStillWritesIt) {
    ASSERT_TRUE(gwsim::write_log_after_delete(root, true));
    ASSERT_TRUE(queue::WriteSmsRequest(q, "TEST0003", "+1"));
    std::string path = queue::ResolveOutboundSmsQueue(q) + "TEST0003.REQ";
    {
        gwsim::QueueWork w(Role::Sms, clock, dirs, root);
        w.tick(false);
        step(w, 500);
        EXPECT_FALSE(fs::exists(path));
        EXPECT_TRUE(log_lines(sms_log()).empty()) << "gone before its line";
        step(w, gwsim::kLateLogMs);
        ASSERT_EQ(log_lines(sms_log()).size(), 1u);
        EXPECT_EQ(split_fields(log_lines(sms_log())[0])[4], "OK");

        ASSERT_TRUE(queue::WriteSmsRequest(q, "TEST0004", "+1"));
        w.tick(true);
        step(w, 500);
        EXPECT_EQ(log_lines(sms_log()).size(), 1u);
    }
    ASSERT_EQ(log_lines(sms_log()).size(), 2u);
    EXPECT_EQ(split_fields(log_lines(sms_log())[1])[1], "TEST0004");
}

TEST_F(QueueWorkTest, AnMmsWhoseRouteHasAnErrorIsHeldUntilTheErrorClears) {
    write_text(dirs.real_program + "MMSTEST.MMS", "template");
    ASSERT_EQ(queue::WriteMmsRequest(q, "TEST00CF", "+15551234"), queue::MmsRequestResult::Ok);
    std::string err = service::modem_error_path(dirs.private_data, gwsim::route_error_name("ovrinsmslite"));
    write_text(err, "Connection refused");
    gwsim::QueueWork w(Role::Mmsc, clock, dirs, root);
    w.tick(false);
    for (int i = 0; i < 3; ++i) step(w, 500);
    EXPECT_TRUE(fs::exists(queue::ResolveOutboundMmsQueue(q) + "TEST00CF.MMS"));
    EXPECT_EQ(today("MMSIN-VASP"), 0u);
    fs::remove_file(err);
    step(w, 500);
    EXPECT_FALSE(fs::exists(queue::ResolveOutboundMmsQueue(q) + "TEST00CF.MMS"));
    EXPECT_EQ(split_fields(log_lines(mms_log()).at(0))[5], "OK");
}

}  // namespace
}  // namespace ovr::test
