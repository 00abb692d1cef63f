#include "config/directories.h"

#include "platform/dynlib.h"

namespace ovr::config {

std::string with_trailing_slash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

Directories resolve_directories() {
    using platform::get_env;
    Directories d;
    std::string exe_dir = platform::executable_directory();
    bool installed = exe_dir.rfind("/usr/", 0) == 0 || exe_dir.rfind("/opt/", 0) == 0;
    std::string base;
    if (installed) {
        base = "/var/lib/ovrinsms/";
    } else {
        std::string xdg = get_env("XDG_DATA_HOME");
        if (xdg.empty()) {
            std::string home = get_env("HOME");
            xdg = (home.empty() ? std::string("/tmp") : home) + "/.local/share";
        }
        base = with_trailing_slash(xdg) + "ovrinsms/";
    }
    d.program_data = get_env("OVRINSMS_DATA_DIR");
    d.private_data = get_env("OVRINSMS_PRIVATE_DIR");
    d.real_program = get_env("OVRINSMS_PROGRAM_DIR");
    if (d.program_data.empty()) d.program_data = base;
    if (d.private_data.empty()) d.private_data = base + "private/";
    if (d.real_program.empty()) d.real_program = installed ? std::string("/usr/share/ovrinsms/") : exe_dir;
    d.program_data = with_trailing_slash(d.program_data);
    d.private_data = with_trailing_slash(d.private_data);
    d.real_program = with_trailing_slash(d.real_program);
    return d;
}

IniPaths ini_paths_for(const Directories& dirs) {
    return IniPaths{dirs.program_data + "RIRER.INI", dirs.program_data + "MMSC.INI"};
}

}  // namespace ovr::config
