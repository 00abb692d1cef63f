#include "gateway.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>

#include "platform/fs.h"
#include "service/status.h"

namespace ovr::gwsim {

std::atomic<bool> Gateway::wake_flag{false};
std::atomic<bool> Gateway::terminate_flag{false};

const RoleInfo& role_info(Role r) {
    static const RoleInfo sms{service::kSmsServiceName, service::kSmsBlockName, "OvrinSMS", "sms-web", "sms-smpp"};
    // Both services report under the one source the event log viewer lists.
    static const RoleInfo mmsc{service::kMmscServiceName, service::kMmscBlockName, "OvrinSMS", "mmsc-mm7",
                               "mmsc-smpp"};
    return r == Role::Sms ? sms : mmsc;
}

std::string port_marker(const std::string& sim_root, const std::string& port_name) {
    return sim_root + "gwsim/port-conflict-" + port_name;
}

bool bump_counter(const std::string& private_dir, const std::string& name, const platform::LocalTime& date,
                  uint32_t n) {
    std::string path = service::counter_path(private_dir, name, date.year);
    platform::fs::create_directories(platform::fs::parent_directory(path));
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    flock(fd, LOCK_EX);
    off_t at = static_cast<off_t>(service::day_of_year(date.year, date.month, date.day) - 1) * 4;
    unsigned char b[4] = {0, 0, 0, 0};
    ssize_t got = pread(fd, b, 4, at);
    uint32_t v = got == 4 ? (uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24) : 0;
    v += n;
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
    // pwrite past the end leaves the days in between as zeros.
    bool ok = pwrite(fd, b, 4, at) == 4;
    ::close(fd);
    return ok;
}

Gateway::Gateway(Role role, platform::Platform& p, config::Directories dirs,
                 std::unique_ptr<platform::SimServiceHost> host)
    : role_(role), p_(p), dirs_(std::move(dirs)), host_(std::move(host)) {}

Gateway::~Gateway() = default;

void Gateway::count(const std::string& counter, uint32_t n) {
    bump_counter(dirs_.private_data, counter, p_.clock->local_now(), n);
}

void Gateway::event(platform::EventType type, const std::string& text) {
    p_.event_log->report(type, role_info(role_).event_source, {text}, p_.clock->local_now());
}

void Gateway::apply_port_flags() {
    if (!block_) return;
    const RoleInfo& info = role_info(role_);
    auto in_use = [&](size_t byte, const char* marker) {
        return platform::fs::exists(port_marker(p_.sim_root, marker)) || (port_unavailable && port_unavailable(byte));
    };
    block_->data()[service::kFirstPortByte] = in_use(service::kFirstPortByte, info.first_port) ? 1 : 0;
    block_->data()[service::kSecondPortByte] = in_use(service::kSecondPortByte, info.second_port) ? 1 : 0;
}

bool Gateway::stop_asked() {
    if (terminate_flag.load()) return true;
    if (host_ && host_->stop_requested()) return true;
    if (role_ == Role::Sms && block_ && block_->data()[service::kStopRequestByte] != 0) return true;
    // A record removed under us (or a simulation root wiped) leaves nobody
    // to stop us: go rather than linger.
    if (host_ && !platform::fs::is_directory(platform::sim::service_dir(p_.sim_root, host_->service()))) return true;
    return false;
}

int Gateway::run() {
    const RoleInfo& info = role_info(role_);
    if (host_) host_->report(platform::ServiceState::StartPending);
    block_ = p_.shared_memory->create(info.block, kBlockSize);
    if (block_) std::memset(block_->data(), 0, block_->size());
    apply_port_flags();
    event(platform::EventType::Information, std::string("The ") + info.service + " service has started.");
    if (host_) host_->report(platform::ServiceState::Running);

    while (!stop_asked()) {
        // Sleep one tick in short slices so a wake or a stop is seen at once.
        for (uint32_t slept = 0; slept < kTickMs && !wake_flag.load() && !terminate_flag.load(); slept += 20)
            p_.clock->sleep_ms(20);
        bool woken = wake_flag.exchange(false);
        apply_port_flags();
        if (on_tick) on_tick(*this, woken);
    }

    if (host_) host_->report(platform::ServiceState::StopPending);
    event(platform::EventType::Information, std::string("The ") + info.service + " service has stopped.");
    block_.reset();
    p_.shared_memory->unlink(info.block);
    if (host_) host_->report(platform::ServiceState::Stopped);
    return 0;
}

}  // namespace ovr::gwsim
