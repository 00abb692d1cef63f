// The TLS library and its loading rules, over real loopback sockets.
#include "nettest/tls_library.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>
#include <vector>

#include "platform/network.h"
#include "smsssl.h"

namespace ovr::nettest {
namespace {

std::string bin(const std::string& name) { return std::string(OVR_BIN_DIR) + "/" + name; }

// A connected pair of loopback TCP sockets.
struct TcpPair {
    int client = -1, server = -1;
    TcpPair() {
        int l = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        EXPECT_EQ(::bind(l, reinterpret_cast<sockaddr*>(&a), len), 0);
        EXPECT_EQ(::listen(l, 1), 0);
        ::getsockname(l, reinterpret_cast<sockaddr*>(&a), &len);
        client = ::socket(AF_INET, SOCK_STREAM, 0);
        EXPECT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&a), len), 0);
        server = ::accept(l, nullptr, nullptr);
        ::close(l);
    }
    ~TcpPair() {
        if (client >= 0) ::close(client);
        if (server >= 0) ::close(server);
    }
};

const TlsLibrary& tls() {
    // As in the console: a write to a peer that has gone fails, not kills.
    static bool network = platform::start_network();
    EXPECT_TRUE(network);
    const TlsLibrary* t = TlsLibrary::instance();
    if (!t) ADD_FAILURE() << "libsmsssl.so not found beside the test";
    static bool cert = t && t->init_lib() && t->generate_certificate();
    EXPECT_TRUE(cert);
    return *t;
}

// Reads until `want` bytes came or a second passed.
std::string read_some(const TlsLibrary& t, TlsLibrary::Session s, int sock, size_t want) {
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got.size() < want && std::chrono::steady_clock::now() < end) {
        pollfd p{sock, POLLIN, 0};
        if (t.data_pending(s) <= 0) ::poll(&p, 1, 100);
        char buf[4096];
        int n = t.recv(s, buf, sizeof buf);
        if (n < 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

TEST(TlsLibraryLoading, RealLibraryHasAllElevenAndIsLoadedOnce) {
    const TlsLibrary* a = TlsLibrary::instance();
    ASSERT_NE(a, nullptr);
    std::vector<std::future<const TlsLibrary*>> others;
    for (int i = 0; i < 4; ++i) others.push_back(std::async(std::launch::async, [] { return TlsLibrary::instance(); }));
    for (auto& f : others) EXPECT_EQ(f.get(), a);
    // Initialising again, from several threads, stays ready.
    std::vector<std::thread> th;
    std::atomic<int> ready{0};
    for (int i = 0; i < 4; ++i) th.emplace_back([&] { ready += a->init_lib() != 0; });
    for (auto& t : th) t.join();
    EXPECT_EQ(ready.load(), 4);
}

TEST(TlsLibraryLoading, BrokenLibrariesFollowTheRules) {
    EXPECT_EQ(TlsLibrary::load(bin("libsmsssl_missing.so")), nullptr) << "one export missing: absent";
    EXPECT_EQ(TlsLibrary::load(bin("no_such_library.so")), nullptr);

    auto zero = TlsLibrary::load(bin("libsmsssl_init_zero.so"));
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(zero->init_lib(), 0);

    auto failing = TlsLibrary::load(bin("libsmsssl_failing_session.so"));
    ASSERT_NE(failing, nullptr);
    EXPECT_NE(failing->init_lib(), 0);
    std::string reason;
    EXPECT_EQ(failing->start_client(3, reason), nullptr);
    EXPECT_EQ(reason, "fixture refuses every handshake");
}

TEST(TlsLibrarySession, RoundTripPendingAndCloseNotify) {
    const TlsLibrary& t = tls();
    TcpPair p;
    std::string server_reason;
    auto server = std::async(std::launch::async, [&] { return t.start_server(p.server, server_reason); });
    std::string reason;
    TlsLibrary::Session c = t.start_client(p.client, reason);
    TlsLibrary::Session s = server.get();
    ASSERT_NE(c, nullptr) << reason;
    ASSERT_NE(s, nullptr) << server_reason;
    // The self-signed certificate passes; the verdict says it is not trusted.
    EXPECT_NE(reason.find("not trusted by the system store"), std::string::npos) << reason;
    EXPECT_EQ(t.signed_cert_exists(), 0);
    EXPECT_NE(t.server_cert_exists(), 0);

    std::string line = "A0001 OK LOGIN completed\r\n";
    EXPECT_EQ(t.send(s, line.data(), static_cast<int>(line.size())), static_cast<int>(line.size()));
    char one;
    pollfd pf{p.client, POLLIN, 0};
    ASSERT_EQ(::poll(&pf, 1, 5000), 1);
    int n = 0;
    while ((n = t.recv(c, &one, 1)) == 0) ::poll(&pf, 1, 100);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(one, 'A');
    EXPECT_EQ(t.data_pending(c), static_cast<int>(line.size()) - 1);
    EXPECT_EQ(one + read_some(t, c, p.client, line.size() - 1), line);

    // A large send goes through whole although the peer reads slowly.
    std::string big(1 << 20, 'x');
    auto sender = std::async(std::launch::async, [&] { return t.send(c, big.data(), static_cast<int>(big.size())); });
    EXPECT_EQ(read_some(t, s, p.server, big.size()).size(), big.size());
    EXPECT_EQ(sender.get(), static_cast<int>(big.size()));

    // Freeing sends close_notify: the peer's read ends with -1.
    t.free_session(c);
    char buf[16];
    ::poll(&pf, 1, 0);
    pollfd ps{p.server, POLLIN, 0};
    ASSERT_EQ(::poll(&ps, 1, 5000), 1);
    EXPECT_EQ(t.recv(s, buf, sizeof buf), -1);
    t.free_session(s);
}

TEST(TlsLibrarySession, PartialRecordReadsAsZeroWithoutBlocking) {
    const TlsLibrary& t = tls();
    TcpPair p;
    std::string sr;
    auto server = std::async(std::launch::async, [&] { return t.start_server(p.server, sr); });
    std::string reason;
    TlsLibrary::Session c = t.start_client(p.client, reason);
    TlsLibrary::Session s = server.get();
    ASSERT_NE(c, nullptr);
    ASSERT_NE(s, nullptr);
    // Half a record header straight on the socket, under the session.
    ASSERT_EQ(::send(p.server, "\x17\x03", 2, 0), 2);
    pollfd pf{p.client, POLLIN, 0};
    ASSERT_EQ(::poll(&pf, 1, 5000), 1);
    char buf[64];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(t.recv(c, buf, sizeof buf), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    t.free_session(c);
    t.free_session(s);
}

TEST(TlsLibrarySession, HandshakeFailuresGiveABoundedReason) {
    const TlsLibrary& t = tls();
    {
        // A peer that speaks plain text instead of TLS.
        TcpPair p;
        std::string junk(2000, 'Z');
        ASSERT_EQ(::send(p.server, junk.data(), junk.size(), 0), static_cast<ssize_t>(junk.size()));
        char buf[SMSSSL_REASON_SIZE + 100];
        std::memset(buf, '#', sizeof buf);
        EXPECT_EQ(sslInitSession(p.client, buf), nullptr);
        size_t len = strnlen(buf, sizeof buf);
        EXPECT_GT(len, 0u);
        EXPECT_LT(len, static_cast<size_t>(SMSSSL_REASON_SIZE));
        EXPECT_EQ(buf[SMSSSL_REASON_SIZE], '#') << "nothing written past the 500 characters";
    }
    {
        // A silent peer: the handshake gives up at its limit, saying so.
        sslSetHandshakeTimeout(300);
        TcpPair p;
        std::string reason;
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(t.start_client(p.client, reason), nullptr);
        auto took = std::chrono::steady_clock::now() - start;
        sslSetHandshakeTimeout(30000);
        EXPECT_GE(took, std::chrono::milliseconds(250));
        EXPECT_LT(took, std::chrono::seconds(5));
        EXPECT_EQ(reason, "TLS handshake timed out after 300 ms");
    }
    {
        // A peer that closes at once.
        TcpPair p;
        ::close(p.server);
        p.server = -1;
        std::string reason;
        EXPECT_EQ(t.start_client(p.client, reason), nullptr);
        EXPECT_NE(reason.find("TLS handshake failed"), std::string::npos) << reason;
    }
}

}  // namespace
}  // namespace ovr::nettest
