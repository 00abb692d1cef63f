// Reads with the profile-string semantics, including the corners where the
// behaviour is a choice (each choice is written down as a test here).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "config/ini.h"
#include "support/scratch.h"

namespace ini = ovr::config::ini;
using ovr::test::ScratchDir;
using ovr::test::write_text;
using Names = std::vector<std::string>;

class IniRead : public ::testing::Test {
protected:
    std::string file(const std::string& text) {
        std::string p = dir.file("t" + std::to_string(n++) + ".ini");
        write_text(p, text);
        return p;
    }
    ScratchDir dir;
    int n = 0;
};

TEST_F(IniRead, NamesMatchIgnoringCaseAndBlanksAroundNamesAndValuesAreDropped) {
    auto p = file("  [ RIRER ]  \n  Modem1  =  COM7:  \n\tWebPort\t=\t8800\t\n");
    EXPECT_EQ(ini::read_string(p, "rirer", "MODEM1"), "COM7:");
    EXPECT_EQ(ini::read_string(p, " Rirer ", " webport "), "8800");
}

TEST_F(IniRead, FirstMatchingSectionAndKeyWin) {
    auto p = file("[A]\nk=1\nK=2\n[a]\nk=3\nonly=4\n");
    EXPECT_EQ(ini::read_string(p, "A", "k"), "1");
    // The second [a] is never consulted, even for keys the first lacks.
    EXPECT_EQ(ini::read_string(p, "A", "only", "def"), "def");
    EXPECT_EQ(ini::read_key_names(p, "a"), (Names{"k", "K"}));
    EXPECT_EQ(ini::read_section_names(p), (Names{"A", "a"}));
}

TEST_F(IniRead, MatchingQuotesAreStrippedOnlyAsAPair) {
    auto p = file("[S]\nd=\"quoted\"\ns='single'\nm=\"mixed'\none=\"\nempty=\"\"\ninner=a\"b\"\n");
    EXPECT_EQ(ini::read_string(p, "S", "d"), "quoted");
    EXPECT_EQ(ini::read_string(p, "S", "s"), "single");
    EXPECT_EQ(ini::read_string(p, "S", "m"), "\"mixed'");
    EXPECT_EQ(ini::read_string(p, "S", "one"), "\"");
    EXPECT_EQ(ini::read_string(p, "S", "empty", "def"), "");
    EXPECT_EQ(ini::read_string(p, "S", "inner"), "a\"b\"");
    // The section read gives values as stored, quotes and all.
    EXPECT_EQ(ini::read_section(p, "S")[0], "d=\"quoted\"");
}

TEST_F(IniRead, BufferSizeCutsValuesAndDefaults) {
    auto p = file("[S]\nk=abcdef\n");
    EXPECT_EQ(ini::read_string(p, "S", "k", "", 4), "abc");
    EXPECT_EQ(ini::read_string(p, "S", "k", "", 7), "abcdef");
    EXPECT_EQ(ini::read_string(p, "S", "k", "", 1), "");
    EXPECT_EQ(ini::read_string(p, "S", "k", "", 0), "");
    EXPECT_EQ(ini::read_string(p, "S", "missing", "xyz", 3), "xy");
}

TEST_F(IniRead, DefaultLosesTrailingBlanksButNotLeadingOnesAndIsNotUnquoted) {
    auto p = file("[S]\n");
    EXPECT_EQ(ini::read_string(p, "S", "k", "  dflt   "), "  dflt");
    EXPECT_EQ(ini::read_string(p, "S", "k", "   "), "");
    EXPECT_EQ(ini::read_string(p, "S", "k", "\"q\""), "\"q\"");
    EXPECT_EQ(ini::read_string(dir.file("missing.ini"), "S", "k", "d "), "d");
}

TEST_F(IniRead, KeyWithoutEqualsIsListedButReadsAsDefault) {
    auto p = file("[S]\nbare\nempty=\n");
    EXPECT_EQ(ini::read_string(p, "S", "bare", "def"), "def");
    EXPECT_EQ(ini::read_string(p, "S", "empty", "def"), "");
    EXPECT_FALSE(ini::read_value(p, "S", "bare"));
    EXPECT_EQ(ini::read_value(p, "S", "empty"), "");
    EXPECT_EQ(ini::read_section(p, "S"), (Names{"bare", "empty="}));
    EXPECT_EQ(ini::read_key_names(p, "S"), (Names{"bare", "empty"}));
}

TEST_F(IniRead, CommentsAndLinesBeforeTheFirstSectionAreNotEntries) {
    auto p = file("orphan=1\n; top\n[S]\n;k=2\n k=3\n  ; indented comment\n#hash=4\n");
    EXPECT_EQ(ini::read_string(p, "S", "k"), "3");
    EXPECT_EQ(ini::read_string(p, "S", "orphan", "none"), "none");
    // "#" starts no comment: the key is "#hash".
    EXPECT_EQ(ini::read_key_names(p, "S"), (Names{"k", "#hash"}));
}

TEST_F(IniRead, SectionHeaderCornerCases) {
    auto p = file("[a]b]\nx=1\n[open\ny=2\n[]\nz=3\n[sec] trailing\nw=4\n");
    EXPECT_EQ(ini::read_string(p, "a]b", "x"), "1");   // the last "]" closes the name
    EXPECT_EQ(ini::read_string(p, "open", "y"), "2");  // no "]": the rest of the line
    EXPECT_EQ(ini::read_string(p, "", "z"), "3");
    EXPECT_EQ(ini::read_string(p, "sec", "w"), "4");
}

TEST_F(IniRead, EveryLineEndingIsALineEnd) {
    auto p = file("[S]\r\na=1\rb=2\nc=3\r\n\r\nd=4");
    EXPECT_EQ(ini::read_section(p, "S"), (Names{"a=1", "b=2", "c=3", "d=4"}));
}

TEST_F(IniRead, ListsAreCutAsABufferWouldCutThem) {
    auto p = file("[one]\n[two]\n[three]\n");
    // "one\0two\0three\0\0" is 15 characters; a smaller buffer keeps its
    // first size - 2 characters and ends them with two NULs.
    EXPECT_EQ(ini::read_section_names(p, 15), (Names{"one", "two", "three"}));
    EXPECT_EQ(ini::read_section_names(p, 14), (Names{"one", "two", "thre"}));
    EXPECT_EQ(ini::read_section_names(p, 10), (Names{"one", "two"}));
    EXPECT_EQ(ini::read_section_names(p, 7), (Names{"one", "t"}));
    EXPECT_EQ(ini::read_section_names(p, 6), (Names{"one"}));
    EXPECT_EQ(ini::read_section_names(p, 2), Names{});
    auto q = file("[S]\nalpha=1\nbeta=22\n");
    EXPECT_EQ(ini::read_section(q, "S", 13), (Names{"alpha=1", "bet"}));
    EXPECT_EQ(ini::read_key_names(q, "S", 9), (Names{"alpha", "b"}));
}

TEST_F(IniRead, BadFilesGiveDefaultsAndNeverCrash) {
    std::string nul("[S]\nk=ab\0cd\nj=2\n", 16);
    auto p = file(nul);
    EXPECT_EQ(ini::read_string(p, "S", "k"), "ab");  // a NUL ends the line's text
    EXPECT_EQ(ini::read_string(p, "S", "j"), "2");

    std::string huge = "[S]\nlong=" + std::string(100 * 1024, 'x') + "\nafter=ok";  // no final newline
    auto h = file(huge);
    EXPECT_EQ(ini::read_string(h, "S", "long", "", 32768).size(), 32767u);
    EXPECT_EQ(ini::read_string(h, "S", "after"), "ok");

    EXPECT_EQ(ini::read_string(dir.path(), "S", "k", "def"), "def");  // a directory
    EXPECT_TRUE(ini::read_section_names(dir.path()).empty());

    auto u = file("[S]\nk=secret\n");
    chmod(u.c_str(), 0);
    if (geteuid() != 0) {
        EXPECT_EQ(ini::read_string(u, "S", "k", "def"), "def");
    }
    chmod(u.c_str(), 0644);
}

TEST_F(IniRead, AChangeOnDiskIsSeenAtTheNextRead) {
    auto p = file("[S]\nk=1\n");
    EXPECT_EQ(ini::read_string(p, "S", "k"), "1");
    write_text(p, "[S]\nk=2\n");  // same size, rewritten in place
    EXPECT_EQ(ini::read_string(p, "S", "k"), "2");
    ASSERT_TRUE(ini::write_string(p, "S", "k", "3"));
    EXPECT_EQ(ini::read_string(p, "S", "k"), "3");
    ovr::test::write_text(dir.file("other"), "[S]\nk=4\n");
    ASSERT_EQ(::rename(dir.file("other").c_str(), p.c_str()), 0);
    EXPECT_EQ(ini::read_string(p, "S", "k"), "4");
    ::unlink(p.c_str());
    EXPECT_EQ(ini::read_string(p, "S", "k", "gone"), "gone");
}
