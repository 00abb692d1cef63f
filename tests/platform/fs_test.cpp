#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/fs.h"
#include "support/scratch.h"

namespace fs = ovr::platform::fs;
using ovr::test::ScratchDir;
using ovr::test::write_text;

TEST(RecursiveDelete, DotDirectoriesStayAndSoDoesTheirParent) {
    ScratchDir d;
    std::string root = d.file("data");
    ASSERT_TRUE(fs::create_directories(root + "/sub/deeper"));
    ASSERT_TRUE(fs::create_directory(root + "/.keep"));
    write_text(root + "/a.txt", "a");
    write_text(root + "/sub/deeper/b.txt", "b");
    write_text(root + "/.keep/c.txt", "c");
    write_text(root + "/.hidden-file", "h");
    fs::recursive_delete(root + "/");
    EXPECT_TRUE(fs::exists(root + "/.keep/c.txt"));
    EXPECT_FALSE(fs::exists(root + "/sub"));
    EXPECT_FALSE(fs::exists(root + "/a.txt"));
    EXPECT_FALSE(fs::exists(root + "/.hidden-file"));  // dot files are files: deleted
    EXPECT_TRUE(fs::exists(root));
}

TEST(RecursiveDelete, LinksAreRemovedNeverFollowed) {
    ScratchDir d;
    std::string outside = d.file("outside");
    ASSERT_TRUE(fs::create_directory(outside));
    write_text(outside + "/precious", "p");
    std::string root = d.file("tree");
    ASSERT_TRUE(fs::create_directory(root));
    ASSERT_EQ(symlink(outside.c_str(), (root + "/link-to-dir").c_str()), 0);
    ASSERT_EQ(symlink((outside + "/precious").c_str(), (root + "/link-to-file").c_str()), 0);
    fs::recursive_delete(root);
    EXPECT_FALSE(fs::exists(root));
    EXPECT_TRUE(fs::exists(outside + "/precious"));
    // A tree that is itself a link: the link goes, the target stays.
    std::string link = d.file("tree-link");
    ASSERT_EQ(symlink(outside.c_str(), link.c_str()), 0);
    fs::recursive_delete(link);
    EXPECT_FALSE(fs::exists(link));
    EXPECT_TRUE(fs::exists(outside + "/precious"));
    fs::recursive_delete("");  // nothing at all
}

// A directory of exactly `length` characters under the scratch directory.
static std::string path_of_length(const ScratchDir& d, size_t length) {
    std::string p = d.path();
    while (p.size() < length) {
        size_t remaining = length - p.size();
        size_t take = remaining - 1 <= 200 ? remaining - 1 : 100;
        p += "/" + std::string(take, 'd');
    }
    return p;
}

TEST(RecursiveDelete, RootsLongerThanThePathRoomAreRefusedNotCut) {
    // A root cut to the room and used again names another directory (its own
    // parent, say): it must be refused whole, and every root that fits is
    // deleted however long its children's paths are.
    for (size_t length : {258u, 259u, 260u, 261u, 262u}) {
        ScratchDir d;
        std::string root = path_of_length(d, length);
        ASSERT_EQ(root.size(), length);
        ASSERT_TRUE(fs::create_directories(root + "/child/grandchild"));
        write_text(root + "/child/grandchild/f", "x");
        write_text(root + "/f", "x");
        bool gone = fs::recursive_delete(root);
        EXPECT_EQ(gone, length <= fs::kMaxPathChars) << length;
        EXPECT_EQ(fs::exists(root), length > fs::kMaxPathChars) << length;
        if (length > fs::kMaxPathChars) {
            EXPECT_TRUE(fs::exists(root + "/child/grandchild/f")) << length;
        }
        EXPECT_TRUE(fs::exists(fs::parent_directory(root))) << length;
        // A trailing "/" counts too: a 260-character root with one is 261.
        if (length == fs::kMaxPathChars) {
            ASSERT_TRUE(fs::create_directory(root));
            EXPECT_FALSE(fs::recursive_delete(root + "/"));
            EXPECT_TRUE(fs::exists(root));
        }
    }
}

TEST(RecursiveDelete, TenThousandLevelsAndALinkToTheParent) {
    ScratchDir d;
    std::string root = d.file("deep");
    ASSERT_TRUE(fs::create_directory(root));
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(mkdirat(fd, "level", 0755), 0);
        if (i == 5000) {
            ASSERT_EQ(symlinkat("..", fd, "up"), 0);  // a link inside pointing at the parent
            int f = openat(fd, "file", O_WRONLY | O_CREAT, 0644);
            ASSERT_GE(f, 0);
            close(f);
        }
        int next = openat(fd, "level", O_RDONLY | O_DIRECTORY);
        ASSERT_GE(next, 0);
        close(fd);
        fd = next;
    }
    close(fd);
    std::string outside = d.file("outside");
    write_text(outside, "keep");
    EXPECT_TRUE(fs::recursive_delete(root));
    EXPECT_FALSE(fs::exists(root));
    EXPECT_TRUE(fs::exists(outside));
}

TEST(Exists, EntriesOfAnyKind) {
    ScratchDir d;
    write_text(d.file("f"), "");
    ASSERT_EQ(symlink("nowhere", d.file("dangling").c_str()), 0);
    EXPECT_TRUE(fs::exists(d.file("f")));
    EXPECT_TRUE(fs::exists(d.path()));
    EXPECT_TRUE(fs::exists(d.file("dangling")));
    EXPECT_TRUE(fs::regular_file_exists(d.file("f")));
    EXPECT_TRUE(fs::regular_file_exists(d.file("dangling")));
    EXPECT_FALSE(fs::regular_file_exists(d.path()));
    EXPECT_FALSE(fs::exists(d.file("nothing")));
    EXPECT_FALSE(fs::exists(""));
}

TEST(Listing, PatternsIgnoreCase) {
    ScratchDir d;
    for (const char* n : {"TEST0001.REQ", "a.req", "b.Req.tmp", "c.REQX", "smsout-20260101.log"}) write_text(d.file(n), "x");
    ASSERT_TRUE(fs::create_directory(d.file("SUB.REQ")));
    std::vector<std::string> names;
    for (const auto& e : fs::list_directory(d.path(), "*.REQ")) names.push_back(e.name + (e.is_directory ? "/" : ""));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"SUB.REQ/", "TEST0001.REQ", "a.req"}));
    EXPECT_EQ(fs::list_directory(d.path(), "SMSOUT*.LOG").size(), 1u);
    EXPECT_TRUE(fs::list_directory(d.file("missing")).empty());
    EXPECT_TRUE(fs::wildcard_match("a?c*", "ABCdef"));
    EXPECT_FALSE(fs::wildcard_match("a?c", "ac"));
    EXPECT_TRUE(fs::wildcard_match(std::string(50, '*') + "x", std::string(5000, 'a') + "x"));
}

TEST(AtomicWrite, ReplacesAndKeepsMode) {
    ScratchDir d;
    std::string p = d.file("f");
    ASSERT_TRUE(fs::write_file_atomic(p, "one"));
    chmod(p.c_str(), 0600);
    ASSERT_TRUE(fs::write_file_atomic(p, "two"));
    EXPECT_EQ(fs::read_file(p), "two");
    struct stat st {};
    stat(p.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(fs::write_file_atomic(d.path(), "x"));
    EXPECT_FALSE(fs::read_file(d.path()));
    EXPECT_FALSE(fs::read_file(p, 2));
}

// A file longer than its size said (as /proc's files, which say 0) is read
// on to its end, and never past the bound.
TEST(ReadFile, ReadsPastTheStatedSizeWithinTheBound) {
    auto status = fs::read_file("/proc/self/status", 1 << 20);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->rfind("Name:", 0), 0u);
    EXPECT_EQ(status->back(), '\n');
    auto cut = fs::read_file("/proc/self/status", 10);
    ASSERT_TRUE(cut);
    EXPECT_EQ(*cut, status->substr(0, 10));
}

TEST(FakeClock, SleepAdvancesTicksAndTheCalendar) {
    ovr::platform::FakeClock clock({2024, 12, 31, 23, 59, 59, 500, 2});
    clock.sleep_ms(120000);
    EXPECT_EQ(clock.tick_ms(), 120000u);
    EXPECT_EQ(clock.total_slept_ms(), 120000u);
    auto t = clock.local_now();
    EXPECT_EQ(t.year, 2025);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 1);
    EXPECT_EQ(t.minute, 1);
    EXPECT_EQ(t.second, 59);
    EXPECT_EQ(t.millisecond, 500);
    EXPECT_EQ(t.weekday, 3);
    clock.set_local({2024, 2, 28, 12, 0, 0, 0, 3});
    clock.advance_ms(24u * 3600 * 1000);
    EXPECT_EQ(clock.local_now().day, 29);  // leap year
}
