#include "modem/discovery.h"

#include <algorithm>

#include "config/text.h"
#include "modem/network_device.h"

namespace ovr::modem {

DiscoveryWorker::DiscoveryWorker(std::shared_ptr<platform::Clock> clock, uint32_t pass_seconds, uint32_t pause_ms,
                                 std::function<void()> appended)
    : clock_(std::move(clock)), pass_seconds_(pass_seconds), pause_ms_(pause_ms), appended_(std::move(appended)) {}

DiscoveryWorker::~DiscoveryWorker() { stop(); }

void DiscoveryWorker::start() {
    if (thread_.joinable()) return;
    keep_going_ = true;
    thread_ = std::thread([this] { loop(); });
}

void DiscoveryWorker::stop() {
    keep_going_ = false;
    if (thread_.joinable()) thread_.join();
}

void DiscoveryWorker::loop() {
    while (keep_going_) {
        uint64_t began = clock_->tick_ms();
        platform::BrowseResult r = config::FindOvrinSMSModem(0, 0, pass_seconds_, keep_going_, nullptr, appended_);
        bool early = r != platform::BrowseResult::Completed && clock_->tick_ms() - began < uint64_t{pass_seconds_} * 1000;
        if (!early) continue;
        for (uint64_t start = clock_->tick_ms(); keep_going_ && clock_->tick_ms() - start < pause_ms_;)
            clock_->sleep_ms(static_cast<uint32_t>(std::min<uint64_t>(200, pause_ms_ - (clock_->tick_ms() - start))));
    }
}

void sort_modem_names(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return config::lower_char(x) < config::lower_char(y);
        });
    });
}

void NetworkEntryMerger::reset(const std::vector<std::string>& list) {
    last_ = nullptr;
    in_list_ = std::unordered_set<std::string>(list.begin(), list.end());
}

size_t NetworkEntryMerger::merge(std::vector<std::string>& list) {
    size_t added = 0;
    const config::OvrinsmsModemCacheRecord* r = last_ ? last_->link() : config::OvrinsmsModemCacheHead();
    for (; r; r = r->link()) {
        last_ = r;
        std::string entry = std::string(kNetworkModemPrefix) + r->name;
        if (in_list_.insert(entry).second) {
            list.push_back(std::move(entry));
            ++added;
        }
    }
    return added;
}

}  // namespace ovr::modem
