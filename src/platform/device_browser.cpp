#include "platform/device_browser.h"

namespace ovr::platform {

std::string FoundDevice::host_port() const {
    bool v6 = address.find(':') != std::string::npos;
    return (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

}  // namespace ovr::platform
