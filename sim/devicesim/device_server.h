// The network modem device simulator: answers "GET /init" as the phone app
// does, or as one of the awkward peers the console must survive. A library so
// tests run devices in-process over real loopback sockets.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace ovr::devicesim {

struct DeviceSpec {
    std::string listen = "127.0.0.1:0";  // ADDR:PORT; port 0 picks a free one
    std::string profile = "good";
    std::string name = "Ovrin Phone";
    std::string id = "356938035643809";
    std::string mms_url = "http://mms.example.net/";
    std::string mms_proxy = "10.1.1.1:8080";
    uint32_t slow_delay_ms = 1500;  // slow: wait before the reply
    uint32_t slow_step_ms = 20;     // slow: between chunks of 4 bytes
    uint32_t trickle_ms = 100;      // trickle: between bytes
};

const std::vector<std::string>& profile_names();
bool known_profile(const std::string& name);

// The reply bytes of the profiles that answer at once (good, lf, lowercase,
// folded, crcr, slow, wrong, noid, nomms); empty for the others.
std::string canned_reply(const DeviceSpec& spec);

class DeviceServer {
public:
    // `log` receives one line per event (each request byte for byte, escaped).
    explicit DeviceServer(DeviceSpec spec, std::function<void(const std::string&)> log = {});
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    bool start(std::string& error);
    void stop();
    // "ADDR:PORT" actually bound (brackets around an IPv6 address).
    std::string address() const { return address_; }
    uint16_t port() const { return port_; }
    const DeviceSpec& spec() const { return spec_; }
    // Each request received, byte for byte.
    std::vector<std::string> requests() const;

private:
    void accept_loop();
    void serve(int fd);
    bool send_all(int fd, const char* data, size_t size);
    bool pause_ms(uint32_t ms);  // false when stopping
    void note(const std::string& line);

    DeviceSpec spec_;
    std::function<void(const std::string&)> log_;
    int listen_fd_ = -1;
    std::string address_;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex mu_;
    std::vector<std::thread> workers_;
    std::set<int> open_fds_;
    std::vector<std::string> requests_;
};

// C-style escapes of the bytes (\r, \n, \xNN), for the request log.
std::string escape_bytes(const std::string& bytes);

}  // namespace ovr::devicesim
