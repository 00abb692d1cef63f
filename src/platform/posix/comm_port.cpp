// Termios serial ports with the time-out rules of the modem channel.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/comm_port.h"
#include "platform/fs.h"

namespace ovr::platform {

namespace {

constexpr uint32_t kPollStepMs = 2;

bool starts_with_ci(const std::string& s, const char* prefix) {
    size_t n = std::char_traits<char>::length(prefix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        char a = s[i], b = prefix[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

speed_t to_speed(uint32_t baud) {
    switch (baud) {
        case 300: return B300;
        case 600: return B600;
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        case 230400: return B230400;
        case 460800: return B460800;
        case 921600: return B921600;
        default: return 0;
    }
}

class PosixCommPort final : public CommPort {
public:
    PosixCommPort(int fd, std::shared_ptr<Clock> clock) : fd_(fd), clock_(std::move(clock)) {}
    ~PosixCommPort() override { ::close(fd_); }

    bool setup_queues(uint32_t in_bytes, uint32_t out_bytes) override {
        // The kernel's tty buffers are fixed; any sane size is accepted.
        return in_bytes > 0 && out_bytes > 0 && fd_ >= 0;
    }

    bool get_state() override {
        termios t{};
        return tcgetattr(fd_, &t) == 0;
    }

    bool set_state(const LineSettings& s) override {
        termios t{};
        if (tcgetattr(fd_, &t) != 0) return false;
        speed_t sp = to_speed(s.baud);
        if (sp == 0) return false;
        cfmakeraw(&t);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
        switch (s.data_bits) {
            case 5: t.c_cflag |= CS5; break;
            case 6: t.c_cflag |= CS6; break;
            case 7: t.c_cflag |= CS7; break;
            default: t.c_cflag |= CS8; break;
        }
        if (s.parity == 'E') t.c_cflag |= PARENB;
        if (s.parity == 'O') t.c_cflag |= PARENB | PARODD;
        if (s.stop_bits == 2) t.c_cflag |= CSTOPB;
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        cfsetispeed(&t, sp);
        cfsetospeed(&t, sp);
        return tcsetattr(fd_, TCSANOW, &t) == 0;
    }

    bool set_timeouts(const CommTimeouts& t) override {
        timeouts_ = t;
        return true;
    }

    WriteStatus write_byte(uint8_t byte, uint32_t wait_ms) override {
        ssize_t n = ::write(fd_, &byte, 1);
        if (n == 1) return WriteStatus::Written;
        if (n == 0) return WriteStatus::ZeroAtOnce;
        if (errno != EAGAIN && errno != EINTR) return WriteStatus::Failed;
        // Pending: the write time-out ends the write with nothing written;
        // the caller's wait ends it unfinished.
        uint64_t total = static_cast<uint64_t>(timeouts_.write_multiplier) + timeouts_.write_constant;
        uint64_t start = clock_->tick_ms();
        for (;;) {
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, 0) > 0) {
                if (p.revents & (POLLERR | POLLNVAL)) return WriteStatus::Failed;
                n = ::write(fd_, &byte, 1);
                if (n == 1) return WriteStatus::Written;
                if (n < 0 && errno != EAGAIN && errno != EINTR) return WriteStatus::Failed;
            }
            uint64_t waited = clock_->tick_ms() - start;
            if (total != 0 && waited >= total) return WriteStatus::ZeroAfterWait;
            if (waited >= wait_ms) return WriteStatus::Incomplete;
            clock_->sleep_ms(kPollStepMs);
        }
    }

    ReadOutcome read(size_t room, uint32_t wait_ms) override {
        ReadOutcome r;
        if (room == 0) {
            r.kind = ReadOutcome::AtOnce;
            return r;
        }
        const CommTimeouts& t = timeouts_;
        if (t.read_interval == kMaxDword && t.read_multiplier == 0 && t.read_constant == 0) {
            // Return at once with whatever the driver holds.
            int avail = 0;
            if (!available(avail)) return r;
            r.kind = ReadOutcome::AtOnce;
            if (avail > 0) take(r.data, std::min(room, static_cast<size_t>(avail)));
            return failed_ ? ReadOutcome{} : r;
        }
        // Bytes are only taken from the driver once the read completes, so a
        // read abandoned at the end of the wait loses nothing.
        uint64_t total = static_cast<uint64_t>(t.read_multiplier) * room + t.read_constant;
        bool has_total = t.read_multiplier != 0 || t.read_constant != 0;
        bool has_interval = t.read_interval != 0 && t.read_interval != kMaxDword;
        uint64_t start = clock_->tick_ms(), last_change = start;
        int seen = 0;
        for (;;) {
            int avail = 0;
            if (!available(avail)) return r;
            uint64_t now = clock_->tick_ms();
            if (avail != seen) {
                seen = avail;
                last_change = now;
            }
            bool done = static_cast<size_t>(avail) >= room || (has_total && now - start >= total) ||
                        (has_interval && avail > 0 && now - last_change >= t.read_interval);
            if (done) {
                r.kind = ReadOutcome::Completed;
                if (avail > 0) take(r.data, std::min(room, static_cast<size_t>(avail)));
                return failed_ ? ReadOutcome{} : r;
            }
            if (now - start >= wait_ms) {
                r.kind = ReadOutcome::Incomplete;
                return r;
            }
            clock_->sleep_ms(kPollStepMs);
        }
    }

    void cancel() override { failed_ = false; }
    void clear_error() override { failed_ = false; }

private:
    // Bytes waiting in the driver; false on a hang-up or error of the line.
    bool available(int& avail) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 0) < 0) return false;
        if (ioctl(fd_, FIONREAD, &avail) != 0) return false;
        if (avail == 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return false;
        return true;
    }

    void take(std::string& out, size_t n) {
        out.resize(n);
        ssize_t got = ::read(fd_, out.data(), n);
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR) got = 0;
            else failed_ = true;
        }
        out.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }

    int fd_;
    std::shared_ptr<Clock> clock_;
    CommTimeouts timeouts_{};
    bool failed_ = false;
};

class PosixCommPorts final : public CommPorts {
public:
    PosixCommPorts(std::shared_ptr<Clock> clock, std::string dev_dir, std::string device_map)
        : clock_(std::move(clock)), dev_dir_(std::move(dev_dir)), map_(std::move(device_map)) {}

    std::unique_ptr<CommPort> open(const std::string& name, SystemError& error) override {
        std::string path = map_port_name(name, dev_dir_, map_);
        error = {};
        if (path.empty()) return fail(error, ENOENT);
        int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return fail(error, errno);
        // One opener at a time, root included: the lock is held by the open
        // description, so a second open of the same device fails too.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int e = errno == EWOULDBLOCK ? EBUSY : errno;
            ::close(fd);
            return fail(error, e);
        }
        if (isatty(fd)) ioctl(fd, TIOCEXCL);
        return std::make_unique<PosixCommPort>(fd, clock_);
    }

private:
    static std::unique_ptr<CommPort> fail(SystemError& error, int code) {
        error.code = code;
        error.text = system_error_text(code);
        error.in_use = code == EBUSY;
        return nullptr;
    }

    std::shared_ptr<Clock> clock_;
    std::string dev_dir_;
    std::string map_;
};

std::string slash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

}  // namespace

std::string map_port_name(const std::string& name, const std::string& dev_dir, const std::string& device_map) {
    if (name.empty()) return {};
    if (name[0] == '/') return name;
    if (name.rfind("\\\\.\\", 0) == 0) {
        std::string rest = name.substr(4);
        if (rest.empty()) return {};
        if (rest[0] == '/') return rest;
        if (rest.find('/') != std::string::npos) return {};   // no way out of the device folder
        std::string direct = slash(dev_dir) + rest;
        if (fs::exists(direct)) return direct;
        std::string by_id = slash(dev_dir) + "serial/by-id/" + rest;
        if (fs::exists(by_id)) return by_id;
        return direct;
    }
    // "COMn:": letters in any case, decimal digits, a colon.
    if (name.size() >= 4 && starts_with_ci(name, "COM") && name.back() == ':') {
        std::string digits = name.substr(3, name.size() - 4);
        if (digits.empty() || digits.size() > 6 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return {};
        if (!device_map.empty()) {
            std::string wanted = "com" + digits;
            for (const auto& e : fs::list_directory(slash(device_map), wanted))
                return slash(device_map) + e.name;
        }
        unsigned long n = std::strtoul(digits.c_str(), nullptr, 10);
        if (n == 0) return {};
        return slash(dev_dir) + "ttyS" + std::to_string(n - 1);
    }
    return {};
}

std::shared_ptr<CommPorts> make_posix_comm_ports(std::shared_ptr<Clock> clock, std::string dev_dir,
                                                 std::string device_map) {
    return std::make_shared<PosixCommPorts>(std::move(clock), std::move(dev_dir), std::move(device_map));
}

}  // namespace ovr::platform
