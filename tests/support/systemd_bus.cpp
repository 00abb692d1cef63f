#include "support/systemd_bus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

extern char** environ;

namespace ovr::test {
namespace {

constexpr const char* kUnitPrefix = "/org/freedesktop/systemd1/unit/";

// systemd's object path label: letters and digits kept, the rest "_xx".
std::string unit_path(const std::string& unit) {
    static const char* hex = "0123456789abcdef";
    std::string p = kUnitPrefix;
    for (unsigned char c : unit) {
        if (isalnum(c)) {
            p += static_cast<char>(c);
        } else {
            p += '_';
            p += hex[c >> 4];
            p += hex[c & 15];
        }
    }
    return p;
}

bool alive(const SystemdBus::Unit& u) { return u.active != "inactive" && u.active != "failed"; }

int reply_empty(sd_bus_message* m) { return sd_bus_reply_method_return(m, ""); }

}  // namespace

SystemdBus::SystemdBus(std::string unit_dir) : unit_dir_(std::move(unit_dir)) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error_ = "no pipe";
        return;
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 3);  // dup2 clears close-on-exec
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3", nullptr};
    pid_t pid = -1;
    int r = posix_spawnp(&pid, "dbus-daemon", &fa, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(fds[1]);
    if (r != 0) {
        close(fds[0]);
        error_ = "dbus-daemon cannot be started (package dbus-daemon)";
        return;
    }
    daemon_pid_ = pid;
    // The daemon prints its address once it listens.
    std::string line;
    pollfd pfd{fds[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && poll(&pfd, 1, 10000) > 0) {
        char buf[256];
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (line.find('\n') == std::string::npos) {
        error_ = "dbus-daemon printed no address";
        return;
    }
    address_ = line.substr(0, line.find('\n'));

    r = sd_bus_new(&bus_);
    if (r >= 0) r = sd_bus_set_address(bus_, address_.c_str());
    if (r >= 0) r = sd_bus_set_bus_client(bus_, 1);
    if (r >= 0) r = sd_bus_start(bus_);
    if (r >= 0) r = sd_bus_request_name(bus_, "org.freedesktop.systemd1", 0);
    if (r >= 0) r = sd_bus_add_object(bus_, nullptr, "/org/freedesktop/systemd1", &SystemdBus::on_manager, this);
    if (r < 0) {
        error_ = std::string("the scripted manager cannot join the bus: ") + strerror(-r);
        return;
    }
    thread_ = std::thread([this] { serve(); });
}

SystemdBus::~SystemdBus() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    sd_bus_flush_close_unref(bus_);
    if (daemon_pid_ > 0) {
        kill(daemon_pid_, SIGTERM);
        int st = 0;
        waitpid(daemon_pid_, &st, 0);
    }
}

void SystemdBus::serve() {
    while (!stop_) {
        int r = sd_bus_process(bus_, nullptr);
        if (r < 0) break;
        if (r > 0) continue;
        sd_bus_wait(bus_, 50000);
    }
}

void SystemdBus::refuse(const std::string& method) {
    std::lock_guard lock(mu_);
    refused_.insert(method);
}

void SystemdBus::hold_starts(bool on) {
    std::lock_guard lock(mu_);
    hold_starts_ = on;
}

void SystemdBus::queue_starts(bool on) {
    std::lock_guard lock(mu_);
    queue_starts_ = on;
}

void SystemdBus::set_unit(const std::string& unit, const Unit& u) {
    std::lock_guard lock(mu_);
    units_[unit] = u;
}

SystemdBus::Unit SystemdBus::unit(const std::string& unit) {
    std::lock_guard lock(mu_);
    auto it = units_.find(unit);
    return it == units_.end() ? Unit{} : it->second;
}

std::vector<std::string> SystemdBus::calls() {
    std::lock_guard lock(mu_);
    return calls_;
}

int SystemdBus::on_manager(sd_bus_message* m, void* self, sd_bus_error* err) {
    return static_cast<SystemdBus*>(self)->manager_call(m, err);
}

// Units with a file in the unit directory are loaded; a running unit whose
// file went stays loaded as "not-found" until it stops.
void SystemdBus::reload_locked() {
    std::set<std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(unit_dir_, ec))
        if (e.path().extension() == ".service") files.insert(e.path().filename().string());
    for (auto it = units_.begin(); it != units_.end();) {
        if (!files.count(it->first) && !alive(it->second)) {
            it = units_.erase(it);
            continue;
        }
        if (!files.count(it->first)) it->second.load = "not-found";
        ++it;
    }
    for (const auto& f : files) units_[f].load = "loaded";
}

int SystemdBus::manager_call(sd_bus_message* m, sd_bus_error* err) {
    const char* iface = sd_bus_message_get_interface(m);
    if (!iface || strcmp(iface, "org.freedesktop.systemd1.Manager") != 0) return 0;
    std::string member = sd_bus_message_get_member(m);
    std::lock_guard lock(mu_);
    const char* arg = nullptr;
    std::vector<std::string> listed;
    if (member == "LoadUnit" || member == "StartUnit" || member == "StopUnit") {
        if (sd_bus_message_read(m, "s", &arg) < 0) return sd_bus_error_set(err, SD_BUS_ERROR_INVALID_ARGS, "bad");
    } else if (member == "ListUnitsByNames") {
        char** names = nullptr;
        if (sd_bus_message_read_strv(m, &names) < 0) return sd_bus_error_set(err, SD_BUS_ERROR_INVALID_ARGS, "bad");
        for (char** n = names; *n; ++n) listed.push_back(*n);
        for (char** n = names; *n; ++n) free(*n);
        free(names);
    } else if (member == "EnableUnitFiles" || member == "DisableUnitFiles") {
        if (sd_bus_message_enter_container(m, 'a', "s") < 0 || sd_bus_message_read(m, "s", &arg) < 0)
            return sd_bus_error_set(err, SD_BUS_ERROR_INVALID_ARGS, "bad");
        sd_bus_message_exit_container(m);
    }
    std::string unit = arg ? arg : "";
    for (const auto& n : listed) unit += (unit.empty() ? "" : " ") + n;
    calls_.push_back(unit.empty() ? member : member + " " + unit);
    if (refused_.count(member))
        return sd_bus_error_set(err, SD_BUS_ERROR_INTERACTIVE_AUTHORIZATION_REQUIRED, "Interactive authentication required.");

    if (member == "LoadUnit") return sd_bus_reply_method_return(m, "o", unit_path(unit).c_str());
    if (member == "ListUnitsByNames") return list_units_locked(m, listed);
    if (member == "Reload") {
        reload_locked();
        return reply_empty(m);
    }
    auto it = units_.find(unit);
    if (member == "StartUnit" || member == "StopUnit") {
        if (it == units_.end()) return sd_bus_error_setf(err, "org.freedesktop.systemd1.NoSuchUnit", "Unit %s not found.", unit.c_str());
        Unit& u = it->second;
        if (member == "StartUnit") {
            if (u.load == "masked") return sd_bus_error_setf(err, "org.freedesktop.systemd1.UnitMasked", "Unit %s is masked.", unit.c_str());
            if (u.load != "loaded") return sd_bus_error_setf(err, "org.freedesktop.systemd1.NoSuchUnit", "Unit %s not found.", unit.c_str());
            if (queue_starts_) {
                u.job = "start";
            } else {
                u.active = hold_starts_ ? "activating" : "active";
                u.sub = hold_starts_ ? "start" : "running";
            }
        } else {
            u.active = "inactive";
            u.sub = "dead";
            u.job.clear();  // the stop replaces a queued start
            if (u.load == "not-found") units_.erase(it);
        }
        return sd_bus_reply_method_return(m, "o", "/org/freedesktop/systemd1/job/1");
    }
    if (member == "EnableUnitFiles" || member == "DisableUnitFiles") {
        if (it != units_.end()) it->second.enabled = member == "EnableUnitFiles";
        if (member == "EnableUnitFiles") return sd_bus_reply_method_return(m, "ba(sss)", 1, 0);
        return sd_bus_reply_method_return(m, "a(sss)", 0);
    }
    return 0;
}

// Every unit named, loaded or not, as systemd loads each to answer: (name,
// description, load, active, sub, following, path, job id, type, path).
int SystemdBus::list_units_locked(sd_bus_message* m, const std::vector<std::string>& names) {
    sd_bus_message* reply = nullptr;
    int r = sd_bus_message_new_method_return(m, &reply);
    if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "(ssssssouso)");
    for (size_t i = 0; r >= 0 && i < names.size(); ++i) {
        auto it = units_.find(names[i]);
        Unit u = it == units_.end() ? Unit{} : it->second;
        r = sd_bus_message_append(reply, "(ssssssouso)", names[i].c_str(), names[i].c_str(), u.load.c_str(),
                                  u.active.c_str(), u.sub.c_str(), "", unit_path(names[i]).c_str(), u.job.empty() ? 0u : 1u,
                                  u.job.c_str(), u.job.empty() ? "/" : "/org/freedesktop/systemd1/job/1");
    }
    if (r >= 0) r = sd_bus_message_close_container(reply);
    if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return r < 0 ? r : 1;
}

}  // namespace ovr::test
