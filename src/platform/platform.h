// The bundle of operating-system services handed to the console's logic.
// Nothing below the user interface reaches the OS except through one of
// these (files excepted: see fs.h), so tests hand in fakes and the demo hands
// in the simulated platform.
#pragma once

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/comm_port.h"
#include "platform/desktop.h"
#include "platform/event_log.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/service_manager.h"
#include "platform/shared_memory.h"
#include "platform/tapi.h"

namespace ovr::platform {

enum class Backend { Posix, Sim };

struct Platform {
    Backend backend = Backend::Posix;
    std::string sim_root;   // the simulation root (Sim only), ending with "/"
    std::shared_ptr<Clock> clock;
    std::shared_ptr<ServiceManager> services;
    std::shared_ptr<SharedMemory> shared_memory;
    std::shared_ptr<EventLog> event_log;
    std::shared_ptr<Processes> processes;
    std::shared_ptr<Elevation> elevation;
    std::shared_ptr<CommPorts> comm_ports;   // serial ports by COM name or device path
    std::shared_ptr<Tapi> tapi;              // data-modem line devices
    std::shared_ptr<Registry> registry;      // installed modems and their ports
    // The text editor and the desktop's "open". The simulated platform
    // records each request in <sim root>/desktop.log, and only records when
    // OVRINSMS_SIM_DESKTOP=record.
    std::shared_ptr<Desktop> desktop;
};

// OVRINSMS_PLATFORM=sim selects the simulated platform rooted at
// OVRINSMS_SIM_ROOT; anything else the real host. COM names map through the
// links of OVRINSMS_DEVICE_MAP (on the simulated platform by default
// <root>/dosdevices/); the simulated modems are the links in <root>/modems/.
Platform make_platform();

// The simulated platform rooted at `root` (created when missing), with the
// clock given; `elevated` grants administrative rights to this process.
Platform make_sim_platform(const std::string& root, std::shared_ptr<Clock> clock, bool elevated = false);

// The scope that keeps a simulation root's shared memory apart from other
// roots on the same machine.
std::string sim_shared_memory_scope(const std::string& root);

// The modem services of each backend (called by make_platform).
void add_posix_modem_services(Platform& p);
void add_sim_modem_services(Platform& p);

}  // namespace ovr::platform
