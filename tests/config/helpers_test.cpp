// Value conventions and the small text helpers every page relies on.
#include <gtest/gtest.h>

#include "config/ini.h"
#include "config/settings.h"
#include "config/text.h"
#include "support/scratch.h"

using namespace ovr::config;
using ovr::test::read_text;
using ovr::test::ScratchDir;
using ovr::test::write_text;

TEST(YesValue, FirstCharacterOrWholeTrue) {
    for (const char* yes : {"yes", "Y", "y", "1", "true", "TRUE", "tRuE", "10", "Yesterday"}) EXPECT_TRUE(is_yes_value(yes)) << yes;
    for (const char* no : {"No", "0", "", "false", "T", "true ", " yes", "on"}) EXPECT_FALSE(is_yes_value(no)) << no;
}

TEST(Settings, EmptyRemovesBooleansAndNumbersAreWrittenPlainly) {
    ScratchDir d;
    std::string p = d.file("RIRER.INI");
    write_text(p, "[RIRER]\nWebPort=8800\nSMPPPort=2775\n");
    ASSERT_TRUE(write_setting(p, "RIRER", "SMPPPort", ""));
    EXPECT_FALSE(ini::read_value(p, "RIRER", "SMPPPort"));
    ASSERT_TRUE(write_yes_no(p, "RIRER", "Debug", true));
    ASSERT_TRUE(write_yes_no(p, "RIRER", "WebAuth", false));
    ASSERT_TRUE(write_number(p, "RIRER", "WebPort", 4294967295u));
    EXPECT_EQ(read_text(p), "[RIRER]\nWebPort=4294967295\nDebug=Yes\nWebAuth=No\n");
    EXPECT_TRUE(read_yes(p, "RIRER", "Debug"));
    EXPECT_FALSE(read_yes(p, "RIRER", "WebAuth", "Yes"));
    EXPECT_TRUE(read_yes(p, "RIRER", "Missing", "Yes"));
    write_text(p, "[RIRER]\nA=80abc\nB=abc\nC=\n");
    EXPECT_EQ(read_number(p, "RIRER", "A"), 80u);
    EXPECT_EQ(read_number(p, "RIRER", "B", 7), 0u);
    EXPECT_EQ(read_number(p, "RIRER", "C", 7), 0u);
    EXPECT_EQ(read_number(p, "RIRER", "D", 7), 7u);
}

TEST(LeadingDecimal, DigitsOnlyAndNoWrapAround) {
    EXPECT_EQ(leading_decimal("25abc"), 25u);
    EXPECT_EQ(leading_decimal(""), 0u);
    EXPECT_EQ(leading_decimal("-1"), 0u);
    EXPECT_EQ(leading_decimal(" 1"), 0u);
    EXPECT_EQ(leading_decimal("99999999999999999999"), 4294967295u);
}

TEST(BoundedAppend, NeverPastTheCapacity) {
    std::string b = "abc";
    bounded_append(b, "defgh", 6);  // room for 2 more and the terminator
    EXPECT_EQ(b, "abcde");
    bounded_append(b, "x", 6);
    EXPECT_EQ(b, "abcde");
    std::string full(10, 'z');
    bounded_append(full, "x", 10);
    EXPECT_EQ(full, std::string(10, 'z'));
    bounded_append(full, "x", 4);
    EXPECT_EQ(full, std::string(10, 'z'));
}

TEST(HostPort, NamesAddressesAndBrackets) {
    struct Case {
        const char* text;
        const char* host;
        uint32_t port;
    } cases[] = {
        {"mail.example.com:25", "mail.example.com", 25},
        {"[2001:db8::1]:143", "[2001:db8::1]", 143},
        {"[2001:db8::1]", "[2001:db8::1]", 999},
        {"[::1]junk:77", "[::1]", 999},
        {"mail.example.com", "mail.example.com", 999},
        {"host:", "host", 0},
        {"host:abc", "host", 0},
        {"host:80x", "host", 80},
        {"2001:db8::1", "2001", 0},  // unbracketed: the first ":" splits
        {"[unclosed:5", "[unclosed:5", 999},
        {"", "", 999},
    };
    for (const auto& c : cases) {
        std::string host = "old";
        uint32_t port = 999;
        split_host_port(c.text, host, port);
        EXPECT_EQ(host, c.host) << c.text;
        EXPECT_EQ(port, c.port) << c.text;
    }
    std::string host;
    uint32_t port = 1;
    split_host_port("abcdefgh:5", host, port, 4);
    EXPECT_EQ(host, "abc");
    EXPECT_EQ(port, 5u);
}

TEST(FindIgnoringCase, BothForms) {
    EXPECT_EQ(find_ignoring_case("c:/x -quiet", "-QUIET"), 5u);
    EXPECT_EQ(find_end_ignoring_case("c:/x -quiet", "-QUIET"), 11u);
    EXPECT_FALSE(find_ignoring_case("abc", ""));
    EXPECT_FALSE(find_ignoring_case("", "a"));
    EXPECT_FALSE(find_ignoring_case("ab", "abc"));
    EXPECT_EQ(find_ignoring_case("+OK ready", "+ok"), 0u);
}
