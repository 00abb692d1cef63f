// The network modem device: a phone running the OvrinSMS Modem app, asked
// "GET /init" over the local network. The reply's headers name the device and
// its operator's MMS server and proxy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/ui.h"

namespace ovr::modem {

// Entries of network devices in the modem list: this prefix, then the device
// identifier (a discovered name, or "address:port" typed by the user).
inline constexpr std::string_view kNetworkModemPrefix = "OvrinSMSModem - ";
inline constexpr std::string_view kInitRequest = "GET /init HTTP/1.0\r\n\r\n";
// Bytes of a device name or ID read, terminator included.
inline constexpr size_t kDeviceValueSize = 150;

// Limits of one reply read. The defaults are the product's; tests shorten them.
struct HttpReadLimits {
    uint32_t idle_ms = 121000;     // since the last byte received
    uint32_t wait_ms = 120000;     // one wait for the socket to become readable
    uint32_t overall_ms = 121000;  // since the read began (a trickle must end too)
    size_t cap = 1024 * 1024;      // bytes kept; the reply is judged on what came
};

// Reads a reply into buffer (grown as data arrives, at least 16 zero bytes
// after the data, so buffer.data() is always a terminated text). False only
// when memory runs out; otherwise true with whatever arrived (length bytes).
bool ReadHttpReply(int sock, std::vector<char>& buffer, size_t& length, platform::Clock& clock,
                   const HttpReadLimits& limits = {});

// The offset just past the blank line that ends the headers ("\n\r\n" or
// "\n\n"), or 0 when there is none. The reply is text: it ends at a NUL.
size_t HttpHeaderEnd(std::string_view reply);

// The value of the first header line named `name` (any case, at the start of
// a line, before the header end): blanks after the name skipped, cut at the
// first control character and to at most size - 1 bytes, never inside a
// UTF-8 character. Empty when absent.
void HttpHeaderValue(std::string_view reply, std::string_view name, std::string& out, size_t size);

// What a device query needs besides the identifier: the clock for the read,
// the Ui that shows the exchange (may be null), the read limits.
struct DeviceQueryOptions {
    platform::Clock* clock = nullptr;  // null: the machine's clock
    Ui* ui = nullptr;
    HttpReadLimits limits{};
    int connect_timeout_ms = 10000;
};

// True when the device answered "GET /init" with a non-empty name and ID.
bool QueryNetworkModem(std::string_view identifier, const DeviceQueryOptions& options = {});

// True when the reply held a non-empty MMS URL; both outputs hold at most 149
// characters and are empty when absent.
bool QueryNetworkModemMms(std::string_view identifier, std::string& mms_url, std::string& mms_proxy,
                          const DeviceQueryOptions& options = {});

// The device name and ID as well, for callers that show them.
struct DeviceInfo {
    std::string name, id, mms_url, mms_proxy;
};
// One exchange; true as QueryNetworkModem would be (name and ID present).
bool QueryNetworkModemInfo(std::string_view identifier, DeviceInfo& info, const DeviceQueryOptions& options = {});

// The first `max` bytes of a text, cut after the last whole UTF-8 character
// that fits (a text that is not UTF-8 is cut at `max`).
std::string_view cut_at_character(std::string_view text, size_t max);

// The device identifier of a modem entry or typed text: the prefix (any
// case) dropped when present.
std::string_view device_identifier(std::string_view entry_or_identifier);

// The route name of a device identifier: the host of its host:port split
// (brackets of an IPv6 address kept), or the identifier when it has no port.
std::string device_route_name(std::string_view identifier);

}  // namespace ovr::modem
