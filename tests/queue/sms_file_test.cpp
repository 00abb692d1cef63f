#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <random>

#include "queue/sms_file.h"
#include "queue/support_calls.h"
#include "support/scratch.h"

using namespace ovr::queue;

namespace {
std::unique_ptr<SmsFileRecord> parse(const std::string& text) {
    auto rec = std::make_unique<SmsFileRecord>();
    ParseSmsText(text, *rec);
    return rec;
}
}  // namespace

TEST(ParseSmsFile, LineWalkAndSectionRules) {
    auto r = parse("  \r\n[SMS]\r\n\r\n   phonenumber=+4412345\r\nPhoneNumber =123\r\nSender=me  \r\n");
    EXPECT_STREQ(r->PhoneNumber, "+4412345");   // indented, lower case key
    EXPECT_STREQ(r->Sender, "me  ");            // trailing blanks belong to the value

    r = parse("PhoneNumber=1\r\n[SMS]\r\nSender=2\r\n[Routing]\r\nPhoneNumber=3\r\n");
    EXPECT_STREQ(r->PhoneNumber, "");   // before the section, and after it ended
    EXPECT_STREQ(r->Sender, "2");

    EXPECT_STREQ(parse("[sms-in]\nPhoneNumber=5\n")->PhoneNumber, "5");
    EXPECT_STREQ(parse("[SMSX]\nPhoneNumber=5\n")->PhoneNumber, "");
    EXPECT_STREQ(parse("[SMS] trailing\rPhoneNumber=6\rSender=7")->Sender, "7");   // CR-only lines
    // A NUL ends the walk wherever it stands.
    EXPECT_STREQ(parse(std::string("[SMS]\nPhoneNumber=8\n\0Sender=9\n", 30))->Sender, "");
    // A later line replaces an earlier one.
    EXPECT_STREQ(parse("[SMS]\nPhoneNumber=1\nPhoneNumber=2\n")->PhoneNumber, "2");
}

TEST(ParseSmsFile, RetrySectionIsFoundIndependently) {
    auto r = parse(
        "[ErrorDetail]\r\nRetryCount= -3x\r\nLastRetryTime=20160519123045Z\r\nFirstAttemptTime=201605191230\r\n"
        "LastErrorInfo=No carrier\r\n[SMS]\r\nPhoneNumber=1\r\nRetryCount=9\r\n");
    EXPECT_EQ(r->RetryCount, -3);
    EXPECT_STREQ(r->LastErrorInfo, "No carrier");
    EXPECT_EQ(r->LastRetryTime.year, 2016);
    EXPECT_EQ(r->LastRetryTime.month, 5);
    EXPECT_EQ(r->LastRetryTime.day, 19);
    EXPECT_EQ(r->LastRetryTime.hour, 12);
    EXPECT_EQ(r->LastRetryTime.minute, 30);
    EXPECT_EQ(r->LastRetryTime.second, 45);
    EXPECT_EQ(r->FirstAttemptTime.year, 2000);   // twelve digits are not a time stamp
    EXPECT_EQ(r->FirstAttemptTime.month, 1);
    EXPECT_EQ(r->FirstAttemptTime.day, 1);
    EXPECT_EQ(r->FirstAttemptTime.hour, 0);
    EXPECT_STREQ(r->PhoneNumber, "1");
    EXPECT_EQ(parse_decimal("99999999999999999999"), INT32_MAX);
}

TEST(ParseSmsFile, ValueConversions) {
    auto r = parse("[SMS]\ndcs=08\npid=1FF\nbinary=Yes\nReceiptDelivered=Yes\nReplyRequested=true\n"
                   "ReceiptFailed=No\nData=a\\r\\nb\\x\\\\n\n");
    EXPECT_EQ(r->dcs, 8);
    EXPECT_EQ(r->pid, 0xFF);
    EXPECT_EQ(r->binary, 1u);
    EXPECT_EQ(r->receipt_flags, 0x0Du);   // delivered 0x0C, reply 0x01, a "No" sets nothing
    EXPECT_STREQ(r->Data, "a\r\nb\\x\\\n");
    EXPECT_EQ(parse("[SMS]\ndcs=0x08\n")->dcs, 0);
    // Bits are never cleared by a later "No".
    EXPECT_EQ(parse("[SMS]\nReceiptIntransit=1\nReceiptIntransit=No\n")->receipt_flags, 0x14u);
}

TEST(ParseSmsFile, ValuesAreCutToTheirRoom) {
    std::string longer(9000, 'x');
    auto r = parse("[SMS]\nPhoneNumber=" + longer + "\nData=" + longer + "\nValidity=" + longer + "\n");
    EXPECT_EQ(strlen(r->PhoneNumber), 149u);
    EXPECT_EQ(strlen(r->Data), 8191u);
    EXPECT_EQ(strlen(r->Validity), 49u);
}

TEST(ParseSmsFile, ReadsFilesSmallLargeAndTooLarge) {
    ovr::test::ScratchDir d;
    // 10000 bytes: read whole, the section at its end still found.
    std::string big = std::string(9900, ';') + "\n[SMS]\nPhoneNumber=42\n";
    ovr::test::write_text(d.file("big.req"), big);
    int fd = open(d.file("big.req").c_str(), O_RDONLY);
    lseek(fd, 0, SEEK_END);   // read from the start whatever the position
    auto rec = std::make_unique<SmsFileRecord>();
    ParseSmsFile(fd, *rec);
    close(fd);
    EXPECT_STREQ(rec->PhoneNumber, "42");

    // 100 MiB (sparse): left unparsed rather than read.
    fd = open(d.file("huge.req").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_EQ(write(fd, "[SMS]\nPhoneNumber=1\n", 20), 20);
    ASSERT_EQ(ftruncate(fd, 100 << 20), 0);
    ParseSmsFile(fd, *rec);
    close(fd);
    EXPECT_STREQ(rec->PhoneNumber, "");

    ParseSmsFile(-1, *rec);   // an unusable handle leaves the record empty
    EXPECT_STREQ(rec->PhoneNumber, "");
}

TEST(DecodeUcs2Hex, GroupsAndEnds) {
    char buf[64];
    auto dec = [&](const char* in) {
        strcpy(buf, in);
        DecodeUcs2Hex(buf, buf);
        return std::string(buf);
    };
    EXPECT_EQ(dec("00480069"), "Hi");
    EXPECT_EQ(dec("0048006"), std::string("H\x06"));
    EXPECT_EQ(dec("00E920AC"), "\xC3\xA9\xE2\x82\xAC");   // two and three bytes
    EXPECT_EQ(dec("D83DDE00"), "\xED\xA0\xBD\xED\xB8\x80");   // surrogates each by itself
    EXPECT_EQ(dec("00480000FFFF"), "H");                     // a unit of 0 ends
    EXPECT_EQ(dec("0048 0069"), "H");                        // a non-hex group start ends
    EXPECT_EQ(dec("zz"), "");
}

TEST(DisplayText, ChosenByBinaryAndDcsClass) {
    EXPECT_EQ(classify_dcs(0x00), DcsClass::Gsm7);
    EXPECT_EQ(classify_dcs(0xF1), DcsClass::Gsm7);
    EXPECT_EQ(classify_dcs(0xD0), DcsClass::Gsm7);
    EXPECT_EQ(classify_dcs(0x08), DcsClass::Ucs2);
    EXPECT_EQ(classify_dcs(0x0C), DcsClass::Ucs2);   // alphabet code 11 counts as UCS-2
    EXPECT_EQ(classify_dcs(0xE0), DcsClass::Ucs2);
    EXPECT_EQ(classify_dcs(0x04), DcsClass::Other);
    EXPECT_EQ(classify_dcs(0x40), DcsClass::Other);
    EXPECT_EQ(classify_dcs(0xF4), DcsClass::Other);

    EXPECT_EQ(display_text(*parse("[SMS]\nbinary=Yes\ndcs=08\nData=00480069\n")), "Hi");
    EXPECT_EQ(display_text(*parse("[SMS]\nbinary=Yes\ndcs=04\nData=00480069\n")), "00480069");
    EXPECT_EQ(display_text(*parse("[SMS]\nbinary=No\ndcs=08\nData=00480069\n")), "00480069");

    EXPECT_EQ(display_text(*parse("[SMS]\nbinary=Yes\ndcs=F0\nData=486921\n")), "Hi!");

    // GSM 7-bit goes to the support library with the record's udh.
    static std::string seen_udh;
    SupportCalls calls;
    calls.gsm7_to_utf8 = [](const char* udh, const char* text, char* out) {
        seen_udh = udh;
        std::string t = std::string("<") + text + ">";
        strcpy(out, t.substr(0, strlen(text)).c_str());
    };
    SupportCalls saved = support_calls();
    set_support_calls(calls);
    EXPECT_EQ(display_text(*parse("[SMS]\nbinary=1\ndcs=00\nudh=050003\nData=abc\n")), "<ab");
    EXPECT_EQ(seen_udh, "050003");
    set_support_calls(saved);
}

TEST(ParseSmsFile, HostileFilesEmptyHugeAndRandomStayBounded) {
    ovr::test::ScratchDir dir;
    auto parse_file = [&](const std::string& path) {
        auto rec = std::make_unique<SmsFileRecord>();
        int fd = open(path.c_str(), O_RDONLY);
        EXPECT_GE(fd, 0);
        ParseSmsFile(fd, *rec);
        close(fd);
        return rec;
    };
    ovr::test::write_text(dir.file("empty.REQ"), "");
    EXPECT_STREQ(parse_file(dir.file("empty.REQ"))->PhoneNumber, "");

    // 50 MB: beyond the parser's 16 MiB it is left unparsed, not read.
    std::string big = dir.file("big.REQ");
    ovr::test::write_text(big, "[SMS]\nPhoneNumber=+1\n");
    ASSERT_EQ(truncate(big.c_str(), 50ll << 20), 0);
    EXPECT_STREQ(parse_file(big)->PhoneNumber, "");

    // Random bytes on both sides of the fixed 8192-byte buffer, with the
    // structure's own characters often enough to reach the fields.
    std::mt19937 rng(7);
    const char alphabet[] = "[SMS]\r\n=PhoneNumberData \t\x1a";
    for (int i = 0; i < 300; ++i) {
        std::string text(rng() % 20000, '\0');
        for (char& c : text) c = rng() % 3 ? alphabet[rng() % (sizeof alphabet - 1)] : static_cast<char>(rng());
        if (i % 2) text.insert(0, "[SMS]\r\n");
        std::string path = dir.file("r.REQ");
        ovr::test::write_text(path, text);
        auto rec = parse_file(path);
        for (auto [field, room] : {std::pair<const char*, size_t>{rec->PhoneNumber, sizeof rec->PhoneNumber},
                                   {rec->Data, sizeof rec->Data}, {rec->Sender, sizeof rec->Sender},
                                   {rec->LastErrorInfo, sizeof rec->LastErrorInfo}})
            ASSERT_LT(strnlen(field, room), room) << i;
    }
}
