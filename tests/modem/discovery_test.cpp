// The discovery thread and the merge of the cache into the page's list.
#include "modem/discovery.h"

#include <gtest/gtest.h>

#include <chrono>

namespace ovr::modem {
namespace {

using namespace std::chrono;

// A browser that reports its devices, then either waits out the pass
// (watching the flag as the real ones do) or fails at once.
class ScriptedBrowser final : public platform::DeviceBrowser {
public:
    explicit ScriptedBrowser(bool unavailable) : unavailable_(unavailable) {}
    platform::BrowseResult browse(uint32_t seconds, const std::atomic<bool>& keep_going,
                                  const std::function<void(const platform::FoundDevice&)>& found,
                                  std::string& error) override {
        ++passes;
        if (unavailable_) {
            error = "no daemon";
            return platform::BrowseResult::Unavailable;
        }
        for (auto& d : devices) found(d);
        auto end = steady_clock::now() + std::chrono::seconds(seconds);
        while (steady_clock::now() < end) {
            if (!keep_going) return platform::BrowseResult::Stopped;
            std::this_thread::sleep_for(milliseconds(20));
        }
        return platform::BrowseResult::Completed;
    }
    std::atomic<int> passes{0};
    std::vector<platform::FoundDevice> devices;

private:
    bool unavailable_;
};

TEST(Discovery, WorkerFillsTheCacheAndIsGoneSoonAfterStop) {
    auto browser = std::make_shared<ScriptedBrowser>(false);
    browser->devices = {{"Worker Phone", "127.0.0.1", 8990}};
    config::set_modem_browser(browser);
    {
        DiscoveryWorker w(std::make_shared<platform::SystemClock>(), 120);
        w.start();
        auto t0 = steady_clock::now();
        while (!config::cached_modem_address("Worker Phone") && steady_clock::now() - t0 < seconds(5))
            std::this_thread::sleep_for(milliseconds(5));
        EXPECT_EQ(config::cached_modem_address("worker phone"), "127.0.0.1:8990");
        t0 = steady_clock::now();
        w.stop();  // in the middle of a 120-second pass
        EXPECT_LT(steady_clock::now() - t0, milliseconds(200));
    }
    EXPECT_EQ(browser->passes, 1);
}

TEST(Discovery, AFailingBrowserPausesInsteadOfSpinning) {
    auto browser = std::make_shared<ScriptedBrowser>(true);
    config::set_modem_browser(browser);
    DiscoveryWorker w(std::make_shared<platform::SystemClock>(), 120, 5000);
    w.start();
    std::this_thread::sleep_for(milliseconds(300));
    auto t0 = steady_clock::now();
    w.stop();  // in the pause
    EXPECT_LT(steady_clock::now() - t0, milliseconds(250));
    EXPECT_EQ(browser->passes, 1);
}

TEST(Discovery, MergeAppendsEachNewDeviceOnceAndSurvivesARefill) {
    config::cache_modem("Merge Phone A", "10.0.0.1:1");
    std::vector<std::string> list = {"Standard Modem", "OvrinSMSModem - Merge Phone A"};
    NetworkEntryMerger m;
    m.reset(list);
    size_t before = list.size();
    m.merge(list);  // every cached device the list lacks, the one it holds not again
    EXPECT_EQ(std::count(list.begin(), list.end(), "OvrinSMSModem - Merge Phone A"), 1);
    size_t after_first = list.size();
    EXPECT_GE(after_first, before);
    EXPECT_EQ(m.merge(list), 0u);  // nothing new: nothing walked again
    config::cache_modem("Merge Phone B", "10.0.0.2:1");
    EXPECT_EQ(m.merge(list), 1u);
    EXPECT_EQ(list.back(), "OvrinSMSModem - Merge Phone B");
    // Refilled with the local modems only: every cached device comes back.
    list = {"Standard Modem"};
    m.reset(list);
    EXPECT_EQ(m.merge(list), after_first);  // the cache now holds after_first devices
    EXPECT_EQ(list.back(), "OvrinSMSModem - Merge Phone B");
}

}  // namespace
}  // namespace ovr::modem
