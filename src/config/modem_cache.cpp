#include "config/modem_cache.h"

#include <cstring>
#include <map>
#include <mutex>

#include "config/inet.h"

namespace ovr::config {
namespace {

struct Cache {
    std::mutex mu;  // writers only
    std::atomic<const OvrinsmsModemCacheRecord*> head{nullptr};
    OvrinsmsModemCacheRecord* tail = nullptr;
    size_t count = 0;
    std::map<std::string, std::string> address;  // folded name -> host:port
    std::shared_ptr<platform::DeviceBrowser> browser;
};

Cache& cache() {
    static Cache* c = new Cache;  // lives as long as the records it points to
    return *c;
}

// DNS-SD names compare ignoring ASCII case.
std::string fold(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool valid_utf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        uint32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

}  // namespace

const OvrinsmsModemCacheRecord* OvrinsmsModemCacheHead() {
    return cache().head.load(std::memory_order_acquire);
}

bool acceptable_device_name(std::string_view name) {
    if (name.empty() || name.size() > kMaxDeviceNameBytes || name == "." || name == "..") return false;
    for (char ch : name) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 32 || c == 127 || c == '/' || c == '\\') return false;
    }
    // With the 16-character prefix the entry stays far below the 249 that
    // readers of Modem1 keep.
    return valid_utf8(name);
}

bool cache_modem(const std::string& name, const std::string& host_port, bool* appended) {
    if (appended) *appended = false;
    if (!acceptable_device_name(name)) return false;
    Cache& c = cache();
    std::lock_guard lock(c.mu);
    std::string key = fold(name);
    auto it = c.address.find(key);
    if (it != c.address.end()) {
        it->second = host_port;
        return true;
    }
    if (c.count >= kMaxCachedModems) return false;
    auto* r = new OvrinsmsModemCacheRecord;  // never freed: readers may hold it
    std::memcpy(r->name, name.data(), name.size());
    c.address.emplace(key, host_port);
    if (c.tail) c.tail->next.store(r, std::memory_order_release);
    else c.head.store(r, std::memory_order_release);
    c.tail = r;
    ++c.count;
    if (appended) *appended = true;
    return true;
}

std::optional<std::string> cached_modem_address(std::string_view name) {
    Cache& c = cache();
    std::lock_guard lock(c.mu);
    auto it = c.address.find(fold(name));
    if (it == c.address.end()) return std::nullopt;
    return it->second;
}

void set_modem_browser(std::shared_ptr<platform::DeviceBrowser> browser) {
    {
        std::lock_guard lock(cache().mu);
        cache().browser = std::move(browser);
    }
    set_device_resolver([](std::string_view id) { return cached_modem_address(id); });
}

platform::BrowseResult FindOvrinSMSModem(int, int, uint32_t seconds, const std::atomic<bool>& keep_going,
                                         std::string* error, const std::function<void()>& appended) {
    std::shared_ptr<platform::DeviceBrowser> browser;
    {
        std::lock_guard lock(cache().mu);
        browser = cache().browser;
    }
    std::string why;
    platform::BrowseResult r = platform::BrowseResult::Unavailable;
    if (!browser) why = "no discovery on this system";
    else
        r = browser->browse(seconds, keep_going, [&](const platform::FoundDevice& d) {
            bool added = false;
            cache_modem(d.name, d.host_port(), &added);
            if (added && appended) appended();
        }, why);
    if (error) *error = why;
    return r;
}

}  // namespace ovr::config
