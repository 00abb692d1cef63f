// The service manager over systemd's D-Bus API (sd-bus). One bus connection
// per manager, opened on first use and shared by its handles under a mutex:
// the Status page queries from the UI thread while an operation may run on a
// worker.
#include <grp.h>
#include <pwd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/dynlib.h"
#include "platform/fs.h"
#include "platform/service_manager.h"

namespace ovr::platform {
namespace {

constexpr const char* kDest = "org.freedesktop.systemd1";
constexpr const char* kPath = "/org/freedesktop/systemd1";
constexpr const char* kManagerIface = "org.freedesktop.systemd1.Manager";
constexpr const char* kUnitIface = "org.freedesktop.systemd1.Unit";
constexpr uint64_t kCallTimeoutUs = 25'000'000;

// Access bits that only read: anything else needs the rights install needs.
constexpr uint32_t kManagerReadBits = kGenericRead | kManagerConnect | kManagerEnumerate;
constexpr uint32_t kServiceReadBits = kGenericRead | kServiceQueryConfig | kServiceQueryStatus | kServiceInterrogate;

struct BusError {
    sd_bus_error e = SD_BUS_ERROR_NULL;
    ~BusError() { sd_bus_error_free(&e); }
};

struct Reply {
    sd_bus_message* m = nullptr;
    ~Reply() { sd_bus_message_unref(m); }
};

// A refusal for want of rights (systemd's own or polkit's) is "access
// denied", which sends the console down its rights path.
uint32_t map_error(const sd_bus_error& e, int r) {
    const char* n = e.name ? e.name : "";
    if (sd_bus_error_has_names(&e, SD_BUS_ERROR_ACCESS_DENIED, SD_BUS_ERROR_INTERACTIVE_AUTHORIZATION_REQUIRED,
                               SD_BUS_ERROR_AUTH_FAILED) ||
        r == -EACCES || r == -EPERM)
        return kErrorAccessDenied;
    if (strcmp(n, "org.freedesktop.systemd1.NoSuchUnit") == 0 || strcmp(n, "org.freedesktop.systemd1.LoadFailed") == 0)
        return kErrorServiceDoesNotExist;
    if (strcmp(n, "org.freedesktop.systemd1.UnitMasked") == 0) return kErrorServiceDisabled;
    if (sd_bus_error_has_names(&e, SD_BUS_ERROR_NO_REPLY, SD_BUS_ERROR_TIMEOUT, "org.freedesktop.DBus.Error.TimedOut") ||
        r == -ETIMEDOUT)
        return kErrorServiceRequestTimeout;
    if (sd_bus_error_has_names(&e, SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER,
                               SD_BUS_ERROR_NO_SERVER, SD_BUS_ERROR_DISCONNECTED) ||
        r == -ECONNRESET || r == -ENOTCONN)
        return kErrorCallNotImplemented;
    return kErrorServiceSpecificError;
}

std::string unit_name(const std::string& service) { return service + ".service"; }

// One value in systemd's command-line syntax: quoted, with the characters
// that quoting, specifiers and variables would take escaped.
std::string exec_word(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '%') out += '%';
        if (c == '$') out += '$';
        out += c;
    }
    return out + "\"";
}

// Descriptions and such are one line; a line break would end the setting.
std::string one_line(const std::string& s) {
    std::string out;
    for (char c : s) out += (c == '\n' || c == '\r') ? ' ' : c;
    return out;
}

// What a look at a unit tells: its LoadState, ActiveState and the type of
// the job queued for it. A unit systemd gave no answer for reads as one
// without a file.
struct UnitState {
    std::string load = "not-found", active = "inactive", job;
    bool known() const { return load != "not-found"; }
    // systemd runs a StartUnit job a moment after the call returns: till
    // then the unit is still "inactive" with a "start" job, which is a start
    // pending, as a Windows service is the moment StartService returns.
    bool start_queued() const { return job == "start" && (active == "inactive" || active == "failed"); }
    bool alive() const {
        return (active != "inactive" && active != "failed" && !active.empty()) || start_queued();
    }
    // Its file is gone but it still runs: the counterpart of a service
    // marked for deletion, gone once it stops.
    bool marked_for_delete() const { return !known() && alive(); }
    // A service opens while it has its unit file, or runs on without it.
    bool opens() const { return known() || alive(); }
    ServiceState service_state() const {
        if (active == "activating" || start_queued()) return ServiceState::StartPending;
        if (active == "deactivating") return ServiceState::StopPending;
        if (alive()) return ServiceState::Running;  // active, reloading, refreshing
        return ServiceState::Stopped;
    }
};

class Bus {
public:
    explicit Bus(std::string address) : address_(std::move(address)) {}
    ~Bus() { sd_bus_flush_close_unref(bus_); }

    // Connected, or the system error number of why not. Call with the lock.
    uint32_t connect() {
        if (bus_ && sd_bus_is_open(bus_) > 0) return 0;
        sd_bus_flush_close_unref(bus_);
        bus_ = nullptr;
        present_ = false;  // a new connection asks again
        int r;
        if (address_.empty()) {
            r = sd_bus_open_system(&bus_);
        } else {
            r = sd_bus_new(&bus_);
            if (r >= 0) r = sd_bus_set_address(bus_, address_.c_str());
            if (r >= 0) r = sd_bus_set_bus_client(bus_, 1);
            if (r >= 0) r = sd_bus_start(bus_);
        }
        if (r >= 0) r = sd_bus_set_method_call_timeout(bus_, kCallTimeoutUs);
        if (r < 0) {
            sd_bus_unref(bus_);
            bus_ = nullptr;
            return r == -EACCES || r == -EPERM ? kErrorAccessDenied : kErrorCallNotImplemented;
        }
        return 0;
    }

    // systemd is on the bus at all (a container's bus may have none). Asked
    // once per connection; a call finding systemd gone asks again.
    uint32_t systemd_present() {
        if (present_) return 0;
        BusError err;
        Reply reply;
        int r = sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                   "NameHasOwner", &err.e, &reply.m, "s", kDest);
        if (r < 0) return failed(err, r);
        int has = 0;
        if (sd_bus_message_read(reply.m, "b", &has) < 0 || !has) return kErrorCallNotImplemented;
        present_ = true;
        return 0;
    }

    // The states of the units in one ListUnitsByNames call, which loads
    // each unit as LoadUnit would. systemd answers in the order asked and
    // skips names it finds invalid, so rows are matched by name then.
    uint32_t list_units(const std::vector<std::string>& units, std::vector<UnitState>& states) {
        states.assign(units.size(), UnitState{});
        BusError err;
        Reply call;
        Reply reply;
        std::vector<const char*> names;
        for (const auto& u : units) names.push_back(u.c_str());
        names.push_back(nullptr);
        int r = sd_bus_message_new_method_call(bus_, &call.m, kDest, kPath, kManagerIface, "ListUnitsByNames");
        if (r >= 0) r = sd_bus_message_append_strv(call.m, const_cast<char**>(names.data()));
        if (r < 0) return kErrorServiceSpecificError;
        r = sd_bus_call(bus_, call.m, 0, &err.e, &reply.m);
        if (r < 0) return failed(err, r);
        std::vector<std::pair<std::string, UnitState>> rows;
        if (sd_bus_message_enter_container(reply.m, 'a', "(ssssssouso)") < 0) return kErrorServiceSpecificError;
        // No more rows than names asked for are read.
        while (rows.size() < units.size()) {
            const char *id, *description, *load, *active, *sub, *following, *path, *job_type, *job_path;
            uint32_t job_id;
            r = sd_bus_message_read(reply.m, "(ssssssouso)", &id, &description, &load, &active, &sub, &following,
                                    &path, &job_id, &job_type, &job_path);
            if (r < 0) return kErrorServiceSpecificError;
            if (r == 0) break;
            UnitState u;
            u.load = load;
            u.active = active;
            u.job = job_type;
            rows.emplace_back(id, std::move(u));
        }
        for (size_t i = 0; i < units.size(); ++i) {
            if (rows.size() == units.size()) {
                states[i] = rows[i].second;
                continue;
            }
            for (const auto& [id, u] : rows)
                if (id == units[i]) states[i] = u;
        }
        return 0;
    }

    uint32_t unit_job(const char* method, const std::string& unit) {
        BusError err;
        Reply reply;
        int r = sd_bus_call_method(bus_, kDest, kPath, kManagerIface, method, &err.e, &reply.m, "ss", unit.c_str(),
                                   "replace");
        return r < 0 ? failed(err, r) : 0;
    }

    uint32_t reload() {
        BusError err;
        Reply reply;
        int r = sd_bus_call_method(bus_, kDest, kPath, kManagerIface, "Reload", &err.e, &reply.m, "");
        return r < 0 ? failed(err, r) : 0;
    }

    // EnableUnitFiles(as files, b runtime, b force) or
    // DisableUnitFiles(as files, b runtime).
    uint32_t unit_files(bool enable, const std::string& unit) {
        BusError err;
        Reply reply;
        Reply call;
        int r = sd_bus_message_new_method_call(bus_, &call.m, kDest, kPath, kManagerIface,
                                               enable ? "EnableUnitFiles" : "DisableUnitFiles");
        if (r >= 0) r = sd_bus_message_append(call.m, "as", 1, unit.c_str());
        if (r >= 0) r = sd_bus_message_append(call.m, "b", 0);
        if (r >= 0 && enable) r = sd_bus_message_append(call.m, "b", 1);
        if (r < 0) return kErrorServiceSpecificError;
        r = sd_bus_call(bus_, call.m, 0, &err.e, &reply.m);
        return r < 0 ? failed(err, r) : 0;
    }

private:
    // The error number of a failed call; one that finds no systemd makes the
    // next open ask whether it is there.
    uint32_t failed(const BusError& err, int r) {
        uint32_t e = map_error(err.e, r);
        if (e == kErrorCallNotImplemented) present_ = false;
        return e;
    }

    std::string address_;
    sd_bus* bus_ = nullptr;
    bool present_ = false;
};

struct Shared {
    SystemdOptions opts;
    std::mutex mu;
    Bus bus;
    std::atomic<int> handles{0};
    explicit Shared(SystemdOptions o) : opts(std::move(o)), bus(opts.bus_address) {
        if (!opts.unit_dir.empty() && opts.unit_dir.back() != '/') opts.unit_dir += '/';
    }
    std::string unit_file(const std::string& service) const { return opts.unit_dir + unit_name(service); }
    // Install and removal write the unit directory: that is the rights test.
    bool may_write() const { return ::access(opts.unit_dir.c_str(), W_OK) == 0; }
    // One unit's state. Call with the lock.
    uint32_t read_state(const std::string& service, UnitState& u) {
        if (uint32_t e = bus.connect()) return e;
        std::vector<UnitState> states;
        if (uint32_t e = bus.list_units({unit_name(service)}, states)) return e;
        u = states[0];
        return 0;
    }
};

class SystemdService final : public ServiceHandle {
public:
    SystemdService(std::shared_ptr<Shared> s, std::string name) : s_(std::move(s)), name_(std::move(name)) {
        ++s_->handles;
    }
    ~SystemdService() override { --s_->handles; }

    uint32_t change_config(const ServiceConfig& cfg) override {
        std::lock_guard lock(s_->mu);
        if (uint32_t e = s_->bus.connect()) return e;
        return write_and_load(cfg);
    }

    uint32_t start() override {
        std::lock_guard lock(s_->mu);
        UnitState u;
        if (uint32_t e = s_->read_state(name_, u)) return e;
        if (u.marked_for_delete()) return kErrorServiceMarkedForDelete;
        if (!u.known()) return kErrorServiceDoesNotExist;
        if (u.load == "masked") return kErrorServiceDisabled;
        if (u.alive() && u.active != "deactivating") return kErrorServiceAlreadyRunning;
        return s_->bus.unit_job("StartUnit", unit_name(name_));
    }

    uint32_t send_stop() override {
        std::lock_guard lock(s_->mu);
        UnitState u;
        if (uint32_t e = s_->read_state(name_, u)) return e;
        if (!u.alive()) return kErrorServiceNotActive;
        return s_->bus.unit_job("StopUnit", unit_name(name_));
    }

    uint32_t query(ServiceState& state) override {
        std::lock_guard lock(s_->mu);
        UnitState u;
        if (uint32_t e = s_->read_state(name_, u)) return e;
        state = u.service_state();
        return 0;
    }

    // Disable, delete the unit file, reload. A unit still running stays
    // loaded without its file until it stops, as a deleted Windows service
    // lingers until its last handle closes.
    uint32_t remove() override {
        std::lock_guard lock(s_->mu);
        UnitState u;
        if (uint32_t e = s_->read_state(name_, u)) return e;
        if (u.marked_for_delete()) return kErrorServiceMarkedForDelete;
        if (!s_->may_write()) return kErrorAccessDenied;
        if (uint32_t e = s_->bus.unit_files(false, unit_name(name_))) return e;
        const std::string file = s_->unit_file(name_);
        if (::unlink(file.c_str()) != 0 && errno != ENOENT) return kErrorAccessDenied;
        return s_->bus.reload();
    }

    // Call with the lock.
    uint32_t write_and_load(const ServiceConfig& cfg) {
        if (!s_->may_write()) return kErrorAccessDenied;
        if (!fs::write_file_atomic(s_->unit_file(name_), systemd_unit_text(name_, cfg, s_->opts.account)))
            return kErrorAccessDenied;
        if (uint32_t e = s_->bus.reload()) return e;
        if (uint32_t e = s_->bus.unit_files(true, unit_name(name_))) return e;
        return 0;
    }

private:
    std::shared_ptr<Shared> s_;
    std::string name_;
};

class SystemdManagerHandle final : public ManagerHandle {
public:
    explicit SystemdManagerHandle(std::shared_ptr<Shared> s) : s_(std::move(s)) { ++s_->handles; }
    ~SystemdManagerHandle() override { --s_->handles; }

    std::unique_ptr<ServiceHandle> open_service(const std::string& name, uint32_t access, uint32_t& error) override {
        std::lock_guard lock(s_->mu);
        UnitState u;
        error = s_->read_state(name, u);
        if (error == 0 && !u.opens()) error = kErrorServiceDoesNotExist;
        if (error == 0 && (access & ~kServiceReadBits) && !s_->may_write()) error = kErrorAccessDenied;
        if (error) return nullptr;
        return std::make_unique<SystemdService>(s_, name);
    }

    std::unique_ptr<ServiceHandle> create_service(const std::string& name, const ServiceConfig& cfg, uint32_t,
                                                  uint32_t& error) override {
        std::lock_guard lock(s_->mu);
        UnitState u;
        error = s_->read_state(name, u);
        if (error == 0 && u.known()) error = kErrorServiceExists;
        if (error) return nullptr;
        auto svc = std::make_unique<SystemdService>(s_, name);
        error = svc->write_and_load(cfg);
        if (error) return nullptr;
        return svc;
    }

private:
    std::shared_ptr<Shared> s_;
};

class SystemdManager final : public ServiceManager {
public:
    explicit SystemdManager(SystemdOptions o) : s_(std::make_shared<Shared>(std::move(o))) {}

    std::unique_ptr<ManagerHandle> open_manager(uint32_t access, uint32_t& error) override {
        {
            std::lock_guard lock(s_->mu);
            error = s_->bus.connect();
            if (error == 0) error = s_->bus.systemd_present();
        }
        if (error == 0 && (access & ~kManagerReadBits) && !s_->may_write()) error = kErrorAccessDenied;
        if (error) return nullptr;
        return std::make_unique<SystemdManagerHandle>(s_);
    }
    int open_handles() const override { return s_->handles.load(); }

    // Every unit in one call: the Status page asks about both services
    // several times a tick.
    std::vector<ServiceLook> look(const std::vector<std::string>& names) override {
        std::vector<ServiceLook> out(names.size());
        std::vector<std::string> units;
        for (const auto& n : names) units.push_back(unit_name(n));
        std::vector<UnitState> states;
        std::lock_guard lock(s_->mu);
        if (s_->bus.connect() || s_->bus.systemd_present() || s_->bus.list_units(units, states)) return out;
        for (size_t i = 0; i < names.size(); ++i) {
            if (!states[i].opens()) continue;
            out[i] = {true, true, states[i].service_state()};
        }
        return out;
    }

private:
    std::shared_ptr<Shared> s_;
};

}  // namespace

std::string systemd_unit_text(const std::string& name, const ServiceConfig& cfg, const std::string& account) {
    std::string t = "# Written by the Ovrin SMS/MMS Gateway Lite console for the service " + one_line(name) + ".\n";
    t += "[Unit]\nDescription=" + one_line(cfg.display_name.empty() ? name : cfg.display_name) + "\n";
    t += "After=network-online.target\nWants=network-online.target\n\n";
    t += "[Service]\nType=simple\nExecStart=" + exec_word(one_line(cfg.binary_path)) + "\nRestart=on-failure\n";
    if (!account.empty()) {
        if (getpwnam(account.c_str())) t += "User=" + account + "\n";
        if (getgrnam(account.c_str())) t += "Group=" + account + "\n";
    }
    t += "\n[Install]\nWantedBy=multi-user.target\n";
    return t;
}

std::shared_ptr<ServiceManager> make_systemd_service_manager(SystemdOptions opts) {
    return std::make_shared<SystemdManager>(std::move(opts));
}

std::shared_ptr<ServiceManager> make_posix_service_manager() {
    SystemdOptions o;
    o.bus_address = get_env("OVRINSMS_SYSTEMD_BUS");
    std::string dir = get_env("OVRINSMS_UNIT_DIR");
    if (!dir.empty()) o.unit_dir = dir;
    return make_systemd_service_manager(std::move(o));
}

}  // namespace ovr::platform
