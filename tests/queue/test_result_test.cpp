#include "queue/test_result.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/scratch.h"

using namespace ovr;
using queue::TestKind;
using test::write_text;

namespace {

std::vector<std::string> lines_of(const std::string& text) {
    test::ScratchDir d;
    write_text(d.file("log"), text);
    int fd = open(d.file("log").c_str(), O_RDONLY);
    std::vector<std::string> out;
    std::string line;
    while (queue::ReadLogLine(fd, line)) out.push_back(line);
    EXPECT_EQ(line, "");
    close(fd);
    return out;
}

void append(const std::string& path, const std::string& text) {
    write_text(path, test::read_text(path) + text);
}

}  // namespace

TEST(ReadLogLine, LineEndsAsTheServicesReadThem) {
    EXPECT_EQ(lines_of("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    // The blank takes the first CR; the second still ends the line.
    EXPECT_EQ(lines_of("a\r\rb\r\n"), (std::vector<std::string>{"a ", "b"}));
    EXPECT_EQ(lines_of("a\r\r\r\nb"), (std::vector<std::string>{"a  ", "b"}));
    EXPECT_EQ(lines_of("\n\nx"), (std::vector<std::string>{"", "", "x"}));
    EXPECT_EQ(lines_of("\x1a\x1axy\x1a\n"), (std::vector<std::string>{"xy\x1a"}));
    EXPECT_TRUE(lines_of("").empty());
}

TEST(ReadLogLine, AFullChunkIsCutAfterItsLastBlank) {
    std::string words = std::string(3000, 'a') + " " + std::string(2000, 'b') + "\n";
    auto v = lines_of(words);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0], std::string(3000, 'a') + " ");
    EXPECT_EQ(v[1], std::string(2000, 'b'));
    auto solid = lines_of(std::string(5000, 'c'));
    ASSERT_EQ(solid.size(), 2u);
    EXPECT_EQ(solid[0].size(), 4095u);
    EXPECT_EQ(solid[1].size(), 905u);
    // A blank only at the very start does not count.
    auto lead = lines_of(" " + std::string(4200, 'd'));
    EXPECT_EQ(lead[0].size(), 4095u);
}

TEST(LogLines, TheTagsFieldAndTheResultField) {
    using queue::match_log_line;
    auto sms = match_log_line(TestKind::Sms, "10:00:01,test00ab,+1555,COM7:,ok,extra", "TEST00AB");
    EXPECT_TRUE(sms.found);
    EXPECT_TRUE(sms.ok);
    auto err = match_log_line(TestKind::Sms, "10:00:01,TEST00AB,+1555,COM7:,No network,x", "TEST00AB");
    EXPECT_FALSE(err.ok);
    EXPECT_EQ(err.detail, "No network");
    EXPECT_FALSE(match_log_line(TestKind::Sms, "10:00:01,TEST00AB,+1555,COM7:", "TEST00AB").found);
    EXPECT_FALSE(match_log_line(TestKind::Sms, "10:00:01,TEST00AC,+1555,COM7:,OK", "TEST00AB").found);
    auto mms = match_log_line(TestKind::Mms, "t,MMSOUT,VASP,s,r,Refused by MMSC,TEST1234,z", "TEST1234");
    EXPECT_TRUE(mms.found);
    EXPECT_EQ(mms.detail, "Refused by MMSC,TEST1234");
    EXPECT_TRUE(match_log_line(TestKind::Mms, "t,MMSOUT,VASP,s,r,OK,test1234", "TEST1234").ok);
    EXPECT_FALSE(match_log_line(TestKind::Mms, "t,MMSOUT,VASP,s,r,OK", "TEST1234").found);
}

TEST(ResultSearch, StartsWhereTheLogStoodAtSendAndHoldsBackAHalfLine) {
    test::ScratchDir d;
    platform::LocalTime day{2026, 12, 7, 10, 0, 0};
    std::string log = queue::daily_log_path(d.path(), TestKind::Sms, day);
    EXPECT_EQ(log, d.path() + "SMSOUT-20261207.LOG");
    // The same tag 65,536 ms earlier, already logged.
    write_text(log, "09:58,TEST0001,+1,COM7:,OK\r\n");
    queue::ResultSearch s(TestKind::Sms, d.path(), "TEST0001", day);
    EXPECT_FALSE(s.look(day, 0).found);
    append(log, "10:00,TEST0001,+1,COM7:,O");  // still being written
    EXPECT_FALSE(s.look(day, 1000).found);
    append(log, "ther trouble\r\n");
    auto r = s.look(day, 2000);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.detail, "Other trouble");
    // A later line of the tag decides.
    append(log, "10:01,TEST0001,+1,COM7:,OK\r\n");
    EXPECT_TRUE(s.look(day, 3000).ok);
    EXPECT_TRUE(s.looking(9999));
    EXPECT_FALSE(s.looking(10000));
}

TEST(ResultSearch, AfterMidnightTheNewDaysLogToo) {
    test::ScratchDir d;
    platform::LocalTime sent{2026, 12, 31, 23, 59, 59};
    platform::LocalTime after{2027, 1, 1, 0, 0, 1};
    queue::ResultSearch s(TestKind::Mms, d.path(), "TESTBEEF", sent);
    EXPECT_FALSE(s.look(after, 0).found);  // neither log yet
    write_text(d.path() + "MMSC-20270101.LOG", "t,MMSOUT,VASP,s,r,OK,TESTBEEF\r\n");
    EXPECT_TRUE(s.look(after, 1000).ok);
    // A log that shrank since the send is read from its start.
    test::ScratchDir e;
    write_text(e.path() + "SMSOUT-20261231.LOG", std::string(500, 'x') + "\n");
    queue::ResultSearch t(TestKind::Sms, e.path(), "TEST0002", sent);
    write_text(e.path() + "SMSOUT-20261231.LOG", "1,TEST0002,+1,M,OK\n");
    EXPECT_TRUE(t.look(sent, 0).ok);
}
