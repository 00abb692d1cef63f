#include "queue/test_result.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "config/text.h"

namespace ovr::queue {
namespace {

constexpr size_t kChunk = kLogLineBuffer - 1;

bool same_day(const platform::LocalTime& a, const platform::LocalTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

// Field n of a comma-separated line (the rest of the line after the n-th
// comma); false when the line has fewer commas.
bool field(std::string_view line, int n, std::string_view& out) {
    size_t at = 0;
    for (int i = 0; i < n; ++i) {
        size_t c = line.find(',', at);
        if (c == std::string_view::npos) return false;
        at = c + 1;
    }
    out = line.substr(at);
    return true;
}

std::string_view cut_at_comma(std::string_view s) { return s.substr(0, s.find(',')); }

bool begins_ignoring_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && config::equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}

uint64_t file_size(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<uint64_t>(st.st_size);
}

}  // namespace

size_t scan_log_line(std::string_view chunk, std::string& line, bool& ended) {
    const size_t n = std::min(chunk.size(), kChunk);
    line.clear();
    ended = false;
    size_t consumed = n;
    for (size_t i = 0; i < n; ++i) {
        char c = chunk[i];
        if (c == '\r') {
            if (i + 1 < n && chunk[i + 1] == '\r') {
                line += ' ';
                continue;
            }
            consumed = i + 1 < n && chunk[i + 1] == '\n' ? i + 2 : i + 1;
            ended = true;
            break;
        }
        if (c == '\n') {
            consumed = i + 1;
            ended = true;
            break;
        }
        line += c;
    }
    if (consumed >= kChunk) {
        size_t blank = chunk.substr(0, n).find_last_of(' ');
        if (blank != std::string_view::npos && blank > 0) {
            line.assign(chunk.substr(0, blank + 1));
            consumed = blank + 1;
        }
        ended = true;
    }
    size_t z = 0;
    while (z < line.size() && line[z] == '\x1A') ++z;
    line.erase(0, z);
    return consumed;
}

bool ReadLogLine(int fd, std::string& line) {
    char buf[kLogLineBuffer];
    ssize_t got = read(fd, buf, kChunk);
    if (got <= 0) {
        line.clear();
        return false;
    }
    bool ended = false;
    size_t consumed = scan_log_line(std::string_view(buf, static_cast<size_t>(got)), line, ended);
    lseek(fd, static_cast<off_t>(consumed) - static_cast<off_t>(got), SEEK_CUR);
    return true;
}

std::string daily_log_path(const std::string& program_data, TestKind kind, const platform::LocalTime& day) {
    char name[32];
    std::snprintf(name, sizeof name, kind == TestKind::Sms ? "SMSOUT-%04u%02u%02u.LOG" : "MMSC-%04u%02u%02u.LOG",
                  static_cast<unsigned>(day.year) % 10000u, static_cast<unsigned>(day.month) % 100u,
                  static_cast<unsigned>(day.day) % 100u);
    return program_data + name;
}

TestResult match_log_line(TestKind kind, std::string_view line, std::string_view tag) {
    TestResult r;
    std::string_view id, result;
    if (kind == TestKind::Sms) {
        if (!field(line, 1, id) || !field(line, 4, result) || !begins_ignoring_case(id, tag)) return r;
        result = cut_at_comma(result);
        r.found = true;
        r.ok = begins_ignoring_case(result, "OK");
        if (!r.ok) r.detail = std::string(result);
        return r;
    }
    if (!field(line, 5, result) || !field(line, 6, id)) return r;
    id = cut_at_comma(id);
    if (!begins_ignoring_case(id, tag)) return r;
    r.found = true;
    r.ok = begins_ignoring_case(result, "OK");
    // The error text runs from the result through the message id.
    if (!r.ok) r.detail = std::string(result.substr(0, static_cast<size_t>(id.data() + id.size() - result.data())));
    return r;
}

ResultSearch::ResultSearch(TestKind kind, std::string program_data, std::string tag, const platform::LocalTime& sent)
    : kind_(kind), dir_(std::move(program_data)), tag_(std::move(tag)), sent_day_(sent) {
    sent_log_.path = daily_log_path(dir_, kind_, sent);
    sent_log_.offset = file_size(sent_log_.path);
}

void ResultSearch::read_log(Log& log, TestResult& result) {
    int fd = open(log.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return;
    }
    // A log rewritten shorter than it was at send is read from its start.
    const uint64_t end = static_cast<uint64_t>(st.st_size);
    if (end < log.offset) log.offset = 0;
    char buf[kLogLineBuffer];
    std::string line;
    while (log.offset < end) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(kChunk, end - log.offset));
        ssize_t got = pread(fd, buf, want, static_cast<off_t>(log.offset));
        if (got <= 0) break;
        bool ended = false;
        size_t consumed = scan_log_line(std::string_view(buf, static_cast<size_t>(got)), line, ended);
        // A last line still being written is read again at the next look.
        if (!ended) break;
        log.offset += consumed;
        TestResult r = match_log_line(kind_, line, tag_);
        if (r.found) result = r;
    }
    close(fd);
}

TestResult ResultSearch::look(const platform::LocalTime& now_local, uint64_t now_ms) {
    if (!started_) {
        started_ = true;
        started_ms_ = now_ms;
    }
    TestResult result = last_;
    read_log(sent_log_, result);
    if (!same_day(now_local, sent_day_)) {
        std::string today = daily_log_path(dir_, kind_, now_local);
        if (today != today_log_.path) today_log_ = Log{today, 0};
        read_log(today_log_, result);
    }
    last_ = result;
    return result;
}

}  // namespace ovr::queue
