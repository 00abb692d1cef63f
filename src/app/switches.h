// The console's command-line switches. Each literal is matched against whole
// command-line words, letter case ignored, so a path or any other argument
// that merely contains "-r" or "/i" triggers nothing. The rows are tested in
// a fixed order and the first action found is the one that runs.
#pragma once

#include <string>
#include <vector>

namespace ovr::app {

enum class SwitchAction { None, Stop, Start, Restart, Install, Remove, DeleteDataDir, ModemTest };

struct Switches {
    bool quiet = false;
    SwitchAction action = SwitchAction::None;
    bool wizard = false;
};

Switches parse_switches(const std::vector<std::string>& words);

}  // namespace ovr::app
