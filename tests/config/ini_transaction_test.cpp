// Transactions: several writes land as one replacement with the bytes the
// single writes would leave, or not at all.
#include <gtest/gtest.h>

#include "config/ini.h"
#include "support/scratch.h"

namespace ini = ovr::config::ini;
using ovr::test::read_text;
using ovr::test::ScratchDir;
using ovr::test::write_text;

namespace {

std::vector<ini::ProfileWrite> sample_writes() {
    return {{"A", "k", "2"}, {"A", "gone", std::nullopt}, {"B", std::nullopt, std::nullopt}, {"C", "new", "x"},
            {"A", "k", "3"}};
}

}  // namespace

TEST(IniTransaction, LeavesTheBytesOfTheSingleWritesInOneReplacement) {
    ScratchDir dir;
    const std::string before = "; top\r\n[A]\r\nk=1\r\ngone=yes\r\n[B]\r\nb=1\r\n[D]\r\nd=1\r\n";
    std::string one = dir.file("one.ini"), many = dir.file("many.ini");
    write_text(one, before);
    write_text(many, before);
    ASSERT_TRUE(ini::write_profiles(one, sample_writes()));
    for (const auto& w : sample_writes()) ASSERT_TRUE(ini::write_profile(many, w.section, w.key, w.value));
    EXPECT_EQ(read_text(one), read_text(many));
    EXPECT_EQ(read_text(one), "; top\r\n[A]\r\nk=3\r\n[D]\r\nd=1\r\n[C]\r\nnew=x\r\n");
}

TEST(IniTransaction, OneRefusedWriteWritesNothing) {
    ScratchDir dir;
    std::string p = dir.file("r.ini");
    write_text(p, "[A]\nk=1\n");
    EXPECT_FALSE(ini::write_profiles(p, {{"A", "k", "2"}, {"A", "bad", "line\nbreak"}}));
    EXPECT_FALSE(ini::transact(p, [](const ini::Snapshot&) {
        return std::vector<ini::ProfileWrite>{{"A", "k", "2"}, {"Bad]", "x", "1"}};
    }));
    EXPECT_EQ(read_text(p), "[A]\nk=1\n");
}

TEST(IniTransaction, PlanSeesTheFileUnderTheLockAndNoWritesLeaveItAlone) {
    ScratchDir dir;
    std::string p = dir.file("t.ini");
    write_text(p, "[T]\nn=1\n");
    // Two increments computed from what the plan reads: neither is lost.
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(ini::transact(p, [](const ini::Snapshot& s) {
            int n = std::stoi(s.read_string("t", "N", "0"));
            return std::vector<ini::ProfileWrite>{{"T", "n", std::to_string(n + 1)}};
        }));
    EXPECT_EQ(read_text(p), "[T]\nn=3\n");
    EXPECT_TRUE(ini::transact(p, [](const ini::Snapshot&) { return std::vector<ini::ProfileWrite>{}; }));
    EXPECT_EQ(read_text(p), "[T]\nn=3\n");
    // Removals on a missing file create nothing.
    std::string missing = dir.file("missing.ini");
    EXPECT_TRUE(ini::write_profiles(missing, {{"A", "k", std::nullopt}, {"B", std::nullopt, std::nullopt}}));
    EXPECT_FALSE(ovr::test::read_text(missing).size());
}

TEST(IniTransaction, SnapshotReadsAsReadStringDoes) {
    auto s = ini::snapshot_of("[ A ]\nk = \"quoted\"  \n[B]\n");
    EXPECT_EQ(s.read_string("a", "K"), "quoted");
    EXPECT_EQ(s.read_string("a", "K", "", 4), "quo");
    EXPECT_EQ(s.read_string("a", "none", "def  "), "def");
    EXPECT_FALSE(s.read_value("B", "k"));
    EXPECT_EQ(s.section_names(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(ini::snapshot("/nonexistent/x.ini").read_string("A", "k", "d"), "d");
}

TEST(IniTransaction, RunsOfOneSectionLeaveWhatSingleWritesLeaveOnOddFiles) {
    // Texts with the corners of the writer: mixed line ends, comments at a
    // section's end, a last line without its end, duplicate sections, none.
    const std::string texts[] = {
        "[A]\r\nk1=1\r\n;note\r\n\r\n[B]\nb=2\n",
        "top=1\n[A]\nk2=2\n[A]\nk1=dup\n",
        "[A]",
        "[A]\nk1=1\nk3=3",
        "; only a comment\r\n",
        "",
        "[B]\nb=1",
        "[a]\n  K1 = spaced \n;k2=commented\nk2=real\n[Z]\n",
    };
    ScratchDir dir;
    unsigned seed = 7;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    for (const std::string& before : texts) {
        for (int round = 0; round < 60; ++round) {
            std::vector<ini::ProfileWrite> writes;
            size_t n = 1 + next() % 8;
            for (size_t i = 0; i < n; ++i) {
                // New sections too, one of them named with a leading "[".
                static const char* const kSections[] = {"A", "a", "A", "a", "B", "C", "c", "[x"};
                std::string section = kSections[next() % 8];
                std::string key = "k" + std::to_string(1 + next() % 4);
                if (next() % 3 == 0)
                    writes.push_back({section, key, std::nullopt});
                else
                    writes.push_back({section, key, "v" + std::to_string(next() % 100)});
            }
            std::string one = dir.file("one.ini"), many = dir.file("many.ini");
            write_text(one, before);
            write_text(many, before);
            ASSERT_TRUE(ini::write_profiles(one, writes));
            for (const auto& w : writes) ini::write_profile(many, w.section, w.key, w.value);
            ASSERT_EQ(read_text(one), read_text(many)) << "from: " << before;
        }
    }
}
