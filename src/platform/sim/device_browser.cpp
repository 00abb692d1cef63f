// The simulated devices' registry: <root>netmodems/, one file per device
// holding its name and "address:port" on two lines, written by the device
// simulator through a temporary name and a rename, so a reader never sees
// half an entry.
#include <unistd.h>

#include <map>

#include "platform/device_browser.h"
#include "platform/fs.h"

namespace ovr::platform {
namespace {

constexpr size_t kMaxEntries = 256;
constexpr size_t kMaxEntryBytes = 1024;
constexpr uint32_t kRescanMs = 200;

bool parse_host_port(const std::string& text, std::string& address, uint16_t& port) {
    std::string host, digits;
    if (!text.empty() && text.front() == '[') {
        size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') return false;
        host = text.substr(1, close - 1);
        digits = text.substr(close + 2);
    } else {
        size_t colon = text.rfind(':');
        if (colon == std::string::npos) return false;
        host = text.substr(0, colon);
        digits = text.substr(colon + 1);
    }
    if (host.empty() || digits.empty() || digits.size() > 5) return false;
    unsigned long v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned long>(c - '0');
    }
    if (v == 0 || v > 65535) return false;
    address = host;
    port = static_cast<uint16_t>(v);
    return true;
}

bool parse_entry(const std::string& text, FoundDevice& d) {
    size_t nl = text.find('\n');
    if (nl == std::string::npos || nl == 0) return false;
    d.name = text.substr(0, nl);
    std::string rest = text.substr(nl + 1);
    while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r')) rest.pop_back();
    return parse_host_port(rest, d.address, d.port);
}

class SimDeviceBrowser final : public DeviceBrowser {
public:
    SimDeviceBrowser(std::string root, std::shared_ptr<Clock> clock) : dir_(sim_device_registry(root)), clock_(std::move(clock)) {}

    BrowseResult browse(uint32_t seconds, const std::atomic<bool>& keep_going,
                        const std::function<void(const FoundDevice&)>& found, std::string&) override {
        const uint64_t start = clock_->tick_ms();
        const uint64_t length = uint64_t{seconds} * 1000;
        std::map<std::string, std::string> reported;  // file -> its last text
        for (;;) {
            if (!keep_going) return BrowseResult::Stopped;
            size_t seen = 0;
            fs::scan_directory(dir_, "*.device", [&](std::string_view name, bool is_dir) {
                if (is_dir || name.empty() || name.front() == '.' || seen >= kMaxEntries) return;
                ++seen;
                std::string file(name);
                auto text = fs::read_file(dir_ + file, kMaxEntryBytes);
                FoundDevice d;
                if (!text || !parse_entry(*text, d)) return;
                auto it = reported.find(file);
                if (it != reported.end() && it->second == *text) return;
                reported[file] = *text;
                found(d);
            });
            uint64_t spent = clock_->tick_ms() - start;
            if (spent >= length) return BrowseResult::Completed;
            clock_->sleep_ms(static_cast<uint32_t>(std::min<uint64_t>(kRescanMs, length - spent)));
        }
    }

private:
    std::string dir_;
    std::shared_ptr<Clock> clock_;
};

}  // namespace

std::string sim_device_registry(const std::string& sim_root) { return sim_root + "netmodems/"; }

std::string register_sim_device(const std::string& sim_root, const std::string& name, const std::string& host_port) {
    std::string dir = sim_device_registry(sim_root);
    if (!fs::create_directories(dir)) return {};
    std::string file;
    for (char c : host_port) file += (c == ':' || c == '[' || c == ']' || c == '/' || c == '%') ? '_' : c;
    std::string path = dir + file + "-" + std::to_string(getpid()) + ".device";
    if (!fs::write_file_atomic(path, name + "\n" + host_port + "\n")) return {};
    return path;
}

std::unique_ptr<DeviceBrowser> make_sim_device_browser(const std::string& sim_root, std::shared_ptr<Clock> clock) {
    return std::make_unique<SimDeviceBrowser>(sim_root, std::move(clock));
}

}  // namespace ovr::platform
