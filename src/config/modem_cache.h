// The support library's network modem cache: devices found by discovery, as
// a chain of records walked by the pages while the discovery thread appends.
// Records are published whole and never changed or freed while the process
// lives, so a reader needs no lock; the address behind each name is kept
// apart (it changes on every resolve) and serves as the device resolver.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/device_browser.h"

namespace ovr::config {

inline constexpr size_t kMaxCachedModems = 1024;
inline constexpr size_t kMaxDeviceNameBytes = 63;

struct OvrinsmsModemCacheRecord {
    char name[kMaxDeviceNameBytes + 1] = {};
    std::atomic<const OvrinsmsModemCacheRecord*> next{nullptr};
    // The next record, or null at the end of the chain (read with acquire).
    const OvrinsmsModemCacheRecord* link() const { return next.load(std::memory_order_acquire); }
};

// The first record, in discovery order; null while the cache is empty.
const OvrinsmsModemCacheRecord* OvrinsmsModemCacheHead();

// A name the cache takes: 1 to 63 bytes of valid UTF-8 without control
// characters, "/" or "\", and not "." or ".." (a name becomes a modem entry,
// an INI key's value and a route directory).
bool acceptable_device_name(std::string_view name);

// Adds a resolved device: a new name is appended (names compare ignoring
// case), a known one only has its address replaced. False when refused;
// `appended` tells whether a new record joined the chain.
bool cache_modem(const std::string& name, const std::string& host_port, bool* appended = nullptr);

// The address last resolved for a cached name ("address:port").
std::optional<std::string> cached_modem_address(std::string_view name);

// The browser FindOvrinSMSModem uses, set once at start-up; setting it also
// installs the cache as the device resolver.
void set_modem_browser(std::shared_ptr<platform::DeviceBrowser> browser);

// One discovery pass of at most `seconds`, caching each device as it is
// resolved; `appended` is called (on the pass's thread) each time a new
// record joined the chain. Unavailable with the reason when there is no
// browser or discovery cannot run.
platform::BrowseResult FindOvrinSMSModem(int, int, uint32_t seconds, const std::atomic<bool>& keep_going,
                                         std::string* error = nullptr,
                                         const std::function<void()>& appended = {});

}  // namespace ovr::config
