#include "platform/device_browser.h"

#include "platform/platform.h"

namespace ovr::platform {

std::string FoundDevice::host_port() const {
    bool v6 = address.find(':') != std::string::npos;
    return (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

std::unique_ptr<DeviceBrowser> make_device_browser(const Platform& p, std::string& why) {
    if (p.backend == Backend::Sim) return make_sim_device_browser(p.sim_root, p.clock);
    if (auto avahi = make_avahi_device_browser(p.clock)) return avahi;
    why = "this build has no DNS-SD browser (built without libavahi-client)";
    return nullptr;
}

}  // namespace ovr::platform
