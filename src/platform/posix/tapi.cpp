// Line devices over a folder of serial-device links. A pass-through call
// opens the device behind the line; the call's port is a second handle on it.
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <map>

#include "platform/fs.h"
#include "platform/registry.h"
#include "platform/tapi.h"

namespace ovr::platform {

namespace {

constexpr uint32_t kFixedCapsSize = 236;   // the fixed part of LINEDEVCAPS
constexpr uint32_t kLowestVersion = 0x00010003;
constexpr uint32_t kHighestVersion = 0x00020002;

class LinkTapi final : public Tapi {
public:
    LinkTapi(std::shared_ptr<Clock> clock, std::shared_ptr<CommPorts> ports, std::string dir)
        : clock_(std::move(clock)), ports_(std::move(ports)), dir_(std::move(dir)) {}

    int32_t initialize(const std::string&, uint32_t options, uint32_t& app, uint32_t& num_devs,
                       uint32_t& api_version) override {
        App a;
        a.links = list_serial_links(dir_);
        a.use_event = (options & tapi::kInitOptionUseEvent) != 0;
        app = next_handle_++;
        num_devs = static_cast<uint32_t>(a.links.size());
        if (api_version > kHighestVersion) api_version = kHighestVersion;
        apps_[app] = std::move(a);
        return tapi::kSuccess;
    }

    int32_t negotiate_api_version(uint32_t app, uint32_t device, uint32_t low, uint32_t high,
                                  uint32_t& version) override {
        App* a = find_app(app);
        if (!a) return err(tapi::kErrInvalAppHandle);
        if (device >= a->links.size()) return err(tapi::kErrBadDeviceId);
        if (high < kLowestVersion || low > kHighestVersion) return err(tapi::kErrIncompatibleApiVersion);
        version = std::min(high, kHighestVersion);
        return tapi::kSuccess;
    }

    int32_t get_dev_caps(uint32_t app, uint32_t device, uint32_t, uint32_t buffer_size,
                         LineDevCaps& caps) override {
        App* a = find_app(app);
        if (!a) return err(tapi::kErrInvalAppHandle);
        if (device >= a->links.size()) return err(tapi::kErrBadDeviceId);
        if (buffer_size < kFixedCapsSize) return err(tapi::kErrStructureTooSmall);
        const std::string& name = a->links[device].name;
        caps = {};
        caps.needed_size = kFixedCapsSize + static_cast<uint32_t>(name.size()) + 1;
        if (caps.needed_size > buffer_size) return tapi::kSuccess;
        caps.media_modes = tapi::kMediaModeDataModem;
        caps.line_name = name;
        return tapi::kSuccess;
    }

    int32_t open(uint32_t app, uint32_t device, uint32_t& line, uint32_t, uint32_t,
                 uint32_t media_modes) override {
        App* a = find_app(app);
        if (!a) return err(tapi::kErrInvalAppHandle);
        if (device >= a->links.size()) return err(tapi::kErrBadDeviceId);
        if (!(media_modes & tapi::kMediaModeDataModem)) return err(tapi::kErrOperationUnavail);
        if (!fs::exists(a->links[device].device)) return err(tapi::kErrNoDriver);
        line = next_handle_++;
        lines_[line] = Line{app, a->links[device].device};
        return tapi::kSuccess;
    }

    int32_t get_line_id(uint32_t line, const std::string& device_class, size_t buffer_size,
                        std::string& text) override {
        auto it = lines_.find(line);
        if (it == lines_.end()) return err(tapi::kErrInvalLineHandle);
        if (device_class != "comm/datamodem/portname") return err(tapi::kErrOperationUnavail);
        if (it->second.device.size() + 1 + 24 > buffer_size) return err(tapi::kErrStructureTooSmall);
        text = it->second.device;
        return tapi::kSuccess;
    }

    int32_t make_call(uint32_t line, uint32_t& call, uint32_t bearer_mode, uint32_t) override {
        auto it = lines_.find(line);
        if (it == lines_.end()) return err(tapi::kErrInvalLineHandle);
        if (bearer_mode != tapi::kBearerModePassthrough) return err(tapi::kErrOperationUnavail);
        SystemError e;
        auto port = ports_->open(it->second.device, e);
        if (!port) return err(e.in_use ? tapi::kErrResourceUnavail : tapi::kErrOperationFailed);
        call = next_handle_++;
        uint32_t request = next_handle_++;
        calls_[call] = Call{line, std::move(port), it->second.device};
        if (App* a = find_app(it->second.app)) a->messages.push_back({tapi::kLineReply, request, 0});
        return static_cast<int32_t>(request);
    }

    int32_t get_message(uint32_t app, LineMessage& message, uint32_t timeout_ms) override {
        App* a = find_app(app);
        if (!a) return err(tapi::kErrInvalAppHandle);
        if (a->messages.empty()) {
            // Nothing else ever arrives on these lines: wait out the time.
            clock_->sleep_ms(timeout_ms);
            return err(tapi::kErrOperationFailed);
        }
        message = a->messages.front();
        a->messages.pop_front();
        return tapi::kSuccess;
    }

    int32_t get_call_comm(uint32_t call, size_t buffer_size, std::unique_ptr<CommPort>& port) override {
        auto it = calls_.find(call);
        if (it == calls_.end() || !it->second.port) return err(tapi::kErrInvalCallHandle);
        if (buffer_size < 24 + 4) return err(tapi::kErrStructureTooSmall);
        // The application gets the call's own port and closes it itself; the
        // call keeps the device's name only.
        port = std::move(it->second.port);
        return tapi::kSuccess;
    }

    int32_t drop(uint32_t call) override {
        auto it = calls_.find(call);
        if (it == calls_.end()) return err(tapi::kErrInvalCallHandle);
        it->second.port.reset();
        uint32_t request = next_handle_++;
        auto line = lines_.find(it->second.line);
        if (line != lines_.end())
            if (App* a = find_app(line->second.app)) a->messages.push_back({tapi::kLineReply, request, 0});
        return static_cast<int32_t>(request);
    }

    int32_t deallocate_call(uint32_t call) override {
        return calls_.erase(call) ? tapi::kSuccess : err(tapi::kErrInvalCallHandle);
    }

    int32_t close(uint32_t line) override {
        if (!lines_.erase(line)) return err(tapi::kErrInvalLineHandle);
        for (auto it = calls_.begin(); it != calls_.end();)
            it = it->second.line == line ? calls_.erase(it) : std::next(it);
        return tapi::kSuccess;
    }

    int32_t shutdown(uint32_t app) override {
        if (!apps_.erase(app)) return err(tapi::kErrInvalAppHandle);
        for (auto it = lines_.begin(); it != lines_.end();) {
            if (it->second.app == app) {
                uint32_t l = it->first;
                ++it;
                close(l);
            } else {
                ++it;
            }
        }
        return tapi::kSuccess;
    }

private:
    struct App {
        std::vector<SerialLink> links;
        bool use_event = false;
        std::deque<LineMessage> messages;
    };
    struct Line {
        uint32_t app = 0;
        std::string device;
    };
    struct Call {
        uint32_t line = 0;
        std::unique_ptr<CommPort> port;
        std::string device;
    };

    static int32_t err(uint32_t code) { return static_cast<int32_t>(code); }
    App* find_app(uint32_t app) {
        auto it = apps_.find(app);
        return it == apps_.end() ? nullptr : &it->second;
    }

    std::shared_ptr<Clock> clock_;
    std::shared_ptr<CommPorts> ports_;
    std::string dir_;
    uint32_t next_handle_ = 0x10001;
    std::map<uint32_t, App> apps_;
    std::map<uint32_t, Line> lines_;
    std::map<uint32_t, Call> calls_;
};

class LinkRegistry final : public Registry {
public:
    LinkRegistry(std::string dir, std::string charsets_file)
        : dir_(std::move(dir)), charsets_file_(std::move(charsets_file)) {}
    std::vector<InstalledModem> installed_modems() override {
        std::vector<InstalledModem> out;
        for (auto& l : list_serial_links(dir_)) out.push_back({l.name, l.device});
        return out;
    }
    std::vector<std::string> mime_charsets() override {
        if (!charsets_file_.empty())
            if (auto names = charsets_from_file(charsets_file_)) return *names;
        return host_mime_charsets();
    }

private:
    std::string dir_;
    std::string charsets_file_;
};

}  // namespace

std::vector<SerialLink> list_serial_links(const std::string& dir_in) {
    std::string dir = dir_in;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    std::vector<SerialLink> out;
    for (const auto& e : fs::list_directory(dir)) {
        if (e.is_directory || e.name.size() > 255) continue;
        char resolved[PATH_MAX];
        std::string full = dir + e.name;
        // A dangling link still names its device: keep the link's target text.
        if (realpath(full.c_str(), resolved)) {
            out.push_back({e.name, resolved});
        } else if (e.is_symlink) {
            char target[PATH_MAX];
            ssize_t n = readlink(full.c_str(), target, sizeof target - 1);
            if (n <= 0) continue;
            std::string t(target, static_cast<size_t>(n));
            out.push_back({e.name, t[0] == '/' ? t : dir + t});
        }
    }
    std::sort(out.begin(), out.end(), [](const SerialLink& a, const SerialLink& b) { return a.name < b.name; });
    return out;
}

std::shared_ptr<Tapi> make_posix_tapi(std::shared_ptr<Clock> clock, std::shared_ptr<CommPorts> ports,
                                      std::string by_id_dir) {
    return std::make_shared<LinkTapi>(std::move(clock), std::move(ports), std::move(by_id_dir));
}

std::shared_ptr<Registry> make_link_registry(std::string by_id_dir, std::string charsets_file) {
    return std::make_shared<LinkRegistry>(std::move(by_id_dir), std::move(charsets_file));
}

}  // namespace ovr::platform
