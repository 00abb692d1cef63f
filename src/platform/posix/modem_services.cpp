#include "platform/dynlib.h"
#include "platform/platform.h"

namespace ovr::platform {

void add_posix_modem_services(Platform& p) {
    p.comm_ports = make_posix_comm_ports(p.clock, "/dev/", get_env("OVRINSMS_DEVICE_MAP"));
    p.tapi = make_posix_tapi(p.clock, p.comm_ports, "/dev/serial/by-id/");
    p.registry = make_link_registry("/dev/serial/by-id/");
}

}  // namespace ovr::platform
