// The Test Message page's result search when the day's SMS log held 100 MiB
// at send: one look once the result line is there, reading on from where the
// log stood at send; against the read of the whole log from its start with
// ReadLogLine, the last line of the tag deciding, that the search replaced.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/clock.h"
#include "platform/fs.h"
#include "queue/test_result.h"

namespace q = ovr::queue;

namespace {

constexpr uint64_t kLogBytes = 100u << 20;
const char* const kTag = "TEST1A2B";

struct DayLog {
    std::string dir, path;
    ovr::platform::LocalTime day;
    uint64_t size = 0;  // before the result line

    DayLog() {
        char tmpl[] = "/tmp/ovrbench-testlog.XXXXXX";
        dir = std::string(mkdtemp(tmpl)) + "/";
        ovr::platform::SystemClock clock;
        day = clock.local_now();
        path = q::daily_log_path(dir, q::TestKind::Sms, day);
        // A busy day's log: other messages' results, one line each.
        std::string block;
        for (int i = 0; block.size() < (1u << 20); ++i) {
            char line[96];
            std::snprintf(line, sizeof line, "%02d:%02d:%02d,M%07d,+1555%07d,COM7:,OK\r\n", i / 3600 % 24, i / 60 % 60,
                          i % 60, i, i);
            block += line;
        }
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        while (fd >= 0 && size < kLogBytes) {
            if (write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) std::abort();
            size += block.size();
        }
        if (fd < 0) std::abort();
        close(fd);
    }
    ~DayLog() { ovr::platform::fs::recursive_delete(dir); }

    // The service logs the test's result after the log held `size` bytes.
    void log_result() {
        int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        std::string line = std::string("23:59:58,") + kTag + ",+15551234,COM7:,OK\r\n";
        if (fd < 0 || write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) std::abort();
        close(fd);
    }
    void back_to_send() {
        if (truncate(path.c_str(), static_cast<off_t>(size)) != 0) std::abort();
    }
};

DayLog& day_log() {
    static DayLog log;
    return log;
}

void BM_WholeLogReadWithReadLogLine(benchmark::State& state) {
    DayLog& log = day_log();
    log.log_result();
    for (auto _ : state) {
        int fd = open(log.path.c_str(), O_RDONLY | O_CLOEXEC);
        std::string line;
        q::TestResult result;
        while (q::ReadLogLine(fd, line))
            if (q::TestResult r = q::match_log_line(q::TestKind::Sms, line, kTag); r.found) result = r;
        close(fd);
        if (!result.found || !result.ok) state.SkipWithError("no result");
    }
    log.back_to_send();
}
BENCHMARK(BM_WholeLogReadWithReadLogLine)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ResultSearchFromTheSizeAtSend(benchmark::State& state) {
    DayLog& log = day_log();
    for (auto _ : state) {
        state.PauseTiming();
        log.back_to_send();
        q::ResultSearch search(q::TestKind::Sms, log.dir, kTag, log.day);
        log.log_result();
        state.ResumeTiming();
        q::TestResult r = search.look(log.day, 1000);
        if (!r.found || !r.ok) state.SkipWithError("no result");
    }
}
BENCHMARK(BM_ResultSearchFromTheSizeAtSend)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
