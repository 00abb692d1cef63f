#include "platform/platform.h"

#include "platform/dynlib.h"

namespace ovr::platform {

Platform make_platform() {
    Platform p;
    p.clock = std::make_shared<SystemClock>();
    if (get_env("OVRINSMS_PLATFORM") == "sim") {
        p.backend = Backend::Sim;
        p.sim_root = get_env("OVRINSMS_SIM_ROOT");
        if (p.sim_root.empty()) p.sim_root = "/tmp/ovrinsms-sim";
        if (p.sim_root.back() != '/') p.sim_root += '/';
        add_sim_modem_services(p);
    } else {
        add_posix_modem_services(p);
    }
    return p;
}

}  // namespace ovr::platform
