// A simulated platform whose service programs run inside the test: the
// simulated manager's launcher hands each "program" to FakeGateway, which
// holds the run lock and reports its state like the real simulator, and
// reacts to the stop control (or the stop-request byte) whenever the console
// sleeps through the clock.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/fs.h"
#include "service/control.h"
#include "service/status.h"
#include "support/scratch.h"

namespace ovr::test {

enum class StopBehaviour { OnControl, OnStopByteOnly, Never };

class HookClock final : public platform::Clock {
public:
    platform::LocalTime local_now() override { return inner.local_now(); }
    uint64_t tick_ms() override { return inner.tick_ms(); }
    void sleep_ms(uint32_t ms) override {
        inner.sleep_ms(ms);
        if (on_sleep) on_sleep();
    }
    platform::FakeClock inner;
    std::function<void()> on_sleep;
};

class FakeElevation final : public platform::Elevation {
public:
    bool possible() override { return allowed; }
    bool relaunch(const std::string& switch_arg, uint32_t) override {
        switches.push_back(switch_arg);
        if (child) child(switch_arg);
        return true;
    }
    bool allowed = true;
    std::vector<std::string> switches;
    std::function<void(const std::string&)> child;
};

class FakeGateway {
public:
    FakeGateway() : clock(std::make_shared<HookClock>()) {
        root = scratch.path() + "sim/";
        console_dir = scratch.path() + "bin/";
        platform::fs::create_directories(console_dir);
        // The programs only need to exist and be executable.
        for (const char* prog : {service::kSmsProgram, service::kMmscProgram}) {
            write_text(console_dir + prog, "#!/bin/false\n");
            chmod_x(console_dir + prog);
        }
        p = platform::make_sim_platform(root, clock);
        p.services = manager(false);
        elevation = std::make_shared<FakeElevation>();
        p.elevation = elevation;
        clock->on_sleep = [this] { react(); };
    }
    ~FakeGateway() {
        for (auto& [name, fd] : fds) ::close(fd);
        if (p.shared_memory) {
            p.shared_memory->unlink(service::kSmsBlockName);
            p.shared_memory->unlink(service::kMmscBlockName);
        }
    }

    std::shared_ptr<platform::ServiceManager> manager(bool elevated) {
        return platform::make_sim_service_manager(root, elevated, [this](const platform::LaunchRequest& r, int& pid) {
            launched.push_back(r.service);
            fds[r.service] = dup(r.lock_fd);
            platform::sim::write_status(platform::sim::service_dir(root, r.service), platform::ServiceState::Running, 0);
            if (r.service == service::kSmsServiceName && publish_block)
                block = p.shared_memory->create(service::kSmsBlockName, 64);
            pid = 0;
            return 0u;
        });
    }

    // What the elevated copy of the console does with a switch.
    void elevated_copy_runs_switches() {
        elevation->child = [this](const std::string& sw) {
            platform::Platform ep = p;
            ep.services = manager(true);
            ScriptedUi child_ui;
            service::ServiceControl c(ep, child_ui, console_dir);
            if (sw == service::kInstallSwitch) c.install_and_start(true);
            if (sw == service::kRemoveSwitch) c.remove(true);
            if (sw == service::kStopSwitch) c.stop(true);
            if (sw == service::kStartSwitch) c.start(true);
            if (sw == service::kRestartSwitch) c.restart(true);
        };
    }

    // The services' reaction between two of the console's sleeps.
    void react() {
        for (auto it = fds.begin(); it != fds.end();) {
            std::string dir = platform::sim::service_dir(root, it->first);
            bool byte = it->first == service::kSmsServiceName && block && block->data()[0] != 0;
            bool control = platform::fs::exists(dir + "control");
            bool stops = behaviour == StopBehaviour::OnControl ? (control || byte)
                         : behaviour == StopBehaviour::OnStopByteOnly ? byte
                                                                      : false;
            if (stops) {
                if (it->first == service::kSmsServiceName) block.reset();
                platform::sim::write_status(dir, platform::ServiceState::Stopped, 0);
                ::close(it->second);
                it = fds.erase(it);
            } else {
                ++it;
            }
        }
    }

    service::ServiceControl control() { return service::ServiceControl(p, ui, console_dir); }
    bool installed(const char* name) { return service::is_service_installed(*p.services, name); }
    bool running(const char* name) { return service::is_service_running(*p.services, name); }
    std::string config_of(const char* name) {
        return read_text(platform::sim::service_dir(root, name) + "config");
    }

    static void chmod_x(const std::string& path) { ::chmod(path.c_str(), 0755); }

    ScratchDir scratch;
    std::string root, console_dir;
    std::shared_ptr<HookClock> clock;
    platform::Platform p;
    std::shared_ptr<FakeElevation> elevation;
    ScriptedUi ui;
    StopBehaviour behaviour = StopBehaviour::OnControl;
    bool publish_block = true;
    std::unique_ptr<platform::SharedBlock> block;
    std::map<std::string, int> fds;
    std::vector<std::string> launched;
};

}  // namespace ovr::test
