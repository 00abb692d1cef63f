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

class Bus {
public:
    explicit Bus(std::string address) : address_(std::move(address)) {}
    ~Bus() { sd_bus_flush_close_unref(bus_); }

    // Connected, or the system error number of why not. Call with the lock.
    uint32_t connect() {
        if (bus_ && sd_bus_is_open(bus_) > 0) return 0;
        sd_bus_flush_close_unref(bus_);
        bus_ = nullptr;
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

    // systemd is on the bus at all (a container's bus may have none).
    uint32_t systemd_present() {
        BusError err;
        Reply reply;
        int r = sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                   "NameHasOwner", &err.e, &reply.m, "s", kDest);
        if (r < 0) return map_error(err.e, r);
        int has = 0;
        if (sd_bus_message_read(reply.m, "b", &has) < 0 || !has) return kErrorCallNotImplemented;
        return 0;
    }

    uint32_t property(const std::string& path, const char* name, std::string& value) {
        BusError err;
        char* s = nullptr;
        int r = sd_bus_get_property_string(bus_, kDest, path.c_str(), kUnitIface, name, &err.e, &s);
        if (r < 0) return map_error(err.e, r);
        value = s ? s : "";
        free(s);
        return 0;
    }

    uint32_t load_unit(const std::string& unit, std::string& path) {
        BusError err;
        Reply reply;
        int r = sd_bus_call_method(bus_, kDest, kPath, kManagerIface, "LoadUnit", &err.e, &reply.m, "s", unit.c_str());
        if (r < 0) return map_error(err.e, r);
        const char* p = nullptr;
        if (sd_bus_message_read(reply.m, "o", &p) < 0 || !p) return kErrorServiceSpecificError;
        path = p;
        return 0;
    }

    uint32_t unit_job(const char* method, const std::string& unit) {
        BusError err;
        Reply reply;
        int r = sd_bus_call_method(bus_, kDest, kPath, kManagerIface, method, &err.e, &reply.m, "ss", unit.c_str(),
                                   "replace");
        return r < 0 ? map_error(err.e, r) : 0;
    }

    uint32_t reload() {
        BusError err;
        Reply reply;
        int r = sd_bus_call_method(bus_, kDest, kPath, kManagerIface, "Reload", &err.e, &reply.m, "");
        return r < 0 ? map_error(err.e, r) : 0;
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
        return r < 0 ? map_error(err.e, r) : 0;
    }

private:
    std::string address_;
    sd_bus* bus_ = nullptr;
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
};

struct UnitState {
    std::string load, active, sub;
    bool known() const { return load != "not-found"; }
    bool alive() const { return active != "inactive" && active != "failed" && !active.empty(); }
    // Its file is gone but it still runs: the counterpart of a service
    // marked for deletion, gone once it stops.
    bool marked_for_delete() const { return !known() && alive(); }
};

class SystemdService final : public ServiceHandle {
public:
    SystemdService(std::shared_ptr<Shared> s, std::string name, std::string path)
        : s_(std::move(s)), name_(std::move(name)), path_(std::move(path)) {
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
        if (uint32_t e = read_state(u)) return e;
        if (u.marked_for_delete()) return kErrorServiceMarkedForDelete;
        if (!u.known()) return kErrorServiceDoesNotExist;
        if (u.load == "masked") return kErrorServiceDisabled;
        if (u.alive() && u.active != "deactivating") return kErrorServiceAlreadyRunning;
        return s_->bus.unit_job("StartUnit", unit_name(name_));
    }

    uint32_t send_stop() override {
        std::lock_guard lock(s_->mu);
        UnitState u;
        if (uint32_t e = read_state(u)) return e;
        if (!u.alive()) return kErrorServiceNotActive;
        return s_->bus.unit_job("StopUnit", unit_name(name_));
    }

    uint32_t query(ServiceState& state) override {
        std::lock_guard lock(s_->mu);
        UnitState u;
        if (uint32_t e = read_state(u)) return e;
        if (u.active == "activating") state = ServiceState::StartPending;
        else if (u.active == "deactivating") state = ServiceState::StopPending;
        else if (u.alive()) state = ServiceState::Running;  // active, reloading, refreshing
        else state = ServiceState::Stopped;
        return 0;
    }

    // Disable, delete the unit file, reload. A unit still running stays
    // loaded without its file until it stops, as a deleted Windows service
    // lingers until its last handle closes.
    uint32_t remove() override {
        std::lock_guard lock(s_->mu);
        UnitState u;
        if (uint32_t e = read_state(u)) return e;
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
    uint32_t read_state(UnitState& u) {
        if (uint32_t e = s_->bus.connect()) return e;
        if (uint32_t e = s_->bus.property(path_, "LoadState", u.load)) return e;
        if (uint32_t e = s_->bus.property(path_, "ActiveState", u.active)) return e;
        return 0;
    }

    std::shared_ptr<Shared> s_;
    std::string name_;
    std::string path_;
};

class SystemdManagerHandle final : public ManagerHandle {
public:
    explicit SystemdManagerHandle(std::shared_ptr<Shared> s) : s_(std::move(s)) { ++s_->handles; }
    ~SystemdManagerHandle() override { --s_->handles; }

    std::unique_ptr<ServiceHandle> open_service(const std::string& name, uint32_t access, uint32_t& error) override {
        std::lock_guard lock(s_->mu);
        std::string path;
        UnitState u;
        error = lookup(name, path, u);
        if (error == 0 && !u.known() && !u.marked_for_delete()) error = kErrorServiceDoesNotExist;
        if (error == 0 && (access & ~kServiceReadBits) && !s_->may_write()) error = kErrorAccessDenied;
        if (error) return nullptr;
        return std::make_unique<SystemdService>(s_, name, path);
    }

    std::unique_ptr<ServiceHandle> create_service(const std::string& name, const ServiceConfig& cfg, uint32_t,
                                                  uint32_t& error) override {
        std::lock_guard lock(s_->mu);
        std::string path;
        UnitState u;
        error = lookup(name, path, u);
        if (error == 0 && u.known()) error = kErrorServiceExists;
        if (error) return nullptr;
        auto svc = std::make_unique<SystemdService>(s_, name, path);
        error = svc->write_and_load(cfg);
        if (error) return nullptr;
        return svc;
    }

private:
    uint32_t lookup(const std::string& name, std::string& path, UnitState& u) {
        if (uint32_t e = s_->bus.connect()) return e;
        if (uint32_t e = s_->bus.load_unit(unit_name(name), path)) return e;
        if (uint32_t e = s_->bus.property(path, "LoadState", u.load)) return e;
        return s_->bus.property(path, "ActiveState", u.active);
    }

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
