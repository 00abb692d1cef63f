// What the running gateway publishes: the state of its two services, the
// two shared-memory blocks with the stop request and port-in-use bytes, the
// day counter files and the per-modem error files. The console only reads
// these (and writes the stop request); the services create them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/platform.h"

namespace ovr::service {

inline constexpr const char* kSmsServiceName = "OvrinSMS";
inline constexpr const char* kMmscServiceName = "OvrinMMSC";

// ---- service state tests ----
// Each opens the manager for reading and the service for its status, and
// closes both before returning; a manager that cannot be opened makes every
// test false. Running means running, start pending or stop pending.
bool is_service_installed(platform::ServiceManager& sm, const std::string& name);
bool is_service_running(platform::ServiceManager& sm, const std::string& name);
bool sms_service_installed(platform::Platform& p);
bool sms_service_running(platform::Platform& p);
bool mmsc_service_installed(platform::Platform& p);
bool mmsc_service_running(platform::Platform& p);

// The four tests at one look at the manager, for a refresh that asks them
// all: its answers agree with one another and cost one round trip on
// systemd. It is a value of that moment; a refresh after a start or stop
// takes a new one.
struct GatewayStates {
    bool sms_installed = false;
    bool sms_running = false;
    bool mmsc_installed = false;
    bool mmsc_running = false;
    bool sms_up() const { return sms_installed && sms_running; }
    bool mmsc_up() const { return mmsc_installed && mmsc_running; }
};
GatewayStates read_gateway_states(platform::Platform& p);

// ---- shared memory ----
inline constexpr const char* kSmsBlockName = "OVRIN_RIRER_ShMem";
inline constexpr const char* kSmsBlockGlobalName = "Global\\OVRIN_RIRER_ShMem";
inline constexpr const char* kMmscBlockName = "OVRIN_MMSC_ShMem";
inline constexpr const char* kMmscBlockGlobalName = "Global\\OVRIN_MMSC_ShMem";
inline constexpr size_t kStopRequestByte = 0;   // SMS gateway block only
inline constexpr size_t kFirstPortByte = 2;     // web port (SMS), MM7 port (MMSC)
inline constexpr size_t kSecondPortByte = 4;    // SMPP server port (SMS), SMPP port (MMSC)

// A mapped block, closed when destroyed. Blocks too short to hold the bytes
// above count as absent, so no read or write ever lands outside the view.
std::unique_ptr<platform::SharedBlock> open_sms_block(platform::SharedMemory& shm);
std::unique_ptr<platform::SharedBlock> open_mmsc_block(platform::SharedMemory& shm);

// Asks the SMS gateway service to stop through its block; false (and nothing
// done) when the block is absent.
bool set_stop_request(platform::SharedMemory& shm);

// ---- counters ----
inline constexpr size_t kCounterDays = 366;
inline constexpr size_t kCounterFileBytes = kCounterDays * 4;
inline constexpr std::array<const char*, 10> kCounterNames = {
    "SMSSUBMIT",  "SMSSENT",    "SMSRECEIVED", "SMSFAILED",   "SMSRETRY",
    "MMSIN-VASP", "MMSIN-USER", "MMSOUT-VASP", "MMSOUT-MMSC", "MMSIN-MODEM"};

struct CounterSums {
    uint32_t today = 0;
    uint32_t last7 = 0;
    uint32_t last30 = 0;
    friend bool operator==(const CounterSums&, const CounterSums&) = default;
};

// The gateway's leap-year rule: every year divisible by 4, and no other.
bool is_counter_leap_year(int year);
// 1 for January 1st.
int day_of_year(int year, int month, int day);
// private data + "STATS/" + name + "-<year>.CTR".
std::string counter_path(const std::string& private_dir, std::string_view name, int year);
// The numbers of one counter file, missing numbers 0.
std::array<uint32_t, kCounterDays> read_counter_file(const std::string& path);
// Today, the last 7 and the last 30 days up to the given local date.
CounterSums read_counter(const std::string& private_dir, std::string_view name, const platform::LocalTime& date);

// ---- modem error files ----
// private data + the modem name with ":", "/" and "\" made "-" + ".ERR".
std::string modem_error_path(const std::string& private_dir, std::string_view modem_name);
// The modem's current error (at most 250 bytes), "" when there is none.
std::string read_modem_error(const std::string& private_dir, std::string_view modem_name);

}  // namespace ovr::service
