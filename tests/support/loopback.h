// Test helpers for servers on loopback: a free port, a listening socket that
// holds a port, one whole exchange with a server, and waiting on the real
// clock for programs that run on it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ovr::test {

// A port nobody listens on now (bound to port 0 and released).
uint16_t free_port();

// Listens on 127.0.0.1:port (0: a free one) until destroyed.
class PortHolder {
public:
    explicit PortHolder(uint16_t port = 0);
    ~PortHolder();
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    uint16_t port() const { return port_; }
    void release();

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// Connects to 127.0.0.1:port, sends `request`, reads until the server
// closes or `limit_ms` of real time pass; `closed` tells which.
struct Exchange {
    bool connected = false;
    bool closed = false;
    std::string reply;
};
Exchange talk(uint16_t port, const std::string& request, int limit_ms = 5000);

// "GET / HTTP/1.0" with an "Authorization: Basic" header when `user` is not
// empty.
std::string get_request(const std::string& user = {}, const std::string& password = {});

// Polls the condition every 25 ms of real time until it holds (true) or
// the deadline passes (false).
bool eventually(const std::function<bool()>& cond, uint32_t deadline_ms = 10000);

}  // namespace ovr::test
