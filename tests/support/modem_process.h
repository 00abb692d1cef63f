// The AT modem simulator program (ovrinsms-modemsim) behind a link, for
// tests that open a modem's port; stopped with the object.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace ovr::test {

class ModemProcess {
public:
    // Starts the simulator linked at `link` with the extra arguments and
    // waits (at most 2 s) for the link; up() tells whether it came.
    ModemProcess(std::string link, const std::vector<std::string>& args);
    ~ModemProcess();
    ModemProcess(const ModemProcess&) = delete;
    ModemProcess& operator=(const ModemProcess&) = delete;
    bool up() const { return up_; }

private:
    std::string link_;
    pid_t pid_ = 0;
    bool up_ = false;
};

}  // namespace ovr::test
