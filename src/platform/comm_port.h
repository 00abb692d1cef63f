// Serial ports (COM ports) as the modem channel needs them: an exclusive
// open by port name, the line settings of a definition string, the five
// read/write time-outs, one-byte writes and reads that follow those
// time-outs. Every wait inside a port goes through the Clock it was opened
// with.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace ovr::platform {

inline constexpr uint32_t kMaxDword = 0xFFFFFFFFu;

// Read interval, read total multiplier, read total constant, write total
// multiplier, write total constant, in milliseconds.
struct CommTimeouts {
    uint32_t read_interval = 0;
    uint32_t read_multiplier = 0;
    uint32_t read_constant = 0;
    uint32_t write_multiplier = 0;
    uint32_t write_constant = 0;
    friend bool operator==(const CommTimeouts&, const CommTimeouts&) = default;
};

struct LineSettings {
    uint32_t baud = 0;
    char parity = 'N';   // N, E, O, M, S
    int data_bits = 8;   // 5..8
    int stop_bits = 1;   // 1 or 2
    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// Parses a definition such as "baud=9600 parity=N data=8 stop=1"; nothing
// when a key or value is not understood.
std::optional<LineSettings> build_line_settings(std::string_view definition);

// An operating-system error: its code and the system's text for it.
struct SystemError {
    int code = 0;
    std::string text;
    bool in_use = false;   // the device is held by another opener
};

enum class WriteStatus {
    Written,        // the byte went out
    ZeroAtOnce,     // completed at once without taking the byte
    ZeroAfterWait,  // completed within the wait without taking the byte (write time-out)
    Incomplete,     // still not done when the wait ended; it has been cancelled
    Failed,         // the port reported an error
};

struct ReadOutcome {
    enum Kind {
        AtOnce,       // completed at once (possibly with nothing)
        Completed,    // completed within the wait (possibly with nothing)
        Incomplete,   // not done when the wait ended; cancelled, nothing taken
        Failed,       // the port reported an error
    } kind = Failed;
    std::string data;
};

class CommPort {
public:
    virtual ~CommPort() = default;
    // Driver queue sizes.
    virtual bool setup_queues(uint32_t in_bytes, uint32_t out_bytes) = 0;
    // Reads the current line state; false when the device is no serial line.
    virtual bool get_state() = 0;
    virtual bool set_state(const LineSettings& settings) = 0;
    virtual bool set_timeouts(const CommTimeouts& timeouts) = 0;
    // Writes one byte, waiting at most wait_ms for a write that cannot finish
    // at once.
    virtual WriteStatus write_byte(uint8_t byte, uint32_t wait_ms) = 0;
    // Reads at most `room` bytes under the port's time-outs, waiting at most
    // wait_ms for a read that does not finish at once.
    virtual ReadOutcome read(size_t room, uint32_t wait_ms) = 0;
    // Abandons whatever is in progress and clears the error state.
    virtual void cancel() = 0;
    virtual void clear_error() = 0;
};

class CommPorts {
public:
    virtual ~CommPorts() = default;
    // Opens a port by name for exclusive reading and writing: "COMn:" (a
    // direct port name), "\\.\NAME" (a device path) or an absolute path.
    virtual std::unique_ptr<CommPort> open(const std::string& name, SystemError& error) = 0;
};

// Termios ports. "COMn:" maps through the link device_map/comN when there is
// one, else to dev_dir/ttyS{n-1}; a device path "\\.\NAME" is dev_dir/NAME,
// then dev_dir/serial/by-id/NAME; an absolute path is used as it is.
std::shared_ptr<CommPorts> make_posix_comm_ports(std::shared_ptr<Clock> clock, std::string dev_dir = "/dev/",
                                                 std::string device_map = {});

// The path a port name maps to under those rules ("" when none).
std::string map_port_name(const std::string& name, const std::string& dev_dir, const std::string& device_map);

// The operating system's text for an error code.
std::string system_error_text(int code);

}  // namespace ovr::platform
