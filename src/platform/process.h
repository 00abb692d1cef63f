// Starting other programs: detached helpers (started from an argv, never a
// shell string) and the elevated re-launch of the console with one switch.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace ovr::platform {

class Processes {
public:
    virtual ~Processes() = default;
    // Starts the program without waiting for it, hidden, with no console
    // input or output. False when it could not be started.
    virtual bool start_detached(const std::vector<std::string>& argv) = 0;
};

// posix_spawn with the argv.
std::shared_ptr<Processes> make_posix_processes();
// Records each argv as one line of <root>processes.log instead of running it.
std::shared_ptr<Processes> make_sim_processes(const std::string& root);

class Elevation {
public:
    virtual ~Elevation() = default;
    // The system can run a program with administrative rights on request.
    virtual bool possible() = 0;
    // The system is one of the old ones that have no service manager at all.
    virtual bool legacy_system() { return false; }
    // Runs the console again with administrative rights and the one switch,
    // waiting for it to end for at most `max_wait_ms` (through the clock).
    // False when it could not be started.
    virtual bool relaunch(const std::string& switch_arg, uint32_t max_wait_ms) = 0;
    enum class Outcome { NotStarted, Ended, StillRunning };
    // The same, handing the copy these variables ("NAME=value") explicitly,
    // since the elevating helper clears the environment; tells whether the
    // copy ended within the wait.
    // (By default the variables are not handed on.)
    virtual Outcome relaunch_with(const std::string& switch_arg, const std::vector<std::string>& env,
                                  uint32_t max_wait_ms) {
        (void)env;
        return relaunch(switch_arg, max_wait_ms) ? Outcome::Ended : Outcome::NotStarted;
    }
};

// pkexec when present (and not already root).
std::shared_ptr<Elevation> make_posix_elevation(std::shared_ptr<Clock> clock);
// Runs `program` (default: the running executable) with the switch and with
// OVRINSMS_SIM_ELEVATED=1, which grants rights to that child only. Possible
// unless <root>no-elevation exists.
std::shared_ptr<Elevation> make_sim_elevation(const std::string& root, std::shared_ptr<Clock> clock,
                                              std::string program = {});

// Starts argv[0] with the arguments, the environment of this process plus
// `extra_env` ("NAME=value", replacing the same names). Detached: a new
// session with standard input and output on /dev/null. 0 on success or the
// errno of the failure; `pid` is set on success.
int spawn_process(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env, bool detached,
                  int& pid);

// Waits for a child through the clock, polling every 50 ms; true when it
// ended within the time. The child is reaped when it ends.
bool wait_child(int pid, Clock& clock, uint32_t max_wait_ms);

}  // namespace ovr::platform
