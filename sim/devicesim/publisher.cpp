#include "publisher.h"

#ifdef OVR_HAVE_AVAHI

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/error.h>
#include <avahi-common/thread-watch.h>

#include <mutex>

namespace ovr::devicesim {
namespace {

constexpr const char* kServiceType = "_ovrinsmsmodem._tcp";

class AvahiPublisher final : public Publisher {
public:
    AvahiPublisher(std::vector<std::pair<std::string, uint16_t>> devices, std::function<void()> established)
        : devices_(std::move(devices)), established_(std::move(established)) {}
    ~AvahiPublisher() override {
        if (poll_) avahi_threaded_poll_stop(poll_);
        if (client_) avahi_client_free(client_);  // frees the entry group
        if (poll_) avahi_threaded_poll_free(poll_);
    }

    bool start(std::string& error) {
        poll_ = avahi_threaded_poll_new();
        if (!poll_) {
            error = "out of memory";
            return false;
        }
        int code = 0;
        client_ = avahi_client_new(avahi_threaded_poll_get(poll_), static_cast<AvahiClientFlags>(0), &on_client, this,
                                   &code);
        if (!client_) {
            error = std::string("avahi-daemon: ") + avahi_strerror(code);
            return false;
        }
        // The client is running once created without AVAHI_CLIENT_NO_FAIL, but
        // the callback may have run before client_ was set: add the services now.
        if (avahi_client_get_state(client_) == AVAHI_CLIENT_S_RUNNING) add_services(client_);
        if (avahi_threaded_poll_start(poll_) < 0) {
            error = "avahi: the event thread did not start";
            return false;
        }
        std::lock_guard lock(mu_);
        error = error_;
        return error_.empty();
    }

    std::string error() override {
        std::lock_guard lock(mu_);
        return error_;
    }

private:
    static void on_client(AvahiClient* c, AvahiClientState state, void* data) {
        auto* self = static_cast<AvahiPublisher*>(data);
        if (state == AVAHI_CLIENT_S_RUNNING) self->add_services(c);
        if (state == AVAHI_CLIENT_FAILURE) self->fail(std::string("avahi-daemon: ") + avahi_strerror(avahi_client_errno(c)));
    }
    static void on_group(AvahiEntryGroup* g, AvahiEntryGroupState state, void* data) {
        auto* self = static_cast<AvahiPublisher*>(data);
        if (state == AVAHI_ENTRY_GROUP_ESTABLISHED && self->established_) self->established_();
        if (state == AVAHI_ENTRY_GROUP_COLLISION) self->fail("avahi-daemon: a service of that name is already published");
        if (state == AVAHI_ENTRY_GROUP_FAILURE)
            self->fail(std::string("avahi-daemon: ") + avahi_strerror(avahi_client_errno(avahi_entry_group_get_client(g))));
    }
    void fail(const std::string& why) {
        std::lock_guard lock(mu_);
        if (error_.empty()) error_ = why;
    }
    void add_services(AvahiClient* c) {
        if (group_) return;
        group_ = avahi_entry_group_new(c, &on_group, this);
        if (!group_) return fail(std::string("avahi-daemon: ") + avahi_strerror(avahi_client_errno(c)));
        for (const auto& [name, port] : devices_) {
            int r = avahi_entry_group_add_service(group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                  static_cast<AvahiPublishFlags>(0), name.c_str(), kServiceType,
                                                  nullptr, nullptr, port, nullptr);
            if (r < 0) return fail("avahi-daemon: " + name + ": " + avahi_strerror(r));
        }
        if (int r = avahi_entry_group_commit(group_); r < 0) fail(std::string("avahi-daemon: ") + avahi_strerror(r));
    }

    std::vector<std::pair<std::string, uint16_t>> devices_;
    std::function<void()> established_;
    AvahiThreadedPoll* poll_ = nullptr;
    AvahiClient* client_ = nullptr;
    AvahiEntryGroup* group_ = nullptr;
    std::mutex mu_;
    std::string error_;
};

}  // namespace

std::unique_ptr<Publisher> publish_devices(const std::vector<std::pair<std::string, uint16_t>>& devices,
                                           std::string& error, std::function<void()> established) {
    auto p = std::make_unique<AvahiPublisher>(devices, std::move(established));
    if (!p->start(error)) return nullptr;
    return p;
}

}  // namespace ovr::devicesim

#else

namespace ovr::devicesim {
std::unique_ptr<Publisher> publish_devices(const std::vector<std::pair<std::string, uint16_t>>&, std::string& error,
                                           std::function<void()>) {
    error = "this build has no Avahi client";
    return nullptr;
}
}  // namespace ovr::devicesim

#endif
