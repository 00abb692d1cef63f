// The read-only corner of the system registry the console uses: the
// installed modems (friendly name and the port each is attached to) and the
// MIME character sets the system can convert.
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
    // Lower-case MIME names, in the system's order (the host's unless a
    // backend knows better).
    virtual std::vector<std::string> mime_charsets();
};

// The host's: a fixed alphabetical table of MIME names, each kept when the C
// library's iconv converts it.
std::vector<std::string> host_mime_charsets();
// A file of names, one a line (at most 1,024 names of at most 500 bytes from
// its first 64 KiB); nothing when it cannot be read.
std::optional<std::vector<std::string>> charsets_from_file(const std::string& path);

// Modems from a folder of links to serial devices: friendly name = link
// name, attached port = the device it links to.
// The character sets come from `charsets_file` when it is given and can be
// read, else from the host.
std::shared_ptr<Registry> make_link_registry(std::string by_id_dir = "/dev/serial/by-id/",
                                             std::string charsets_file = {});

}  // namespace ovr::platform
