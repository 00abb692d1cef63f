// The mail readers against a loopback peer sending 1 GiB without a line end
// or a tag: each test's time to fail and the growth of the process's peak
// resident memory, next to a reader without a cap (which keeps everything).
// The peak is reset before each run (clear_refs), so each figure is its own.
#include <sys/socket.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "config/inet.h"
#include "mail_sim.h"
#include "nettest/mail_test.h"
#include "peak_memory.h"
#include "platform/network.h"

namespace {

namespace ms = ovr::mailsim;

constexpr uint64_t kGiB = 1ull << 30;

using ovr::bench::peak_kib;

void flood(benchmark::State& state, ms::Protocol p, uint64_t bytes, bool capped) {
    ovr::platform::start_network();
    ms::Options o;
    o.protocol = p;
    o.profile = ms::Profile::Flood;
    o.flood_bytes = bytes;
    ms::Server server(o);
    std::string error;
    if (!server.start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::string at = "127.0.0.1:" + std::to_string(server.port());
    long growth = 0;
    size_t kept = 0;
    for (auto _ : state) {
        long before = peak_kib(true);
        if (capped) {
            auto fn = p == ms::Protocol::Smtp ? &ovr::nettest::test_smtp
                      : p == ms::Protocol::Imap ? &ovr::nettest::test_imap : &ovr::nettest::test_pop3;
            if (fn(nullptr, at, false, "demo", "demo")) state.SkipWithError("a flood passed");
        } else {
            // The reader without a cap: everything the peer sends.
            int s = ovr::config::IPV6OpenSocket();
            ovr::config::IPV6ConnectToINetServer(s, "127.0.0.1", server.port());
            std::string all;
            char buf[65536];
            ssize_t n;
            while (all.size() < bytes && (n = recv(s, buf, sizeof buf, 0)) > 0) all.append(buf, static_cast<size_t>(n));
            ovr::config::closesocket(s);
            kept = all.size();
            benchmark::DoNotOptimize(all.data());
        }
        growth = peak_kib(false) - before;
    }
    state.counters["peak_rss_growth_KiB"] = static_cast<double>(growth);
    if (!capped) state.counters["kept_MiB"] = static_cast<double>(kept >> 20);
}

void BM_SmtpFlood1GiB(benchmark::State& s) { flood(s, ms::Protocol::Smtp, kGiB, true); }
void BM_ImapFlood1GiB(benchmark::State& s) { flood(s, ms::Protocol::Imap, kGiB, true); }
void BM_Pop3Flood1GiB(benchmark::State& s) { flood(s, ms::Protocol::Pop3, kGiB, true); }
// The uncapped reader keeps every byte: 256 MiB by default so the machine
// keeps its memory (OVR_BENCH_UNCAPPED_MIB=1024 for the whole gigabyte).
void BM_UncappedFlood(benchmark::State& s) {
    const char* mib = std::getenv("OVR_BENCH_UNCAPPED_MIB");
    flood(s, ms::Protocol::Smtp, (mib ? std::strtoull(mib, nullptr, 10) : 256ull) << 20, false);
}

BENCHMARK(BM_SmtpFlood1GiB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImapFlood1GiB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Pop3Flood1GiB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UncappedFlood)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
