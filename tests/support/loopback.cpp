#include "support/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace ovr::test {
namespace {

sockaddr_in loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

std::string base64(const std::string& in) {
    static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        uint32_t v = uint32_t(uint8_t(in[i])) << 16;
        if (i + 1 < in.size()) v |= uint32_t(uint8_t(in[i + 1])) << 8;
        if (i + 2 < in.size()) v |= uint8_t(in[i + 2]);
        out += abc[v >> 18 & 63];
        out += abc[v >> 12 & 63];
        out += i + 1 < in.size() ? abc[v >> 6 & 63] : '=';
        out += i + 2 < in.size() ? abc[v & 63] : '=';
    }
    return out;
}

}  // namespace

PortHolder::PortHolder(uint16_t port) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(port);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 4) != 0) {
        release();
        return;
    }
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
}

PortHolder::~PortHolder() { release(); }

void PortHolder::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

uint16_t free_port() { return PortHolder().port(); }

Exchange talk(uint16_t port, const std::string& request, int limit_ms) {
    Exchange ex;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(port);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        if (fd >= 0) ::close(fd);
        return ex;
    }
    ex.connected = true;
    for (size_t sent = 0; sent < request.size();) {
        ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    for (;;) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, left) <= 0) break;
        char buf[4096];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            ex.closed = true;
            break;
        }
        ex.reply.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return ex;
}

bool eventually(const std::function<bool()>& cond, uint32_t deadline_ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadline_ms);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        poll(nullptr, 0, 25);
    }
    return true;
}

std::string get_request(const std::string& user, const std::string& password) {
    std::string r = "GET / HTTP/1.0\r\nHost: 127.0.0.1\r\n";
    if (!user.empty()) r += "Authorization: Basic " + base64(user + ":" + password) + "\r\n";
    return r + "\r\n";
}

}  // namespace ovr::test
