#include "config/inet.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "config/text.h"

namespace ovr::config {
namespace {

// Longest host text handed to the resolver (a DNS name is at most 253).
constexpr size_t kMaxHostText = 1024;

struct ResolverSlot {
    std::mutex mu;
    DeviceResolver resolver;
};

ResolverSlot& resolver_slot() {
    static ResolverSlot s;
    return s;
}

std::optional<int> socket_family(int fd) {
    int domain = 0;
    socklen_t len = sizeof domain;
    if (getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &len) != 0) return std::nullopt;
    return domain;
}

// Puts a fresh stream socket of the family in place of fd.
bool replace_socket(int fd, int family) {
    int fd_flags = fcntl(fd, F_GETFD);
    int fl_flags = fcntl(fd, F_GETFL);
    if (fd_flags < 0 || fl_flags < 0) return false;
    int s = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    bool ok = dup3(s, fd, (fd_flags & FD_CLOEXEC) ? O_CLOEXEC : 0) == fd;
    close(s);
    return ok && fcntl(fd, F_SETFL, fl_flags) == 0;
}

// One bounded attempt: non-blocking connect, then wait for it to finish.
bool attempt(int fd, const InetAddress& a, int timeout_ms) {
    int fl = fcntl(fd, F_GETFL);
    if (fl < 0 || fcntl(fd, F_SETFL, fl | O_NONBLOCK) != 0) return false;
    bool ok = false;
    int r = connect(fd, reinterpret_cast<const sockaddr*>(&a.addr), a.len);
    if (r == 0) {
        ok = true;
    } else if (errno == EINPROGRESS || errno == EINTR) {
        pollfd p{fd, POLLOUT, 0};
        int n;
        do {
            n = poll(&p, 1, timeout_ms < 0 ? 0 : timeout_ms);
        } while (n < 0 && errno == EINTR);
        int err = 0;
        socklen_t len = sizeof err;
        ok = n > 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
    }
    fcntl(fd, F_SETFL, fl);
    return ok;
}

std::string_view strip_brackets(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
    return host;
}

}  // namespace

int IPV6OpenSocket(int, int) {
    int s = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return s < 0 ? -1 : s;
}

int closesocket(int sock) { return sock < 0 ? 0 : close(sock); }

std::vector<InetAddress> resolve_host(std::string_view host, uint32_t port) {
    std::vector<InetAddress> out;
    host = strip_brackets(host);
    if (host.empty() || host.size() > kMaxHostText || port == 0 || port > 65535) return out;
    if (host.find('\0') != std::string_view::npos) return out;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    std::string name(host);
    std::string service = std::to_string(port);
    if (getaddrinfo(name.c_str(), service.c_str(), &hints, &list) != 0) return out;
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        if ((ai->ai_family != AF_INET && ai->ai_family != AF_INET6) || ai->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        InetAddress a;
        std::memcpy(&a.addr, ai->ai_addr, ai->ai_addrlen);
        a.len = ai->ai_addrlen;
        out.push_back(a);
    }
    freeaddrinfo(list);
    return out;
}

int connect_any(int sock, const std::vector<InetAddress>& addresses, int timeout_ms) {
    if (sock < 0) return -1;
    auto family = socket_family(sock);
    if (!family) return -1;  // not a socket: never replace what the caller holds
    bool used = false;
    for (const InetAddress& a : addresses) {
        // A socket whose connect failed cannot be reused portably.
        if (used || *family != a.family()) {
            if (!replace_socket(sock, a.family())) continue;
            family = a.family();
        }
        used = true;
        if (attempt(sock, a, timeout_ms)) return 0;
    }
    return -1;
}

int IPV6ConnectToINetServer(int sock, std::string_view host, uint32_t port, int timeout_ms) {
    if (host.size() > kMaxHostText) return -1;
    if (host.size() > kDeviceHostPrefix.size() &&
        equal_ignoring_case(host.substr(0, kDeviceHostPrefix.size()), kDeviceHostPrefix)) {
        std::string_view id = host.substr(kDeviceHostPrefix.size());
        std::optional<std::string> mapped;
        {
            DeviceResolver resolver;
            {
                std::lock_guard lock(resolver_slot().mu);
                resolver = resolver_slot().resolver;
            }
            if (resolver) mapped = resolver(id);
        }
        std::string device_host;
        uint32_t device_port = port;
        split_host_port(mapped ? std::string_view(*mapped) : id, device_host, device_port, kMaxHostText + 1);
        return connect_any(sock, resolve_host(device_host, device_port), timeout_ms);
    }
    return connect_any(sock, resolve_host(host, port), timeout_ms);
}

void set_device_resolver(DeviceResolver resolver) {
    std::lock_guard lock(resolver_slot().mu);
    resolver_slot().resolver = std::move(resolver);
}

}  // namespace ovr::config
