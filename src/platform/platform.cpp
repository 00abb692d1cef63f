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
        p.desktop = make_desktop(p.sim_root + "desktop.log", get_env("OVRINSMS_SIM_DESKTOP") != "record");
    } else {
        p.desktop = make_desktop({}, true);
    }
    return p;
}

}  // namespace ovr::platform
