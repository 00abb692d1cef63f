#include "platform/device_browser.h"

#include "platform/platform.h"

namespace ovr::platform {

std::string FoundDevice::host_port() const {
    bool v6 = address.find(':') != std::string::npos;
    return (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

std::unique_ptr<DeviceBrowser> make_device_browser(const Platform& p, std::string& why) {
    if (p.backend == Backend::Sim) return make_sim_device_browser(p.sim_root, p.clock);
    why = "this build has no DNS-SD browser (avahi-daemon is not used yet)";
    return nullptr;
}

}  // namespace ovr::platform
