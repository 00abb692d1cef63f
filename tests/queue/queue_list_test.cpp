#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>

#include "config/ini.h"
#include "platform/fs.h"
#include "queue/mms_files.h"
#include "queue/queue_list.h"
#include "queue_fixture.h"

namespace fs = ovr::platform::fs;
using namespace ovr::queue;
using ovr::test::QueueTree;
using ovr::test::write_text;

namespace {
std::vector<std::string> row(const QueueListEntry& e) {
    std::vector<std::string> out;
    for (size_t k = 0; k < e.string_count(); ++k) out.emplace_back(e.string(k));
    return out;
}
std::vector<std::string> names(const QueueList& l) {
    std::vector<std::string> out;
    for (const auto& e : l.entries) out.emplace_back(e->string(0));
    return out;
}
void set_mtime(const std::string& path, time_t when) {
    timespec ts[2] = {{when, 0}, {when, 0}};
    utimensat(AT_FDCWD, path.c_str(), ts, 0);
}
}  // namespace

TEST(QueueList, OutboundSmsRowsTotalsAndCap) {
    QueueTree t;
    std::string q = ResolveOutboundSmsQueue(t.q);
    for (int i = 0; i < 6000; ++i) write_text(q + "m" + std::to_string(i) + ".REQ", "[SMS]\nPhoneNumber=+1\n");
    write_text(q + "nonumber.REQ", "[SMS]\nData=x\n");
    mkfifo((q + "pipe.REQ").c_str(), 0644);   // never waited on
    QueueList l = ListOutboundSms(t.q);
    EXPECT_EQ(l.loaded(), 5000u);
    EXPECT_EQ(l.total, 6002u);
}

TEST(QueueList, OutboundSmsColumns) {
    QueueTree t;
    std::string q = ResolveOutboundSmsQueue(t.q);
    mkdir((q + "sub dir").c_str(), 0755);
    write_text(q + "sub dir/a \xE9.REQ",
               "[SMS]\r\nPhoneNumber=+44\r\nSubmitUser=bob\r\n[ErrorDetail]\r\nRetryCount=3\r\nLastErrorInfo=Busy\r\n");
    write_text(q + "b.req", "[SMS]\r\nPhoneNumber=+45\r\n");
    QueueList l = ListOutboundSms(t.q);
    ASSERT_EQ(l.loaded(), 2u);
    sort_list(l, comparator_for(ListKind::OutboundSms, 1));
    auto a = row(*l.entries[0]);
    ASSERT_EQ(a.size(), 6u);
    EXPECT_EQ(a[0], "sub dir/a \xE9.REQ");
    EXPECT_EQ(a[1], "a \xE9.REQ");
    EXPECT_EQ(a[2], "bob");
    EXPECT_EQ(a[3], "+44");
    EXPECT_EQ(a[4].size(), 19u);
    EXPECT_EQ(a[5], "Retry -  3 attempt(s) - Busy");
    EXPECT_EQ(row(*l.entries[1])[5], "Queued");
}

TEST(QueueList, StatusAndRecipientTexts) {
    EXPECT_EQ(outbound_status(3, ""), "Retry -  3 attempt(s)");
    EXPECT_EQ(outbound_status(12, "No carrier"), "Retry - 12 attempt(s) - No carrier");
    EXPECT_EQ(outbound_status(0, "ignored"), "Queued");
    EXPECT_EQ(recipient_summary({"1", "2", "3", "4", "5"}), "1, 2, 3, 4, 5");
    EXPECT_EQ(recipient_summary({"1", "2", "3", "4", "5", "6"}), "6 recipients");
    const char* tz = getenv("TZ");
    std::string saved = tz ? tz : "";
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(format_file_time({1463661045, 0}), "2016-05-19 12:30:45");
    if (tz) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
    tzset();
}

TEST(QueueList, OutboundMmsNeedsItsCompanion) {
    QueueTree t;
    std::string q = ResolveOutboundMmsQueue(t.q);
    write_text(q + "a.MMS", "");
    write_text(q + "a.INI", "[Routing]\nSenderAddress=+9\nRetryCount=2\n[Recipients]\nR1=+1/TYPE=PLMN\nR2=+2\n");
    write_text(q + "lonely.MMS", "");
    QueueList l = ListOutboundMms(t.q);
    EXPECT_EQ(l.total, 2u);
    ASSERT_EQ(l.loaded(), 1u);
    EXPECT_EQ(row(*l.entries[0]), (std::vector<std::string>{"a.MMS", "a.MMS", "+9", "+1, +2",
                                                             row(*l.entries[0])[4], "Retry -  2 attempt(s)"}));
}

TEST(QueueList, ReceivedSmsOrderStatusAndText) {
    QueueTree t;
    std::string base = t.data("SMS-IN/");
    mkdir(base.c_str(), 0755);
    write_text(base + "c.SMS", "[SMS-IN]\nSender=+3\nbinary=Yes\ndcs=08\nData=00480069\n");
    write_text(base + "b.REC", "[SMS-IN]\nSender=+2\nData=line\\r\\nbreak\n");
    write_text(base + "a.IN", "no section at all");
    ovr::platform::FakeClock clock;
    QueueList l = ListReceivedSms(t.q, clock);
    EXPECT_EQ(names(l), (std::vector<std::string>{"a.IN", "b.REC", "c.SMS"}));
    EXPECT_EQ(l.total, 3u);
    EXPECT_EQ(row(*l.entries[0])[5], "Queued");
    EXPECT_EQ(row(*l.entries[1])[6], "line\r\nbreak");
    EXPECT_EQ(row(*l.entries[2])[5], "Received");
    EXPECT_EQ(row(*l.entries[2])[6], "Hi");
}

TEST(QueueList, ReceivedWalkRemovesOnlyOldEmptySubdirectories) {
    QueueTree t;
    std::string base = ResolveReceivedMmsDirectory(t.q);
    ovr::platform::FakeClock clock({2026, 1, 1, 12, 0, 0, 0, 4});
    tm parts{};
    parts.tm_year = 126;
    parts.tm_mday = 1;
    parts.tm_hour = 12;
    parts.tm_isdst = -1;
    time_t now = mktime(&parts);
    for (const char* d : {"old", "young", "full"}) mkdir((base + d).c_str(), 0755);
    write_text(base + "full/a.HDR", "From: +1/TYPE=PLMN\nTo: +2\nSubject: Hi\n");
    set_mtime(base + "old", now - 600);
    set_mtime(base + "young", now - 60);
    set_mtime(base + "full", now - 600);
    set_mtime(base, now - 600);
    QueueList l = ListReceivedMms(t.q, clock);
    EXPECT_FALSE(fs::exists(base + "old"));
    EXPECT_TRUE(fs::exists(base + "young"));
    EXPECT_TRUE(fs::exists(base + "full"));
    EXPECT_TRUE(fs::exists(base));
    ASSERT_EQ(l.loaded(), 1u);
    auto r = row(*l.entries[0]);
    EXPECT_EQ(r[0], "full/a.HDR");
    EXPECT_EQ(r[2], "+1");
    EXPECT_EQ(r[3], "+2");
    EXPECT_EQ(r[5], "Hi");
}

TEST(QueueListEntry, PacksIntoTheWorkAreaWithoutSplittingACharacter) {
    std::string text;
    while (text.size() < 9000) text += "\xE2\x82\xAC";   // three-byte characters
    auto e = QueueListEntry::build({"name", "", "x", text});
    ASSERT_TRUE(e);
    EXPECT_EQ(e->string(1), "");   // an empty column does not end the row
    EXPECT_EQ(e->string(2), "x");
    EXPECT_LE(e->bytes().size(), kEntryWorkArea);
    EXPECT_EQ(e->string(3).size() % 3, 0u);
    EXPECT_GT(e->string(3).size(), 8000u);
    EXPECT_EQ(e->bytes().back(), '\0');
}

TEST(QueueSorting, ClicksAndKeptState) {
    EXPECT_EQ(sort_state(ListKind::OutboundSms), 4);
    EXPECT_EQ(sort_state(ListKind::ReceivedSms), -4);
    EXPECT_EQ(ColumnClick(ListKind::ReceivedSms, 1).state, 2);
    EXPECT_EQ(ColumnClick(ListKind::ReceivedSms, 1).state, -2);
    EXPECT_EQ(ColumnClick(ListKind::ReceivedSms, 1).state, 2);
    EXPECT_EQ(sort_state(ListKind::ReceivedSms), 2);   // kept for the process
    EXPECT_EQ(initial_sort_state(ListKind::ReceivedSms), -4);
    EXPECT_EQ(ColumnClick(ListKind::ReceivedSms, 5).state, 6);   // the text column
    EXPECT_EQ(ColumnClick(ListKind::OutboundSms, 5).state, 4);   // beyond the last column
    set_sort_state(ListKind::ReceivedSms, -4);
    set_sort_state(ListKind::OutboundSms, 4);
}

TEST(QueueSorting, IgnoresLetterCaseAndMatchesTheComparator) {
    QueueList l;
    for (const char* s : {"beta", "Alpha", "alpha2", "BETA0", "gamma", "Delta"})
        l.entries.push_back(QueueListEntry::build({s, s}));
    sort_list(l, EntryComparator{1});
    EXPECT_EQ(names(l), (std::vector<std::string>{"Alpha", "alpha2", "beta", "BETA0", "Delta", "gamma"}));
    sort_list(l, EntryComparator{-1});
    EXPECT_EQ(names(l), (std::vector<std::string>{"gamma", "Delta", "BETA0", "beta", "alpha2", "Alpha"}));
    EntryComparator asc{1};
    EXPECT_TRUE(asc(*l.entries[5], *l.entries[4]));
    EXPECT_EQ(compare_column(*l.entries[2], *QueueListEntry::build({"x", "Beta0"}), 0), 0);
}

TEST(QueueList, LinksAndFifosInQueueDirectoriesAreSkippedAndCountedNeverFollowed) {
    // Queue directories are writable by the gateway's users and the console
    // may run elevated: a name linking to another file must not show it.
    QueueTree t;
    const std::string secret = t.root.path() + "secret";
    write_text(secret, "[SMS]\nPhoneNumber=+ROOTONLY\n[SMS-IN]\nSender=+ROOTONLY\nData=root\n"
                       "[Routing]\nSenderAddress=+ROOTONLY\nFrom: +ROOTONLY\n");
    auto plant = [&](const std::string& dir, const char* name) {
        ASSERT_EQ(symlink(secret.c_str(), (dir + name).c_str()), 0) << dir + name;
    };
    const std::string out = ResolveOutboundSmsQueue(t.q);
    plant(out, "evil.REQ");
    ASSERT_EQ(mkfifo((out + "fifo.REQ").c_str(), 0644), 0);
    write_text(out + "good.REQ", "[SMS]\nPhoneNumber=+1\n");
    const std::string mms = ResolveOutboundMmsQueue(t.q);
    write_text(mms + "a.MMS", "");
    plant(mms, "a.INI");            // a real message with a linked companion
    plant(mms, "b.MMS");            // a linked message with a real companion
    write_text(mms + "b.INI", "[Routing]\nSenderAddress=+2\n");
    const std::string sms_in = t.data("SMS-IN/");
    mkdir(sms_in.c_str(), 0755);
    plant(sms_in, "PASSWD.SMS");
    const std::string mms_in = ResolveReceivedMmsDirectory(t.q);
    plant(mms_in, "x.HDR");
    ovr::platform::FakeClock clock;

    QueueList o = ListOutboundSms(t.q);
    EXPECT_EQ(names(o), (std::vector<std::string>{"good.REQ"}));
    EXPECT_EQ(o.total, 3u);
    EXPECT_EQ(o.skipped, 2u);
    QueueList m = ListOutboundMms(t.q);
    EXPECT_EQ(m.loaded(), 0u);
    EXPECT_EQ(m.skipped, 2u);
    QueueList r = ListReceivedSms(t.q, clock);
    EXPECT_EQ(r.loaded(), 0u);
    EXPECT_EQ(r.skipped, 1u);
    QueueList h = ListReceivedMms(t.q, clock);
    EXPECT_EQ(h.loaded(), 0u);
    EXPECT_EQ(h.skipped, 1u);
    EXPECT_FALSE(ReadMmsHeader(mms_in + "x.HDR"));
    EXPECT_TRUE(ReadRoutingCompanion(mms + "a.INI").sender.empty());
    EXPECT_EQ(ReadRoutingCompanion(mms + "b.INI").sender, "+2");
    // The targets are untouched and so are the links (listing deletes nothing).
    EXPECT_TRUE(fs::exists(secret));
    EXPECT_TRUE(fs::exists(out + "evil.REQ"));
}
