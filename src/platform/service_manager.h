// The service manager of the machine: the two gateway services are
// installed, configured, started, stopped, queried and deleted through it,
// with the access masks and error numbers of the Windows service control
// manager so that every rights path of the console behaves the same on each
// backend. Handles close when their objects are destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ovr::platform {

// Access masks.
inline constexpr uint32_t kGenericRead = 0x80000000u;
inline constexpr uint32_t kManagerConnect = 0x0001u;
inline constexpr uint32_t kManagerCreateService = 0x0002u;
inline constexpr uint32_t kManagerEnumerate = 0x0004u;
inline constexpr uint32_t kManagerAllAccess = 0xF003Fu;
inline constexpr uint32_t kServiceQueryConfig = 0x0001u;
inline constexpr uint32_t kServiceQueryStatus = 0x0004u;
inline constexpr uint32_t kServiceInterrogate = 0x0080u;
inline constexpr uint32_t kServiceAllAccess = 0xF01FFu;

// Service types, start types and error control.
inline constexpr uint32_t kServiceWin32OwnProcess = 0x10u;
inline constexpr uint32_t kServiceAutoStart = 2u;
inline constexpr uint32_t kServiceErrorNormal = 1u;

// System error numbers.
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorFilenameTooLong = 206;   // a path beyond the 260-character room
inline constexpr uint32_t kErrorCallNotImplemented = 120;
inline constexpr uint32_t kErrorServiceRequestTimeout = 1053;
inline constexpr uint32_t kErrorServiceAlreadyRunning = 1056;
inline constexpr uint32_t kErrorServiceDisabled = 1058;
inline constexpr uint32_t kErrorServiceDoesNotExist = 1060;
inline constexpr uint32_t kErrorServiceNotActive = 1062;
inline constexpr uint32_t kErrorServiceSpecificError = 1066;
inline constexpr uint32_t kErrorServiceMarkedForDelete = 1072;
inline constexpr uint32_t kErrorServiceExists = 1073;

enum class ServiceState : uint32_t { Stopped = 1, StartPending = 2, StopPending = 3, Running = 4 };

const char* state_name(ServiceState s);

struct ServiceConfig {
    std::string display_name;
    std::string binary_path;
    uint32_t type = kServiceWin32OwnProcess;
    uint32_t start_type = kServiceAutoStart;
    uint32_t error_control = kServiceErrorNormal;
    std::string load_order_group;   // empty: none
};

class ServiceHandle {
public:
    virtual ~ServiceHandle() = default;
    // Each returns 0 on success or a system error number.
    virtual uint32_t change_config(const ServiceConfig& cfg) = 0;
    virtual uint32_t start() = 0;
    virtual uint32_t send_stop() = 0;
    virtual uint32_t query(ServiceState& state) = 0;
    virtual uint32_t remove() = 0;
};

class ManagerHandle {
public:
    virtual ~ManagerHandle() = default;
    // Nothing when the service cannot be opened; `error` tells why.
    virtual std::unique_ptr<ServiceHandle> open_service(const std::string& name, uint32_t access,
                                                        uint32_t& error) = 0;
    virtual std::unique_ptr<ServiceHandle> create_service(const std::string& name, const ServiceConfig& cfg,
                                                          uint32_t access, uint32_t& error) = 0;
};

// What the state tests see of one service: whether it opens for its status
// (it is installed) and, when its status could be read, its state.
struct ServiceLook {
    bool opens = false;
    bool queried = false;
    ServiceState state = ServiceState::Stopped;
};

class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    // Opens the local manager with the access asked for; full access is the
    // test for administrative rights.
    virtual std::unique_ptr<ManagerHandle> open_manager(uint32_t access, uint32_t& error) = 0;
    // Handles of this manager (managers and services) not yet closed.
    virtual int open_handles() const = 0;

    // The named services at one look, in order: what opening the manager for
    // reading, each service for its status and querying it would give (none
    // opens when the manager does not). A manager whose every question is a
    // round trip answers them all at once; nothing is kept for later looks.
    virtual std::vector<ServiceLook> look(const std::vector<std::string>& names) {
        std::vector<ServiceLook> out(names.size());
        uint32_t err = 0;
        auto mgr = open_manager(kGenericRead, err);
        for (size_t i = 0; mgr && i < names.size(); ++i) {
            auto svc = mgr->open_service(names[i], kServiceQueryStatus, err);
            if (!svc) continue;
            out[i].opens = true;
            out[i].queried = svc->query(out[i].state) == 0;
        }
        return out;
    }
};

// The host's service manager: systemd on the system bus, units in
// /etc/systemd/system/. OVRINSMS_SYSTEMD_BUS (a D-Bus address) and
// OVRINSMS_UNIT_DIR point it at another bus and unit directory.
std::shared_ptr<ServiceManager> make_posix_service_manager();

struct SystemdOptions {
    std::string bus_address;                        // empty: the system bus
    std::string unit_dir = "/etc/systemd/system/";  // where install writes the units
    std::string account = "ovrinsms";               // User=/Group= when they exist
};
// systemd through its D-Bus API. A service `Name` is the unit
// "Name.service"; see docs/architecture.md for how states and errors map.
std::shared_ptr<ServiceManager> make_systemd_service_manager(SystemdOptions opts);
// The unit file install writes for a service.
std::string systemd_unit_text(const std::string& name, const ServiceConfig& cfg, const std::string& account);

// What the simulated manager hands to whoever starts a service program.
struct LaunchRequest {
    std::string service;                 // service name
    std::string binary_path;
    std::vector<std::string> env;        // extra "NAME=value" entries
    int lock_fd = -1;                    // the run lock, held while the program lives
};
// Starts the program; 0 or a system error number, with the process id.
using Launcher = std::function<uint32_t(const LaunchRequest&, int& pid)>;

// The simulated service manager: one directory per service under
// <root>services/, holding its configuration, the state its program reports,
// the pending control and the run lock that the program holds for its life.
// Administrative rights are granted unless <root>no-admin-rights exists, and
// always when `elevated`.
std::shared_ptr<ServiceManager> make_sim_service_manager(const std::string& root, bool elevated,
                                                         Launcher launcher = {});

// The program side of a simulated service: reporting its state and seeing
// the stop control, the way a service talks to its manager.
class SimServiceHost {
public:
    // From OVRINSMS_SIM_ROOT and OVRINSMS_SIM_SERVICE (set by the manager);
    // nothing when they are missing or another copy of the service runs.
    static std::unique_ptr<SimServiceHost> from_environment();
    SimServiceHost(std::string root, std::string service, int lock_fd);
    ~SimServiceHost();
    SimServiceHost(const SimServiceHost&) = delete;
    SimServiceHost& operator=(const SimServiceHost&) = delete;

    // Reporting "stopped" also gives up the run lock: the program is done.
    void report(ServiceState s);
    bool stop_requested() const;
    const std::string& service() const { return service_; }

private:
    std::string root_;
    std::string dir_;
    std::string service_;
    int lock_fd_;
};

// Helpers shared by the simulated backends.
namespace sim {
inline constexpr int kInheritedLockFd = 200;
std::string service_dir(const std::string& root, const std::string& name);
bool write_status(const std::string& dir, ServiceState s, int pid);
// Administrative rights of a simulation root (see above).
bool rights_granted(const std::string& root);
bool set_rights(const std::string& root, bool on);
bool elevation_allowed(const std::string& root);
bool set_elevation_allowed(const std::string& root, bool on);
}  // namespace sim

}  // namespace ovr::platform
