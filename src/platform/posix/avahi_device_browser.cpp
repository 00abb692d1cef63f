// Discovery of network modem devices on a real host: DNS-SD browsing of
// "_ovrinsmsmodem._tcp" through avahi-daemon (over D-Bus), each service
// resolved to a numeric address and port as it appears.
#include "platform/device_browser.h"

#ifdef OVR_HAVE_AVAHI

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>
#include <net/if.h>

#include <algorithm>
#include <string>
#include <vector>

namespace ovr::platform {
namespace {

constexpr const char* kServiceType = "_ovrinsmsmodem._tcp";
constexpr int kStepMs = 200;  // the stop flag is looked at this often

struct Pass {
    AvahiClient* client = nullptr;
    const std::function<void(const FoundDevice&)>* found = nullptr;
    std::vector<AvahiServiceResolver*> resolvers;
    bool lost = false;
    std::string error;
};

// fe80::/10 needs its interface to be reached.
bool link_local(const AvahiAddress& a) {
    return a.proto == AVAHI_PROTO_INET6 && a.data.ipv6.address[0] == 0xFE && (a.data.ipv6.address[1] & 0xC0) == 0x80;
}

void resolve(Pass& pass, AvahiIfIndex interface, AvahiProtocol protocol, const char* name, const char* type,
             const char* domain, AvahiProtocol address_protocol);

void on_resolved(AvahiServiceResolver* r, AvahiIfIndex interface, AvahiProtocol protocol, AvahiResolverEvent event,
                 const char* name, const char* type, const char* domain, const char*, const AvahiAddress* address,
                 uint16_t port, AvahiStringList*, AvahiLookupResultFlags, void* data) {
    auto& pass = *static_cast<Pass*>(data);
    if (event == AVAHI_RESOLVER_FOUND && address && name) {
        char text[AVAHI_ADDRESS_STR_MAX] = {};
        avahi_address_snprint(text, sizeof text, address);
        FoundDevice d;
        d.name = name;
        d.address = text;
        char ifname[IF_NAMESIZE] = {};
        if (link_local(*address) && interface >= 0 && if_indextoname(static_cast<unsigned>(interface), ifname))
            d.address += std::string("%") + ifname;
        d.port = port;
        (*pass.found)(d);
    } else if (event == AVAHI_RESOLVER_FAILURE && name && type && domain) {
        // No IPv4 address: the IPv6 one will do.
        AvahiProtocol tried = AVAHI_PROTO_UNSPEC;
        for (auto*& kept : pass.resolvers)
            if (kept == r) tried = AVAHI_PROTO_INET;
        if (tried == AVAHI_PROTO_INET)
            resolve(pass, interface, protocol, name, type, domain, AVAHI_PROTO_INET6);
    }
    for (auto*& kept : pass.resolvers)
        if (kept == r) kept = nullptr;
    avahi_service_resolver_free(r);
}

void resolve(Pass& pass, AvahiIfIndex interface, AvahiProtocol protocol, const char* name, const char* type,
             const char* domain, AvahiProtocol address_protocol) {
    AvahiServiceResolver* r = avahi_service_resolver_new(pass.client, interface, protocol, name, type, domain,
                                                         address_protocol, static_cast<AvahiLookupFlags>(0),
                                                         on_resolved, &pass);
    // Only the IPv4 attempts are kept, so a failed one knows to try IPv6.
    if (r && address_protocol == AVAHI_PROTO_INET) pass.resolvers.push_back(r);
}

void on_browse(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol, AvahiBrowserEvent event,
               const char* name, const char* type, const char* domain, AvahiLookupResultFlags, void* data) {
    auto& pass = *static_cast<Pass*>(data);
    if (event == AVAHI_BROWSER_NEW && name && type && domain)
        resolve(pass, interface, protocol, name, type, domain, AVAHI_PROTO_INET);
    else if (event == AVAHI_BROWSER_FAILURE) {
        pass.lost = true;
        pass.error = std::string("avahi-daemon: ") + avahi_strerror(avahi_client_errno(pass.client));
    }
}

void on_client(AvahiClient* client, AvahiClientState state, void* data) {
    auto& pass = *static_cast<Pass*>(data);
    if (state == AVAHI_CLIENT_FAILURE) {
        pass.lost = true;
        pass.error = std::string("avahi-daemon: ") + avahi_strerror(avahi_client_errno(client));
    }
}

class AvahiDeviceBrowser final : public DeviceBrowser {
public:
    explicit AvahiDeviceBrowser(std::shared_ptr<Clock> clock) : clock_(std::move(clock)) {}

    BrowseResult browse(uint32_t seconds, const std::atomic<bool>& keep_going,
                        const std::function<void(const FoundDevice&)>& found, std::string& error) override {
        AvahiSimplePoll* poll = avahi_simple_poll_new();
        if (!poll) {
            error = "out of memory";
            return BrowseResult::Unavailable;
        }
        Pass pass;
        pass.found = &found;
        int code = 0;
        pass.client = avahi_client_new(avahi_simple_poll_get(poll), static_cast<AvahiClientFlags>(0), on_client,
                                       &pass, &code);
        BrowseResult result = BrowseResult::Completed;
        AvahiServiceBrowser* browser = nullptr;
        if (!pass.client) {
            pass.lost = true;
            pass.error = std::string("avahi-daemon: ") + avahi_strerror(code);
        } else {
            browser = avahi_service_browser_new(pass.client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, kServiceType,
                                                nullptr, static_cast<AvahiLookupFlags>(0), on_browse, &pass);
            if (!browser) {
                pass.lost = true;
                pass.error = std::string("avahi-daemon: ") + avahi_strerror(avahi_client_errno(pass.client));
            }
        }
        const uint64_t start = clock_->tick_ms();
        while (!pass.lost) {
            if (!keep_going) {
                result = BrowseResult::Stopped;
                break;
            }
            uint64_t elapsed = clock_->tick_ms() - start;
            if (elapsed >= uint64_t{seconds} * 1000) break;
            int step = static_cast<int>(std::min<uint64_t>(kStepMs, uint64_t{seconds} * 1000 - elapsed));
            if (avahi_simple_poll_iterate(poll, step) != 0) {
                pass.lost = true;
                if (pass.error.empty()) pass.error = "avahi-daemon: the event loop failed";
            }
        }
        if (pass.lost) {
            result = BrowseResult::Unavailable;
            error = pass.error;
        }
        for (AvahiServiceResolver* r : pass.resolvers)
            if (r) avahi_service_resolver_free(r);
        if (browser) avahi_service_browser_free(browser);
        // Freeing the client frees whatever resolvers it still holds.
        if (pass.client) avahi_client_free(pass.client);
        avahi_simple_poll_free(poll);
        return result;
    }

private:
    std::shared_ptr<Clock> clock_;
};

}  // namespace

std::unique_ptr<DeviceBrowser> make_avahi_device_browser(std::shared_ptr<Clock> clock) {
    return std::make_unique<AvahiDeviceBrowser>(std::move(clock));
}

}  // namespace ovr::platform

#else

namespace ovr::platform {
std::unique_ptr<DeviceBrowser> make_avahi_device_browser(std::shared_ptr<Clock>) { return nullptr; }
}  // namespace ovr::platform

#endif
