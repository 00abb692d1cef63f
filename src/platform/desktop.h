// Starting the user's programs: the text editor for a log file and the
// desktop's "open" for a document. Programs start from an argv, never a
// shell string, and are not waited for.
//
// Editor choice: $VISUAL when set; else $EDITOR inside the first terminal
// emulator found on PATH (x-terminal-emulator, xterm, konsole,
// gnome-terminal, xfce4-terminal); else xdg-open. A $VISUAL or $EDITOR value
// holding blanks is split into words ("code -w"); no shell sees it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ovr::platform {

class Desktop {
public:
    virtual ~Desktop() = default;
    virtual bool edit(const std::string& path) = 0;
    virtual bool open(const std::string& target, const std::string& working_dir) = 0;
};

// Starts the programs. `record_file` non-empty: each request is also
// appended there ("edit <path>", "open <target>"); `launch` false: only
// recorded (the simulated platform in tests).
std::shared_ptr<Desktop> make_desktop(std::string record_file, bool launch);

// The argv that edits `path`; `env` and `on_path` answer for the environment
// and for "is this program on PATH".
std::vector<std::string> editor_argv(const std::string& path, const std::function<std::string(const char*)>& env,
                                     const std::function<bool(const std::string&)>& on_path);

// Starts argv[0] (searched on PATH) in `working_dir` (when not empty) without
// waiting; the child is reaped in the background. False when it could not
// start.
bool spawn_detached(const std::vector<std::string>& argv, const std::string& working_dir = {});

// True when a program of that name is an executable on PATH.
bool program_on_path(const std::string& name);

}  // namespace ovr::platform
