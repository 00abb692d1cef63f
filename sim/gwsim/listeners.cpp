#include "listeners.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "config/settings.h"
#include "config/support.h"
#include "config/text.h"
#include "config/ini.h"
#include "pages/server_page.h"
#include "platform/dynlib.h"
#include "service/status.h"

namespace ovr::gwsim {
namespace {

// How long one poll waits at most: deadlines are judged on the injectable
// clock, which a test may move while the thread waits.
constexpr int kPollSliceMs = 50;
constexpr const char* kRealm = "OvrinSMS Lite";

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && config::equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}

std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// RFC 4648 base64; false on anything but the alphabet and its padding.
bool base64_decode(std::string_view in, std::string& out) {
    out.clear();
    uint32_t acc = 0;
    int bits = 0;
    size_t pad = 0;
    for (char c : in) {
        int v;
        if (c >= 'A' && c <= 'Z') v = c - 'A';
        else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
        else if (c >= '0' && c <= '9') v = c - '0' + 52;
        else if (c == '+') v = 62;
        else if (c == '/') v = 63;
        else if (c == '=') {
            ++pad;
            continue;
        } else
            return false;
        if (pad) return false;   // data after padding
        acc = (acc << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    return pad <= 2;
}

std::string html_escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string response(const char* status, const std::string& body, bool head_only, const char* extra = "") {
    std::string r = std::string("HTTP/1.0 ") + status + "\r\nServer: OvrinSMS Lite (simulated)\r\n" + extra +
                    "Content-Type: text/html; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
                    "\r\nConnection: close\r\n\r\n";
    if (!head_only) r += body;
    return r;
}

std::string page(const char* title, const std::string& text) {
    return std::string("<!DOCTYPE html>\n<html><head><title>") + title + "</title></head><body>\n<h1>" + title +
           "</h1>\n" + text + "</body></html>\n";
}

}  // namespace

std::string port_in_use_text(const ListenPort& port) {
    const char* what = port.kind == PortKind::Web    ? "web interface"
                       : port.kind == PortKind::Smpp ? "SMPP server"
                                                     : "MM7/EAIF";
    return std::string("The ") + what + " port " + std::to_string(port.port) + " is already in use.";
}

std::vector<ListenPort> ports_for(Role role, const config::IniPaths& ini) {
    pages::ServerPorts p = pages::load_server_ports(ini);
    std::vector<ListenPort> out;
    if (role == Role::Sms) {
        out.push_back({PortKind::Web, static_cast<uint16_t>(p.web), service::kFirstPortByte});
        if (p.smpp) out.push_back({PortKind::Smpp, static_cast<uint16_t>(p.smpp), service::kSecondPortByte});
    } else if (p.mm7) {
        out.push_back({PortKind::Mm7, static_cast<uint16_t>(p.mm7), service::kFirstPortByte});
    }
    return out;
}

std::string listen_address(const config::IniPaths& ini) {
    std::string a = config::ini::read_string(ini.rirer, "RIRER", "IPAddress", "", 500);
    in_addr v4{};
    if (inet_pton(AF_INET, a.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127) return a;
    if (a == "::1") return a;
    return "127.0.0.1";
}

bool listening_wanted() { return platform::get_env("OVRINSMS_SIM_LISTEN") != "off"; }

bool basic_credentials(std::string_view head, std::string& user, std::string& password) {
    size_t at = 0;
    while (at < head.size()) {
        size_t end = head.find('\n', at);
        std::string_view line = head.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? head.size() : end + 1;
        if (!starts_with_ignoring_case(line, "Authorization:")) continue;
        std::string_view value = trim_blanks(line.substr(14));
        if (!starts_with_ignoring_case(value, "Basic ")) return false;
        std::string decoded;
        if (!base64_decode(trim_blanks(value.substr(6)), decoded)) return false;
        size_t colon = decoded.find(':');
        if (colon == std::string::npos) return false;
        user = decoded.substr(0, colon);
        password = decoded.substr(colon + 1);
        return true;
    }
    return false;
}

std::string answer_web_request(std::string_view head, const config::Directories& dirs) {
    std::string_view line = head.substr(0, head.find_first_of("\r\n"));
    size_t sp = line.find(' ');
    std::string_view method = line.substr(0, sp);
    std::string_view target = sp == std::string_view::npos ? "" : line.substr(sp + 1);
    target = target.substr(0, target.find(' '));
    bool head_only = method == "HEAD";
    if (method != "GET" && !head_only)
        return response("405 Method Not Allowed", page("Method Not Allowed", ""), false, "Allow: GET, HEAD\r\n");

    config::IniPaths ini = config::ini_paths_for(dirs);
    std::string who;
    if (config::read_yes(ini.rirer, "RIRER", "WebAuth", "Yes")) {
        const std::string challenge =
            std::string("WWW-Authenticate: Basic realm=\"") + kRealm + "\", charset=\"UTF-8\"\r\n";
        std::string user, password;
        if (!basic_credentials(head, user, password))
            return response("401 Unauthorized", page("Login required", "<p>Log in with a web user account.</p>\n"),
                            head_only, challenge.c_str());
        config::UserFileHandle file;
        if (!config::open_user_file(dirs.program_data, config::kGenericRead, file))
            return response("503 Service Unavailable", page("User file unavailable", ""), head_only);
        config::UserRecord rec;
        bool ok = config::SMSFindUserRecord(file, user, rec) && rec.password() == password && !rec.web_login_disabled();
        config::SMSCloseUserFile(file);
        if (!ok)
            return response("401 Unauthorized", page("Login failed", "<p>Unknown user or wrong password.</p>\n"),
                            head_only, challenge.c_str());
        who = rec.name() + (rec.administrator() ? " (administrator)" : "");
    }
    if (target != "/" && target.rfind("/?", 0) != 0) return response("404 Not Found", page("Not Found", ""), head_only);
    std::string text = "<p>The simulated SMS gateway's web interface.</p>\n";
    text += who.empty() ? "<p>No login is required (WebAuth is off).</p>\n"
                        : "<p>Logged in as " + html_escape(who) + ".</p>\n";
    return response("200 OK", page("OvrinSMS Lite", text), head_only);
}

// ------------------------------------------------------------------ serving

struct Listeners::Socket {
    ListenPort port;
    int fd = -1;
    std::atomic<uint16_t> bound{0};
    std::atomic<bool> unavailable{false};
};

struct Listeners::Connection {
    int fd = -1;
    PortKind kind = PortKind::Web;
    uint64_t deadline = 0;
    std::string in;
    std::string out;
    size_t sent = 0;
    size_t drained = 0;
    bool answered = false;   // nothing more is read but to drain
};

Listeners::Listeners(std::vector<ListenPort> ports, std::string address, config::Directories dirs,
                     platform::Clock& clock, ListenLimits limits)
    : ports_(std::move(ports)), address_(std::move(address)), dirs_(std::move(dirs)), clock_(clock), limits_(limits) {
    for (const ListenPort& p : ports_) {
        auto s = std::make_unique<Socket>();
        s->port = p;
        sockets_.push_back(std::move(s));
    }
}

Listeners::~Listeners() { stop(); }

void Listeners::start() {
    if (thread_.joinable()) return;
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
    bind_missing();
    thread_ = std::thread([this] { serve(); });
}

void Listeners::stop() {
    stop_.store(true);
    if (wake_[1] >= 0) {
        char b = 1;
        (void)!write(wake_[1], &b, 1);
    }
    if (thread_.joinable()) thread_.join();
    for (auto& c : connections_) ::close(c->fd);
    connections_.clear();
    for (auto& s : sockets_) {
        if (s->fd >= 0) ::close(s->fd);
        s->fd = -1;
        s->bound.store(0);
    }
    for (int& fd : wake_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

bool Listeners::unavailable(size_t flag_byte) const {
    for (const auto& s : sockets_)
        if (s->port.flag_byte == flag_byte && s->unavailable.load()) return true;
    return false;
}

uint16_t Listeners::bound_port(PortKind kind) const {
    for (const auto& s : sockets_)
        if (s->port.kind == kind) return s->bound.load();
    return 0;
}

void Listeners::bind_missing() {
    next_retry_ = clock_.tick_ms() + limits_.retry_ms;
    for (auto& s : sockets_) {
        if (s->fd >= 0) continue;
        sockaddr_storage ss{};
        socklen_t len = 0;
        bool v6 = address_.find(':') != std::string::npos;
        if (v6) {
            auto* a = reinterpret_cast<sockaddr_in6*>(&ss);
            a->sin6_family = AF_INET6;
            a->sin6_port = htons(s->port.port);
            inet_pton(AF_INET6, address_.c_str(), &a->sin6_addr);
            len = sizeof *a;
        } else {
            auto* a = reinterpret_cast<sockaddr_in*>(&ss);
            a->sin_family = AF_INET;
            a->sin_port = htons(s->port.port);
            inet_pton(AF_INET, address_.c_str(), &a->sin_addr);
            len = sizeof *a;
        }
        int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        int one = 1;
        // A restarted service must get its port back while old connections
        // linger in TIME_WAIT; a live listener still refuses the bind.
        if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0 || listen(fd, 16) != 0) {
            if (fd >= 0) ::close(fd);
            s->unavailable.store(true);
            continue;
        }
        sockaddr_storage got{};
        socklen_t got_len = sizeof got;
        getsockname(fd, reinterpret_cast<sockaddr*>(&got), &got_len);
        uint16_t port = v6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&got)->sin6_port)
                           : ntohs(reinterpret_cast<sockaddr_in*>(&got)->sin_port);
        s->fd = fd;
        s->bound.store(port);
        s->unavailable.store(false);
    }
}

void Listeners::accept_on(Socket& s) {
    for (;;) {
        int fd = accept4(s.fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        if (connections_.size() >= limits_.max_connections) {
            ::close(fd);
            continue;
        }
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        c->kind = s.port.kind;
        c->deadline = clock_.tick_ms() + limits_.deadline_ms;
        // No protocol is spoken on SMPP and MM7/EAIF: say goodbye at once.
        if (c->kind != PortKind::Web) {
            c->answered = true;
            shutdown(fd, SHUT_WR);
        }
        connections_.push_back(std::move(c));
    }
}

bool Listeners::flush(Connection& c) {
    while (c.sent < c.out.size()) {
        ssize_t n = send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        c.sent += static_cast<size_t>(n);
    }
    // All said: the peer closes, or the deadline does.
    if (!c.out.empty()) shutdown(c.fd, SHUT_WR);
    return true;
}

bool Listeners::on_readable(Connection& c) {
    char buf[4096];
    for (;;) {
        ssize_t n = recv(c.fd, buf, sizeof buf, 0);
        if (n == 0) return false;
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        if (c.answered) {
            // Draining what a client still sends after the answer; a client
            // that floods is cut off.
            c.drained += static_cast<size_t>(n);
            if (c.drained > limits_.request_bytes) return false;
            continue;
        }
        size_t from = c.in.size() < 3 ? 0 : c.in.size() - 3;
        // Kept: at most one byte past the limit, which tells a head too large.
        c.in.append(buf, std::min(static_cast<size_t>(n), limits_.request_bytes + 1 - c.in.size()));
        // The head ends at a blank line (CR LF or a bare LF).
        size_t crlf = c.in.find("\r\n\r\n", from), lf = c.in.find("\n\n", from);
        size_t stop = std::min(crlf == std::string::npos ? crlf : crlf + 4, lf == std::string::npos ? lf : lf + 2);
        if (stop != std::string::npos && stop <= limits_.request_bytes) {
            c.out = answer_web_request(std::string_view(c.in).substr(0, stop), dirs_);
        } else if (c.in.size() > limits_.request_bytes) {
            c.out = response("431 Request Header Fields Too Large", page("Request too large", ""), false);
        } else {
            continue;
        }
        c.answered = true;
        c.in.clear();
        return flush(c);
    }
}

void Listeners::serve() {
    std::vector<pollfd> fds;
    while (!stop_.load()) {
        fds.clear();
        fds.push_back({wake_[0], POLLIN, 0});
        for (auto& s : sockets_) fds.push_back({s->fd, POLLIN, 0});
        for (auto& c : connections_)
            fds.push_back({c->fd, static_cast<short>(POLLIN | (c->sent < c->out.size() ? POLLOUT : 0)), 0});
        if (poll(fds.data(), fds.size(), kPollSliceMs) < 0 && errno != EINTR) break;
        if (stop_.load()) break;
        uint64_t now = clock_.tick_ms();
        for (size_t i = 0; i < sockets_.size(); ++i)
            if (sockets_[i]->fd >= 0 && (fds[1 + i].revents & POLLIN)) accept_on(*sockets_[i]);
        size_t first = 1 + sockets_.size();
        for (size_t i = 0; i < connections_.size();) {
            Connection& c = *connections_[i];
            // Connections accepted in this pass have no poll entry yet.
            short ev = first + i < fds.size() && fds[first + i].fd == c.fd ? fds[first + i].revents : 0;
            bool keep = true;
            if (ev & (POLLIN | POLLHUP | POLLERR)) keep = on_readable(c);
            if (keep && (ev & POLLOUT)) keep = flush(c);
            if (keep && now >= c.deadline) {
                // A request that never completed is told why before the close.
                if (!c.answered) {
                    c.out = response("408 Request Timeout", page("Request timeout", ""), false);
                    c.answered = true;
                    flush(c);
                }
                keep = false;
            }
            if (keep) {
                ++i;
                continue;
            }
            ::close(c.fd);
            connections_.erase(connections_.begin() + static_cast<std::ptrdiff_t>(i));
            fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(first + i));
        }
        if (now >= next_retry_ || retry_soon_.exchange(false)) bind_missing();
    }
}

}  // namespace ovr::gwsim
