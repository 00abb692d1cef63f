// The simulated gateway service, in either of its two roles. It reports its
// state to the simulated service manager, publishes its shared-memory block,
// keeps the port-in-use bytes (set by the control command, or by a port its
// servers cannot bind), writes event
// log records when it starts and stops, and stops within a second of the
// stop control or (SMS gateway) the stop-request byte.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "config/directories.h"
#include "platform/platform.h"

namespace ovr::gwsim {

enum class Role { Sms, Mmsc };

struct RoleInfo {
    const char* service;       // service name
    const char* block;         // shared-memory block
    const char* event_source;  // event log source
    const char* first_port;    // port-conflict names of bytes 2 and 4
    const char* second_port;
};
const RoleInfo& role_info(Role r);

// The marker files of the port conflicts under <root>gwsim/.
std::string port_marker(const std::string& sim_root, const std::string& port_name);

// Adds n to today's number of a day counter file (created as needed).
bool bump_counter(const std::string& private_dir, const std::string& name, const platform::LocalTime& date,
                  uint32_t n);

inline constexpr uint32_t kTickMs = 100;
inline constexpr size_t kBlockSize = 4096;

class Gateway {
public:
    Gateway(Role role, platform::Platform& p, config::Directories dirs,
            std::unique_ptr<platform::SimServiceHost> host);
    ~Gateway();

    // Runs until stopped; the process exit code.
    int run();

    // Called once a tick while running; `woken` when a wake came since the
    // last tick. Queue processing plugs in here.
    std::function<void(Gateway&, bool woken)> on_tick;
    // True while the port of that byte of the block cannot be listened on.
    std::function<bool(size_t byte)> port_unavailable;

    Role role() const { return role_; }
    platform::Platform& platform() { return p_; }
    const config::Directories& dirs() const { return dirs_; }
    // Counts an event of the gateway's work in today's day counter.
    void count(const std::string& counter, uint32_t n = 1);

    // Set from signal handlers: SIGUSR1 wakes, SIGTERM and SIGINT stop.
    static std::atomic<bool> wake_flag;
    static std::atomic<bool> terminate_flag;

private:
    bool stop_asked();
    void apply_port_flags();
    void event(platform::EventType type, const std::string& text);

    Role role_;
    platform::Platform& p_;
    config::Directories dirs_;
    std::unique_ptr<platform::SimServiceHost> host_;
    std::unique_ptr<platform::SharedBlock> block_;
};

}  // namespace ovr::gwsim
