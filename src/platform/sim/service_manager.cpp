// The simulated service manager. Each service is a directory:
//   config    the record written at install ("key=value" lines)
//   status    the state its program last reported, and its process id
//   control   present while a stop control waits for the program
//   run.lock  locked by the program for as long as it lives
//   deleted   marks a service deleted while its program still ran
// A service whose run lock is free has no living program and is stopped,
// whatever it last reported: a crashed program cannot look alive. Manager
// operations are serialised among processes by <root>services/.lock.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/dynlib.h"
#include "platform/fs.h"
#include "platform/service_manager.h"

extern char** environ;

namespace ovr::platform {

const char* state_name(ServiceState s) {
    switch (s) {
        case ServiceState::Stopped: return "stopped";
        case ServiceState::StartPending: return "start pending";
        case ServiceState::StopPending: return "stop pending";
        case ServiceState::Running: return "running";
    }
    return "unknown";
}

namespace sim {

std::string service_dir(const std::string& root, const std::string& name) {
    return root + "services/" + name + "/";
}

bool write_status(const std::string& dir, ServiceState s, int pid) {
    return fs::write_file_atomic(dir + "status", "state=" + std::to_string(static_cast<uint32_t>(s)) +
                                                     "\npid=" + std::to_string(pid) + "\n");
}

static bool set_marker(const std::string& path, bool present) {
    if (present) return fs::write_file_atomic(path, "");
    fs::remove_file(path);
    return !fs::exists(path);
}

bool rights_granted(const std::string& root) { return !fs::exists(root + "no-admin-rights"); }
bool set_rights(const std::string& root, bool on) { return set_marker(root + "no-admin-rights", !on); }
bool elevation_allowed(const std::string& root) { return !fs::exists(root + "no-elevation"); }
bool set_elevation_allowed(const std::string& root, bool on) { return set_marker(root + "no-elevation", !on); }

}  // namespace sim

namespace {

using Record = std::map<std::string, std::string>;

Record read_record(const std::string& path) {
    Record r;
    auto text = fs::read_file(path, 64 * 1024);
    if (!text) return r;
    size_t pos = 0;
    while (pos < text->size()) {
        size_t nl = text->find('\n', pos);
        if (nl == std::string::npos) nl = text->size();
        std::string line = text->substr(pos, nl - pos);
        size_t eq = line.find('=');
        if (eq != std::string::npos) r[line.substr(0, eq)] = line.substr(eq + 1);
        pos = nl + 1;
    }
    return r;
}

bool clean_value(const std::string& v) { return v.find('\n') == std::string::npos && v.find('\0') == std::string::npos; }

uint32_t write_config(const std::string& dir, const ServiceConfig& c) {
    if (!clean_value(c.display_name) || !clean_value(c.binary_path) || !clean_value(c.load_order_group))
        return 87;  // ERROR_INVALID_PARAMETER
    std::string text = "DisplayName=" + c.display_name + "\nBinaryPath=" + c.binary_path +
                       "\nType=" + std::to_string(c.type) + "\nStartType=" + std::to_string(c.start_type) +
                       "\nErrorControl=" + std::to_string(c.error_control) +
                       "\nLoadOrderGroup=" + c.load_order_group + "\n";
    return fs::write_file_atomic(dir + "config", text) ? 0 : kErrorAccessDenied;
}

// An exclusive lock on a file for a scope.
class FileLock {
public:
    explicit FileLock(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0) {
            while (flock(fd_, LOCK_EX) == -1 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_ = -1;
};

struct Shared {
    std::string root;
    bool elevated = false;
    Launcher launcher;
    std::atomic<int> handles{0};

    bool admin() const { return elevated || sim::rights_granted(root); }
    std::string lock_path() const { return root + "services/.lock"; }
};

// True while a program holds the service's run lock.
bool program_alive(const std::string& dir) {
    int fd = ::open((dir + "run.lock").c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    bool alive = flock(fd, LOCK_SH | LOCK_NB) == -1 && errno == EWOULDBLOCK;
    ::close(fd);
    if (!alive) {
        // Our own child that ended is reaped here, so it does not linger.
        int pid = atoi(read_record(dir + "status")["pid"].c_str());
        if (pid > 0) {
            int st;
            waitpid(pid, &st, WNOHANG);
        }
    }
    return alive;
}

ServiceState current_state(const std::string& dir) {
    if (!program_alive(dir)) return ServiceState::Stopped;
    uint32_t v = static_cast<uint32_t>(atoi(read_record(dir + "status")["state"].c_str()));
    if (v < 1 || v > 4) return ServiceState::StartPending;
    return static_cast<ServiceState>(v);
}

uint32_t spawn_program(const LaunchRequest& req, int& pid) {
    std::vector<std::string> env_s;
    std::vector<std::string> names;
    for (const auto& e : req.env) names.push_back(e.substr(0, e.find('=') + 1));
    for (char** e = environ; *e; ++e) {
        std::string kv = *e;
        bool replaced = false;
        for (const auto& n : names) replaced = replaced || kv.rfind(n, 0) == 0;
        if (!replaced) env_s.push_back(kv);
    }
    env_s.insert(env_s.end(), req.env.begin(), req.env.end());
    env_s.push_back("OVRINSMS_SIM_LOCK_FD=" + std::to_string(sim::kInheritedLockFd));
    std::vector<char*> envp;
    for (auto& e : env_s) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string prog = req.binary_path;
    std::vector<char*> argv{prog.data(), nullptr};

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    // Detached: no terminal, no pipes of the caller held open.
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, req.lock_fd, sim::kInheritedLockFd);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    pid_t child = 0;
    int rc = posix_spawn(&child, prog.c_str(), &fa, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return rc == ENOENT ? kErrorFileNotFound : kErrorAccessDenied;
    pid = child;
    return 0;
}

class SimService final : public ServiceHandle {
public:
    SimService(std::shared_ptr<Shared> sh, std::string name, uint32_t access)
        : sh_(std::move(sh)), name_(std::move(name)), dir_(sim::service_dir(sh_->root, name_)), access_(access) {
        ++sh_->handles;
    }
    ~SimService() override { --sh_->handles; }

    uint32_t change_config(const ServiceConfig& cfg) override {
        if (!allowed(0x0002)) return kErrorAccessDenied;   // SERVICE_CHANGE_CONFIG
        FileLock lock(sh_->lock_path());
        if (!fs::exists(dir_ + "config") || fs::exists(dir_ + "deleted")) return kErrorServiceMarkedForDelete;
        return write_config(dir_, cfg);
    }

    uint32_t start() override {
        if (!allowed(0x0010)) return kErrorAccessDenied;   // SERVICE_START
        FileLock lock(sh_->lock_path());
        if (fs::exists(dir_ + "deleted")) return kErrorServiceMarkedForDelete;
        if (program_alive(dir_)) return kErrorServiceAlreadyRunning;
        Record cfg = read_record(dir_ + "config");
        const std::string& bin = cfg["BinaryPath"];
        if (bin.empty() || !fs::regular_file_exists(bin) || access(bin.c_str(), X_OK) != 0) return kErrorFileNotFound;
        fs::remove_file(dir_ + "control");
        int fd = ::open((dir_ + "run.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return kErrorAccessDenied;
        if (flock(fd, LOCK_EX | LOCK_NB) == -1) {
            ::close(fd);
            return kErrorServiceAlreadyRunning;
        }
        sim::write_status(dir_, ServiceState::StartPending, 0);
        LaunchRequest req{name_, bin, {"OVRINSMS_SIM_ROOT=" + sh_->root, "OVRINSMS_SIM_SERVICE=" + name_}, fd};
        int pid = 0;
        uint32_t err = sh_->launcher ? sh_->launcher(req, pid) : spawn_program(req, pid);
        // The program keeps the lock through its inherited copy; ours goes.
        ::close(fd);
        if (err != 0) {
            sim::write_status(dir_, ServiceState::Stopped, 0);
            return err;
        }
        // The program may already have reported; keep its state, add the pid.
        Record st = read_record(dir_ + "status");
        uint32_t v = static_cast<uint32_t>(atoi(st["state"].c_str()));
        sim::write_status(dir_, v >= 1 && v <= 4 ? static_cast<ServiceState>(v) : ServiceState::StartPending, pid);
        return 0;
    }

    uint32_t send_stop() override {
        if (!allowed(0x0020)) return kErrorAccessDenied;   // SERVICE_STOP
        FileLock lock(sh_->lock_path());
        if (!program_alive(dir_)) return kErrorServiceNotActive;
        return fs::write_file_atomic(dir_ + "control", "stop\n") ? 0 : kErrorAccessDenied;
    }

    uint32_t query(ServiceState& state) override {
        if (!allowed(kServiceQueryStatus)) return kErrorAccessDenied;
        state = current_state(dir_);
        return 0;
    }

    uint32_t remove() override {
        if (!allowed(0x00010000)) return kErrorAccessDenied;   // DELETE
        FileLock lock(sh_->lock_path());
        if (!fs::exists(dir_ + "config")) return kErrorServiceDoesNotExist;
        if (fs::exists(dir_ + "deleted")) return kErrorServiceMarkedForDelete;
        if (program_alive(dir_)) return fs::write_file_atomic(dir_ + "deleted", "") ? 0 : kErrorAccessDenied;
        // A record whose path does not fit the room is refused, never cut.
        if (!fs::recursive_delete(dir_)) return dir_.size() > fs::kMaxPathChars ? kErrorFilenameTooLong : kErrorAccessDenied;
        return 0;
    }

private:
    bool allowed(uint32_t right) const { return (access_ & right) == right || (access_ & kServiceAllAccess) == kServiceAllAccess; }

    std::shared_ptr<Shared> sh_;
    std::string name_;
    std::string dir_;
    uint32_t access_;
};

// Rights a user without administrative rights has on the manager and on a
// service.
constexpr uint32_t kManagerUserRights = kGenericRead | kManagerConnect | kManagerEnumerate | 0x0010u;
constexpr uint32_t kServiceUserRights =
    kGenericRead | kServiceQueryConfig | kServiceQueryStatus | 0x0008u /* enumerate dependents */ | kServiceInterrogate;

class SimManager final : public ManagerHandle {
public:
    SimManager(std::shared_ptr<Shared> sh, uint32_t access) : sh_(std::move(sh)), access_(access) { ++sh_->handles; }
    ~SimManager() override { --sh_->handles; }

    std::unique_ptr<ServiceHandle> open_service(const std::string& name, uint32_t access, uint32_t& error) override {
        std::string dir = sim::service_dir(sh_->root, name);
        FileLock lock(sh_->lock_path());
        if (!valid_name(name) || !fs::exists(dir + "config")) {
            error = kErrorServiceDoesNotExist;
            return nullptr;
        }
        if (fs::exists(dir + "deleted")) {
            if (program_alive(dir)) {
                error = kErrorServiceMarkedForDelete;
                return nullptr;
            }
            // Its program has gone since: the deletion completes now.
            fs::recursive_delete(dir);
            error = kErrorServiceDoesNotExist;
            return nullptr;
        }
        if ((access & ~kServiceUserRights) != 0 && !sh_->admin()) {
            error = kErrorAccessDenied;
            return nullptr;
        }
        error = 0;
        return std::make_unique<SimService>(sh_, name, access);
    }

    std::unique_ptr<ServiceHandle> create_service(const std::string& name, const ServiceConfig& cfg, uint32_t access,
                                                  uint32_t& error) override {
        if ((access_ & kManagerCreateService) == 0) {
            error = kErrorAccessDenied;
            return nullptr;
        }
        if (!valid_name(name)) {
            error = 123;  // ERROR_INVALID_NAME
            return nullptr;
        }
        std::string dir = sim::service_dir(sh_->root, name);
        {
            FileLock lock(sh_->lock_path());
            if (fs::exists(dir + "deleted")) {
                if (program_alive(dir)) {
                    error = kErrorServiceMarkedForDelete;
                    return nullptr;
                }
                fs::recursive_delete(dir);
            }
            if (fs::exists(dir + "config")) {
                error = kErrorServiceExists;
                return nullptr;
            }
            if (!fs::create_directories(dir)) {
                error = kErrorAccessDenied;
                return nullptr;
            }
            error = write_config(dir, cfg);
            if (error != 0) {
                fs::recursive_delete(dir);
                return nullptr;
            }
            sim::write_status(dir, ServiceState::Stopped, 0);
        }
        return std::make_unique<SimService>(sh_, name, access);
    }

private:
    static bool valid_name(const std::string& n) {
        if (n.empty() || n.size() > 256 || n[0] == '.') return false;
        for (char c : n)
            if (c == '/' || c == '\\' || c == '\0' || c == '\n') return false;
        return true;
    }

    std::shared_ptr<Shared> sh_;
    uint32_t access_;
};

class SimServiceManager final : public ServiceManager {
public:
    explicit SimServiceManager(std::shared_ptr<Shared> sh) : sh_(std::move(sh)) {}

    std::unique_ptr<ManagerHandle> open_manager(uint32_t access, uint32_t& error) override {
        if (!fs::create_directories(sh_->root + "services")) {
            error = kErrorAccessDenied;
            return nullptr;
        }
        if ((access & ~kManagerUserRights) != 0 && !sh_->admin()) {
            error = kErrorAccessDenied;
            return nullptr;
        }
        error = 0;
        return std::make_unique<SimManager>(sh_, access);
    }

    int open_handles() const override { return sh_->handles.load(); }

private:
    std::shared_ptr<Shared> sh_;
};

}  // namespace

std::shared_ptr<ServiceManager> make_sim_service_manager(const std::string& root, bool elevated, Launcher launcher) {
    auto sh = std::make_shared<Shared>();
    sh->root = root;
    if (!sh->root.empty() && sh->root.back() != '/') sh->root += '/';
    sh->elevated = elevated;
    sh->launcher = std::move(launcher);
    return std::make_shared<SimServiceManager>(sh);
}

// ---- the program side ----

std::unique_ptr<SimServiceHost> SimServiceHost::from_environment() {
    std::string root = get_env("OVRINSMS_SIM_ROOT");
    std::string name = get_env("OVRINSMS_SIM_SERVICE");
    if (root.empty() || name.empty()) return nullptr;
    if (root.back() != '/') root += '/';
    int fd = -1;
    std::string inherited = get_env("OVRINSMS_SIM_LOCK_FD");
    if (!inherited.empty() && fcntl(atoi(inherited.c_str()), F_GETFD) != -1) {
        fd = atoi(inherited.c_str());
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    } else {
        // Started by hand: take the run lock ourselves, unless a copy runs.
        std::string dir = sim::service_dir(root, name);
        fs::create_directories(dir);
        fd = ::open((dir + "run.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) == -1) {
            if (fd >= 0) ::close(fd);
            return nullptr;
        }
    }
    return std::make_unique<SimServiceHost>(root, name, fd);
}

SimServiceHost::SimServiceHost(std::string root, std::string service, int lock_fd)
    : root_(root), dir_(sim::service_dir(root, service)), service_(std::move(service)), lock_fd_(lock_fd) {}

SimServiceHost::~SimServiceHost() {
    if (lock_fd_ >= 0) ::close(lock_fd_);
}

void SimServiceHost::report(ServiceState s) {
    if (s != ServiceState::Stopped) {
        // A service deleted while running has no record left to report into.
        if (fs::is_directory(dir_)) sim::write_status(dir_, s, static_cast<int>(getpid()));
        return;
    }
    // The last report: "stopped" and the release of the run lock happen as
    // one step for the manager, so a start right after the stop finds the
    // service free, and a stopped service never looks alive.
    FileLock lock(root_ + "services/.lock");
    if (fs::is_directory(dir_)) sim::write_status(dir_, s, 0);
    if (lock_fd_ >= 0) ::close(lock_fd_);
    lock_fd_ = -1;
}

bool SimServiceHost::stop_requested() const { return fs::exists(dir_ + "control"); }

}  // namespace ovr::platform
