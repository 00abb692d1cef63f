#include "platform/platform.h"

#include "platform/dynlib.h"
#include "platform/fs.h"

namespace ovr::platform {

std::string sim_shared_memory_scope(const std::string& root) {
    // FNV-1a of the root: short, stable, and a valid part of an object name.
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : root) {
        h ^= c;
        h *= 1099511628211ull;
    }
    static const char* hex = "0123456789abcdef";
    std::string s = "ovrsim.";
    for (int i = 0; i < 12; ++i) s += hex[(h >> (i * 4)) & 15];
    return s + ".";
}

Platform make_sim_platform(const std::string& root_in, std::shared_ptr<Clock> clock, bool elevated) {
    Platform p;
    p.backend = Backend::Sim;
    p.sim_root = root_in.empty() ? std::string("/tmp/ovrinsms-sim/") : root_in;
    if (p.sim_root.back() != '/') p.sim_root += '/';
    fs::create_directories(p.sim_root);
    p.clock = std::move(clock);
    p.services = make_sim_service_manager(p.sim_root, elevated);
    p.shared_memory = make_posix_shared_memory(sim_shared_memory_scope(p.sim_root));
    p.event_log = make_sim_event_log(p.sim_root);
    p.processes = make_sim_processes(p.sim_root);
    p.elevation = make_sim_elevation(p.sim_root, p.clock);
    add_sim_modem_services(p);
    p.desktop = make_desktop(p.sim_root + "desktop.log", get_env("OVRINSMS_SIM_DESKTOP") != "record");
    return p;
}

Platform make_platform() {
    auto clock = std::make_shared<SystemClock>();
    if (get_env("OVRINSMS_PLATFORM") == "sim")
        return make_sim_platform(get_env("OVRINSMS_SIM_ROOT"), clock, get_env("OVRINSMS_SIM_ELEVATED") == "1");
    Platform p;
    p.clock = clock;
    p.services = make_posix_service_manager();
    p.shared_memory = make_posix_shared_memory();
    p.event_log = make_posix_event_log();
    p.processes = make_posix_processes();
    p.elevation = make_posix_elevation(clock);
    add_posix_modem_services(p);
    p.desktop = make_desktop({}, true);
    return p;
}

}  // namespace ovr::platform
