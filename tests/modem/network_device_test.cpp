// The "GET /init" client against the device simulator's profiles over real
// loopback sockets, and the reader and header functions on their own.
#include "modem/network_device.h"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <gtest/gtest.h>

#include "device_server.h"

namespace ovr::modem {
namespace {

using devicesim::DeviceServer;
using devicesim::DeviceSpec;

int open_descriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

struct Device {
    explicit Device(const std::string& profile, DeviceSpec spec = {}) : server((spec.profile = profile, spec)) {
        std::string error;
        started = server.start(error);
        EXPECT_TRUE(started) << error;
    }
    DeviceServer server;
    bool started = false;
};

DeviceQueryOptions quick(Ui* ui = nullptr) {
    DeviceQueryOptions o;
    o.ui = ui;
    o.limits.idle_ms = 2000;
    o.limits.wait_ms = 2000;
    o.limits.overall_ms = 3000;
    o.connect_timeout_ms = 2000;
    return o;
}

TEST(NetworkModem, GoodDeviceAnswersWithItsNameIdAndMmsSettings) {
    int before = open_descriptors();
    Device d("good");
    DeviceInfo info;
    ASSERT_TRUE(QueryNetworkModemInfo(d.server.address(), info, quick()));
    EXPECT_EQ(info.name, "Ovrin Phone");
    EXPECT_EQ(info.id, "356938035643809");
    std::string url, proxy;
    EXPECT_TRUE(QueryNetworkModemMms(d.server.address(), url, proxy, quick()));
    EXPECT_EQ(url, "http://mms.example.net/");
    EXPECT_EQ(proxy, "10.1.1.1:8080");
    d.server.stop();  // closes the device's own ends
    EXPECT_EQ(open_descriptors(), before);
    auto reqs = d.server.requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0], "GET /init HTTP/1.0\r\n\r\n");  // one request line, no other header
    EXPECT_EQ(reqs[1], reqs[0]);
}

TEST(NetworkModem, EveryHeaderFormTheSearchKnowsIsAccepted) {
    // Bare line feeds without a length (read to the close), lower-case names,
    // a folded value (cut at the line end), a slow peer a few bytes at a time.
    DeviceSpec slow;
    slow.slow_delay_ms = 100;
    slow.slow_step_ms = 1;
    for (std::string profile : {"lf", "lowercase", "folded", "slow", "nomms"}) {
        SCOPED_TRACE(profile);
        Device d(profile, slow);
        DeviceInfo info;
        EXPECT_TRUE(QueryNetworkModemInfo(d.server.address(), info, quick()));
        EXPECT_EQ(info.name, "Ovrin Phone");
        EXPECT_EQ(info.id, "356938035643809");
    }
    Device nomms("nomms");
    std::string url = "x", proxy = "y";
    EXPECT_FALSE(QueryNetworkModemMms(nomms.server.address(), url, proxy, quick()));
    EXPECT_EQ(url, "");
    EXPECT_EQ(proxy, "");
}

TEST(NetworkModem, PeersWithoutTheHeadersAreRefusedAndNoDescriptorStaysOpen) {
    int before = open_descriptors();
    for (std::string profile : {"wrong", "noid", "crcr", "refusing", "reset", "huge-headers"}) {
        SCOPED_TRACE(profile);
        Device d(profile);
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_FALSE(QueryNetworkModem(d.server.address(), quick()));
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    }
    EXPECT_EQ(open_descriptors(), before);
}

TEST(NetworkModem, HugeBodyIsCutAtTheCapAndStillAnswers) {
    Device d("huge");
    auto t0 = std::chrono::steady_clock::now();
    DeviceInfo info;
    EXPECT_TRUE(QueryNetworkModemInfo(d.server.address(), info, quick()));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    EXPECT_EQ(info.name, "Ovrin Phone");
}

TEST(NetworkModem, SilentAndTricklingPeersEndAtTheirLimits) {
    DeviceSpec spec;
    spec.trickle_ms = 20;
    Device silent("silent"), trickle("trickle", spec);
    DeviceQueryOptions o = quick();
    o.limits.wait_ms = 300;  // silent: one wait with nothing
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(QueryNetworkModem(silent.server.address(), o));
    auto silent_took = std::chrono::steady_clock::now() - t0;
    EXPECT_GE(silent_took, std::chrono::milliseconds(250));
    EXPECT_LT(silent_took, std::chrono::seconds(2));

    // Each byte renews the idle time: only the overall limit ends the read.
    o = quick();
    o.limits.overall_ms = 400;
    t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(QueryNetworkModem(trickle.server.address(), o));
    auto trickle_took = std::chrono::steady_clock::now() - t0;
    EXPECT_GE(trickle_took, std::chrono::milliseconds(350));
    EXPECT_LT(trickle_took, std::chrono::seconds(2));
}

TEST(NetworkModem, ExchangeIsShownAsProgressLines) {
    Device d("good");
    ScriptedUi ui;
    ASSERT_TRUE(QueryNetworkModem(d.server.address(), quick(&ui)));
    ASSERT_GE(ui.progress_lines.size(), 4u);
    EXPECT_EQ(ui.progress_lines[0], "Connecting to " + d.server.address());
    EXPECT_EQ(ui.progress_lines[1], "-> GET /init HTTP/1.0");
    EXPECT_EQ(ui.progress_lines[2], "<- HTTP/1.0 200 OK");
    EXPECT_EQ(ui.progress_lines.back(), "<- Content-Length: 3");

    Device refusing("refusing");
    ScriptedUi ui2;
    EXPECT_FALSE(QueryNetworkModem(refusing.server.address(), quick(&ui2)));
    EXPECT_EQ(ui2.progress_lines.back(), "(no reply)");
}

// The reader on a socket pair, on the fake clock.
struct Pair {
    Pair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fd), 0); }
    ~Pair() {
        for (int f : fd)
            if (f >= 0) close(f);
    }
    void send_text(const std::string& s) { ASSERT_EQ(write(fd[1], s.data(), s.size()), static_cast<ssize_t>(s.size())); }
    void close_peer() {
        close(fd[1]);
        fd[1] = -1;
    }
    int fd[2] = {-1, -1};
};

TEST(ReadHttpReply, ReadsToTheLengthOrToTheCloseAndKeepsTheTerminator) {
    platform::FakeClock clock;
    std::vector<char> buf;
    size_t len = 0;
    {
        Pair p;  // stops at the length while the peer stays open
        p.send_text("HTTP/1.0 200 OK\r\nContent-length:  5\r\n\r\nhelloEXTRA");
        ASSERT_TRUE(ReadHttpReply(p.fd[0], buf, len, clock));
        EXPECT_GE(len, 38u);
        EXPECT_GE(buf.size(), len + 16);
        for (size_t i = len; i < len + 16; ++i) EXPECT_EQ(buf[i], '\0');
    }
    {
        Pair p;  // "Content-length: 0" reads as unknown: read until the close
        p.send_text("HTTP/1.0 200 OK\nContent-Length: 0\n\nbody");
        p.close_peer();
        uint64_t slept = clock.total_slept_ms();
        ASSERT_TRUE(ReadHttpReply(p.fd[0], buf, len, clock));
        EXPECT_EQ(std::string(buf.data(), len), "HTTP/1.0 200 OK\nContent-Length: 0\n\nbody");
        // Six readable-but-empty waits end the read, with a 1 ms pause between.
        EXPECT_EQ(clock.total_slept_ms() - slept, 5u);
    }
    {
        Pair p;  // a length too large to add reads to the cap
        p.send_text("HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n" + std::string(5000, 'x'));
        HttpReadLimits lim;
        lim.cap = 3000;
        ASSERT_TRUE(ReadHttpReply(p.fd[0], buf, len, clock, lim));
        EXPECT_EQ(len, 3000u);
        EXPECT_LE(buf.size(), 3000u + 16);
    }
}

TEST(ReadHttpReply, HeaderEndArrivingInPiecesIsFound) {
    platform::FakeClock clock;
    Pair p;
    std::vector<char> buf;
    size_t len = 0;
    std::string reply = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nOK";
    std::thread writer([&] {
        for (char c : reply) {
            ASSERT_EQ(write(p.fd[1], &c, 1), 1);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    ASSERT_TRUE(ReadHttpReply(p.fd[0], buf, len, clock));
    writer.join();
    EXPECT_EQ(std::string(buf.data(), len), reply);  // ended by the length, the peer still open
}

TEST(ReadHttpReply, WorksOnADescriptorAboveTheSelectLimit) {
    rlimit rl{};
    getrlimit(RLIMIT_NOFILE, &rl);
    if (rl.rlim_cur <= 1500) GTEST_SKIP() << "the descriptor limit (" << rl.rlim_cur << ") is too low for fd 1500";
    Pair p;
    ASSERT_EQ(dup2(p.fd[0], 1500), 1500);
    p.send_text("X-OvrinSMS-DeviceName: a\n\n");
    p.close_peer();
    platform::FakeClock clock;
    std::vector<char> buf;
    size_t len = 0;
    EXPECT_TRUE(ReadHttpReply(1500, buf, len, clock));
    EXPECT_EQ(len, 26u);
    close(1500);
}

TEST(HttpHeaders, HeaderEndFormsAndTheSearchBeforeIt) {
    EXPECT_EQ(HttpHeaderEnd("A: 1\r\n\r\nbody"), 8u);
    EXPECT_EQ(HttpHeaderEnd("A: 1\n\nbody"), 6u);
    EXPECT_EQ(HttpHeaderEnd("A: 1\r\rbody"), 0u);  // the reader's third form: not seen here
    EXPECT_EQ(HttpHeaderEnd("A: 1\r\n"), 0u);
    EXPECT_EQ(HttpHeaderEnd(std::string_view("A: 1\0\n\n", 7)), 0u);  // the reply is text

    std::string out;
    HttpHeaderValue("HTTP/1.0 200\r\nx-ovrinsms-devicename:\t  Phone\r\n\r\n", "X-OvrinSMS-DeviceName:", out, 150);
    EXPECT_EQ(out, "Phone");
    // Only at the start of a line, first match wins, nothing after the end.
    HttpHeaderValue("X-A: no X-B: 1\r\nX-B: 2\r\nX-B: 3\r\n\r\nX-C: 4\r\n", "X-B:", out, 150);
    EXPECT_EQ(out, "2");
    HttpHeaderValue("X-A: 1\r\n\r\nX-C: 4\r\n\r\n", "X-C:", out, 150);
    EXPECT_EQ(out, "");
    HttpHeaderValue("X-A: 1\r\rX-B: 2\r\r", "X-B:", out, 150);
    EXPECT_EQ(out, "");
    HttpHeaderValue("X-A: a\tb\r\n\r\n", "X-A:", out, 150);
    EXPECT_EQ(out, "a");  // any control character ends the value
}

TEST(HttpHeaders, ValuesAreCutToTheSizeAtAWholeCharacter) {
    std::string out;
    std::string long_ascii(200, 'a');
    HttpHeaderValue("N: " + long_ascii + "\n\n", "N:", out, 150);
    EXPECT_EQ(out.size(), 149u);
    // "é" is two bytes: 148 'a' then "é" would put half of it at byte 149.
    HttpHeaderValue("N: " + std::string(148, 'a') + "\xC3\xA9z\n\n", "N:", out, 150);
    EXPECT_EQ(out, std::string(148, 'a'));
    HttpHeaderValue("N: " + std::string(147, 'a') + "\xC3\xA9z\n\n", "N:", out, 150);
    EXPECT_EQ(out, std::string(147, 'a') + "\xC3\xA9");
    // A four-byte character across the cut goes whole.
    HttpHeaderValue("N: " + std::string(146, 'a') + "\xF0\x9F\x93\xB1\n\n", "N:", out, 150);
    EXPECT_EQ(out, std::string(146, 'a'));
}

TEST(DeviceNames, IdentifierAndRouteName) {
    EXPECT_EQ(device_identifier("ovrinsmsmodem - Ovrin Phone"), "Ovrin Phone");
    EXPECT_EQ(device_identifier("10.0.0.200:8990"), "10.0.0.200:8990");
    EXPECT_EQ(device_route_name("127.0.0.1:8990"), "127.0.0.1");
    EXPECT_EQ(device_route_name("[fe80::1]:8990"), "[fe80::1]");
    EXPECT_EQ(device_route_name("Ovrin Phone"), "Ovrin Phone");
}

}  // namespace
}  // namespace ovr::modem
