// The simulated services working their outbound queues.
//
// The SMS role takes "*.REQ" request files from the outbound SMS queue and
// its immediate subdirectories; the MMSC role takes "*.MMS" message files that
// have their routing companion from the outbound MMS queue. A file is worked
// once it has waited the configured delay since the service first saw it:
//
// - sent: a result line "OK" is appended to today's daily log, the day
//   counters are bumped, then the file (the pair: message file first) is
//   deleted, so whoever sees the file gone finds its line already there;
// - failing (ctl fail): the file stays and its retry details are written
//   ([ErrorDetail] of a request file, [Routing] of a companion: RetryCount,
//   LastErrorInfo) as the service does while it retries, one attempt per
//   delay; after the configured number of retries the error text is logged
//   as the result and the file deleted.
//
// Daily logs, in the program data directory, one line per result with CR LF:
//   SMSOUT-YYYYMMDD.LOG  time,message id,phone number,modem,result
//   MMSC-YYYYMMDD.LOG    time,MMSOUT,VASP,sender,recipients,result,message id
// The message id is the file's base name (an MMS: [Routing] MessageID when
// set). Commas inside fields are written as ";" so the fields stay where the
// console looks for them.
//
// With log-after-delete (ctl log-after-delete on) the services delete a
// worked file first and write its result line kLateLogMs later, as a
// service may: whoever follows a test must keep looking for the line.
//
// An MMS routed to a route that has an error file ("MMSCROUTE--" + route
// + ".ERR" in the private data directory, ctl route-error) is held like an
// SMS behind an off-line modem.
//
// The service is woken by the queue signal (SetEventForInterface: "SMSOut"
// with the name of Modem1; "VASPOut" with "ovrinsmslite" and a network modem
// device's name) and also scans the queue periodically. While the configured
// modem has an error file, the SMS role holds its queue.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/directories.h"
#include "config/interface_events.h"
#include "gateway.h"
#include "platform/clock.h"
#include "queue/queue_dirs.h"
#include "queue/sms_file.h"

namespace ovr::gwsim {

// Settings of the queue work, kept in <sim root>gwsim/queues.ini so the ctl
// command can change them while the services run.
struct WorkSettings {
    uint32_t delay_ms = 1000;   // wait before a file is worked, and between retries
    uint32_t scan_ms = 5000;    // periodic scan without a wake
    bool fail = false;
    std::string fail_text;      // LastErrorInfo, and the logged result when giving up
    int32_t fail_retries = -1;  // retries before giving up; -1 retries for ever
    bool log_after_delete = false;
};

std::string settings_path(const std::string& sim_root);
WorkSettings read_settings(const std::string& sim_root, Role role);
bool write_delay(const std::string& sim_root, uint32_t ms);
bool write_scan_interval(const std::string& sim_root, uint32_t ms);
bool write_log_after_delete(const std::string& sim_root, bool on);
// No text turns failing off.
bool write_fail(const std::string& sim_root, Role role, const std::optional<std::string>& text, int32_t retries);

inline constexpr const char* kRouteName = "ovrinsmslite";
inline constexpr uint32_t kLateLogMs = 2000;

// The name whose error file tells the route's connection error (the file is
// service::modem_error_path of it).
std::string route_error_name(std::string_view route);
// At most this many files are worked in one tick, so a full queue never keeps
// the service from seeing a stop.
inline constexpr size_t kMaxWorkPerTick = 200;

// "SMSOUT-YYYYMMDD.LOG" / "MMSC-YYYYMMDD.LOG" in the program data directory.
std::string daily_log_path(const config::Directories& dirs, Role role, const platform::LocalTime& date);
// A log field: "," becomes ";" and control characters blanks.
std::string log_field(std::string_view text);

class QueueWork {
public:
    QueueWork(Role role, platform::Clock& clock, config::Directories dirs, std::string sim_root);
    ~QueueWork();

    // One tick of the service loop; `woken` when something else (SIGUSR1)
    // asked for a look. Listens for the queue signal of its interfaces.
    void tick(bool woken);

    // Files seen and waiting for their turn.
    size_t pending() const { return due_.size(); }
    // Writes the result lines still held back (the service is stopping).
    void flush_late_lines();

private:
    void refresh_listeners();
    bool drain_listeners();
    void scan(uint64_t now);
    // False when the file is to be looked at again later.
    bool work_sms(const std::string& path);
    bool work_mms(const std::string& path);
    void append_log(const std::string& line);

    Role role_;
    platform::Clock& clock_;
    config::Directories dirs_;
    config::IniPaths ini_;
    queue::QueueSetup setup_;
    std::string sim_root_;
    WorkSettings settings_;
    std::map<std::string, uint64_t> due_;   // path -> tick when it is worked
    std::vector<std::pair<uint64_t, std::string>> late_lines_;   // tick when written, line
    uint64_t next_scan_ = 0;
    bool scanned_ = false;
    std::vector<std::string> listened_names_;
    std::vector<config::InterfaceEventListener> listeners_;
    std::unique_ptr<queue::SmsFileRecord> rec_;
};

}  // namespace ovr::gwsim
