#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/dynlib.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/service_manager.h"

namespace ovr::platform {
namespace {

class SimProcesses final : public Processes {
public:
    explicit SimProcesses(std::string root) : path_(root + "processes.log") {}
    // The simulated machine runs no helpers; what would have run is kept so
    // that it can be checked. Each argument is quoted, quotes doubled.
    bool start_detached(const std::vector<std::string>& argv) override {
        if (argv.empty()) return false;
        std::string line;
        for (const auto& a : argv) {
            if (!line.empty()) line += ' ';
            line += '"';
            for (char c : a) {
                if (c == '\n' || c == '\r') c = ' ';
                line += c;
                if (c == '"') line += '"';
            }
            line += '"';
        }
        line += '\n';
        int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        ::close(fd);
        return ok;
    }

private:
    std::string path_;
};

class SimElevation final : public Elevation {
public:
    SimElevation(std::string root, std::shared_ptr<Clock> clock, std::string program)
        : root_(std::move(root)), clock_(std::move(clock)), program_(std::move(program)) {}
    bool possible() override { return sim::elevation_allowed(root_); }
    bool relaunch(const std::string& switch_arg, uint32_t max_wait_ms) override {
        std::string prog = program_.empty() ? executable_path() : program_;
        int pid = 0;
        if (prog.empty() ||
            spawn_process({prog, switch_arg}, {"OVRINSMS_PLATFORM=sim", "OVRINSMS_SIM_ROOT=" + root_, "OVRINSMS_SIM_ELEVATED=1"},
                          false, pid) != 0)
            return false;
        wait_child(pid, *clock_, max_wait_ms);
        return true;
    }
    Outcome relaunch_with(const std::string& switch_arg, const std::vector<std::string>& env,
                          uint32_t max_wait_ms) override {
        std::string prog = program_.empty() ? executable_path() : program_;
        std::vector<std::string> all = env;
        for (const char* v : {"OVRINSMS_PLATFORM=sim", "OVRINSMS_SIM_ELEVATED=1"}) all.emplace_back(v);
        all.push_back("OVRINSMS_SIM_ROOT=" + root_);
        int pid = 0;
        if (prog.empty() || spawn_process({prog, switch_arg}, all, false, pid) != 0) return Outcome::NotStarted;
        return wait_child(pid, *clock_, max_wait_ms) ? Outcome::Ended : Outcome::StillRunning;
    }

private:
    std::string root_;
    std::shared_ptr<Clock> clock_;
    std::string program_;
};

}  // namespace

std::shared_ptr<Processes> make_sim_processes(const std::string& root) { return std::make_shared<SimProcesses>(root); }
std::shared_ptr<Elevation> make_sim_elevation(const std::string& root, std::shared_ptr<Clock> clock, std::string program) {
    return std::make_shared<SimElevation>(root, std::move(clock), std::move(program));
}

}  // namespace ovr::platform
