// Discovery into the Select Modem list: one page tick with 1,000 cached
// devices (the merger, beside a scan of the list per record), and on the
// simulated platform the time from a device's registration to its row in the
// page's list, the page ticking once a second as its timer does and at once
// when discovery wakes it, as its window does (and, for comparison, on its
// timer alone).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "config/directories.h"
#include "config/modem_cache.h"
#include "modem/discovery.h"
#include "modem/network_device.h"
#include "pages/select_modem.h"
#include "platform/device_browser.h"
#include "platform/fs.h"
#include "platform/platform.h"

extern char** environ;

namespace {

using namespace ovr;

// Fills the cache up to n names (it keeps what earlier benchmarks added).
void fill_cache(size_t n) {
    for (size_t i = 0; i < n; ++i) config::cache_modem("Bench Phone " + std::to_string(i), "127.0.0.1:9");
}

std::vector<std::string> local_modems() {
    std::vector<std::string> v;
    for (int i = 0; i < 10; ++i) v.push_back("Local Modem " + std::to_string(i));
    return v;
}

// A tick once everything is listed: the merger resumes after the last record.
void BM_TickWith1000Cached(benchmark::State& state) {
    fill_cache(1000);
    std::vector<std::string> list = local_modems();
    modem::NetworkEntryMerger merger;
    merger.reset(list);
    merger.merge(list);
    for (auto _ : state) benchmark::DoNotOptimize(merger.merge(list));
    state.counters["listed"] = static_cast<double>(list.size());
}

// The refill after the window comes back: a new list merged from the start.
void BM_RefillWith1000Cached(benchmark::State& state) {
    fill_cache(1000);
    for (auto _ : state) {
        std::vector<std::string> list = local_modems();
        modem::NetworkEntryMerger merger;
        merger.reset(list);
        benchmark::DoNotOptimize(merger.merge(list));
    }
}

// The same tick as a walk of the whole cache with a scan of the list each.
void BM_LinearScanTickWith1000Cached(benchmark::State& state) {
    fill_cache(1000);
    std::vector<std::string> list = local_modems();
    modem::NetworkEntryMerger merger;
    merger.reset(list);
    merger.merge(list);
    for (auto _ : state) {
        size_t added = 0;
        for (auto* r = config::OvrinsmsModemCacheHead(); r; r = r->link()) {
            std::string entry = std::string(modem::kNetworkModemPrefix) + r->name;
            if (std::find(list.begin(), list.end(), entry) == list.end()) {
                list.push_back(entry);
                ++added;
            }
        }
        benchmark::DoNotOptimize(added);
    }
}

// A wizard page over a scratch simulated platform, its discovery thread
// reading the registry.
struct PageBench {
    std::string root;
    platform::Platform plat;
    pages::Context ctx;
    ScriptedUi ui;
    std::mutex mu;
    std::condition_variable cv;
    bool woken = false;
    std::unique_ptr<pages::SelectModemPage> page;
    pages::NullPageSite site;

    // Discovery through `browser`, or the simulated registry.
    explicit PageBench(bool wake = true, std::shared_ptr<platform::DeviceBrowser> browser = nullptr) {
        char tmpl[] = "/tmp/ovrinsms-bench.XXXXXX";
        root = std::string(mkdtemp(tmpl)) + "/";
        plat = platform::make_sim_platform(root + "sim/", std::make_shared<platform::SystemClock>());
        ctx.dirs = {root, root + "private/", root};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        ctx.ui = &ui;
        ctx.platform = &plat;
        if (!browser) browser = platform::make_sim_device_browser(plat.sim_root, plat.clock);
        config::set_modem_browser(std::move(browser));
        page = std::make_unique<pages::SelectModemPage>(ctx);
        page->created(site);
        if (wake)
            page->set_discovery_wake([this] {
                {
                    std::lock_guard lock(mu);
                    woken = true;
                }
                cv.notify_one();
            });
    }
    ~PageBench() {
        page.reset();
        platform::fs::recursive_delete(root);
    }
    size_t listed(const std::string& prefix) {
        return static_cast<size_t>(std::count_if(page->items().begin(), page->items().end(),
                                                 [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }));
    }
    // Ticks once a second, as the page's timer, and whenever discovery
    // wakes the page, until `want` entries with the prefix are listed; the
    // seconds since `from`.
    double until_listed(const std::string& prefix, size_t want, std::chrono::steady_clock::time_point from,
                        std::chrono::steady_clock::time_point next_tick) {
        for (auto give_up = from + std::chrono::seconds(30); std::chrono::steady_clock::now() < give_up;) {
            {
                std::unique_lock lock(mu);
                cv.wait_until(lock, next_tick, [this] { return woken; });
                woken = false;
            }
            if (std::chrono::steady_clock::now() >= next_tick) next_tick += std::chrono::seconds(1);
            page->tick();
            if (listed(prefix) >= want) return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
        }
        return -1;   // not listed within 30 s
    }
};

void BM_RegistrationToListed(benchmark::State& state) {
    PageBench b(state.range(0) != 0);
    static std::mt19937 rng(7);   // repetitions run this function afresh
    static int n = 0;
    auto next_tick = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (auto _ : state) {
        // Registered at a random moment between two ticks.
        std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 1000));
        while (next_tick < std::chrono::steady_clock::now()) next_tick += std::chrono::seconds(1);
        std::string name = "Latency Phone " + std::to_string(getpid()) + "-" + std::to_string(n++);
        auto from = std::chrono::steady_clock::now();
        platform::register_sim_device(b.plat.sim_root, name, "127.0.0.1:9");
        double s = b.until_listed(std::string(modem::kNetworkModemPrefix) + name, 1, from, next_tick);
        if (s < 0) state.SkipWithError("not listed within 30 s");
        state.SetIterationTime(std::max(s, 0.0));
    }
}

// Reads the child's output until a line starting with `prefix`, for at
// most 10 s; false when it never came.
bool wait_for_line(int fd, const std::string& prefix) {
    std::string seen;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[512];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) return false;
        seen.append(buf, static_cast<size_t>(n));
        for (size_t at = 0; (at = seen.find(prefix, at)) != std::string::npos; ++at)
            if (at == 0 || seen[at - 1] == '\n') return true;
    }
    return false;
}

// Where avahi-daemon runs: from the daemon announcing a simulator started
// with --publish (it logs "published" then; the daemon's probing before it
// takes some 750 ms, as mDNS wants, and is counted apart) to its row, so
// the browse and the resolve are in the figure.
void BM_PublicationToListed(benchmark::State& state) {
    auto avahi = platform::make_avahi_device_browser(std::make_shared<platform::SystemClock>());
    std::atomic<bool> go{true};
    std::string why;
    if (!avahi || avahi->browse(0, go, [](const platform::FoundDevice&) {}, why) == platform::BrowseResult::Unavailable) {
        state.SkipWithError(("no avahi-daemon on the system bus: " + why).c_str());
        for (auto _ : state) {}
        return;
    }
    PageBench b(true, std::move(avahi));
    std::string sim = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "ovrinsms-devicesim";
    static int n = 0;
    double probing = 0;
    auto next_tick = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (auto _ : state) {
        std::string name = "Published Bench Phone " + std::to_string(getpid()) + "-" + std::to_string(n++);
        while (next_tick < std::chrono::steady_clock::now()) next_tick += std::chrono::seconds(1);
        std::vector<const char*> argv = {sim.c_str(), "--publish", "--listen", "0.0.0.0:0", "--name", name.c_str(), nullptr};
        int out[2];
        if (pipe(out) != 0) {
            state.SkipWithError("no pipe");
            break;
        }
        pid_t pid = -1;
        posix_spawn_file_actions_t io;
        posix_spawn_file_actions_init(&io);
        posix_spawn_file_actions_addopen(&io, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&io, out[1], 2);
        posix_spawn_file_actions_addclose(&io, out[0]);
        auto spawned = std::chrono::steady_clock::now();
        if (posix_spawn(&pid, sim.c_str(), &io, nullptr, const_cast<char**>(argv.data()), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&io);
        close(out[1]);
        bool announced = pid > 0 && wait_for_line(out[0], "published ");
        auto from = std::chrono::steady_clock::now();
        probing += std::chrono::duration<double>(from - spawned).count();
        double s = announced ? b.until_listed(std::string(modem::kNetworkModemPrefix) + name, 1, from, next_tick) : -1;
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        close(out[0]);
        if (!announced) state.SkipWithError("the simulator was not published within 10 s");
        else if (s < 0) state.SkipWithError("not listed within 30 s");
        state.SetIterationTime(std::max(s, 0.0));
    }
    state.counters["start_to_announced_ms"] = probing * 1000 / static_cast<double>(std::max<int64_t>(1, state.iterations()));
}

void BM_200DevicesUntilAllListed(benchmark::State& state) {
    for (auto _ : state) {
        PageBench b;
        std::string prefix = std::string(modem::kNetworkModemPrefix) + "Crowd " + std::to_string(getpid()) + "-";
        auto from = std::chrono::steady_clock::now();
        for (int i = 0; i < 200; ++i)
            platform::register_sim_device(b.plat.sim_root, prefix.substr(modem::kNetworkModemPrefix.size()) +
                                          std::to_string(i), "127.0.0.1:" + std::to_string(10000 + i));
        double s = b.until_listed(prefix, 200, from, from + std::chrono::seconds(1));
        if (s < 0) state.SkipWithError("not all listed within 30 s");
        state.SetIterationTime(std::max(s, 0.0));
    }
}

// The page benchmarks first: the process's cache takes at most 1,024 names.
// Argument 1: woken by discovery, as in the console; 0: the timer alone.
BENCHMARK(BM_RegistrationToListed)->ArgName("woken")->Arg(1)->Arg(0)->UseManualTime()->Iterations(1)->Repetitions(20)->ReportAggregatesOnly(true)
    ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PublicationToListed)->UseManualTime()->Iterations(1)->Repetitions(20)->ReportAggregatesOnly(true)
    ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_200DevicesUntilAllListed)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TickWith1000Cached)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefillWith1000Cached)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LinearScanTickWith1000Cached)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
