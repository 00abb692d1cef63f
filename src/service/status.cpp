#include "service/status.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace ovr::service {

using platform::ServiceState;

namespace {
bool running(const platform::ServiceLook& l) { return l.opens && l.queried && l.state != ServiceState::Stopped; }
}  // namespace

bool is_service_installed(platform::ServiceManager& sm, const std::string& name) { return sm.look({name})[0].opens; }

bool is_service_running(platform::ServiceManager& sm, const std::string& name) { return running(sm.look({name})[0]); }

GatewayStates read_gateway_states(platform::Platform& p) {
    auto l = p.services->look({kSmsServiceName, kMmscServiceName});
    return {l[0].opens, running(l[0]), l[1].opens, running(l[1])};
}

bool sms_service_installed(platform::Platform& p) { return is_service_installed(*p.services, kSmsServiceName); }
bool sms_service_running(platform::Platform& p) { return is_service_running(*p.services, kSmsServiceName); }
bool mmsc_service_installed(platform::Platform& p) { return is_service_installed(*p.services, kMmscServiceName); }
bool mmsc_service_running(platform::Platform& p) { return is_service_running(*p.services, kMmscServiceName); }

namespace {
std::unique_ptr<platform::SharedBlock> open_block(platform::SharedMemory& shm, const char* first, const char* second) {
    auto b = shm.open(first);
    if (!b) b = shm.open(second);
    if (b && b->size() <= kSecondPortByte) b.reset();
    return b;
}
}  // namespace

std::unique_ptr<platform::SharedBlock> open_sms_block(platform::SharedMemory& shm) {
    return open_block(shm, kSmsBlockName, kSmsBlockGlobalName);
}

std::unique_ptr<platform::SharedBlock> open_mmsc_block(platform::SharedMemory& shm) {
    return open_block(shm, kMmscBlockName, kMmscBlockGlobalName);
}

bool set_stop_request(platform::SharedMemory& shm) {
    auto b = open_sms_block(shm);
    if (!b) return false;
    b->data()[kStopRequestByte] = 1;
    return true;
}

bool is_counter_leap_year(int year) { return year % 4 == 0; }

int day_of_year(int year, int month, int day) {
    static constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    if (month < 1) month = 1;
    if (month > 12) month = 12;
    return day + kBefore[month - 1] + (is_counter_leap_year(year) && month > 2 ? 1 : 0);
}

std::string counter_path(const std::string& private_dir, std::string_view name, int year) {
    char y[16];
    snprintf(y, sizeof y, "-%u.CTR", static_cast<unsigned>(year));
    return private_dir + "STATS/" + std::string(name) + y;
}

// Reads at most `size` bytes from the start of a file, opened non-blocking so
// that a FIFO planted in place of the file cannot hang us; 0 when it cannot
// be opened.
static size_t read_prefix(const std::string& path, void* buf, size_t size) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return 0;
    size_t got = 0;
    while (got < size) {
        ssize_t r = ::read(fd, static_cast<char*>(buf) + got, size - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<size_t>(r);
    }
    ::close(fd);
    return got;
}

std::array<uint32_t, kCounterDays> read_counter_file(const std::string& path) {
    std::array<uint32_t, kCounterDays> n{};
    unsigned char buf[kCounterFileBytes];
    size_t got = read_prefix(path, buf, sizeof buf);
    // Only whole numbers count; a number cut short by the end of the file is
    // one the service has not finished writing.
    for (size_t k = 0; k + 4 <= got; k += 4)
        n[k / 4] = uint32_t(buf[k]) | uint32_t(buf[k + 1]) << 8 | uint32_t(buf[k + 2]) << 16 | uint32_t(buf[k + 3]) << 24;
    return n;
}

CounterSums read_counter(const std::string& private_dir, std::string_view name, const platform::LocalTime& date) {
    CounterSums s;
    const int d = day_of_year(date.year, date.month, date.day);
    auto now = read_counter_file(counter_path(private_dir, name, date.year));
    s.today = now[static_cast<size_t>(d - 1)];
    for (int i = 0; i < 7 && d - 1 - i >= 0; ++i) s.last7 += now[static_cast<size_t>(d - 1 - i)];
    for (int i = 0; i < 30 && d - 1 - i >= 0; ++i) s.last30 += now[static_cast<size_t>(d - 1 - i)];
    if (d < 30) {
        auto prev = read_counter_file(counter_path(private_dir, name, date.year - 1));
        const int last = is_counter_leap_year(date.year - 1) ? 365 : 364;
        for (int i = 0; i < 7 - d; ++i) s.last7 += prev[static_cast<size_t>(last - i)];
        for (int i = 0; i < 30 - d; ++i) s.last30 += prev[static_cast<size_t>(last - i)];
    }
    return s;
}

std::string modem_error_path(const std::string& private_dir, std::string_view modem_name) {
    std::string name(modem_name);
    for (char& c : name)
        if (c == ':' || c == '/' || c == '\\') c = '-';
    return private_dir + name + ".ERR";
}

std::string read_modem_error(const std::string& private_dir, std::string_view modem_name) {
    char buf[250];
    size_t got = read_prefix(modem_error_path(private_dir, modem_name), buf, sizeof buf);
    // The text ends at the first NUL, as the service's C string would.
    return std::string(buf, strnlen(buf, got));
}

}  // namespace ovr::service
