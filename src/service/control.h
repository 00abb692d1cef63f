// Installing, removing, starting, stopping and restarting the two gateway
// services, always as a pair, through the service manager. Without
// administrative rights an operation may re-launch the console elevated with
// the switch that performs it, unless it runs in command-line mode (the
// switches themselves, and the command-line twin). Every wait goes through
// the platform clock; every handle is closed on every path.
#pragma once

#include <functional>
#include <string>

#include "platform/platform.h"
#include "platform/ui.h"

namespace ovr::service {

inline constexpr const char* kSmsDisplayName = "Ovrin SMS Gateway Lite Edition";
inline constexpr const char* kMmscDisplayName = "Ovrin MMS Gateway Lite Edition";
inline constexpr const char* kSmsProgram = "SMSGWNT.EXE";
inline constexpr const char* kMmscProgram = "MMSCNT.EXE";
inline constexpr const char* kSmsFirewallProgram = "SMSGWS.EXE";
inline constexpr const char* kMmscFirewallProgram = "MMSC.EXE";
inline constexpr const char* kFirewallHelper = "FWHELPER.EXE";

// The switches an elevated copy runs.
inline constexpr const char* kInstallSwitch = "/INSTALLSERVICE";
inline constexpr const char* kRemoveSwitch = "/REMOVESERVICE";
inline constexpr const char* kStopSwitch = "/STOPSERVICE";
inline constexpr const char* kStartSwitch = "/STARTSERVICE";
inline constexpr const char* kRestartSwitch = "/RESTARTSERVICE";

// Messages.
inline constexpr const char* kElevationPrompt =
    "Administrator rights are required for service installation or modification.\r\n\r\n"
    "If you continue, Windows will ask you to confirm that you will allow this application to assume "
    "administrator rights to perform this task.\r\n\r\nDo you wish to continue?";
inline constexpr const char* kLegacySystemMessage =
    "This product requires Windows 2000, XP, 2003, Vista or NT.\r\n(Windows 95, 98 and ME are not supported.)";
inline constexpr const char* kInstallRightsMessage = "Administrator rights are required for service installation.";
inline constexpr const char* kCreateFailedFormat =
    "CreateService Failed, %lu\r\nAdministrator rights are required for service installation.";
inline constexpr const char* kRemoveRightsMessage = "Administrator rights are required for service modification.";
inline constexpr const char* kControlRightsMessage =
    "Administrator rights are required for service installation or modification.";
inline constexpr const char* kStartErrorFormat = "Error %lu starting service";

// Waits.
inline constexpr int kWaitRounds = 120;               // of one second each
inline constexpr uint32_t kElevatedWaitMs = 60000;
inline constexpr uint32_t kRestartPauseMs = 2000;

class ServiceControl {
public:
    // `console_dir` is the directory of the console's executable (ending
    // with "/"), where the service programs and the firewall helper live;
    // empty means the directory of the running executable.
    ServiceControl(platform::Platform& p, Ui& ui, std::string console_dir = {});

    // True when both services are installed (and their start was asked for).
    bool install_and_start(bool command_line_mode);
    // True when removal succeeded or there was nothing to remove.
    bool remove(bool command_line_mode);
    void stop(bool command_line_mode);
    void start(bool command_line_mode);
    void restart(bool command_line_mode);

    const std::string& console_dir() const { return dir_; }

private:
    bool relaunch_path(bool command_line_mode, const char* switch_arg);
    bool install_one(platform::ManagerHandle& mgr, const char* name, const char* display, const char* program,
                     const char* firewall_program);
    bool any_running();
    // Opens the manager and each service in turn (SMS first) with full
    // access, calling fn for each one opened; false when the manager or
    // either service could not be opened. Every handle is closed on return.
    bool for_both_services(const std::function<void(const char*, platform::ServiceHandle&)>& fn);

    platform::Platform& p_;
    Ui& ui_;
    std::string dir_;
};

}  // namespace ovr::service
