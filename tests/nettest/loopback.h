// Loopback servers of the receiver tests: a listener on a free port that is
// silent, accepts and closes, shakes hands over TLS, or answers plain HTTP.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "nettest/tls_library.h"

namespace ovr::nettest {

// A loopback listener on a free port; what it does with a connection is up
// to the test (nothing at all: a silent peer).
class Listener {
public:
    enum class Kind { Silent, Plain, Tls, PlainReply };
    explicit Listener(Kind kind) : kind_(kind) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&a), len), 0);
        EXPECT_EQ(::listen(fd_, 4), 0);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        if (kind_ != Kind::Silent) thread_ = std::thread([this] { serve(); });
    }
    ~Listener() {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        if (thread_.joinable()) thread_.join();
        ::close(fd_);
    }
    uint32_t port() const { return port_; }
    int accepted() const { return accepted_; }

private:
    void serve() {
        while (!stop_) {
            int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) return;
            ++accepted_;
            if (kind_ == Kind::Tls) {
                const TlsLibrary* t = TlsLibrary::instance();
                std::string reason;
                if (t && t->init_lib() && t->generate_certificate())
                    if (auto s = t->start_server(c, reason)) t->free_session(s);
            } else if (kind_ == Kind::PlainReply) {
                char buf[512];
                (void)::recv(c, buf, sizeof buf, 0);
                const char reply[] = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
                (void)::send(c, reply, sizeof reply - 1, MSG_NOSIGNAL);
            }
            ::close(c);
        }
    }
    Kind kind_;
    int fd_ = -1;
    uint32_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
};

inline uint32_t closed_port() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), len);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

}  // namespace ovr::nettest
