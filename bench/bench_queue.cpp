// Queue listing and counting at full queues, each beside its floor:
// - listing and sorting 5,000 outbound SMS request files, against merely
//   reading those 5,000 files whole (open, read, close);
// - counting 100,000 request files, against the separate process
//   `find DIR -maxdepth 2 -iname '*.REQ'` whose output lines are counted here.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "queue/queue_dirs.h"
#include "queue/queue_list.h"

extern char** environ;

namespace q = ovr::queue;
namespace fs = ovr::platform::fs;

namespace {

void write_file(const std::string& path, const std::string& text) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
    close(fd);
}

q::QueueSetup setup_in(const std::string& data_dir) {
    ovr::config::Directories d{data_dir, data_dir, data_dir};
    return q::make_queue_setup(d, ovr::config::ini_paths_for(d));
}

struct Queues {
    std::string root;
    q::QueueSetup list5k, count100k;
    std::vector<std::string> list_paths;

    Queues() {
        char tmpl[] = "/tmp/ovrbench-queue.XXXXXX";
        root = std::string(mkdtemp(tmpl)) + "/";
        // 5,000 request files as a busy gateway holds them: most waiting, some
        // retrying, a fifth in per-modem subdirectories.
        std::string a = root + "list/";
        mkdir(a.c_str(), 0755);
        list5k = setup_in(a);
        std::string queue = q::ResolveOutboundSmsQueue(list5k);
        for (int s = 0; s < 4; ++s) mkdir((queue + "COM" + std::to_string(s + 1) + "-").c_str(), 0755);
        for (int i = 0; i < 5000; ++i) {
            std::string dir = i % 5 == 4 ? queue + "COM" + std::to_string(i % 4 + 1) + "-/" : queue;
            std::string path = dir + "M" + std::to_string(100000 + i) + ".REQ";
            std::string text = "[SMS]\r\nPhoneNumber=+4477009" + std::to_string(10000 + (i * 7919) % 90000) +
                               "\r\nData=Your appointment is confirmed for tomorrow at 10:30. Reply STOP to opt out."
                               "\r\nSubmitUser=user" + std::to_string(i % 37) + "\r\nSubmittedBy=HTTP\r\n";
            if (i % 10 == 0)
                text += "[ErrorDetail]\r\nRetryCount=2\r\nLastRetryTime=20260101120000\r\nLastErrorInfo=No carrier\r\n";
            write_file(path, text);
            list_paths.push_back(path);
        }
        // 100,000 request files: half in the queue itself, half over ten
        // subdirectories, with a few other files beside them.
        std::string b = root + "count/";
        mkdir(b.c_str(), 0755);
        count100k = setup_in(b);
        queue = q::ResolveOutboundSmsQueue(count100k);
        for (int s = 0; s < 10; ++s) mkdir((queue + "sub" + std::to_string(s)).c_str(), 0755);
        for (int i = 0; i < 100000; ++i) {
            std::string dir = i % 2 ? queue + "sub" + std::to_string(i % 10) + "/" : queue;
            write_file(dir + "R" + std::to_string(i) + (i % 3 ? ".REQ" : ".req"), "[SMS]\r\nPhoneNumber=1\r\n");
        }
        for (int i = 0; i < 100; ++i) write_file(queue + "note" + std::to_string(i) + ".txt", "x");
    }
    ~Queues() { fs::recursive_delete(root); }
};

Queues& queues() {
    static Queues qs;
    return qs;
}

void BM_ListAndSortOutboundSms5000(benchmark::State& state) {
    Queues& qs = queues();
    const char* locale = state.range(0) ? "C.UTF-8" : "C";
    std::setlocale(LC_ALL, locale);
    for (auto _ : state) {
        q::QueueList list = q::ListOutboundSms(qs.list5k);
        q::sort_list(list, q::comparator_for(q::ListKind::OutboundSms, q::initial_sort_state(q::ListKind::OutboundSms)));
        if (list.loaded() != 5000) state.SkipWithError("not all rows loaded");
        benchmark::DoNotOptimize(list.entries.data());
    }
    std::setlocale(LC_ALL, "C");
    state.SetLabel(locale);
}
BENCHMARK(BM_ListAndSortOutboundSms5000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ReadFilesWholeFloor5000(benchmark::State& state) {
    Queues& qs = queues();
    char buf[8192];
    for (auto _ : state) {
        size_t bytes = 0;
        for (const std::string& p : qs.list_paths) {
            int fd = open(p.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            ssize_t r;
            while ((r = read(fd, buf, sizeof buf)) > 0) bytes += static_cast<size_t>(r);
            close(fd);
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_ReadFilesWholeFloor5000)->Unit(benchmark::kMillisecond);

void BM_CountOutboundSms100k(benchmark::State& state) {
    Queues& qs = queues();
    for (auto _ : state) {
        unsigned n = q::CountOutboundSms(qs.count100k);
        if (n != 100000) state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_CountOutboundSms100k)->Unit(benchmark::kMillisecond);

// find started from an argv (no shell), its lines counted as `wc -l` would.
size_t find_count(const std::string& dir) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return 0;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], STDOUT_FILENO);
    const char* argv[] = {"find", dir.c_str(), "-maxdepth", "2", "-iname", "*.REQ", nullptr};
    pid_t pid;
    int rc = posix_spawn(&pid, "/usr/bin/find", &fa, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(fds[1]);
    size_t lines = 0;
    if (rc == 0) {
        char buf[65536];
        ssize_t r;
        while ((r = read(fds[0], buf, sizeof buf)) > 0) {
            for (ssize_t i = 0; i < r; ++i) lines += buf[i] == '\n';
        }
        int st;
        waitpid(pid, &st, 0);
    }
    close(fds[0]);
    return lines;
}

void BM_Find100kBaseline(benchmark::State& state) {
    Queues& qs = queues();
    const std::string dir = q::ResolveOutboundSmsQueue(qs.count100k);
    for (auto _ : state) {
        size_t n = find_count(dir);
        if (n != 100000) state.SkipWithError("find counted differently");
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_Find100kBaseline)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
