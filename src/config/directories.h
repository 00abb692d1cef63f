// The gateway's three directories and the fixed paths of its two main INI
// files. Every directory ends with "/".
#pragma once

#include <string>

namespace ovr::config {

struct Directories {
    std::string program_data;   // INI files, queues, logs, routes, users
    std::string private_data;   // counters, modem and route error files
    std::string real_program;   // program files and the manual
};

// From OVRINSMS_DATA_DIR, OVRINSMS_PRIVATE_DIR and OVRINSMS_PROGRAM_DIR when
// set. Otherwise an installed console (its executable under /usr or /opt)
// uses /var/lib/ovrinsms/, /var/lib/ovrinsms/private/ and /usr/share/ovrinsms/;
// a development build uses $XDG_DATA_HOME/ovrinsms/ (default
// ~/.local/share/ovrinsms/), its private/ subdirectory and the directory of
// the executable. Directories are not created here.
Directories resolve_directories();

// Adds the trailing "/" when missing ("" stays "").
std::string with_trailing_slash(std::string dir);

// Paths fixed at start-up and used by every caller for the life of the
// process.
struct IniPaths {
    std::string rirer;   // program data + "RIRER.INI"
    std::string mmsc;    // program data + "MMSC.INI"
};

IniPaths ini_paths_for(const Directories& dirs);

}  // namespace ovr::config
