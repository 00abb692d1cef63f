// The two texts of the Status page that describe the services: the service
// status line and the modem information, each with its red flag. The page
// and the command-line twin show the same texts.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "config/directories.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "service/status.h"

namespace ovr::service {

struct StatusText {
    std::string text;
    bool red = false;
};

inline constexpr const char* kNotInstalledText = "Service is NOT Installed";
inline constexpr const char* kActiveText = "Service is Active";
inline constexpr const char* kNotActiveText = "Service is NOT Active";
inline constexpr const char* kModemNotActiveText = "Service is NOT active";
inline constexpr const char* kWebPortText = "ERROR:  Web Port already in use";
inline constexpr const char* kSmppServerPortText = "ERROR:  SMPP Server Port already in use";
inline constexpr const char* kMm7PortText = "ERROR:  MM7 Port already in use";
inline constexpr const char* kSmppPortText = "ERROR:  SMPP Port already in use";

// SMS gateway first; only when it is well does the MMSC state replace it.
// Without states, it takes a look of its own.
StatusText service_status_text(platform::Platform& p, const GatewayStates& states);
StatusText service_status_text(platform::Platform& p);

// The errors of the configured modems ("Modem1" ... of section RIRER, all of
// 1 to 201 and on while keys are found), one "name : error\r\n" line each,
// cut at 1024 characters; "Service is NOT active" when the SMS gateway
// service is not installed and running.
StatusText modem_information_text(const GatewayStates& states, const std::string& rirer_ini,
                                  const std::string& private_dir);
StatusText modem_information_text(platform::Platform& p, const std::string& rirer_ini, const std::string& private_dir);

// One counter row of the Status page: today, the last 7 and the last 30 days
// of one day counter, or the sums of two (wide enough that a sum of two full
// counters does not wrap).
struct CounterRow {
    const char* label;      // "SMS Submitted:" ...
    const char* first;      // counter name
    const char* second;     // the counter added to it, or nullptr
    uint64_t today = 0;
    uint64_t last7 = 0;
    uint64_t last30 = 0;
};

// The eight rows in page order, read for the given local date.
std::array<CounterRow, 8> status_counter_rows(const std::string& private_dir, const platform::LocalTime& date);

// A count as the page shows it: empty for 0, else "%u".
std::string count_field_text(uint64_t n);

}  // namespace ovr::service
