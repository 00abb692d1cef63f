// Stream sockets of the support library: the console's server tests and the
// network modem device client open a socket here and connect it to a host
// name or literal address.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovr::config {

// Limit of each connect attempt (one per address a name resolves to).
inline constexpr int kDefaultConnectTimeoutMs = 10000;
// Host strings of network modem devices: this prefix, then the device
// identifier (letters of the prefix compared without regard to case).
inline constexpr std::string_view kDeviceHostPrefix = "ovrinsmsmodem_";

// A stream socket (IPv6, or IPv4 where IPv6 is unavailable), or -1. The two
// arguments are the library's traditional zeros and are not used.
int IPV6OpenSocket(int = 0, int = 0);
// Closes a socket of IPV6OpenSocket; -1 is ignored.
int closesocket(int sock);

// Connects the socket to the host and port; 0 when connected, -1 otherwise.
// The host is a name, an IPv4 address, an IPv6 address with or without
// brackets, or a device host string: "ovrinsmsmodem_" and an identifier,
// resolved by the device resolver when one is set and otherwise read as
// "address:port" itself (the port argument, normally 0 for devices, is the
// default when the identifier names none). Every address is tried in the
// order the resolver gives them, each for at most timeout_ms.
//
// The caller's descriptor number stays valid throughout: when an address
// needs the other address family, or an attempt failed, a fresh socket is
// put in its place (dup3), keeping its close-on-exec flag and file status
// flags. A descriptor that is not a socket is left alone and fails.
int IPV6ConnectToINetServer(int sock, std::string_view host, uint32_t port,
                            int timeout_ms = kDefaultConnectTimeoutMs);

struct InetAddress {
    sockaddr_storage addr{};
    socklen_t len = 0;
    int family() const { return addr.ss_family; }
};

// The addresses of a host (name or literal, brackets removed) with the port;
// empty when it does not resolve or the port is not 1 to 65535.
std::vector<InetAddress> resolve_host(std::string_view host, uint32_t port);

// Tries the addresses in order; 0 when one connected, -1 otherwise.
int connect_any(int sock, const std::vector<InetAddress>& addresses, int timeout_ms = kDefaultConnectTimeoutMs);

// Maps a device identifier to its "address:port" text (the discovered device
// cache installs one); nothing means the identifier is read as it is. An
// empty function removes the resolver.
using DeviceResolver = std::function<std::optional<std::string>(std::string_view identifier)>;
void set_device_resolver(DeviceResolver resolver);

}  // namespace ovr::config
