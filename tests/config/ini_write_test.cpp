// Writes: the profile-write rules, byte-for-byte survival of untouched lines,
// atomic replacement, and no lost update between concurrent writers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "config/ini.h"
#include "platform/fs.h"
#include "support/scratch.h"

namespace ini = ovr::config::ini;
using ovr::test::read_text;
using ovr::test::ScratchDir;
using ovr::test::write_text;

class IniWrite : public ::testing::Test {
protected:
    std::string file(const std::string& text) {
        std::string p = dir.file("w.ini");
        write_text(p, text);
        return p;
    }
    ScratchDir dir;
};

TEST_F(IniWrite, ReplacingAValueKeepsEveryOtherByte) {
    const std::string before =
        "; gateway settings\r\n[RIRER]\r\n  Modem1 = COM1:   \r\nWebPort=8800\r\n\r\n[Other]  ; note\r\n\tx = 1\r\n";
    auto p = file(before);
    ASSERT_TRUE(ini::write_string(p, "rirer", "MODEM1", "COM7:"));
    // The touched line is rewritten as key=value with the file's spelling of
    // the key; its line end and every other line stay as they were.
    EXPECT_EQ(read_text(p),
              "; gateway settings\r\n[RIRER]\r\nModem1=COM7:\r\nWebPort=8800\r\n\r\n[Other]  ; note\r\n\tx = 1\r\n");
}

TEST_F(IniWrite, NewKeysGoAfterTheSectionsLastEntryWithTheFilesLineEnd) {
    auto p = file("[A]\r\nk=1\r\n; about B\r\n\r\n[B]\r\nz=9");
    ASSERT_TRUE(ini::write_string(p, "a", "new", "v"));
    ASSERT_TRUE(ini::write_string(p, "B", "last", "w"));  // the file had no final line end
    EXPECT_EQ(read_text(p), "[A]\r\nk=1\r\nnew=v\r\n; about B\r\n\r\n[B]\r\nz=9\r\nlast=w\r\n");
    ASSERT_TRUE(ini::write_string(p, "Empty", "first", ""));
    ASSERT_TRUE(ini::write_string(p, "Empty", "second", "2"));
    EXPECT_EQ(read_text(p),
              "[A]\r\nk=1\r\nnew=v\r\n; about B\r\n\r\n[B]\r\nz=9\r\nlast=w\r\n[Empty]\r\nfirst=\r\nsecond=2\r\n");
    EXPECT_EQ(ini::read_value(p, "Empty", "first"), "");
}

TEST_F(IniWrite, AWriteToAMissingFileOrSectionCreatesIt) {
    std::string p = dir.file("new.ini");
    ASSERT_TRUE(ini::write_string(p, "RIRER", "Debug", "Yes"));
    EXPECT_EQ(read_text(p), "[RIRER]\nDebug=Yes\n");
    auto q = file("[Only]\n");
    ASSERT_TRUE(ini::write_string(q, "Only", "k", "v"));
    EXPECT_EQ(read_text(q), "[Only]\nk=v\n");
}

TEST_F(IniWrite, RemovingKeysAndSections) {
    const std::string before = "[A]\nk=1\nK=2\n[B]\n; c\nx=1\n\n[C]\ny=2\n";
    auto p = file(before);
    ASSERT_TRUE(ini::remove_key(p, "a", "K"));  // the first match only
    EXPECT_EQ(read_text(p), "[A]\nK=2\n[B]\n; c\nx=1\n\n[C]\ny=2\n");
    ASSERT_TRUE(ini::remove_key(p, "A", "absent"));
    ASSERT_TRUE(ini::remove_key(p, "Absent", "k"));
    ASSERT_TRUE(ini::remove_section(p, "b"));  // header to the next header
    EXPECT_EQ(read_text(p), "[A]\nK=2\n[C]\ny=2\n");
    ASSERT_TRUE(ini::write_profile(p, "C", std::nullopt, std::nullopt));
    EXPECT_EQ(read_text(p), "[A]\nK=2\n");
    ASSERT_TRUE(ini::write_profile(p, "A", std::string_view("K"), std::nullopt));
    EXPECT_EQ(read_text(p), "[A]\n");
    // Removing from a file that does not exist creates nothing.
    ASSERT_TRUE(ini::remove_key(dir.file("none.ini"), "A", "k"));
    EXPECT_FALSE(ovr::platform::fs::exists(dir.file("none.ini")));
}

TEST_F(IniWrite, NamesAndValuesThatWouldBreakTheFileAreRefused) {
    // The services' own write function would take each of these and write
    // an injected entry or header, or an entry no listing shows.
    const std::string before = "[S]\nk=1\n";
    auto p = file(before);
    EXPECT_FALSE(ini::write_string(p, "S", "k", "1\n[Evil]\nx=1"));
    EXPECT_FALSE(ini::write_string(p, "S", "k", "a\rb"));
    EXPECT_FALSE(ini::write_string(p, "S", "a=b", "v"));
    EXPECT_FALSE(ini::write_string(p, "S", "[x]", "v"));
    EXPECT_FALSE(ini::write_string(p, "S", ";c", "v"));
    EXPECT_FALSE(ini::write_string(p, "a]b", "k", "v"));
    EXPECT_FALSE(ini::write_string(p, "S", "k", std::string("a\0b", 3)));
    EXPECT_EQ(read_text(p), before);
}

TEST_F(IniWrite, UnwritableTargetsFailCleanly) {
    EXPECT_FALSE(ini::write_string(dir.path(), "S", "k", "v"));               // a directory
    EXPECT_FALSE(ini::write_string(dir.file("no/such/dir/x.ini"), "S", "k", "v"));
    if (geteuid() != 0) {
        auto p = file("[S]\nk=1\n");
        chmod(p.c_str(), 0);
        EXPECT_FALSE(ini::write_string(p, "S", "k", "2"));  // unreadable: never clobbered
        chmod(p.c_str(), 0644);
        EXPECT_EQ(read_text(p), "[S]\nk=1\n");
    }
    std::string big = dir.file("big.ini");
    write_text(big, std::string(ini::kMaxFileBytes + 1, 'x'));
    EXPECT_FALSE(ini::write_string(big, "S", "k", "v"));
}

TEST_F(IniWrite, ReplacementKeepsPermissionsAndLeavesNoTemporaryFiles) {
    auto p = file("[S]\nk=1\n");
    chmod(p.c_str(), 0640);
    ASSERT_TRUE(ini::write_string(p, "S", "k", "2"));
    struct stat st {};
    ASSERT_EQ(stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    for (const auto& e : ovr::platform::fs::list_directory(dir.path()))
        EXPECT_TRUE(e.name == "w.ini" || e.name == ".w.ini.lock") << e.name;
}

TEST_F(IniWrite, ConcurrentWritersInTwoProcessesLoseNoUpdate) {
    std::string p = dir.file("shared.ini");
    constexpr int kWrites = 1000;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    const char* who = child == 0 ? "child" : "parent";
    bool ok = true;
    for (int i = 1; i <= kWrites; ++i) ok = ini::write_string(p, "S", who, std::to_string(i)) && ok;
    if (child == 0) _exit(ok ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ini::read_string(p, "S", "parent"), std::to_string(kWrites));
    EXPECT_EQ(ini::read_string(p, "S", "child"), std::to_string(kWrites));
    EXPECT_EQ(ini::read_key_names(p, "S").size(), 2u);
}
