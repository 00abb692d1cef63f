// The operator MMS connection test. The console's page side writes the
// settings to MODEMTEST.INI, starts an elevated copy of itself with
// "/MODEMTEST" and shows the verdict that copy writes back; the elevated side
// borrows the modem from the gateway service through the GPRS library, dials
// the operator's data connection and hands the modem back.
//
// Each run is tagged: the page writes a fresh RunId and the elevated copy
// echoes it with its Result, so a copy that outlived an earlier page's wait
// cannot pass its verdict off as this run's.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "config/directories.h"
#include "gprs/gprs_library.h"
#include "platform/platform.h"
#include "platform/ui.h"

namespace ovr::gprs {

inline constexpr const char* kTestFile = "MODEMTEST.INI";
inline constexpr const char* kTestSection = "ModemTest";
inline constexpr const char* kTestSwitch = "/MODEMTEST";

inline constexpr const char* kVerdictOk = "Connection Test OK!";
inline constexpr const char* kVerdictNoGateway = "Unable to connect to WAP Gateway";
inline constexpr const char* kVerdictFailed = "Connection Failed";
inline constexpr const char* kVerdictModemInUse = "Unable to allocate modem, modem in use by OvrinSMS";
inline constexpr const char* kVerdictInternal = "Internal Error";
inline constexpr const char* kVerdictRestart = "Please restart your system before continuing";
inline constexpr const char* kVerdictRights = "Administrative rights are required for this test.";
inline constexpr const char* kRebootQuestion =
    "OvrinSMS has updated your modem driver settings to enable GPRS connectivity.\r\n\r\n"
    "Your system must be rebooted to apply these updates.\r\n\r\nDo you wish to reboot now?";
inline constexpr const char* kNoVerdictInTime = "The connection test gave no verdict within 120 seconds.";
inline constexpr const char* kNoVerdict = "The connection test ended without a verdict.";

struct TestSettings {
    std::string proxy;  // as typed; a leading "http://" is dropped for the test
    std::string apn, login, password;
    std::string modem_name;
    std::optional<std::string> dial_up_profile;  // a non-standard connection
};

struct TestEnv {
    config::Directories dirs;
    Ui* ui = nullptr;
    platform::Platform* platform = nullptr;
    uint32_t wait_ms = 120000;          // the page's wait on the elevated copy
    uint32_t library_wait_ms = 100000;  // the elevated copy's wait on one dial
    std::string program;                // the copy to start; the running executable when empty
    // The process may administer the machine (the service manager opens
    // with full access); unset: asked of the platform.
    std::function<bool()> has_admin_rights;
    // Starts a reboot; false when it could not be asked for. Unset: the
    // platform's (logind through systemctl, recorded on the simulated one).
    std::function<bool()> request_reboot;
};

// Page side: true when the verdict holds "OK!". Shows every verdict; a
// failed one offers Retry.
bool RunConnectionTest(const TestEnv& env, const TestSettings& settings);

// Elevated side (the "/MODEMTEST" switch): reads MODEMTEST.INI, runs the
// test and writes Result with the run's id. `lib` null: the library is absent.
void RunModemTestSwitch(const TestEnv& env, const GprsLibrary* lib);

// The verdict of a dial result.
std::string dial_verdict(int result, const GprsLibrary* lib);

// A setting that may reach an AT command or the data connection's arguments:
// no '"', '\' or control characters.
bool dial_safe(const std::string& value);

// The environment ("NAME=value") that names the three directories to a
// copy started with a cleared environment.
std::vector<std::string> directory_environment(const config::Directories& dirs);

}  // namespace ovr::gprs
