// Telephony line devices of the data-modem kind, as the modem channel uses
// them: initialise, negotiate a version, read capabilities, open a line, make
// a pass-through call, wait for its reply, get the port behind the call, drop,
// deallocate, close, shut down. Results follow the telephony API: 0 or a
// positive request id for success, a LINEERR_ code (high bit set) otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/comm_port.h"

namespace ovr::platform {

namespace tapi {
inline constexpr int32_t kSuccess = 0;
inline constexpr uint32_t kErrInvalAppHandle = 0x80000015;
inline constexpr uint32_t kErrBadDeviceId = 0x80000002;
inline constexpr uint32_t kErrIncompatibleApiVersion = 0x8000002C;
inline constexpr uint32_t kErrNoDriver = 0x80000043;
inline constexpr uint32_t kErrNoMem = 0x80000044;
inline constexpr uint32_t kErrOperationFailed = 0x80000048;
inline constexpr uint32_t kErrResourceUnavail = 0x80000047;
inline constexpr uint32_t kErrAllocated = 0x80000001;
inline constexpr uint32_t kErrInvalCallHandle = 0x80000018;
inline constexpr uint32_t kErrInvalLineHandle = 0x8000002B;
inline constexpr uint32_t kErrStructureTooSmall = 0x8000004D;
inline constexpr uint32_t kErrOperationUnavail = 0x80000049;

inline constexpr uint32_t kMediaModeDataModem = 0x10;
inline constexpr uint32_t kMediaModeInteractiveVoice = 0x04;
inline constexpr uint32_t kBearerModePassthrough = 0x40;
inline constexpr uint32_t kCallPrivilegeNone = 1;
inline constexpr uint32_t kLineReply = 12;
inline constexpr uint32_t kInitOptionUseEvent = 2;

inline bool failed(int32_t r) { return r < 0; }
}  // namespace tapi

// What lineGetDevCaps returns: the size the full structure needs, the media
// modes and the line name.
struct LineDevCaps {
    uint32_t needed_size = 0;
    uint32_t media_modes = 0;
    std::string line_name;
};

struct LineMessage {
    uint32_t id = 0;
    uintptr_t param1 = 0;
    uintptr_t param2 = 0;
};

class Tapi {
public:
    virtual ~Tapi() = default;
    // options: 0 or tapi::kInitOptionUseEvent.
    virtual int32_t initialize(const std::string& app_name, uint32_t options, uint32_t& app, uint32_t& num_devs,
                               uint32_t& api_version) = 0;
    virtual int32_t negotiate_api_version(uint32_t app, uint32_t device, uint32_t low, uint32_t high,
                                          uint32_t& version) = 0;
    // Fills caps when buffer_size is large enough for the fixed part; a reply
    // with needed_size > buffer_size holds only that size.
    virtual int32_t get_dev_caps(uint32_t app, uint32_t device, uint32_t version, uint32_t buffer_size,
                                 LineDevCaps& caps) = 0;
    virtual int32_t open(uint32_t app, uint32_t device, uint32_t& line, uint32_t version, uint32_t privileges,
                         uint32_t media_modes) = 0;
    // lineGetID on a line: text of a device class such as "comm/datamodem/portname".
    virtual int32_t get_line_id(uint32_t line, const std::string& device_class, size_t buffer_size,
                                std::string& text) = 0;
    virtual int32_t make_call(uint32_t line, uint32_t& call, uint32_t bearer_mode, uint32_t media_mode) = 0;
    // Waits up to timeout_ms (through the clock) for a message.
    virtual int32_t get_message(uint32_t app, LineMessage& message, uint32_t timeout_ms) = 0;
    // lineGetID on a call for "comm/datamodem": the port behind the call.
    virtual int32_t get_call_comm(uint32_t call, size_t buffer_size, std::unique_ptr<CommPort>& port) = 0;
    virtual int32_t drop(uint32_t call) = 0;
    virtual int32_t deallocate_call(uint32_t call) = 0;
    virtual int32_t close(uint32_t line) = 0;
    virtual int32_t shutdown(uint32_t app) = 0;
};

// Line devices over a folder of links to serial devices (/dev/serial/by-id/):
// each link is a data-modem line named after the link, whose
// "comm/datamodem/portname" is the device it links to.
std::shared_ptr<Tapi> make_posix_tapi(std::shared_ptr<Clock> clock, std::shared_ptr<CommPorts> ports,
                                      std::string by_id_dir = "/dev/serial/by-id/");

// The links of such a folder, sorted by name: {name, resolved device path}.
struct SerialLink {
    std::string name;
    std::string device;
};
std::vector<SerialLink> list_serial_links(const std::string& dir);

}  // namespace ovr::platform
