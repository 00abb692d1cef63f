// The read-only corner of the system registry the console uses: the
// installed modems (friendly name and the port each is attached to).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ovr::platform {

struct InstalledModem {
    std::string friendly_name;
    std::optional<std::string> attached_to;   // missing when the value is absent
};

class Registry {
public:
    virtual ~Registry() = default;
    // Every modem of the modem device class, in enumeration order.
    virtual std::vector<InstalledModem> installed_modems() = 0;
};

// Modems from a folder of links to serial devices: friendly name = link
// name, attached port = the device it links to.
std::shared_ptr<Registry> make_link_registry(std::string by_id_dir = "/dev/serial/by-id/");

}  // namespace ovr::platform
