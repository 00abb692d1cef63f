#include "modem/network_device.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <new>

#include "config/inet.h"
#include "config/text.h"

namespace ovr::modem {
namespace {

constexpr size_t kInitialBuffer = 2048;
constexpr size_t kSlack = 16;  // zero bytes kept after the data
constexpr int kEmptyWaitsEnd = 6;

std::string_view as_text(std::string_view reply) {
    size_t nul = reply.find('\0');
    return nul == std::string_view::npos ? reply : reply.substr(0, nul);
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Where `needle` starts in hay at or after `from` ignoring letter case, or npos.
size_t find_ignoring_case(std::string_view hay, std::string_view needle, size_t from = 0) {
    if (needle.empty() || hay.size() < needle.size()) return std::string_view::npos;
    for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && lower(hay[i + k]) == lower(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

// The reader's header end: "\n\n", else "\n\r\n", else "\r\r", searched from
// `from` (the bytes before it held none of the three). Offset past it, or 0.
size_t reader_header_end(std::string_view data, size_t from) {
    static constexpr std::string_view forms[] = {"\n\n", "\n\r\n", "\r\r"};
    for (std::string_view f : forms) {
        size_t at = data.find(f, from);
        if (at != std::string_view::npos) return at + f.size();
    }
    return 0;
}

// The expected total of a reply whose headers end at header_len: the header
// length plus a non-zero Content-length, at most `cap`; 0 when unknown.
size_t expected_total(std::string_view data, size_t header_len, size_t cap) {
    static constexpr std::string_view kName = "Content-length:";
    size_t at = find_ignoring_case(data, kName);
    if (at == std::string_view::npos) return 0;
    size_t i = at + kName.size();
    while (i < data.size() && (data[i] == ' ' || data[i] == '\t')) ++i;
    if (i >= data.size() || data[i] < '0' || data[i] > '9') return 0;
    size_t value = 0;
    bool overflow = false;
    for (; i < data.size() && data[i] >= '0' && data[i] <= '9'; ++i) {
        size_t d = static_cast<size_t>(data[i] - '0');
        if (value > (std::numeric_limits<size_t>::max() - d) / 10) {
            overflow = true;
            break;
        }
        value = value * 10 + d;
    }
    if (!overflow && value == 0) return 0;
    if (overflow || value > cap || header_len > cap - value) return cap;
    return header_len + value;
}

int remaining_ms(uint64_t since, uint64_t limit, uint64_t now) {
    uint64_t spent = now - since;
    return spent >= limit ? 0 : static_cast<int>(std::min<uint64_t>(limit - spent, 1u << 30));
}

void show(const DeviceQueryOptions& o, const std::string& line) {
    if (o.ui) o.ui->progress(line);
}

// Shows each header line of the reply (up to its end) as received.
void show_reply(const DeviceQueryOptions& o, std::string_view reply) {
    if (!o.ui) return;
    size_t end = HttpHeaderEnd(reply);
    std::string_view head = reply.substr(0, end ? end : std::min<size_t>(reply.size(), 4096));
    int lines = 0;
    while (!head.empty() && lines < 64) {
        size_t nl = head.find('\n');
        std::string_view line = head.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) {
            std::string shown;
            for (char c : line.substr(0, 200)) shown += (static_cast<unsigned char>(c) < 32) ? '?' : c;
            o.ui->progress("<- " + shown);
            ++lines;
        }
        if (nl == std::string_view::npos) break;
        head.remove_prefix(nl + 1);
    }
}

// Connects, sends the request, reads the reply. False when no reply could be
// read (nothing to parse); the socket is closed on every path.
bool exchange(std::string_view identifier, std::vector<char>& buffer, size_t& length,
              const DeviceQueryOptions& o) {
    platform::SystemClock system_clock;
    platform::Clock& clock = o.clock ? *o.clock : system_clock;
    std::string host = std::string(config::kDeviceHostPrefix) + std::string(identifier);
    show(o, "Connecting to " + std::string(identifier));
    int sock = config::IPV6OpenSocket(0, 0);
    if (sock == -1) {
        show(o, "(no reply)");
        return false;
    }
    if (config::IPV6ConnectToINetServer(sock, host, 0, o.connect_timeout_ms) != 0) {
        config::closesocket(sock);
        show(o, "(no reply)");
        return false;
    }
    show(o, "-> GET /init HTTP/1.0");
    ssize_t sent = send(sock, kInitRequest.data(), kInitRequest.size(), MSG_NOSIGNAL);
    bool ok = sent == static_cast<ssize_t>(kInitRequest.size()) && ReadHttpReply(sock, buffer, length, clock, o.limits);
    config::closesocket(sock);
    if (!ok || length == 0) {
        show(o, "(no reply)");
        return false;
    }
    show_reply(o, std::string_view(buffer.data(), length));
    return true;
}

}  // namespace

bool ReadHttpReply(int sock, std::vector<char>& buffer, size_t& length, platform::Clock& clock,
                   const HttpReadLimits& limits) {
    length = 0;
    const size_t cap = std::max<size_t>(limits.cap, 1);
    try {
        buffer.assign(std::min(kInitialBuffer, cap + kSlack), '\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    size_t expected = 0;     // 0: not yet known
    size_t scanned = 0;      // bytes already searched for the header end
    int empty_waits = 0;
    const uint64_t start = clock.tick_ms();
    uint64_t last_activity = start;
    for (;;) {
        const uint64_t now = clock.tick_ms();
        int idle_left = remaining_ms(last_activity, limits.idle_ms, now);
        int overall_left = remaining_ms(start, limits.overall_ms, now);
        if (idle_left == 0 || overall_left == 0) break;
        if (expected == 0) {
            std::string_view data(buffer.data(), length);
            size_t end = reader_header_end(data, scanned);
            scanned = length >= 2 ? length - 2 : 0;  // a form may straddle the next arrival
            if (end) expected = expected_total(data, end, cap);
        }
        if (expected != 0 && length >= expected) break;
        if (length >= cap) break;  // judged on what arrived
        pollfd p{sock, POLLIN, 0};
        int wait = std::min({static_cast<int>(std::min<uint32_t>(limits.wait_ms, 1u << 30)), idle_left, overall_left});
        int n = poll(&p, 1, wait);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || (p.revents & POLLNVAL)) break;
        int waiting = 0;
        if (ioctl(sock, FIONREAD, &waiting) != 0) break;
        if (waiting > 0) {
            size_t want = std::min(static_cast<size_t>(waiting), cap - length);
            if (buffer.size() < length + want + kSlack) {
                size_t grown = std::max(buffer.size() + buffer.size() / 2, length + want + kSlack);
                grown = std::min(grown, cap + kSlack);
                try {
                    buffer.resize(grown, '\0');
                } catch (const std::bad_alloc&) {
                    length = 0;
                    return false;
                }
            }
            ssize_t got = recv(sock, buffer.data() + length, want, 0);
            if (got < 0) break;
            if (got > 0) {
                length += static_cast<size_t>(got);
                last_activity = clock.tick_ms();
            }
        } else {
            if (++empty_waits >= kEmptyWaitsEnd) break;
            clock.sleep_ms(1);
        }
    }
    return true;
}

size_t HttpHeaderEnd(std::string_view reply) {
    std::string_view text = as_text(reply);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') return i + 3;
        if (i + 1 < text.size() && text[i + 1] == '\n') return i + 2;
    }
    return 0;
}

void HttpHeaderValue(std::string_view reply, std::string_view name, std::string& out, size_t size) {
    out.clear();
    if (size == 0 || name.empty()) return;
    std::string_view text = as_text(reply);
    size_t end = HttpHeaderEnd(text);
    if (end == 0) return;
    std::string_view head = text.substr(0, end);
    for (size_t at = 0; at < head.size(); ++at) {
        if (at != 0 && head[at - 1] != '\n') continue;
        if (head.size() - at < name.size()) break;
        if (find_ignoring_case(head.substr(at, name.size()), name) != 0) continue;
        size_t i = at + name.size();
        while (i < head.size() && (head[i] == ' ' || head[i] == '\t')) ++i;
        size_t j = i;
        while (j < head.size() && static_cast<unsigned char>(head[j]) >= 32) ++j;
        std::string_view value = head.substr(i, j - i);
        out.assign(cut_at_character(value, size - 1));
        return;
    }
}

bool QueryNetworkModemInfo(std::string_view identifier, DeviceInfo& info, const DeviceQueryOptions& options) {
    info = {};
    std::vector<char> buffer;
    size_t length = 0;
    if (!exchange(identifier, buffer, length, options)) return false;
    std::string_view reply(buffer.data(), length);
    HttpHeaderValue(reply, "X-OvrinSMS-DeviceName:", info.name, kDeviceValueSize);
    if (!info.name.empty()) HttpHeaderValue(reply, "X-OvrinSMS-DeviceID:", info.id, kDeviceValueSize);
    HttpHeaderValue(reply, "X-OvrinSMS-MMSURL:", info.mms_url, kDeviceValueSize);
    HttpHeaderValue(reply, "X-OvrinSMS-MMSProxy:", info.mms_proxy, kDeviceValueSize);
    return !info.name.empty() && !info.id.empty();
}

bool QueryNetworkModem(std::string_view identifier, const DeviceQueryOptions& options) {
    DeviceInfo info;
    return QueryNetworkModemInfo(identifier, info, options);
}

bool QueryNetworkModemMms(std::string_view identifier, std::string& mms_url, std::string& mms_proxy,
                          const DeviceQueryOptions& options) {
    mms_url.clear();
    mms_proxy.clear();
    std::vector<char> buffer;
    size_t length = 0;
    if (!exchange(identifier, buffer, length, options)) return false;
    std::string_view reply(buffer.data(), length);
    HttpHeaderValue(reply, "X-OvrinSMS-MMSURL:", mms_url, kDeviceValueSize);
    if (mms_url.empty()) return false;
    HttpHeaderValue(reply, "X-OvrinSMS-MMSProxy:", mms_proxy, kDeviceValueSize);
    return true;
}

std::string_view cut_at_character(std::string_view text, size_t max) {
    if (text.size() <= max) return text;
    size_t cut = max;
    // Never keep part of a UTF-8 character: back off to its lead byte.
    for (int back = 0; back < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++back) --cut;
    if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) cut = max;  // not UTF-8 at all
    return text.substr(0, cut);
}

std::string_view device_identifier(std::string_view text) {
    if (text.size() >= kNetworkModemPrefix.size() &&
        config::equal_ignoring_case(text.substr(0, kNetworkModemPrefix.size()), kNetworkModemPrefix))
        text.remove_prefix(kNetworkModemPrefix.size());
    return text;
}

std::string device_route_name(std::string_view identifier) {
    std::string host;
    uint32_t port = 0;
    config::split_host_port(identifier, host, port, identifier.size() + 1);
    return host;
}

}  // namespace ovr::modem
