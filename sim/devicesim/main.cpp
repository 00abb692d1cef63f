// ovrinsms-devicesim: network modem devices answering "GET /init" on loopback
// like the phone app (or like a peer that misbehaves, by profile). Prints
// "ready ADDR:PORT NAME" per device; runs until SIGINT or SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/text.h"
#include "device_server.h"
#include "publisher.h"
#include "platform/device_browser.h"
#include "platform/fs.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

constexpr const char* kUsage =
    "usage: ovrinsms-devicesim [--listen ADDR:PORT] [--profile P] [--name N] [--id ID]\n"
    "                          [--mms-url U] [--mms-proxy P] [--count N] [--register]\n"
    "                          [--appear-after S] [--publish] [--log FILE]\n"
    "  --listen       address and port (default 127.0.0.1:0; port 0 picks a free one)\n"
    "  --count        serve N devices on consecutive ports (names get \" 2\", \" 3\", ...)\n"
    "  --register     write each device into $OVRINSMS_SIM_ROOT/netmodems/ (removed on exit)\n"
    "  --appear-after register only after S seconds\n"
    "  --publish      announce each device through avahi-daemon (DNS-SD _ovrinsmsmodem._tcp)\n"
    "  --log          also append the log (every request byte for byte) to FILE\n"
    "  profiles:";

int usage(const std::string& why) {
    if (!why.empty()) std::fprintf(stderr, "ovrinsms-devicesim: %s\n", why.c_str());
    std::fprintf(stderr, "%s", kUsage);
    for (auto& n : ovr::devicesim::profile_names()) std::fprintf(stderr, " %s", n.c_str());
    std::fprintf(stderr, "\n");
    return 2;
}

bool parse_number(const std::string& s, unsigned long max, unsigned long& out) {
    if (s.empty() || s.size() > 9) return false;
    out = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + static_cast<unsigned long>(c - '0');
    }
    return out <= max;
}

}  // namespace

int main(int argc, char** argv) {
    ovr::devicesim::DeviceSpec spec;
    std::string log_path;
    unsigned long count = 1, appear_after = 0;
    bool do_register = false, publish = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            usage("");
            return 0;
        }
        if (a == "--listen" && value(spec.listen)) continue;
        if (a == "--profile" && value(spec.profile)) continue;
        if (a == "--name" && value(spec.name)) continue;
        if (a == "--id" && value(spec.id)) continue;
        if (a == "--mms-url" && value(spec.mms_url)) continue;
        if (a == "--mms-proxy" && value(spec.mms_proxy)) continue;
        if (a == "--log" && value(log_path)) continue;
        if (a == "--register") { do_register = true; continue; }
        if (a == "--publish") { publish = true; continue; }
        if (a == "--count" && value(v)) {
            if (!parse_number(v, 1000, count) || count == 0) return usage("--count takes 1 to 1000");
            continue;
        }
        if (a == "--appear-after" && value(v)) {
            if (!parse_number(v, 86400, appear_after)) return usage("--appear-after takes seconds");
            continue;
        }
        return usage("bad argument \"" + a + "\"");
    }
    if (!ovr::devicesim::known_profile(spec.profile)) return usage("unknown profile \"" + spec.profile + "\"");
    const char* root_env = std::getenv("OVRINSMS_SIM_ROOT");
    std::string root = root_env ? root_env : "";
    if (!root.empty() && root.back() != '/') root += '/';
    if (do_register && root.empty()) return usage("--register needs OVRINSMS_SIM_ROOT");

    std::mutex log_mu;
    std::ofstream log_file;
    if (!log_path.empty()) log_file.open(log_path, std::ios::app);
    auto log = [&](const std::string& line) {
        std::lock_guard lock(log_mu);
        std::fprintf(stderr, "%s\n", line.c_str());
        if (log_file) log_file << line << "\n" << std::flush;
    };

    signal(SIGINT, on_signal);
    signal(SIGTERM, on_signal);
    signal(SIGPIPE, SIG_IGN);

    std::string host;
    uint32_t port = 0;
    ovr::config::split_host_port(spec.listen, host, port);
    std::vector<std::unique_ptr<ovr::devicesim::DeviceServer>> servers;
    for (unsigned long k = 0; k < count; ++k) {
        ovr::devicesim::DeviceSpec s = spec;
        if (k > 0) {
            s.name = spec.name + " " + std::to_string(k + 1);
            uint32_t next = port == 0 ? 0 : port + static_cast<uint32_t>(k);
            s.listen = host + ":" + std::to_string(next);
        }
        auto server = std::make_unique<ovr::devicesim::DeviceServer>(s, log);
        std::string error;
        if (!server->start(error)) {
            std::fprintf(stderr, "ovrinsms-devicesim: %s\n", error.c_str());
            return 1;
        }
        std::printf("ready %s %s\n", server->address().c_str(), s.name.c_str());
        servers.push_back(std::move(server));
    }
    std::fflush(stdout);

    std::unique_ptr<ovr::devicesim::Publisher> publisher;
    if (publish) {
        std::vector<std::pair<std::string, uint16_t>> devices;
        for (auto& s : servers) devices.emplace_back(s->spec().name, s->port());
        std::string error;
        // "published" once the daemon announces them (after its probing),
        // when a browser can first see them.
        publisher = ovr::devicesim::publish_devices(devices, error, [&log, devices] {
            for (auto& d : devices) log("published " + d.first + " port " + std::to_string(d.second));
        });
        if (!publisher) {
            std::fprintf(stderr, "ovrinsms-devicesim: --publish: %s\n", error.c_str());
            for (auto& s : servers) s->stop();
            return 1;
        }
    }

    auto started = std::chrono::steady_clock::now();
    std::vector<std::string> entries;
    bool registered = false;
    while (!g_stop) {
        if (do_register && !registered &&
            std::chrono::steady_clock::now() - started >= std::chrono::seconds(appear_after)) {
            for (auto& s : servers) {
                std::string path = ovr::platform::register_sim_device(root, s->spec().name, s->address());
                if (path.empty()) {
                    log("cannot register " + s->spec().name);
                } else {
                    entries.push_back(path);
                    log("registered " + s->spec().name + " " + s->address());
                }
            }
            registered = true;
        }
        if (publisher) {
            if (std::string why = publisher->error(); !why.empty()) {
                log("publishing failed: " + why);
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    publisher.reset();
    for (auto& p : entries) ovr::platform::fs::remove_file(p);
    for (auto& s : servers) s->stop();
    return 0;
}
