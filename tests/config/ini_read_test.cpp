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

// The results below that name the services' reader were obtained by tracing
// Wine's kernel32 profile.c (PROFILE_Load, PROFILE_Find, PROFILE_GetSection,
// PROFILE_GetSectionNames, PROFILE_CopyEntry, GetPrivateProfileStringW) by hand
// on each file; Wine itself was not run.

TEST_F(IniRead, DefaultLosesTrailingSpacesButNotToNothingAndIsUnquotedBeforeTheCut) {
    auto p = file("[S]\n");
    // Reference: GetPrivateProfileStringW strips trailing ' ' while more than
    // one character is left, then PROFILE_CopyEntry strips a matching quote
    // pair as for a stored value.
    EXPECT_EQ(ini::read_string(p, "S", "k", "  dflt   "), "  dflt");
    EXPECT_EQ(ini::read_string(p, "S", "k", "   "), " ");
    EXPECT_EQ(ini::read_string(p, "S", "k", "d\t "), "d\t");  // only spaces go
    EXPECT_EQ(ini::read_string(p, "S", "k", "\"q\"  "), "q");
    EXPECT_EQ(ini::read_string(p, "S", "k", "'q'"), "q");
    EXPECT_EQ(ini::read_string(p, "S", "k", "\""), "\"");
    EXPECT_EQ(ini::read_string(p, "S", "k", "\"abcdef\"", 4), "abc");
    // With a buffer one larger than the unquoted text Wine drops a character
    // of it too ("abcde"); the cut here keeps size - 1 characters, as it does
    // for every other size.
    EXPECT_EQ(ini::read_string(p, "S", "k", "\"abcdef\"", 7), "abcdef");
    EXPECT_EQ(ini::read_string(dir.file("missing.ini"), "S", "k", "'d' "), "d");
}

TEST_F(IniRead, KeysBeforeTheFirstHeaderAreTheSectionNamedEmpty) {
    auto p = file("top=1\n; note\nbare\n[S]\nk=2\n[]\nlater=3\n");
    // Reference: PROFILE_Load always starts with a section named "" that
    // takes the lines before the first header; it is found first, so the
    // "[]" section's keys are never reached; the section-name listing leaves
    // out every section named "".
    EXPECT_EQ(ini::read_string(p, "", "top"), "1");
    EXPECT_EQ(ini::read_string(p, "  ", "top"), "1");
    EXPECT_EQ(ini::read_string(p, "S", "top", "none"), "none");
    EXPECT_EQ(ini::read_string(p, "", "later", "none"), "none");
    EXPECT_EQ(ini::read_section(p, ""), (Names{"top=1", "bare"}));
    EXPECT_EQ(ini::read_key_names(p, ""), (Names{"top"}));
    EXPECT_EQ(ini::read_section_names(p), (Names{"S"}));
    // Written there too: after the last entry before the first header.
    ASSERT_TRUE(ini::write_string(p, "", "added", "4"));
    ASSERT_TRUE(ini::write_string(p, "", "top", "5"));
    EXPECT_EQ(ovr::test::read_text(p), "top=5\n; note\nbare\nadded=4\n[S]\nk=2\n[]\nlater=3\n");
    auto q = file("; only a comment\n[S]\n");
    ASSERT_TRUE(ini::write_string(q, "", "k", "v"));
    EXPECT_EQ(ovr::test::read_text(q), "; only a comment\nk=v\n[S]\n");
    ASSERT_TRUE(ini::remove_section(q, ""));  // as the reference drops the whole section
    EXPECT_EQ(ovr::test::read_text(q), "[S]\n");
}

TEST_F(IniRead, AnEqualsLineIsTheEntryWithTheEmptyKey) {
    auto p = file("[S]\n=first\n=second\na=1\n  =  third\n");
    // Reference: the name before "=" is empty; PROFILE_Find trims the asked
    // key, so "" and "  " both match it; PROFILE_Load drops an empty-named
    // line that follows another one ("=second"); both listings show it.
    EXPECT_EQ(ini::read_string(p, "S", ""), "first");
    EXPECT_EQ(ini::read_string(p, "S", " \t "), "first");
    EXPECT_EQ(ini::read_section(p, "S"), (Names{"=first", "a=1", "=third"}));
    EXPECT_EQ(ini::read_key_names(p, "S"), (Names{"", "a", ""}));
    ASSERT_TRUE(ini::write_string(p, "S", "", "new"));
    EXPECT_EQ(ini::read_string(p, "S", ""), "new");
    EXPECT_EQ(ovr::test::read_text(p), "[S]\n=new\n=second\na=1\n  =  third\n");
}

TEST_F(IniRead, TheTwoListingsLeaveOutDifferentLines) {
    auto p = file("[S]\nbare\nempty=\n;c=1\n  ;indented\n#hash=2\n");
    // Reference: PROFILE_GetSection skips ";" names in both listings and,
    // for the key listing (the NULL-key form), names without "=" as well.
    EXPECT_EQ(ini::read_section(p, "S"), (Names{"bare", "empty=", "#hash=2"}));
    EXPECT_EQ(ini::read_key_names(p, "S"), (Names{"empty", "#hash"}));
    // A ";" line is still an entry: asked for by name, its value is read.
    EXPECT_EQ(ini::read_string(p, "S", ";c"), "1");
    EXPECT_EQ(ini::read_string(p, "S", ";indented", "def"), "def");
    EXPECT_EQ(ini::read_string(p, "S", "bare", "def"), "def");
    EXPECT_EQ(ini::read_string(p, "S", "empty", "def"), "");
}

TEST_F(IniRead, ListingCallsMatchTheSectionNameAsGiven) {
    auto p = file("[ Modem ]\nk=1\n");
    // Reference: the header's name is trimmed when loaded; PROFILE_Find (a
    // key read) trims the asked name, PROFILE_GetSection (both listings)
    // compares it untrimmed.
    EXPECT_EQ(ini::read_section_names(p), (Names{"Modem"}));
    EXPECT_EQ(ini::read_string(p, " Modem ", "k"), "1");
    EXPECT_EQ(ini::read_section(p, "modem"), (Names{"k=1"}));
    EXPECT_EQ(ini::read_section(p, " Modem "), Names{});
    EXPECT_EQ(ini::read_section(p, "Modem "), Names{});
    EXPECT_EQ(ini::read_key_names(p, " Modem"), Names{});
}

TEST_F(IniRead, HeaderLinesWithTextAfterOrWithoutTheClosingBracket) {
    auto p = file("[a]b\nx=1\n[c]d]\ny=2\n[open\nz=3\n[open=4\n");
    // Reference: PROFILE_Load takes the name up to the line's last "]" and
    // ignores what follows; a "[" line without "]" is an entry of the
    // section it is in, and the keys after it stay there.
    EXPECT_EQ(ini::read_section_names(p), (Names{"a", "c]d"}));
    EXPECT_EQ(ini::read_string(p, "a", "x"), "1");
    EXPECT_EQ(ini::read_section(p, "c]d"), (Names{"y=2", "[open", "z=3", "[open=4"}));
    // The first "[open" has no "=": a read of it gives the default.
    EXPECT_EQ(ini::read_string(p, "c]d", "[open", "def"), "def");
    EXPECT_EQ(ini::read_string(p, "open", "z", "none"), "none");
}

TEST_F(IniRead, CtrlZIsABlank) {
    auto p = file("\x1a[S]\x1a\n\x1a k \x1a= \x1av\x1a\n\x1a\n[T]\nx=1\x1a");
    // Reference: PROFILE_isspaceW counts 0x1A with the C blanks, at line
    // starts and ends, around "=", and in the names asked for.
    EXPECT_EQ(ini::read_section_names(p), (Names{"S", "T"}));
    EXPECT_EQ(ini::read_string(p, "S", "k"), "v");
    EXPECT_EQ(ini::read_string(p, "\x1aS", "k\x1a"), "v");
    EXPECT_EQ(ini::read_section(p, "S"), (Names{"k=v"}));
    EXPECT_EQ(ini::read_string(p, "T", "x"), "1");
}

TEST_F(IniRead, ValuesHoldingEqualsAndSemicolonsAreListedWhole) {
    auto p = file("[S]\na=b=c\nurl=http://x/?q=1;r=2\nn=1 ; not a comment\n;=hidden\n=;shown\n");
    // Reference: the first "=" splits; nothing after it is a comment; only a
    // name beginning with ";" hides an entry from the listings.
    EXPECT_EQ(ini::read_section(p, "S"),
              (Names{"a=b=c", "url=http://x/?q=1;r=2", "n=1 ; not a comment", "=;shown"}));
    EXPECT_EQ(ini::read_string(p, "S", "a"), "b=c");
    EXPECT_EQ(ini::read_string(p, "S", "n"), "1 ; not a comment");
    EXPECT_EQ(ini::read_string(p, "S", ";"), "hidden");
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
