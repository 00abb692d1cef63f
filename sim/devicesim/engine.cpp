#include "device_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "config/inet.h"
#include "config/text.h"

namespace ovr::devicesim {
namespace {

constexpr size_t kMaxRequest = 8192;
constexpr uint64_t kHugeSize = 1ull << 30;

std::string header_block(const DeviceSpec& s, const char* eol, bool lower_names, bool with_id, bool with_mms) {
    auto name = [&](std::string n) {
        if (lower_names) std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return std::tolower(c); });
        return n;
    };
    std::string h = std::string("HTTP/1.0 200 OK") + eol + name("Server: OvrinSMS Modem") + eol;
    h += name("X-OvrinSMS-DeviceName:") + " " + s.name + eol;
    if (with_id) h += name("X-OvrinSMS-DeviceID:") + " " + s.id + eol;
    if (with_mms) {
        h += name("X-OvrinSMS-MMSURL:") + " " + s.mms_url + eol;
        h += name("X-OvrinSMS-MMSProxy:") + " " + s.mms_proxy + eol;
    }
    return h;
}

const std::string kBody = "OK\n";

bool is_init_request(const std::string& req) { return req.rfind("GET /init ", 0) == 0 || req.rfind("GET /init\r", 0) == 0; }

std::string not_found() {
    std::string body = "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>\n";
    return "HTTP/1.0 404 Not Found\r\nServer: Apache\r\nContent-Type: text/html\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

const std::vector<std::string>& profile_names() {
    static const std::vector<std::string> names = {"good",  "lf",   "lowercase", "folded", "crcr",
                                                   "slow",  "trickle", "wrong",  "noid",   "nomms",
                                                   "huge",  "huge-headers", "silent", "refusing", "reset"};
    return names;
}

bool known_profile(const std::string& name) {
    const auto& n = profile_names();
    return std::find(n.begin(), n.end(), name) != n.end();
}

std::string canned_reply(const DeviceSpec& s) {
    const std::string& p = s.profile;
    auto with_length = [](std::string head, const char* eol) {
        return head + "Content-Length: " + std::to_string(kBody.size()) + eol + eol + kBody;
    };
    if (p == "good" || p == "slow") return with_length(header_block(s, "\r\n", false, true, true), "\r\n");
    if (p == "lf") return header_block(s, "\n", false, true, true) + "\n" + kBody;
    if (p == "lowercase") return with_length(header_block(s, "\r\n", true, true, true), "\r\n");
    if (p == "crcr") return with_length(header_block(s, "\r", false, true, true), "\r");
    if (p == "noid") return with_length(header_block(s, "\r\n", false, false, false), "\r\n");
    if (p == "nomms") return with_length(header_block(s, "\r\n", false, true, false), "\r\n");
    if (p == "wrong") return not_found();
    if (p == "folded") {
        std::string h = "HTTP/1.0 200 OK\r\nX-OvrinSMS-DeviceName: " + s.name + "\r\n  (folded part)\r\n";
        h += "X-OvrinSMS-DeviceID: " + s.id + "\r\nX-OvrinSMS-MMSURL: " + s.mms_url + "\r\n";
        h += "X-OvrinSMS-MMSProxy: " + s.mms_proxy + "\r\n";
        return with_length(h, "\r\n");
    }
    return {};
}

std::string escape_bytes(const std::string& bytes) {
    std::string out;
    static const char hex[] = "0123456789abcdef";
    for (unsigned char c : bytes) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\\') out += "\\\\";
        else if (c < 32 || c >= 127) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else out += static_cast<char>(c);
    }
    return out;
}

DeviceServer::DeviceServer(DeviceSpec spec, std::function<void(const std::string&)> log)
    : spec_(std::move(spec)), log_(std::move(log)) {}

DeviceServer::~DeviceServer() { stop(); }

void DeviceServer::note(const std::string& line) {
    if (log_) log_(line);
}

bool DeviceServer::start(std::string& error) {
    if (!known_profile(spec_.profile)) {
        error = "unknown profile \"" + spec_.profile + "\"";
        return false;
    }
    std::string host;
    uint32_t port = 0;
    config::split_host_port(spec_.listen, host, port);
    if (port > 65535) {
        error = "bad port in \"" + spec_.listen + "\"";
        return false;
    }
    std::string bare = host.size() >= 2 && host.front() == '[' ? host.substr(1, host.size() - 2) : host;
    sockaddr_storage ss{};
    socklen_t len = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&ss);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&ss);
    if (inet_pton(AF_INET, bare.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        len = sizeof *v4;
    } else if (inet_pton(AF_INET6, bare.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        len = sizeof *v6;
    } else {
        error = "not a numeric address: \"" + spec_.listen + "\"";
        return false;
    }
    int fd = socket(ss.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0 ||
        (spec_.profile != "refusing" && listen(fd, 64) != 0)) {
        error = std::string("cannot listen on ") + spec_.listen + ": " + std::strerror(errno);
        if (fd >= 0) close(fd);
        return false;
    }
    socklen_t got = sizeof ss;
    getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &got);
    port_ = ntohs(ss.ss_family == AF_INET ? v4->sin_port : v6->sin6_port);
    address_ = (ss.ss_family == AF_INET6 ? "[" + bare + "]" : bare) + ":" + std::to_string(port_);
    listen_fd_ = fd;
    stopping_ = false;
    // A bound socket that never listens refuses every connection.
    if (spec_.profile != "refusing") acceptor_ = std::thread([this] { accept_loop(); });
    return true;
}

void DeviceServer::stop() {
    stopping_ = true;
    {
        std::lock_guard lock(mu_);
        for (int fd : open_fds_) shutdown(fd, SHUT_RDWR);
    }
    if (acceptor_.joinable()) acceptor_.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mu_);
        workers.swap(workers_);
    }
    for (auto& t : workers) t.join();
    if (listen_fd_ >= 0) close(listen_fd_);
    listen_fd_ = -1;
}

std::vector<std::string> DeviceServer::requests() const {
    std::lock_guard lock(mu_);
    return requests_;
}

bool DeviceServer::pause_ms(uint32_t ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping_) {
        auto now = std::chrono::steady_clock::now();
        if (now >= end) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(left, 20)));
    }
    return false;
}

bool DeviceServer::send_all(int fd, const char* data, size_t size) {
    while (size > 0 && !stopping_) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return size == 0;
}

void DeviceServer::accept_loop() {
    while (!stopping_) {
        pollfd p{listen_fd_, POLLIN, 0};
        int n = poll(&p, 1, 50);
        if (n <= 0) continue;
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard lock(mu_);
        open_fds_.insert(fd);
        workers_.emplace_back([this, fd] { serve(fd); });
    }
}

void DeviceServer::serve(int fd) {
    // The request: up to its blank line, a close, 8 KiB or 5 seconds.
    std::string req;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!stopping_ && req.size() < kMaxRequest && req.find("\r\n\r\n") == std::string::npos &&
           req.find("\n\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        char buf[1024];
        ssize_t n = recv(fd, buf, std::min(sizeof buf, kMaxRequest - req.size()), 0);
        if (n <= 0) break;
        req.append(buf, static_cast<size_t>(n));
    }
    {
        std::lock_guard lock(mu_);
        requests_.push_back(req);
    }
    note("request " + std::to_string(port_) + ": " + escape_bytes(req));

    const std::string& p = spec_.profile;
    bool hold_open = false;  // after the reply, wait for the client to close
    if (p == "reset") {
        linger l{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    } else if (p == "silent") {
        hold_open = true;
    } else if (p == "trickle") {
        std::string head = "HTTP/1.0 200 OK\r\nX-OvrinSMS-DeviceName: " + spec_.name + "\r\nX-Pad: ";
        if (send_all(fd, head.data(), head.size()))
            while (pause_ms(spec_.trickle_ms) && send_all(fd, "a", 1)) {
            }
    } else if (p == "huge" || p == "huge-headers") {
        std::string head = header_block(spec_, "\r\n", false, true, true);
        head += p == "huge" ? "Content-Length: " + std::to_string(kHugeSize) + "\r\n\r\n" : "X-Filler: ";
        std::string chunk(64 * 1024, p == "huge" ? 'x' : 'a');
        if (send_all(fd, head.data(), head.size()))
            for (uint64_t sent = 0; sent < kHugeSize && send_all(fd, chunk.data(), chunk.size()); sent += chunk.size()) {
            }
    } else {
        std::string reply = is_init_request(req) || p == "wrong" ? canned_reply(spec_) : not_found();
        if (p == "slow") {
            if (pause_ms(spec_.slow_delay_ms))
                for (size_t i = 0; i < reply.size() && send_all(fd, reply.data() + i, std::min<size_t>(4, reply.size() - i));
                     i += 4)
                    if (!pause_ms(spec_.slow_step_ms)) break;
        } else {
            send_all(fd, reply.data(), reply.size());
        }
        // A reply with a length leaves the close to the client, as a
        // keep-alive server might; the others end by closing.
        hold_open = p != "lf" && p != "crcr" && p != "wrong";
    }
    if (hold_open) {
        while (!stopping_) {
            pollfd q{fd, POLLIN, 0};
            if (poll(&q, 1, 50) <= 0) continue;
            char buf[256];
            if (recv(fd, buf, sizeof buf, 0) <= 0) break;
        }
    }
    {
        std::lock_guard lock(mu_);
        open_fds_.erase(fd);
    }
    close(fd);
}

}  // namespace ovr::devicesim
