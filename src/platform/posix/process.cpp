#include "platform/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fcntl.h>

#include "platform/dynlib.h"

extern char** environ;

namespace ovr::platform {

int spawn_process(const std::vector<std::string>& argv_in, const std::vector<std::string>& extra_env, bool detached,
                  int& pid) {
    if (argv_in.empty()) return EINVAL;
    std::vector<std::string> env_s;
    for (char** e = environ; *e; ++e) {
        std::string kv = *e;
        bool replaced = false;
        for (const auto& x : extra_env) {
            size_t eq = x.find('=');
            replaced = replaced || (eq != std::string::npos && kv.compare(0, eq + 1, x, 0, eq + 1) == 0);
        }
        if (!replaced) env_s.push_back(kv);
    }
    env_s.insert(env_s.end(), extra_env.begin(), extra_env.end());
    std::vector<char*> envp;
    for (auto& e : env_s) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argv_s = argv_in;
    std::vector<char*> argv;
    for (auto& a : argv_s) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (detached) {
        flags |= POSIX_SPAWN_SETSID;
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    }
    posix_spawnattr_setflags(&attr, flags);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    pid_t child = 0;
    int rc = posix_spawn(&child, argv_s[0].c_str(), &fa, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&fa);
    if (rc == 0) pid = child;
    return rc;
}

bool wait_child(int pid, Clock& clock, uint32_t max_wait_ms) {
    uint64_t start = clock.tick_ms();
    while (true) {
        int st = 0;
        pid_t r = waitpid(pid, &st, WNOHANG);
        if (r == pid || (r == -1 && errno == ECHILD)) return true;
        if (clock.tick_ms() - start >= max_wait_ms) return false;
        clock.sleep_ms(50);
    }
}

namespace {

class PosixProcesses final : public Processes {
public:
    bool start_detached(const std::vector<std::string>& argv) override {
        int pid = 0;
        if (spawn_process(argv, {}, true, pid) != 0) return false;
        // Reaped when it has already ended; otherwise it is left to run.
        int st;
        waitpid(pid, &st, WNOHANG);
        return true;
    }
};

std::string find_in_path(const std::string& name) {
    std::string path = get_env("PATH");
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t colon = path.find(':', pos);
        std::string dir = path.substr(pos, colon == std::string::npos ? std::string::npos : colon - pos);
        if (!dir.empty()) {
            std::string cand = dir + "/" + name;
            if (access(cand.c_str(), X_OK) == 0) return cand;
        }
        if (colon == std::string::npos) break;
        pos = colon + 1;
    }
    return {};
}

class PosixElevation final : public Elevation {
public:
    explicit PosixElevation(std::shared_ptr<Clock> clock) : clock_(std::move(clock)) {}
    bool possible() override { return geteuid() != 0 && !find_in_path("pkexec").empty(); }
    bool relaunch(const std::string& switch_arg, uint32_t max_wait_ms) override {
        std::string pkexec = find_in_path("pkexec");
        std::string self = executable_path();
        if (pkexec.empty() || self.empty()) return false;
        int pid = 0;
        if (spawn_process({pkexec, self, switch_arg}, {}, false, pid) != 0) return false;
        wait_child(pid, *clock_, max_wait_ms);
        return true;
    }
    Outcome relaunch_with(const std::string& switch_arg, const std::vector<std::string>& env,
                          uint32_t max_wait_ms) override {
        std::string pkexec = find_in_path("pkexec");
        std::string self = executable_path();
        if (pkexec.empty() || self.empty()) return Outcome::NotStarted;
        // pkexec starts the program with a clean environment: env(1), run
        // from the argv, puts the variables back for it.
        std::vector<std::string> argv{pkexec, "/usr/bin/env"};
        argv.insert(argv.end(), env.begin(), env.end());
        argv.push_back(self);
        argv.push_back(switch_arg);
        int pid = 0;
        if (spawn_process(argv, {}, false, pid) != 0) return Outcome::NotStarted;
        return wait_child(pid, *clock_, max_wait_ms) ? Outcome::Ended : Outcome::StillRunning;
    }

private:
    std::shared_ptr<Clock> clock_;
};

}  // namespace

std::shared_ptr<Processes> make_posix_processes() { return std::make_shared<PosixProcesses>(); }
std::shared_ptr<Elevation> make_posix_elevation(std::shared_ptr<Clock> clock) {
    return std::make_shared<PosixElevation>(std::move(clock));
}

}  // namespace ovr::platform
