// The operator database on Debian's whole serviceproviders.xml: the first
// lookup of a process (the file read and parsed) and the lookups after it
// (the index in memory). Then hostile files: a 1 GiB one, refused by the
// size bound before a byte is read, and files just under the bound built to
// hurt (deep nesting, one endless text, endless operators), each with the
// growth of the process's peak resident memory.
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "modem/operators.h"
#include "peak_memory.h"
#include "platform/fs.h"

namespace {

using ovr::modem::OperatorDatabase;

using ovr::bench::peak_kib;

bool installed(benchmark::State& state) {
    if (access(ovr::modem::kOperatorDatabasePath, R_OK) == 0) return true;
    state.SkipWithError("serviceproviders.xml is not installed (mobile-broadband-provider-info)");
    return false;
}

// Read, parse, look up: what the first Lookup of a process costs.
void BM_LookupCold(benchmark::State& state) {
    if (!installed(state)) return;
    for (auto _ : state) {
        auto text = ovr::platform::fs::read_file(ovr::modem::kOperatorDatabasePath);
        std::string error;
        auto db = OperatorDatabase::parse(text.value_or(""), error);
        if (!db) state.SkipWithError(error.c_str());
        else benchmark::DoNotOptimize(db->by_network("26201"));
    }
}
BENCHMARK(BM_LookupCold)->Unit(benchmark::kMillisecond);

void warm(benchmark::State& state, bool by_country) {
    if (!installed(state)) return;
    std::string error;
    auto db = ovr::modem::operator_database(ovr::modem::kOperatorDatabasePath, error);
    if (!db) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        // The process's copy, as each Lookup takes it, then the lookup.
        auto again = ovr::modem::operator_database(ovr::modem::kOperatorDatabasePath, error);
        benchmark::DoNotOptimize(by_country ? again->by_country("de", "o2") : again->by_network("26201"));
    }
}
void BM_LookupWarmByNetwork(benchmark::State& state) { warm(state, false); }
void BM_LookupWarmByCountry(benchmark::State& state) { warm(state, true); }
BENCHMARK(BM_LookupWarmByNetwork)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LookupWarmByCountry)->Unit(benchmark::kMicrosecond);

std::string scratch_file(const char* name) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/ovr-bench-operators-" + std::to_string(getpid()) + "-" + name;
}

// A hostile file at path: each run looks it up afresh (failures are not
// kept), and the peak memory's growth over the run is reported.
void hostile(benchmark::State& state, const std::string& path) {
    long growth = 0;
    std::string error;
    for (auto _ : state) {
        long before = peak_kib(true);
        if (ovr::modem::operator_database(path, error)) state.SkipWithError("a hostile file was accepted");
        growth = std::max(growth, peak_kib(false) - before);
    }
    state.counters["peak_growth_KiB"] = static_cast<double>(growth);
    state.SetLabel(error.substr(error.find(path) + path.size()));
    unlink(path.c_str());
}

void BM_Hostile1GiB(benchmark::State& state) {
    // Sparse: no disk is used, the size alone is what the reader sees.
    std::string path = scratch_file("1gib.xml");
    int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    if (fd < 0 || ftruncate(fd, 1ll << 30) != 0) state.SkipWithError("no scratch file");
    if (fd >= 0) close(fd);
    hostile(state, path);
}
BENCHMARK(BM_Hostile1GiB)->Unit(benchmark::kMicrosecond);

// Just under the size bound, built from a repeated piece.
void just_under(benchmark::State& state, const char* name, const std::string& head, const std::string& piece) {
    std::string path = scratch_file(name);
    std::string text = head;
    while (text.size() + piece.size() < ovr::modem::kOperatorDatabaseMaxBytes) text += piece;
    std::ofstream(path, std::ios::binary) << text;
    text = std::string();
    hostile(state, path);
}

void BM_HostileNesting(benchmark::State& state) { just_under(state, "nesting.xml", "<serviceproviders>", "<a>"); }
void BM_HostileText(benchmark::State& state) { just_under(state, "text.xml", "<serviceproviders>", "x"); }
void BM_HostileOperators(benchmark::State& state) {
    just_under(state, "operators.xml", "<serviceproviders><country code='de'>",
               "<provider><name>x</name><gsm><network-id mcc='262' mnc='01'/></gsm></provider>");
}
BENCHMARK(BM_HostileNesting)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostileText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostileOperators)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
