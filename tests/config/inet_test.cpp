#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <unistd.h>

#include "config/inet.h"

using namespace ovr::config;

namespace {

// A loopback listener on an ephemeral port.
class Listener {
public:
    explicit Listener(int family) {
        fd_ = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) return;
        sockaddr_storage ss{};
        socklen_t len;
        if (family == AF_INET) {
            auto* a = reinterpret_cast<sockaddr_in*>(&ss);
            a->sin_family = AF_INET;
            a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            len = sizeof *a;
        } else {
            auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
            a->sin6_family = AF_INET6;
            a->sin6_addr = in6addr_loopback;
            len = sizeof *a;
        }
        if (bind(fd_, reinterpret_cast<sockaddr*>(&ss), len) != 0 || listen(fd_, 8) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&ss), &len) != 0) {
            close(fd_);
            fd_ = -1;
            return;
        }
        port_ = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&ss)->sin_port
                                        : reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port);
    }
    ~Listener() {
        if (fd_ >= 0) close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    uint16_t port() const { return port_; }
    void stop() {
        close(fd_);
        fd_ = -1;
    }
    // Accepts one connection and returns what it reads from it.
    std::string accept_and_read() {
        int c = accept(fd_, nullptr, nullptr);
        if (c < 0) return "<no connection>";
        char buf[64];
        ssize_t n = read(c, buf, sizeof buf);
        close(c);
        return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// A port on which nothing listens.
uint16_t closed_port(int family) {
    Listener l(family);
    uint16_t p = l.port();
    l.stop();
    return p;
}

class Sock {
public:
    Sock() : fd(IPV6OpenSocket(0, 0)) {}
    ~Sock() {
        if (fd >= 0) close(fd);
    }
    int fd;
};

// The descriptor is connected and usable: the listener reads what we send.
void expect_talks(int fd, Listener& l) {
    ASSERT_EQ(write(fd, "ping", 4), 4);
    EXPECT_EQ(l.accept_and_read(), "ping");
}

}  // namespace

TEST(Inet, ConnectsToIpv4KeepingTheCallersDescriptor) {
    Listener l(AF_INET);
    ASSERT_TRUE(l.ok());
    Sock s;
    ASSERT_GE(s.fd, 0);
    int before = s.fd;
    int cloexec = fcntl(s.fd, F_GETFD) & FD_CLOEXEC;
    ASSERT_EQ(IPV6ConnectToINetServer(s.fd, "127.0.0.1", l.port()), 0);
    EXPECT_EQ(s.fd, before);
    EXPECT_EQ(fcntl(s.fd, F_GETFD) & FD_CLOEXEC, cloexec);
    EXPECT_EQ(fcntl(s.fd, F_GETFL) & O_NONBLOCK, 0) << "the socket is handed back blocking";
    expect_talks(s.fd, l);
}

TEST(Inet, ConnectsToIpv6LiteralsWithAndWithoutBrackets) {
    Listener l(AF_INET6);
    if (!l.ok()) GTEST_SKIP() << "no IPv6 loopback here";
    for (const char* host : {"::1", "[::1]"}) {
        Sock s;
        ASSERT_EQ(IPV6ConnectToINetServer(s.fd, host, l.port()), 0) << host;
        expect_talks(s.fd, l);
    }
}

TEST(Inet, TriesEveryAddressUntilOneAnswers) {
    Listener l(AF_INET);
    ASSERT_TRUE(l.ok());
    auto refused = resolve_host("127.0.0.1", closed_port(AF_INET));
    auto good = resolve_host("127.0.0.1", l.port());
    ASSERT_EQ(refused.size(), 1u);
    ASSERT_EQ(good.size(), 1u);
    Sock s;
    int before = s.fd;
    ASSERT_EQ(connect_any(s.fd, {refused[0], good[0]}), 0);
    EXPECT_EQ(s.fd, before);
    expect_talks(s.fd, l);

    // "localhost" may list ::1 first, where nothing listens on this port.
    Sock byname;
    ASSERT_EQ(IPV6ConnectToINetServer(byname.fd, "localhost", l.port()), 0);
    expect_talks(byname.fd, l);
}

TEST(Inet, FailuresReportMinusOneAndLeaveOtherDescriptorsAlone) {
    Sock s;
    EXPECT_EQ(IPV6ConnectToINetServer(s.fd, "127.0.0.1", closed_port(AF_INET)), -1);
    EXPECT_EQ(IPV6ConnectToINetServer(s.fd, "127.0.0.1", 0), -1);
    EXPECT_EQ(IPV6ConnectToINetServer(s.fd, "127.0.0.1", 70000), -1);
    EXPECT_EQ(IPV6ConnectToINetServer(s.fd, "", 80), -1);
    EXPECT_EQ(IPV6ConnectToINetServer(-1, "127.0.0.1", 80), -1);
    EXPECT_EQ(IPV6ConnectToINetServer(s.fd, std::string(5000, 'a'), 80), -1);

    // A pipe is not a socket: it must not be swapped for one.
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    Listener l(AF_INET);
    EXPECT_EQ(IPV6ConnectToINetServer(p[0], "127.0.0.1", l.port()), -1);
    ASSERT_EQ(write(p[1], "x", 1), 1);
    char c = 0;
    EXPECT_EQ(read(p[0], &c, 1), 1);
    close(p[0]);
    close(p[1]);
}

TEST(Inet, DeviceHostStringsCarryTheirAddress) {
    Listener v4(AF_INET);
    ASSERT_TRUE(v4.ok());
    {
        Sock s;
        ASSERT_EQ(IPV6ConnectToINetServer(s.fd, "ovrinsmsmodem_127.0.0.1:" + std::to_string(v4.port()), 0), 0);
        expect_talks(s.fd, v4);
    }
    Listener v6(AF_INET6);
    if (v6.ok()) {
        Sock s;
        ASSERT_EQ(IPV6ConnectToINetServer(s.fd, "OvrinSMSModem_[::1]:" + std::to_string(v6.port()), 0), 0);
        expect_talks(s.fd, v6);
    }
    Sock s;
    EXPECT_EQ(IPV6ConnectToINetServer(s.fd, "ovrinsmsmodem_A1B2C3", 0), -1);

    set_device_resolver([&](std::string_view id) -> std::optional<std::string> {
        if (id == "A1B2C3") return "127.0.0.1:" + std::to_string(v4.port());
        return std::nullopt;
    });
    Sock viaCache;
    EXPECT_EQ(IPV6ConnectToINetServer(viaCache.fd, "ovrinsmsmodem_A1B2C3", 0), 0);
    set_device_resolver({});
    expect_talks(viaCache.fd, v4);
}
