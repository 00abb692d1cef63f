// The "GET /init" reader against simulated devices on loopback: a good
// device beside ones offering a 1 GiB body or 1 GiB of header line. The
// counters give the bytes kept and the reply buffer's size (the reader's only
// growing allocation).
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "config/inet.h"
#include "device_server.h"
#include "modem/network_device.h"

namespace {

void read_from(benchmark::State& state, const char* profile) {
    ovr::devicesim::DeviceSpec spec;
    spec.profile = profile;
    ovr::devicesim::DeviceServer server(spec);
    std::string error;
    if (!server.start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    ovr::platform::SystemClock clock;
    size_t kept = 0, buffer_size = 0;
    for (auto _ : state) {
        int s = ovr::config::IPV6OpenSocket();
        if (ovr::config::IPV6ConnectToINetServer(s, "ovrinsmsmodem_" + server.address(), 0) != 0) {
            ovr::config::closesocket(s);
            state.SkipWithError("connect failed");
            return;
        }
        send(s, ovr::modem::kInitRequest.data(), ovr::modem::kInitRequest.size(), MSG_NOSIGNAL);
        std::vector<char> buf;
        size_t len = 0;
        ovr::modem::ReadHttpReply(s, buf, len, clock);
        ovr::config::closesocket(s);
        kept = len;
        buffer_size = buf.capacity();
        benchmark::DoNotOptimize(buf.data());
    }
    state.counters["kept_bytes"] = static_cast<double>(kept);
    state.counters["buffer_bytes"] = static_cast<double>(buffer_size);
}

void BM_ReadGood(benchmark::State& s) { read_from(s, "good"); }
void BM_ReadHugeBody(benchmark::State& s) { read_from(s, "huge"); }
void BM_ReadHugeHeaders(benchmark::State& s) { read_from(s, "huge-headers"); }
BENCHMARK(BM_ReadGood)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadHugeBody)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadHugeHeaders)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
