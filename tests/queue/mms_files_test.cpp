#include <gtest/gtest.h>

#include "queue/mms_files.h"
#include "support/scratch.h"

using namespace ovr::queue;
using ovr::test::write_text;

TEST(MmsHeader, FromToSubject) {
    MmsHeader h = ParseMmsHeaderText(
        "Received: x\r\nFROM:   +4411/type=PLMN\r\n\r\nTo: +4422/TYPE=PLMN\r\nSubject:  Hello there \r\n"
        "From: +4433/TYPE=PLMN\r\n");
    EXPECT_EQ(h.from, "+4433");   // a later line replaces, the empty line does not end the header
    EXPECT_EQ(h.to, "+4422");
    EXPECT_EQ(h.subject, "Hello there ");
    h = ParseMmsHeaderText("From: " + std::string(200, 'a') + "\nSubject: " + std::string(600, 'b'));
    EXPECT_EQ(h.from.size(), 149u);
    EXPECT_EQ(h.subject.size(), 499u);
}

TEST(MmsHeader, OnlyTheFirst8191BytesAreRead) {
    ovr::test::ScratchDir d;
    write_text(d.file("a.HDR"), "From: early\n" + std::string(8191, ' ') + "\nFrom: late\n");
    auto h = ReadMmsHeader(d.file("a.HDR"));
    ASSERT_TRUE(h);
    EXPECT_EQ(h->from, "early");
    EXPECT_FALSE(ReadMmsHeader(d.file("missing.HDR")));
}

TEST(MmsHeader, ContentLocations) {
    auto parts = ParseContentLocations(
        "X-OvrinMMS-Content-Location:  msg1/a.txt;text/plain;name=a\r\n"
        "x-ovrinmms-content-location: msg1/b.jpg\r\n");
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].path, "msg1/a.txt");
    EXPECT_EQ(parts[0].content_type, "text/plain");
    EXPECT_EQ(parts[1].path, "msg1/b.jpg");
    EXPECT_EQ(parts[1].content_type, "");
}

TEST(RoutingCompanion, ValuesAndRecipients) {
    ovr::test::ScratchDir d;
    std::string text = "[Routing]\r\nSenderAddress=+100\r\nRetryCount=3\r\nLastErrorInfo=Timeout\r\n[Recipients]\r\n";
    for (int i = 1; i <= 7; ++i) text += "Recip" + std::to_string(i) + "=+" + std::to_string(i) + "/TYPE=PLMN\r\n";
    write_text(d.file("a.INI"), text);
    RoutingCompanion c = ReadRoutingCompanion(d.file("a.INI"));
    EXPECT_EQ(c.sender, "+100");
    EXPECT_EQ(c.retry_count, 3);
    EXPECT_EQ(c.last_error, "Timeout");
    EXPECT_EQ(c.recipients, (std::vector<std::string>{"+1", "+2", "+3", "+4", "+5", "+6", "+7"}));

    // The section is read into 500 bytes: entries beyond are not seen.
    text = "[Recipients]\r\n";
    for (int i = 0; i < 40; ++i) text += "R" + std::to_string(i) + "=+44123456789012/TYPE=PLMN\r\n";
    write_text(d.file("b.INI"), text);
    c = ReadRoutingCompanion(d.file("b.INI"));
    EXPECT_LT(c.recipients.size(), 40u);
    EXPECT_GT(c.recipients.size(), 10u);
    EXPECT_EQ(c.retry_count, 0);

    EXPECT_EQ(parse_recipients({"a=1/type=x", "b", "c=3"}), std::vector<std::string>{"1"});
}
