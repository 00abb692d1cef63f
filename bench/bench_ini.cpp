// INI reads as the Status page does them (Modem1..Modem201 every second from a
// 1 MiB RIRER.INI) and keyword-table reads, each with the parsed-file cache
// and with the baseline that re-reads and re-parses the file on every call;
// and single-key writes.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/ini.h"
#include "platform/fs.h"

namespace ini = ovr::config::ini;

namespace {

struct Files {
    std::string dir, rirer, keywords, small;

    Files() {
        char tmpl[] = "/tmp/ovrbench.XXXXXX";
        dir = std::string(mkdtemp(tmpl)) + "/";
        rirer = dir + "RIRER.INI";
        keywords = dir + "KEYWORDS.INI";
        small = dir + "SMALL.INI";

        std::string r = "[RIRER]\r\n";
        for (int i = 1; i <= 201; ++i) r += "Modem" + std::to_string(i) + "=TAPI Modem number " + std::to_string(i) + "\r\n";
        r += "WebPort=8800\r\nSMPPPort=2775\r\nDebug=Yes\r\n";
        for (int s = 0; r.size() < (1u << 20); ++s) {
            r += "\r\n[2Way-Keyword-K" + std::to_string(s) + "]\r\n";
            for (int k = 0; k < 8; ++k) r += "Action" + std::to_string(k) + "=" + std::string(40, 'a' + k) + "\r\n";
        }
        ovr::platform::fs::write_file_atomic(rirer, r);

        std::string k = "[2Way-Keywords]\r\n";
        for (int i = 1; i <= 5000; ++i) k += "Keyword" + std::to_string(i) + "=WORD" + std::to_string(i) + "\r\n";
        ovr::platform::fs::write_file_atomic(keywords, k);

        std::string s = "[RIRER]\r\n";
        for (int i = 0; s.size() < 100 * 1024; ++i) s += "Key" + std::to_string(i) + "=" + std::string(30, 'v') + "\r\n";
        ovr::platform::fs::write_file_atomic(small, s);
        // A file changed in the last two seconds is compared byte for byte on
        // every read; the Status page reads settled files.
        usleep(2100 * 1000);
    }
};

Files& files() {
    static Files f;
    return f;
}

void ReadModems(benchmark::State& state, bool cached) {
    ini::set_cache_enabled(cached);
    const std::string& path = files().rirer;
    std::string keys[201];
    for (int i = 0; i < 201; ++i) keys[i] = "Modem" + std::to_string(i + 1);
    for (auto _ : state) {
        for (const auto& k : keys) benchmark::DoNotOptimize(ini::read_string(path, "RIRER", k, "", 261));
    }
    state.SetLabel("201 reads per iteration");
    state.counters["per_read_ns"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 201, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    ini::set_cache_enabled(true);
}

void ReadKeywords(benchmark::State& state, bool cached) {
    ini::set_cache_enabled(cached);
    const std::string& path = files().keywords;
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ini::read_string(path, "2Way-Keywords", "Keyword" + std::to_string(i % 5000 + 1), "", 500));
        ++i;
    }
    state.counters["per_read_ns"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    ini::set_cache_enabled(true);
}

void BM_Modem1To201_Cached(benchmark::State& s) { ReadModems(s, true); }
void BM_Modem1To201_ReparseBaseline(benchmark::State& s) { ReadModems(s, false); }
void BM_Keyword_Cached(benchmark::State& s) { ReadKeywords(s, true); }
void BM_Keyword_ReparseBaseline(benchmark::State& s) { ReadKeywords(s, false); }

void BM_1000Writes_100KiB(benchmark::State& state) {
    const std::string& path = files().small;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) ini::write_string(path, "RIRER", "Key" + std::to_string(i % 50), std::to_string(i));
    }
    state.SetLabel("1000 single-key writes per iteration");
}

}  // namespace

BENCHMARK(BM_Modem1To201_Cached)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Modem1To201_ReparseBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Keyword_Cached)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_Keyword_ReparseBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_1000Writes_100KiB)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
