// The network modem cache: discovery order, one record per name, refused
// names, the bound, and a reader walking while a writer appends.
#include "config/modem_cache.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "config/inet.h"

namespace ovr::config {
namespace {

std::vector<std::string> names() {
    std::vector<std::string> out;
    for (auto* r = OvrinsmsModemCacheHead(); r; r = r->link()) out.emplace_back(r->name);
    return out;
}

// The cache lives for the process: one test walks it through its life.
TEST(ModemCache, OrderDuplicatesRefusedNamesBoundAndConcurrentReaders) {
    EXPECT_TRUE(cache_modem("Ovrin Phone A", "10.0.0.5:8990"));
    EXPECT_TRUE(cache_modem("Ovrin Phone B", "10.0.0.6:8990"));
    // Seen again (another protocol, any case): the same record, a new address.
    EXPECT_TRUE(cache_modem("OVRIN PHONE A", "[fe80::1%eth0]:8990"));
    EXPECT_EQ(names(), (std::vector<std::string>{"Ovrin Phone A", "Ovrin Phone B"}));
    EXPECT_EQ(cached_modem_address("ovrin phone a"), "[fe80::1%eth0]:8990");

    for (std::string bad : {std::string(), std::string("."), std::string(".."), std::string("../.."),
                            std::string("a\\b"), std::string("line\nbreak"), std::string("tab\t"),
                            std::string(64, 'x'), std::string("bad \xC3"), std::string("\xC0\xAF"),
                            std::string("\xED\xA0\x80"), std::string("nul\0x", 5)})
        EXPECT_FALSE(cache_modem(bad, "1.2.3.4:1")) << bad;
    EXPECT_TRUE(cache_modem(std::string(63, 'y'), "1.2.3.4:1"));
    EXPECT_TRUE(cache_modem("T\xC3\xA9l\xC3\xA9phone \xF0\x9F\x93\xB1", "1.2.3.4:2"));
    EXPECT_EQ(names().size(), 4u);

    // The resolver: a cached name connects to its address.
    set_modem_browser(nullptr);
    std::atomic<bool> go{true};
    std::string why;
    EXPECT_EQ(FindOvrinSMSModem(0, 0, 1, go, &why), platform::BrowseResult::Unavailable);
    EXPECT_FALSE(why.empty());

    // A writer appends up to the bound while readers walk the chain.
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            std::set<std::string> seen;
            for (auto* r = OvrinsmsModemCacheHead(); r; r = r->link()) EXPECT_TRUE(seen.insert(r->name).second);
        }
    });
    for (int i = 0; i < 1100; ++i) cache_modem("Device " + std::to_string(i), "127.0.0.1:" + std::to_string(1000 + i));
    done = true;
    reader.join();
    auto all = names();
    EXPECT_EQ(all.size(), kMaxCachedModems);
    EXPECT_EQ(all[4], "Device 0");
    EXPECT_EQ(all.back(), "Device " + std::to_string(kMaxCachedModems - 5));
    EXPECT_FALSE(cache_modem("One too many", "1.2.3.4:1"));
    EXPECT_TRUE(cache_modem("Device 3", "127.0.0.1:9"));  // a known name still moves
    EXPECT_EQ(cached_modem_address("device 3"), "127.0.0.1:9");
}

}  // namespace
}  // namespace ovr::config
