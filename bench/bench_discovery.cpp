// Discovery into the Select Modem list: one page tick with 1,000 cached
// devices (the merger, beside a scan of the list per record), and on the
// simulated platform the time from a device's registration to its row in the
// page's list, with the page ticking once a second as its timer does.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
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
    std::unique_ptr<pages::SelectModemPage> page;
    pages::NullPageSite site;

    PageBench() {
        char tmpl[] = "/tmp/ovrinsms-bench.XXXXXX";
        root = std::string(mkdtemp(tmpl)) + "/";
        plat = platform::make_sim_platform(root + "sim/", std::make_shared<platform::SystemClock>());
        ctx.dirs = {root, root + "private/", root};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        ctx.ui = &ui;
        ctx.platform = &plat;
        config::set_modem_browser(platform::make_sim_device_browser(plat.sim_root, plat.clock));
        page = std::make_unique<pages::SelectModemPage>(ctx);
        page->created(site);
    }
    ~PageBench() {
        page.reset();
        platform::fs::recursive_delete(root);
    }
    size_t listed(const std::string& prefix) {
        return static_cast<size_t>(std::count_if(page->items().begin(), page->items().end(),
                                                 [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }));
    }
    // Ticks once a second, as the page's timer, until `want` entries with
    // the prefix are listed; the seconds since `from`.
    double until_listed(const std::string& prefix, size_t want, std::chrono::steady_clock::time_point from,
                        std::chrono::steady_clock::time_point next_tick) {
        for (int ticks = 0; ticks < 30; ++ticks) {
            std::this_thread::sleep_until(next_tick);
            page->tick();
            if (listed(prefix) >= want) return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
            next_tick += std::chrono::seconds(1);
        }
        return -1;   // not listed within 30 ticks
    }
};

void BM_RegistrationToListed(benchmark::State& state) {
    PageBench b;
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
        if (s < 0) state.SkipWithError("not listed within 30 ticks");
        state.SetIterationTime(std::max(s, 0.0));
    }
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
        if (s < 0) state.SkipWithError("not all listed within 30 ticks");
        state.SetIterationTime(std::max(s, 0.0));
    }
}

// The page benchmarks first: the process's cache takes at most 1,024 names.
BENCHMARK(BM_RegistrationToListed)->UseManualTime()->Iterations(1)->Repetitions(20)->ReportAggregatesOnly(true)
    ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_200DevicesUntilAllListed)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TickWith1000Cached)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefillWith1000Cached)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LinearScanTickWith1000Cached)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
