#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/stat.h>

#include "config/ini.h"
#include "platform/fs.h"
#include "queue_fixture.h"

namespace fs = ovr::platform::fs;
using namespace ovr::queue;
using ovr::test::QueueTree;
using ovr::test::write_text;

TEST(QueueDirectories, DefaultsAreMadeUnderProgramDataExceptReceivedSms) {
    QueueTree t;
    EXPECT_EQ(ResolveOutboundSmsQueue(t.q), t.data("Q/"));
    EXPECT_EQ(ResolveReceivedMmsDirectory(t.q), t.data("MMS-IN/"));
    EXPECT_EQ(ResolveOutboundMmsQueue(t.q), t.data("VASPQ/"));
    EXPECT_EQ(ResolveReceivedSmsDirectory(t.q), t.data("SMS-IN/"));
    EXPECT_TRUE(fs::is_directory(t.data("Q")));
    EXPECT_TRUE(fs::is_directory(t.data("MMS-IN")));
    EXPECT_TRUE(fs::is_directory(t.data("VASPQ")));
    EXPECT_FALSE(fs::exists(t.data("SMS-IN")));
}

TEST(QueueDirectories, ConfiguredDirectoryIsUsedAsWrittenAndNeverCreated) {
    QueueTree t;
    const std::string mine = t.root.path() + "queue";
    ovr::config::ini::write_string(t.q.ini.rirer, "RIRER", "QDir", mine);
    EXPECT_EQ(ResolveOutboundSmsQueue(t.q), mine + "/");
    EXPECT_FALSE(fs::exists(mine));
    EXPECT_EQ(CountOutboundSms(t.q), 0u);
    ovr::config::ini::write_string(t.q.ini.rirer, "RIRER", "QDir", mine + "/");
    EXPECT_EQ(ResolveOutboundSmsQueue(t.q), mine + "/");
    ovr::config::ini::write_string(t.q.ini.mmsc, "MMSC", "VASPQDir", mine + "2");
    EXPECT_EQ(ResolveOutboundMmsQueue(t.q), mine + "2/");
    EXPECT_FALSE(fs::exists(mine + "2"));
}

TEST(QueueDirectories, SubdirectoryNameIsMadeSafeAndFallsBackToTheQueue) {
    QueueTree t;
    EXPECT_EQ(ResolveOutboundSmsQueue(t.q, "COM3:"), t.data("Q/COM3-/"));
    EXPECT_TRUE(fs::is_directory(t.data("Q/COM3-")));
    EXPECT_EQ(ResolveOutboundSmsQueue(t.q, "a/b\\c"), t.data("Q/a-b-c/"));
    // A file in the way: the queue itself is used.
    write_text(t.data("Q/blocked"), "x");
    EXPECT_EQ(ResolveOutboundSmsQueue(t.q, "blocked"), t.data("Q/"));
    // Names that would leave the queue, a link and a path past the room.
    EXPECT_EQ(ResolveOutboundSmsQueue(t.q, ".."), t.data("Q/"));
    EXPECT_EQ(ResolveOutboundSmsQueue(t.q, "."), t.data("Q/"));
    ASSERT_EQ(symlink(t.root.path().c_str(), t.data("Q/linked").c_str()), 0);
    EXPECT_EQ(ResolveOutboundSmsQueue(t.q, "linked"), t.data("Q/"));
    EXPECT_EQ(ResolveOutboundSmsQueue(t.q, std::string(300, 'n')), t.data("Q/"));
}

TEST(QueueCounts, SmsCountsOneLevelDeepAndOnlyFiles) {
    QueueTree t;
    std::string q = ResolveOutboundSmsQueue(t.q);
    write_text(q + "a.REQ", "");
    write_text(q + "b.req", "");   // letter case does not matter
    write_text(q + "c.txt", "");
    mkdir((q + "dir.REQ").c_str(), 0755);   // a directory named like a file
    mkdir((q + "sub").c_str(), 0755);
    write_text(q + "sub/d.REQ", "");
    mkdir((q + "sub/deeper").c_str(), 0755);
    write_text(q + "sub/deeper/e.REQ", "");
    mkdir((q + "odd:name").c_str(), 0755);   // walked under its real name
    write_text(q + "odd:name/f.REQ", "");
    EXPECT_EQ(CountOutboundSms(t.q), 4u);
    EXPECT_FALSE(fs::exists(q + "odd-name"));
}

TEST(QueueCounts, MmsCountsOnlyMessagesWithCompanions) {
    QueueTree t;
    std::string q = ResolveOutboundMmsQueue(t.q);
    write_text(q + "a.MMS", "");
    write_text(q + "a.INI", "");
    write_text(q + "b.mms", "");
    write_text(q + "b.ini", "");   // companion in other letter case
    write_text(q + "c.MMS", "");   // no companion
    mkdir((q + "s").c_str(), 0755);
    write_text(q + "s/d.MMS", "");
    write_text(q + "s/d.INI", "");
    EXPECT_EQ(CountOutboundMms(t.q), 3u);
    EXPECT_EQ(companion_path("/x/y.z/file.tar.MMS"), "/x/y.z/file.tar.INI");
    EXPECT_EQ(companion_path("/x/y.z/file"), "/x/y.z/file.INI");
}

TEST(QueueCounts, UnreadableQueueCountsZero) {
    QueueTree t;
    ovr::config::ini::write_string(t.q.ini.rirer, "RIRER", "QDir", t.root.path() + "missing");
    EXPECT_EQ(CountOutboundSms(t.q), 0u);
}

TEST(QueueDirectories, StatusPageCountTextTurnsRedAboveTheAlertSize) {
    QueueTree t;
    EXPECT_EQ(queue_count_text(t.q, 0).text, "Empty");
    EXPECT_FALSE(queue_count_text(t.q, 100).red);
    auto over = queue_count_text(t.q, 101);
    EXPECT_TRUE(over.red);
    EXPECT_EQ(over.text, "101");
    ovr::config::ini::write_string(t.q.ini.rirer, "RIRER", "AlertEMailQueueSize", "0");
    EXPECT_FALSE(queue_count_text(t.q, 100000).red);
    ovr::config::ini::write_string(t.q.ini.rirer, "RIRER", "AlertEMailQueueSize", "5");
    EXPECT_FALSE(queue_count_text(t.q, 5).red);
    EXPECT_TRUE(queue_count_text(t.q, 6).red);
}
