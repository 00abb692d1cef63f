// Announcing simulated devices on the network through avahi-daemon, as the
// phone app does: one DNS-SD service "_ovrinsmsmodem._tcp" per device.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ovr::devicesim {

class Publisher {
public:
    virtual ~Publisher() = default;
    // Empty while all is well; the daemon's reason once publishing failed.
    virtual std::string error() = 0;
};

// Publishes each (name, port) until destroyed; null with the reason when
// avahi-daemon cannot be reached (or the build has no Avahi client).
// `established` runs (on the publisher's thread) once the daemon has probed
// the names and announces them, the moment browsers can see the devices.
std::unique_ptr<Publisher> publish_devices(const std::vector<std::pair<std::string, uint16_t>>& devices,
                                           std::string& error, std::function<void()> established = {});

}  // namespace ovr::devicesim
