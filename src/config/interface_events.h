// Queue signals: after the console drops a request file into an outbound
// queue it wakes the service that serves that interface ("SMSOut" with a
// modem name, "VASPOut" with a route name).
//
// Mechanism: one named FIFO per interface in "EVENTS/" under the private
// data directory, created by the listening service. A signal opens the FIFO
// for writing without blocking and writes one byte; when nobody listens (no
// FIFO, or no reader: ENXIO) nothing happens and nothing is reported. Signals
// coalesce: however many arrive before the listener looks, it wakes once.
//
// FIFO names: "<kind>-<name>.fifo" with kind and name upper-cased (the
// gateway matches interface names without regard to case) and every byte
// other than A-Z, 0-9, "." and "-" written as "_" and two hex digits, so
// modem names such as "COM7:" or TAPI names holding blanks or "/" are safe.
// An encoded name longer than 160 bytes keeps its first 120 bytes followed by
// "~" and a 64-bit hash of the whole name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ovr::config {

// The FIFO of an interface, below the given private data directory.
std::string interface_event_path(const std::string& private_dir, std::string_view kind, std::string_view name);

// Wakes the listener of the interface, if there is one.
void SetEventForInterface(std::string_view kind, std::string_view name);
void signal_interface(const std::string& private_dir, std::string_view kind, std::string_view name);

// The service side: listens for the signals of one interface.
class InterfaceEventListener {
public:
    // Creates "EVENTS/" and the FIFO as needed (replacing anything else that
    // stands under its name) and opens it. Nothing when that fails.
    static std::optional<InterfaceEventListener> create(const std::string& private_dir, std::string_view kind,
                                                        std::string_view name);
    InterfaceEventListener(InterfaceEventListener&& other) noexcept;
    InterfaceEventListener& operator=(InterfaceEventListener&& other) noexcept;
    InterfaceEventListener(const InterfaceEventListener&) = delete;
    InterfaceEventListener& operator=(const InterfaceEventListener&) = delete;
    // Closes the FIFO; later signals find no reader and do nothing. The FIFO
    // itself stays for the next listener.
    ~InterfaceEventListener();

    // Waits up to timeout_ms (0 = just look, negative = no limit) for a
    // signal; true when one arrived, and every signal pending is consumed.
    bool wait(int timeout_ms);
    // Consumes pending signals without waiting; true when there were any.
    bool drain();
    // For a caller's own poll() loop: readable when signalled.
    int fd() const { return read_fd_; }
    const std::string& path() const { return path_; }

private:
    InterfaceEventListener(std::string path, int read_fd, int write_fd)
        : path_(std::move(path)), read_fd_(read_fd), keep_fd_(write_fd) {}
    void close_all();

    std::string path_;
    int read_fd_ = -1;
    // Our own writer keeps the FIFO from reporting hang-up between signals.
    int keep_fd_ = -1;
};

}  // namespace ovr::config
