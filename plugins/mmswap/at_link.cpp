#include "at_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace ovr::mmswap {
namespace {

using Steady = std::chrono::steady_clock;

constexpr size_t kMaxReply = 4096;

std::mutex g_mutex;
std::map<int, std::string> g_details;
struct Held {
    std::string modem;
    int fd = -1;
};
std::vector<Held> g_held;  // index + 1 is the handle

uint64_t ms_left(Steady::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
    return left > 0 ? static_cast<uint64_t>(left) : 0;
}

bool write_all(int fd, const std::string& bytes, Steady::time_point deadline) {
    size_t off = 0;
    while (off < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + off, bytes.size() - off);
        if (n > 0) {
            off += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        uint64_t left = ms_left(deadline);
        if (left == 0) return false;
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, static_cast<int>(std::min<uint64_t>(left, 200)));
    }
    return true;
}

// Reads what arrives until done(buffer) or the deadline; false when the
// peer closed or the deadline passed first.
bool read_until(int fd, std::string& buf, size_t cap, Steady::time_point deadline,
                const std::function<bool(const std::string&)>& done) {
    for (;;) {
        if (done(buf)) return true;
        uint64_t left = ms_left(deadline);
        if (left == 0 || buf.size() >= cap) return false;
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(std::min<uint64_t>(left, 200)));
        if (r < 0 && errno != EINTR) return false;
        if (r <= 0) continue;
        char chunk[512];
        ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, cap - buf.size()));
        if (n > 0)
            buf.append(chunk, static_cast<size_t>(n));
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            return done(buf);
    }
}

Final final_of(const std::string& line) {
    if (line == "OK") return Final::Ok;
    if (line.rfind("CONNECT", 0) == 0) return Final::Connect;
    if (line == "NO CARRIER" || line == "BUSY" || line == "NO ANSWER" || line == "NO DIALTONE") return Final::NoCarrier;
    if (line == "ERROR" || line.rfind("+CME ERROR:", 0) == 0 || line.rfind("+CMS ERROR:", 0) == 0) return Final::Error;
    return Final::None;
}

// Splits the reply into lines; the reply ends at its first final line.
bool parse_reply(const std::string& buf, AtReply& r) {
    r = {};
    size_t start = 0;
    while (start < buf.size()) {
        size_t end = buf.find_first_of("\r\n", start);
        if (end == std::string::npos) return false;  // a line still arriving
        std::string line = buf.substr(start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        Final f = final_of(line);
        if (f != Final::None) {
            r.final = f;
            r.final_line = line;
            return true;
        }
        r.text += line + "\n";
    }
    return false;
}

int cme_code(const AtReply& r) {
    const char* p = "+CME ERROR:";
    if (r.final_line.rfind(p, 0) != 0) return -1;
    return std::atoi(r.final_line.c_str() + std::strlen(p));
}

}  // namespace

std::string error_text(int code) {
    std::string t;
    switch (code) {
        case kUnknownConnection: t = "The data connection is not a modem of this machine."; break;
        case kPortUnavailable: t = "The modem's port could not be opened (missing, or in use)."; break;
        case kNoCoverage: t = "The modem found no GPRS network (no coverage)."; break;
        case kAuthFailed: t = "The network refused the APN login name or password."; break;
        case kModemSilent: t = "The modem did not answer AT commands."; break;
        case kNoAnswer: t = "The network did not answer the data call in time."; break;
        case kApnRefused: t = "The network refused the data context for this APN."; break;
        case kLinkFailed: t = "The PPP data link could not be brought up."; break;
        case kUnsafeSetting: t = "A setting holds a quote, a backslash or a control character."; break;
        default: t = "Unknown dial error."; break;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_details.find(code);
    if (it != g_details.end() && !it->second.empty()) t += " " + it->second;
    return t;
}

void set_detail(int code, std::string detail) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_details[code] = std::move(detail);
}

Limits limits() {
    Limits l;
    const char* cap = std::getenv("OVRINSMS_GPRS_WAIT_MS");
    char* end = nullptr;
    unsigned long v = cap ? std::strtoul(cap, &end, 10) : 0;
    if (cap && *cap && end && *end == '\0' && v > 0 && v < 3600000) {
        auto c = static_cast<uint32_t>(v);
        for (uint32_t* x : {&l.reply_ms, &l.attach_ms, &l.dial_ms, &l.link_ms, &l.proxy_ms, &l.allocate_ms})
            *x = std::min(*x, c);
    }
    return l;
}

bool safe_setting(const std::string& v) {
    for (unsigned char c : v)
        if (c == '"' || c == '\\' || c < 0x20 || c == 0x7f) return false;
    return true;
}

std::string port_path(const std::string& modem, const PortDirs& d) {
    auto slash = [](std::string s) {
        if (!s.empty() && s.back() != '/') s += '/';
        return s;
    };
    if (modem.empty() || modem.size() > 249 || !safe_setting(modem)) return {};
    if (modem.size() >= 5 && strncasecmp(modem.c_str(), "COM", 3) == 0 && modem.back() == ':') {
        std::string digits = modem.substr(3, modem.size() - 4);
        if (digits.empty() || digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos)
            return {};
        unsigned long n = std::strtoul(digits.c_str(), nullptr, 10);
        if (!d.device_map.empty()) return slash(d.device_map) + "com" + std::to_string(n);
        if (n == 0) return {};
        return slash(d.dev_dir) + "ttyS" + std::to_string(n - 1);
    }
    if (modem.find('/') != std::string::npos || modem == "." || modem == "..") return {};
    return slash(d.by_id_dir) + modem;
}

std::string modem_of_profile(const char* profile) {
    std::string p = profile ? profile : "";
    return p.rfind("Modem: ", 0) == 0 ? p.substr(7) : std::string{};
}

int open_port(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    termios t{};
    if (!::isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0 || ::tcgetattr(fd, &t) != 0) {
        int e = errno ? errno : ENOTTY;
        ::close(fd);
        errno = e;
        return -1;
    }
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(HUPCL);  // a dropped descriptor must not end a call the PPP daemon holds
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    ::tcsetattr(fd, TCSANOW, &t);
    ::tcflush(fd, TCIOFLUSH);
    return fd;
}

intptr_t allocate(const std::string& modem, const std::string& path, uint32_t wait_ms, int* reason) {
    if (reason) *reason = 0;
    if (path.empty()) {
        if (reason) *reason = ENOENT;
        return 0;
    }
    auto deadline = Steady::now() + std::chrono::milliseconds(wait_ms);
    for (;;) {
        int fd = open_port(path);
        if (fd >= 0) {
            std::lock_guard<std::mutex> lock(g_mutex);
            for (size_t i = 0; i < g_held.size(); ++i)
                if (g_held[i].fd < 0) {
                    g_held[i] = {modem, fd};
                    return static_cast<intptr_t>(i + 1);
                }
            g_held.push_back({modem, fd});
            return static_cast<intptr_t>(g_held.size());
        }
        int e = errno;
        // The gateway service gives the port up when it sees the request;
        // a port that is not there will not come.
        if (e == ENOENT || e == ENOTTY || e == EACCES || ms_left(deadline) == 0) {
            if (reason) *reason = e;
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<uint64_t>(200, ms_left(deadline) + 1)));
    }
}

void release(intptr_t handle) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (handle <= 0 || static_cast<size_t>(handle) > g_held.size()) return;
    Held& h = g_held[static_cast<size_t>(handle - 1)];
    if (h.fd >= 0) ::close(h.fd);
    h = {};
}

int port_for_call(const std::string& modem, const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (const Held& h : g_held)
            if (h.fd >= 0 && strcasecmp(h.modem.c_str(), modem.c_str()) == 0) return ::fcntl(h.fd, F_DUPFD_CLOEXEC, 0);
    }
    return path.empty() ? -1 : open_port(path);
}

AtReply at_command(int fd, const std::string& cmd, uint32_t limit_ms, const Log& log) {
    auto deadline = Steady::now() + std::chrono::milliseconds(limit_ms);
    AtReply r;
    if (log) log("-> " + cmd);
    ::tcflush(fd, TCIFLUSH);  // nothing stale is taken for this command's answer
    if (!write_all(fd, cmd + "\r", deadline)) return r;
    std::string buf;
    read_until(fd, buf, kMaxReply, deadline, [&](const std::string& b) { return parse_reply(b, r); });
    if (r.final == Final::None) r.text.clear();
    if (log) log("<- " + (r.final == Final::None ? std::string("(no answer)") : r.final_line));
    return r;
}

int dial_data_call(int fd, const std::string& apn, const Limits& l, const Log& log) {
    if (!safe_setting(apn)) return kUnsafeSetting;
    // A modem left in a data call answers nothing until "+++".
    AtReply r;
    for (int attempt = 0; attempt < 3 && r.final != Final::Ok; ++attempt)
        r = at_command(fd, "AT", std::min<uint32_t>(l.reply_ms, 3000), log);
    if (r.final != Final::Ok) return kModemSilent;
    at_command(fd, "ATE0V1", l.reply_ms, log);
    at_command(fd, "AT+CMEE=1", l.reply_ms, log);
    r = at_command(fd, "AT+CGATT?", l.reply_ms, log);
    if (r.final == Final::None) return kModemSilent;
    if (r.text.find("+CGATT: 1") == std::string::npos) {
        r = at_command(fd, "AT+CGATT=1", l.attach_ms, log);
        if (r.final == Final::None) return kNoAnswer;
        if (r.final != Final::Ok) return kNoCoverage;
    }
    r = at_command(fd, "AT+CGDCONT=1,\"IP\",\"" + apn + "\"", l.reply_ms, log);
    if (r.final == Final::None) return kModemSilent;
    if (r.final != Final::Ok) return kApnRefused;
    r = at_command(fd, "ATD*99***1#", l.dial_ms, log);
    switch (r.final) {
        case Final::Connect: return 0;
        case Final::None:
            // A dial still pending ends with the next character.
            write_all(fd, "\r", Steady::now() + std::chrono::milliseconds(500));
            return kNoAnswer;
        default: break;
    }
    int cme = cme_code(r);
    if (cme == 30 || cme == 107 || cme == 111 || cme == 112 || cme == 113) return kNoCoverage;
    if (cme == 149) return kAuthFailed;
    // NO CARRIER straight after the context was set: the network refused it.
    return kApnRefused;
}

int proxy_exchange(int fd, const std::string& proxy, uint32_t limit_ms, const Log& log) {
    auto deadline = Steady::now() + std::chrono::milliseconds(limit_ms);
    std::string request = "GET http://" + proxy + "/ HTTP/1.0\r\nHost: " + proxy + "\r\n\r\n";
    if (log) log("-> GET http://" + proxy + "/ HTTP/1.0");
    if (!write_all(fd, request, deadline)) return 1;
    std::string buf;
    read_until(fd, buf, kMaxReply, deadline, [](const std::string& b) { return b.find("\r\n") != std::string::npos; });
    std::string status = buf.substr(0, buf.find("\r\n"));
    if (log) log("<- " + (status.empty() ? std::string("(no answer)") : status.substr(0, 200)));
    if (status.size() < 12 || status.compare(0, 5, "HTTP/") != 0) return 1;
    size_t sp = status.find(' ');
    if (sp == std::string::npos) return 1;
    int code = std::atoi(status.c_str() + sp + 1);
    return code >= 100 && code < 400 ? 0 : 1;
}

void hang_up_line(int fd, uint32_t guard_ms, const Limits& l, const Log& log) {
    std::this_thread::sleep_for(std::chrono::milliseconds(guard_ms));
    if (log) log("-> +++");
    write_all(fd, "+++", Steady::now() + std::chrono::milliseconds(1000));
    std::string buf;
    AtReply r;
    read_until(fd, buf, kMaxReply, Steady::now() + std::chrono::milliseconds(guard_ms + std::min<uint32_t>(l.reply_ms, 2000)),
               [&](const std::string& b) { return parse_reply(b, r); });
    at_command(fd, "ATH", l.reply_ms, log);
}

}  // namespace ovr::mmswap
