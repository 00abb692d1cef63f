// The simulated services' servers, listening for real on loopback: the SMS
// gateway's web interface and SMPP server, the MMSC's MM7/EAIF port.
//
// The ports are read once at start, as the console's Server page writes
// them (the services take new ports when restarted). A port that cannot be
// bound (another program holds it) is reported through `unavailable`, which
// the gateway publishes as the block's port-in-use byte, and is tried again
// every few seconds (and when the service is woken), so the byte clears once
// the port is free.
//
// The web interface serves one small page. While `WebAuth` is on it asks
// for an HTTP Basic login, checked against the user file on each request:
// the user's name (letter case ignored), password and web login. The SMPP
// and MM7/EAIF ports accept and close politely (no protocol is spoken).
//
// Every connection is bounded: a request head of at most 8 KiB (more gets
// 431), and 5 s from accept to close (408 when no whole request came),
// measured on the injectable clock. One thread serves all ports.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "config/directories.h"
#include "gateway.h"
#include "platform/clock.h"

namespace ovr::gwsim {

enum class PortKind { Web, Smpp, Mm7 };

struct ListenPort {
    PortKind kind;
    uint16_t port;      // 0: a free one (tests)
    size_t flag_byte;   // the block's port-in-use byte of this port
};

// "The web interface port 8800 is already in use.", as the service logs it.
std::string port_in_use_text(const ListenPort& port);

// The ports of the role, by the Server page's rules: the SMS gateway's
// `WebPort` (8800 when unusable) and `SMPPPort` when set, the MMSC's
// MM7/EAIF port (`WebPort` of MMSC.INI) when set.
std::vector<ListenPort> ports_for(Role role, const config::IniPaths& ini);

// Where the servers listen: `IPAddress` when it is a loopback address (the
// browser is sent there), else 127.0.0.1.
std::string listen_address(const config::IniPaths& ini);

// False when OVRINSMS_SIM_LISTEN is "off": the test suite runs many
// simulated gateways at once, which would all want port 8800.
bool listening_wanted();

struct ListenLimits {
    size_t request_bytes = 8192;
    uint32_t deadline_ms = 5000;
    uint32_t retry_ms = 3000;       // between binds of an unavailable port
    size_t max_connections = 64;    // more are closed at once
};

// The answer to one whole request head (up to its blank line): a complete
// HTTP/1.0 response.
std::string answer_web_request(std::string_view head, const config::Directories& dirs);

// The user and password of an "Authorization: Basic" header of the head;
// false when there is none or it does not decode.
bool basic_credentials(std::string_view head, std::string& user, std::string& password);

class Listeners {
public:
    Listeners(std::vector<ListenPort> ports, std::string address, config::Directories dirs, platform::Clock& clock,
              ListenLimits limits = {});
    ~Listeners();
    Listeners(const Listeners&) = delete;
    Listeners& operator=(const Listeners&) = delete;

    // Binds what it can now, then serves on a thread of its own.
    void start();
    void stop();

    // Tries the ports not bound yet at the next pass, not after the wait.
    void retry_soon() { retry_soon_.store(true); }

    // True while the port of that byte is not bound (false for no port).
    bool unavailable(size_t flag_byte) const;
    // The bound port of that kind, 0 when none is bound.
    uint16_t bound_port(PortKind kind) const;

private:
    struct Socket;
    struct Connection;
    void bind_missing();
    void serve();
    void accept_on(Socket& s);
    // False when the connection is to be closed.
    bool on_readable(Connection& c);
    bool flush(Connection& c);

    std::vector<ListenPort> ports_;
    std::string address_;
    config::Directories dirs_;
    platform::Clock& clock_;
    ListenLimits limits_;
    std::vector<std::unique_ptr<Socket>> sockets_;
    std::vector<std::unique_ptr<Connection>> connections_;
    uint64_t next_retry_ = 0;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::atomic<bool> retry_soon_{false};
    std::thread thread_;
};

}  // namespace ovr::gwsim
