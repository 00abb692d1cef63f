// Discovery of network modem devices (phones running the OvrinSMS Modem app)
// on the local network. The posix backend browses DNS-SD through avahi-daemon;
// the simulated platform reads the registry the device simulator writes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"

namespace ovr::platform {

struct FoundDevice {
    std::string name;     // the DNS-SD instance name
    std::string address;  // numeric; an IPv6 link-local one keeps "%interface"
    uint16_t port = 0;
    // "address:port", brackets around an IPv6 address.
    std::string host_port() const;
};

enum class BrowseResult { Completed, Stopped, Unavailable };

class DeviceBrowser {
public:
    virtual ~DeviceBrowser() = default;
    // One pass of at most `seconds`: `found` is called for each device as it
    // is resolved (on the calling thread). Returns within 200 ms of
    // keep_going turning false. Unavailable (with the reason in `error`) when
    // discovery cannot run or is lost mid-pass.
    virtual BrowseResult browse(uint32_t seconds, const std::atomic<bool>& keep_going,
                                const std::function<void(const FoundDevice&)>& found, std::string& error) = 0;
};

// The simulated registry: <root>netmodems/, one file per device.
std::string sim_device_registry(const std::string& sim_root);
// Writes a device's entry atomically; the file's path, or empty on failure.
std::string register_sim_device(const std::string& sim_root, const std::string& name, const std::string& host_port);

// Browsers of the two backends.
std::unique_ptr<DeviceBrowser> make_sim_device_browser(const std::string& sim_root, std::shared_ptr<Clock> clock);
// DNS-SD through avahi-daemon; null when built without libavahi-client.
std::unique_ptr<DeviceBrowser> make_avahi_device_browser(std::shared_ptr<Clock> clock);

struct Platform;
// The browser of the platform's backend, or null with the reason when this
// system has none.
std::unique_ptr<DeviceBrowser> make_device_browser(const Platform& p, std::string& why);

}  // namespace ovr::platform
