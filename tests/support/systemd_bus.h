// A private D-Bus session daemon with a scripted org.freedesktop.systemd1 on
// it, so the real sd-bus code of the service manager runs against a real bus.
// The script keeps unit states (answered by ListUnitsByNames), learns units
// from the unit directory on Reload as systemd does, logs the calls, and
// refuses those it is told to.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <systemd/sd-bus.h>

namespace ovr::test {

class SystemdBus {
public:
    struct Unit {
        Unit() = default;
        Unit(std::string l, std::string a, std::string s, bool e, std::string j = {})
            : load(std::move(l)), active(std::move(a)), sub(std::move(s)), enabled(e), job(std::move(j)) {}
        std::string load = "not-found";   // LoadState
        std::string active = "inactive";  // ActiveState
        std::string sub = "dead";         // SubState
        bool enabled = false;
        std::string job;                  // the type of the job queued for it ("start", ...), if any
    };

    // Starts the daemon and the scripted manager; `unit_dir` is what Reload
    // reads. On failure `error()` says why (the test skips).
    explicit SystemdBus(std::string unit_dir);
    ~SystemdBus();
    SystemdBus(const SystemdBus&) = delete;
    SystemdBus& operator=(const SystemdBus&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& address() const { return address_; }

    // Method names (e.g. "StartUnit") answered with polkit's refusal.
    void refuse(const std::string& method);
    // A started unit stays "activating" instead of becoming "active".
    void hold_starts(bool on);
    // StartUnit only queues its job, as systemd does for a moment: the unit
    // stays as it was with a "start" job.
    void queue_starts(bool on);
    void set_unit(const std::string& unit, const Unit& u);
    Unit unit(const std::string& unit);
    // "Method arg" per call, in order.
    std::vector<std::string> calls();

private:
    static int on_manager(sd_bus_message* m, void* self, sd_bus_error* err);
    int manager_call(sd_bus_message* m, sd_bus_error* err);
    int list_units_locked(sd_bus_message* m, const std::vector<std::string>& names);
    void reload_locked();
    void serve();

    std::string unit_dir_;
    std::string error_;
    std::string address_;
    int daemon_pid_ = -1;
    sd_bus* bus_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mu_;
    std::map<std::string, Unit> units_;
    std::set<std::string> refused_;
    bool hold_starts_ = false;
    bool queue_starts_ = false;
    std::vector<std::string> calls_;
};

}  // namespace ovr::test
