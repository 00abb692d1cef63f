#include "queue_work.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>

#include "config/ini.h"
#include "config/text.h"
#include "platform/fs.h"
#include "queue/mms_files.h"
#include "service/status.h"

namespace ovr::gwsim {
namespace fs = platform::fs;
namespace ini = config::ini;
namespace {

constexpr std::string_view kNetworkModemPrefix = "OvrinSMSModem - ";

const char* role_section(Role role) { return role == Role::Sms ? "SMS" : "MMSC"; }

uint32_t read_ms(const std::string& path, const char* key, uint32_t def) {
    auto v = ini::read_value(path, "Queues", key);
    return v ? config::leading_decimal(*v) : def;
}

std::string time_text(const platform::LocalTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

std::string time_stamp(const platform::LocalTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

// The file name without its extension.
std::string message_id_of(const std::string& path) {
    std::string name = fs::base_name(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// A value the INI engine will take: no line breaks.
std::string ini_safe(std::string_view text) {
    std::string out;
    for (char c : text) out += (c == '\r' || c == '\n' || c == '\0') ? ' ' : c;
    return out;
}

// The count after one more attempt; a file claiming the largest count keeps it.
int32_t next_count(int32_t n) { return n < INT32_MAX ? std::max(n, 0) + 1 : n; }

std::string modem1(const config::IniPaths& ini) { return ini::read_string(ini.rirer, "RIRER", "Modem1", "", 250); }

}  // namespace

std::string settings_path(const std::string& sim_root) { return sim_root + "gwsim/queues.ini"; }

WorkSettings read_settings(const std::string& sim_root, Role role) {
    std::string path = settings_path(sim_root);
    WorkSettings s;
    s.delay_ms = read_ms(path, "DelayMs", s.delay_ms);
    // A scan at least every tick is as often as the loop looks anyway.
    s.scan_ms = std::max(read_ms(path, "ScanMs", s.scan_ms), kTickMs);
    auto late = ini::read_value(path, "Queues", "LogAfterDelete");
    s.log_after_delete = late && config::is_yes_value(*late);
    auto text = ini::read_value(path, role_section(role), "FailText");
    if (text) {
        s.fail = true;
        s.fail_text = *text;
        auto retries = ini::read_value(path, role_section(role), "FailRetries");
        s.fail_retries = retries && !retries->empty() ? static_cast<int32_t>(config::leading_decimal(*retries)) : -1;
    }
    return s;
}

static bool prepare(const std::string& sim_root) {
    return fs::create_directories(fs::parent_directory(settings_path(sim_root)));
}

bool write_delay(const std::string& sim_root, uint32_t ms) {
    return prepare(sim_root) && ini::write_string(settings_path(sim_root), "Queues", "DelayMs", std::to_string(ms));
}

bool write_scan_interval(const std::string& sim_root, uint32_t ms) {
    return prepare(sim_root) && ini::write_string(settings_path(sim_root), "Queues", "ScanMs", std::to_string(ms));
}

bool write_log_after_delete(const std::string& sim_root, bool on) {
    return prepare(sim_root) &&
           ini::write_string(settings_path(sim_root), "Queues", "LogAfterDelete", on ? "Yes" : "No");
}

std::string route_error_name(std::string_view route) { return "MMSCROUTE--" + std::string(route); }

bool write_fail(const std::string& sim_root, Role role, const std::optional<std::string>& text, int32_t retries) {
    if (!prepare(sim_root)) return false;
    std::string path = settings_path(sim_root);
    if (!text) return ini::remove_section(path, role_section(role)) || !fs::exists(path);
    return ini::write_string(path, role_section(role), "FailText", ini_safe(*text)) &&
           ini::write_string(path, role_section(role), "FailRetries", retries < 0 ? "" : std::to_string(retries));
}

std::string daily_log_path(const config::Directories& dirs, Role role, const platform::LocalTime& date) {
    char name[32];
    std::snprintf(name, sizeof name, role == Role::Sms ? "SMSOUT-%04u%02u%02u.LOG" : "MMSC-%04u%02u%02u.LOG",
                  static_cast<unsigned>(date.year), static_cast<unsigned>(date.month), static_cast<unsigned>(date.day));
    return dirs.program_data + name;
}

std::string log_field(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == ',') out += ';';
        else if (static_cast<unsigned char>(c) < 32) out += ' ';
        else out += c;
    }
    return out;
}

QueueWork::QueueWork(Role role, platform::Clock& clock, config::Directories dirs, std::string sim_root)
    : role_(role),
      clock_(clock),
      dirs_(std::move(dirs)),
      ini_(config::ini_paths_for(dirs_)),
      setup_(queue::make_queue_setup(dirs_, ini_)),
      sim_root_(std::move(sim_root)),
      rec_(std::make_unique<queue::SmsFileRecord>()) {}

QueueWork::~QueueWork() { flush_late_lines(); }

void QueueWork::flush_late_lines() {
    for (const auto& [when, line] : late_lines_) append_log(line);
    late_lines_.clear();
}


void QueueWork::refresh_listeners() {
    std::vector<std::string> names;
    std::string modem = modem1(ini_);
    if (role_ == Role::Sms) {
        names.push_back(modem);
    } else {
        if (modem.size() >= kNetworkModemPrefix.size() &&
            config::equal_ignoring_case(std::string_view(modem).substr(0, kNetworkModemPrefix.size()),
                                        kNetworkModemPrefix))
            names.push_back(modem.substr(kNetworkModemPrefix.size()));
        names.push_back(kRouteName);
    }
    if (names == listened_names_ && !listeners_.empty()) return;
    listeners_.clear();
    const char* kind = role_ == Role::Sms ? "SMSOut" : "VASPOut";
    for (const std::string& n : names) {
        auto l = config::InterfaceEventListener::create(dirs_.private_data, kind, n);
        if (l) listeners_.push_back(std::move(*l));
    }
    listened_names_ = std::move(names);
}

bool QueueWork::drain_listeners() {
    bool any = false;
    for (auto& l : listeners_) any = l.drain() || any;
    return any;
}

void QueueWork::scan(uint64_t now) {
    auto add = [&](const std::string& path) { due_.try_emplace(path, now + settings_.delay_ms); };
    if (role_ == Role::Sms) {
        queue::for_each_queue_level(queue::ResolveOutboundSmsQueue(setup_), [&](const std::string& dir,
                                                                                 const std::string&) {
            fs::scan_directory(dir, "*.REQ", [&](std::string_view name, bool is_dir) {
                if (!is_dir) add(dir + std::string(name));
            });
        });
    } else {
        queue::for_each_queue_level(queue::ResolveOutboundMmsQueue(setup_), [&](const std::string& dir,
                                                                                 const std::string&) {
            queue::DirectoryIndex index(dir);
            fs::scan_directory(dir, "*.MMS", [&](std::string_view name, bool is_dir) {
                // A message file without its companion is not a complete
                // request yet.
                if (!is_dir && index.find(queue::companion_path(std::string(name)))) add(dir + std::string(name));
            });
        });
    }
}

void QueueWork::tick(bool woken) {
    if (!scanned_) refresh_listeners();
    woken = drain_listeners() || woken;
    uint64_t now = clock_.tick_ms();
    if (!scanned_ || woken || now >= next_scan_ || !due_.empty()) settings_ = read_settings(sim_root_, role_);
    if (!scanned_ || woken || now >= next_scan_) {
        // The interfaces follow Modem1 as it changes.
        refresh_listeners();
        scan(now);
        scanned_ = true;
        next_scan_ = now + settings_.scan_ms;
    }
    for (auto it = late_lines_.begin(); it != late_lines_.end();) {
        if (it->first > now) {
            ++it;
            continue;
        }
        append_log(it->second);
        it = late_lines_.erase(it);
    }
    size_t worked = 0;
    for (auto it = due_.begin(); it != due_.end() && worked < kMaxWorkPerTick;) {
        if (it->second > now) {
            ++it;
            continue;
        }
        ++worked;
        bool done = role_ == Role::Sms ? work_sms(it->first) : work_mms(it->first);
        if (done) {
            it = due_.erase(it);
        } else {
            it->second = now + settings_.delay_ms;
            ++it;
        }
    }
}

void QueueWork::append_log(const std::string& line) {
    std::string path = daily_log_path(dirs_, role_, clock_.local_now());
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    // One write: lines of the two services and of concurrent writers never
    // interleave.
    std::string text = line + "\r\n";
    while (::write(fd, text.data(), text.size()) < 0 && errno == EINTR) {
    }
    ::close(fd);
}

bool QueueWork::work_sms(const std::string& path) {
    std::string modem = modem1(ini_);
    // An off-line modem holds the queue, as the real service does.
    if (!modem.empty() && !service::read_modem_error(dirs_.private_data, modem).empty()) return false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return true;   // gone (sent elsewhere or withdrawn)
    queue::ParseSmsFile(fd, *rec_);
    ::close(fd);
    const queue::SmsFileRecord& r = *rec_;
    platform::LocalTime now = clock_.local_now();
    if (r.RetryCount == 0) bump_counter(dirs_.private_data, "SMSSUBMIT", now, 1);

    std::string result = "OK";
    if (r.PhoneNumber[0] == 0) {
        result = "ERROR: No phone number";
    } else if (settings_.fail) {
        if (settings_.fail_retries < 0 || r.RetryCount < settings_.fail_retries) {
            // Withdrawn meanwhile: nothing to retry (and no file to recreate).
            if (!fs::regular_file_exists(path)) return true;
            // The error text goes first: a reader that sees the new count
            // then always sees the reason with it.
            bool ok = ini::write_string(path, "ErrorDetail", "LastErrorInfo", ini_safe(settings_.fail_text)) &&
                      ini::write_string(path, "ErrorDetail", "RetryCount", std::to_string(next_count(r.RetryCount))) &&
                      ini::write_string(path, "ErrorDetail", "LastRetryTime", time_stamp(now));
            if (ok && r.RetryCount == 0) ini::write_string(path, "ErrorDetail", "FirstAttemptTime", time_stamp(now));
            bump_counter(dirs_.private_data, "SMSRETRY", now, 1);
            return false;
        }
        result = settings_.fail_text;
    }
    std::string line = time_text(now) + "," + log_field(message_id_of(path)) + "," + log_field(r.PhoneNumber) + "," +
                       log_field(modem) + "," + log_field(result);
    if (!settings_.log_after_delete) append_log(line);
    bump_counter(dirs_.private_data, result == "OK" ? "SMSSENT" : "SMSFAILED", now, 1);
    fs::remove_file(path);
    if (settings_.log_after_delete) late_lines_.emplace_back(clock_.tick_ms() + kLateLogMs, line);
    return true;
}

bool QueueWork::work_mms(const std::string& path) {
    if (!fs::regular_file_exists(path)) return true;
    std::string dir = fs::parent_directory(path);
    auto companion = queue::find_entry_ignoring_case(dir, fs::base_name(queue::companion_path(path)));
    if (!companion) return true;   // seen again by a scan once it has one
    // A route with a connection error holds its messages.
    std::string recip = ini::read_string(*companion, "Recipients", "Recip1", "", 500);
    auto type = config::find_ignoring_case(recip, "/TYPE=VASP:");
    std::string route = type ? recip.substr(*type + 11) : kRouteName;
    if (!service::read_modem_error(dirs_.private_data, route_error_name(route)).empty()) return false;
    queue::RoutingCompanion c = queue::ReadRoutingCompanion(*companion);
    std::string id = ini::read_string(*companion, "Routing", "MessageID", "", 500);
    if (id.empty()) id = message_id_of(path);
    platform::LocalTime now = clock_.local_now();
    if (c.retry_count == 0) bump_counter(dirs_.private_data, "MMSIN-VASP", now, 1);

    std::string result = "OK";
    if (c.recipients.empty()) {
        result = "ERROR: No recipients";
    } else if (settings_.fail) {
        if (settings_.fail_retries < 0 || c.retry_count < settings_.fail_retries) {
            if (!fs::regular_file_exists(*companion)) return true;
            if (ini::write_string(*companion, "Routing", "LastErrorInfo", ini_safe(settings_.fail_text)))
                ini::write_string(*companion, "Routing", "RetryCount", std::to_string(next_count(c.retry_count)));
            return false;
        }
        result = settings_.fail_text;
    }
    std::string recipients;
    for (const std::string& r : c.recipients) recipients += (recipients.empty() ? "" : " ") + r;
    std::string line = time_text(now) + ",MMSOUT,VASP," + log_field(c.sender) + "," + log_field(recipients) + "," +
                       log_field(result) + "," + log_field(id);
    if (!settings_.log_after_delete) append_log(line);
    if (result == "OK") bump_counter(dirs_.private_data, "MMSOUT-VASP", now, 1);
    // The message file first: a counted message always has its companion.
    fs::remove_file(path);
    fs::remove_file(*companion);
    if (settings_.log_after_delete) late_lines_.emplace_back(clock_.tick_ms() + kLateLogMs, line);
    return true;
}

}  // namespace ovr::gwsim
