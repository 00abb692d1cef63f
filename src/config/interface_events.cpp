#include "config/interface_events.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "config/directories.h"
#include "config/text.h"
#include "platform/fs.h"

namespace ovr::config {
namespace {

constexpr size_t kMaxEncoded = 160;
constexpr size_t kKeptWhenHashed = 120;

void encode_into(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    for (char ch : text) {
        char c = upper_char(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-') {
            out += c;
        } else {
            auto b = static_cast<unsigned char>(c);
            out += '_';
            out += hex[b >> 4];
            out += hex[b & 15];
        }
    }
}

uint64_t fnv1a(std::string_view s) {
    uint64_t h = 1469598103934665603ull;
    for (char c : s) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

std::string interface_event_path(const std::string& private_dir, std::string_view kind, std::string_view name) {
    std::string enc;
    encode_into(enc, kind);
    enc += '-';
    encode_into(enc, name);
    if (enc.size() > kMaxEncoded) {
        char tail[24];
        std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(fnv1a(enc)));
        enc.resize(kKeptWhenHashed);
        enc += tail;
    }
    return with_trailing_slash(private_dir) + "EVENTS/" + enc + ".fifo";
}

void signal_interface(const std::string& private_dir, std::string_view kind, std::string_view name) {
    if (private_dir.empty()) return;
    std::string path = interface_event_path(private_dir, kind, name);
    // Non-blocking: with no reader the open fails at once (ENXIO) instead of
    // waiting for one; a full pipe means a wake-up is already pending.
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) {
        char byte = 1;
        while (write(fd, &byte, 1) < 0 && errno == EINTR) {
        }
    }
    close(fd);
}

void SetEventForInterface(std::string_view kind, std::string_view name) {
    signal_interface(resolve_directories().private_data, kind, name);
}

std::optional<InterfaceEventListener> InterfaceEventListener::create(const std::string& private_dir,
                                                                     std::string_view kind, std::string_view name) {
    if (private_dir.empty()) return std::nullopt;
    std::string path = interface_event_path(private_dir, kind, name);
    if (!platform::fs::create_directories(platform::fs::parent_directory(path))) return std::nullopt;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && !S_ISFIFO(st.st_mode)) {
        if (S_ISDIR(st.st_mode) || unlink(path.c_str()) != 0) return std::nullopt;
    }
    if (mkfifo(path.c_str(), 0660) != 0 && errno != EEXIST) return std::nullopt;
    int rfd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (rfd < 0) return std::nullopt;
    if (fstat(rfd, &st) != 0 || !S_ISFIFO(st.st_mode)) {
        close(rfd);
        return std::nullopt;
    }
    int wfd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (wfd < 0) {
        close(rfd);
        return std::nullopt;
    }
    return InterfaceEventListener(std::move(path), rfd, wfd);
}

InterfaceEventListener::InterfaceEventListener(InterfaceEventListener&& other) noexcept
    : path_(std::move(other.path_)), read_fd_(other.read_fd_), keep_fd_(other.keep_fd_) {
    other.read_fd_ = other.keep_fd_ = -1;
}

InterfaceEventListener& InterfaceEventListener::operator=(InterfaceEventListener&& other) noexcept {
    if (this != &other) {
        close_all();
        path_ = std::move(other.path_);
        read_fd_ = other.read_fd_;
        keep_fd_ = other.keep_fd_;
        other.read_fd_ = other.keep_fd_ = -1;
    }
    return *this;
}

InterfaceEventListener::~InterfaceEventListener() { close_all(); }

void InterfaceEventListener::close_all() {
    if (read_fd_ >= 0) close(read_fd_);
    if (keep_fd_ >= 0) close(keep_fd_);
    read_fd_ = keep_fd_ = -1;
}

bool InterfaceEventListener::drain() {
    if (read_fd_ < 0) return false;
    bool any = false;
    char buf[256];
    for (;;) {
        ssize_t n = read(read_fd_, buf, sizeof buf);
        if (n > 0) {
            any = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return any;  // EAGAIN: empty
    }
}

bool InterfaceEventListener::wait(int timeout_ms) {
    if (read_fd_ < 0) return false;
    pollfd p{read_fd_, POLLIN, 0};
    int r;
    do {
        r = poll(&p, 1, timeout_ms < 0 ? -1 : timeout_ms);
    } while (r < 0 && errno == EINTR);
    if (r <= 0) return false;
    return drain();
}

}  // namespace ovr::config
