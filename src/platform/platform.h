// The bundle of operating-system services handed to the console's logic.
// Nothing below the user interface reaches the OS except through one of
// these (files excepted: see fs.h), so tests hand in fakes and the demo hands
// in the simulated platform.
#pragma once

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/desktop.h"

namespace ovr::platform {

enum class Backend { Posix, Sim };

struct Platform {
    Backend backend = Backend::Posix;
    std::string sim_root;   // the simulation root (Sim only), ending with "/"
    std::shared_ptr<Clock> clock;
    // The text editor and the desktop's "open". The simulated platform
    // records each request in <sim root>/desktop.log, and only records when
    // OVRINSMS_SIM_DESKTOP=record.
    std::shared_ptr<Desktop> desktop;
    // Further services join here as the console grows (service manager,
    // shared memory, event log, serial ports, line devices, shell).
};

// OVRINSMS_PLATFORM=sim selects the simulated platform rooted at
// OVRINSMS_SIM_ROOT; anything else the real host.
Platform make_platform();

}  // namespace ovr::platform
