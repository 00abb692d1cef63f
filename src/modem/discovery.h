// Network device discovery behind the Select Modem list: a thread running
// discovery passes while its flag is set, and the merge of the cache into the
// page's list.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "config/modem_cache.h"
#include "platform/clock.h"

namespace ovr::modem {

class DiscoveryWorker {
public:
    // Passes of `pass_seconds`; after a pass that ended early (no daemon),
    // a pause of `pause_ms` watching the flag, so a failing browser never spins.
    // `appended` is called on the worker's thread whenever a device joins
    // the cache, so a page can merge it at once instead of at its next tick.
    explicit DiscoveryWorker(std::shared_ptr<platform::Clock> clock, uint32_t pass_seconds = 120,
                             uint32_t pause_ms = 5000, std::function<void()> appended = {});
    // Clears the flag and joins: the thread is gone within 200 ms.
    ~DiscoveryWorker();
    DiscoveryWorker(const DiscoveryWorker&) = delete;
    DiscoveryWorker& operator=(const DiscoveryWorker&) = delete;

    void start();
    void stop();
    bool running() const { return thread_.joinable(); }

private:
    void loop();
    std::shared_ptr<platform::Clock> clock_;
    uint32_t pass_seconds_;
    uint32_t pause_ms_;
    std::function<void()> appended_;
    std::atomic<bool> keep_going_{false};
    std::thread thread_;
};

// The local part of the Select Modem list: sorted ignoring case, as a sorted
// list box adds them (names equal but for case keep their order).
void sort_modem_names(std::vector<std::string>& names);

// Appends "OvrinSMSModem - " + name for each cached device the list lacks.
// It resumes after the last record it walked, and knows the list's entries
// in a set, so a tick costs only the new records.
class NetworkEntryMerger {
public:
    // The list was refilled: forget what was walked, learn its entries.
    void reset(const std::vector<std::string>& list);
    // Returns how many entries were appended.
    size_t merge(std::vector<std::string>& list);

private:
    const config::OvrinsmsModemCacheRecord* last_ = nullptr;
    std::unordered_set<std::string> in_list_;
};

}  // namespace ovr::modem
