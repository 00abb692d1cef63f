// On the simulated platform the modems are the AT modem simulators linked
// into <root>/modems/ (ovrinsms-modemsim --link <root>/modems/NAME), and COM
// names map through <root>/dosdevices/comN unless OVRINSMS_DEVICE_MAP says
// otherwise.
#include "platform/dynlib.h"
#include "platform/platform.h"

namespace ovr::platform {

void add_sim_modem_services(Platform& p) {
    std::string map = get_env("OVRINSMS_DEVICE_MAP");
    if (map.empty()) map = p.sim_root + "dosdevices/";
    p.comm_ports = make_posix_comm_ports(p.clock, "/dev/", map);
    p.tapi = make_posix_tapi(p.clock, p.comm_ports, p.sim_root + "modems/");
    p.registry = make_link_registry(p.sim_root + "modems/", p.sim_root + "charsets");
}

}  // namespace ovr::platform
