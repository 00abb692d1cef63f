// Following a test message to its result: the services' daily logs
// ("SMSOUT-YYYYMMDD.LOG", "MMSC-YYYYMMDD.LOG" in the program data directory)
// and the log line reader they are read with. Shared by the Test Message
// page and `ovrinsmsctl queue send-test --wait`.
//
// The search starts where the day's log stood when the test was sent, so an
// earlier line of the same tag (the tag repeats every 65,536 ms) cannot
// decide; it reads each log only up to the size it had when the search
// began and holds back a last line that has no line end yet (a result being
// written), and it is repeated for a while after the file left the queue,
// since a service may delete the file before it logs the result. A test
// sent before midnight and finished after it is also looked for in the new
// day's log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace ovr::queue {

inline constexpr size_t kLogLineBuffer = 4096;

// Reads one line from the descriptor's current position, as the services'
// own reader does: up to 4095 bytes, the line ending at the first CR or LF
// (CR LF is one end; a CR directly followed by a CR becomes a blank and the
// line goes on); a chunk that fills without an end is cut after its last
// blank (the whole chunk without one); leading Ctrl-Z are dropped; the
// position is set just after what was consumed. False at the end of the
// file (or on an error) with an empty line.
bool ReadLogLine(int fd, std::string& line);

// The same on a chunk in memory (at most 4095 bytes are looked at): the
// bytes consumed, the line, and whether a line end was found.
size_t scan_log_line(std::string_view chunk, std::string& line, bool& ended);

enum class TestKind { Sms, Mms };

// The daily log of the day.
std::string daily_log_path(const std::string& program_data, TestKind kind, const platform::LocalTime& day);

struct TestResult {
    bool found = false;
    bool ok = false;
    std::string detail;  // the result text of an error
};

// The result a log line gives for the tag, if it is the tag's line: SMS
// lines carry the message id in field 1 and the result in field 4; MMS lines
// the result in field 5 and the message id in field 6 (fields counted from
// 0 between commas; ids compared over the tag's 8 characters, ignoring case).
TestResult match_log_line(TestKind kind, std::string_view line, std::string_view tag);

// Where the search for one test stands.
class ResultSearch {
public:
    static constexpr uint64_t kLookMs = 10000;

    ResultSearch() = default;
    // At send: the day and how long its log was then.
    ResultSearch(TestKind kind, std::string program_data, std::string tag, const platform::LocalTime& sent);

    // One look, `now_local` the local time and `now_ms` the tick count. The
    // first look starts the time the search lasts. The last line found for
    // the tag decides.
    TestResult look(const platform::LocalTime& now_local, uint64_t now_ms);
    // True while looks may still find a result.
    bool looking(uint64_t now_ms) const { return !started_ || now_ms - started_ms_ < kLookMs; }
    const std::string& tag() const { return tag_; }
    TestKind kind() const { return kind_; }

private:
    struct Log {
        std::string path;
        uint64_t offset = 0;  // bytes of whole lines read so far
    };
    void read_log(Log& log, TestResult& result);

    TestKind kind_ = TestKind::Sms;
    std::string dir_, tag_;
    platform::LocalTime sent_day_{};
    Log sent_log_, today_log_;
    bool started_ = false;
    uint64_t started_ms_ = 0;
    TestResult last_;
};

}  // namespace ovr::queue
