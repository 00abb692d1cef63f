// The four message directories shared with the services, and the two queue
// counts of the Status page. Every directory is used one level deep: the
// directory itself and each immediate subdirectory hold message files alike.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/directories.h"

namespace ovr::queue {

// Where the queue settings and the default directories come from.
struct QueueSetup {
    config::Directories dirs;
    config::IniPaths ini;
};

QueueSetup make_queue_setup(const config::Directories& dirs, const config::IniPaths& ini);

// Room of a path buffer, terminator excluded.
inline constexpr size_t kMaxPath = 260;

// The outbound SMS queue (RIRER.INI [RIRER] QDir, default program data + "Q",
// created when missing), ending with "/". With a subdirectory name, that
// immediate subdirectory (":" "/" "\" replaced by "-"), created when missing,
// or the queue itself when it cannot be had.
std::string ResolveOutboundSmsQueue(const QueueSetup& q, std::string_view subdirectory = {});
// RIRER.INI [RIRER] SmsInDir, default program data + "SMS-IN/" (never created).
std::string ResolveReceivedSmsDirectory(const QueueSetup& q);
// RIRER.INI [RIRER] MMSDir, default program data + "MMS-IN" (created).
std::string ResolveReceivedMmsDirectory(const QueueSetup& q);
// MMSC.INI [MMSC] VASPQDir, default program data + "VASPQ" (created).
std::string ResolveOutboundMmsQueue(const QueueSetup& q);

// "*.REQ" files in the outbound SMS queue and its immediate subdirectories.
unsigned CountOutboundSms(const QueueSetup& q);
// "*.MMS" files there whose routing companion exists.
unsigned CountOutboundMms(const QueueSetup& q);

// A queue count as the Status page shows it: "%u", or "Empty" for 0; red
// when AlertEMailQueueSize of RIRER.INI [RIRER] (default 100) is not 0 and
// the count exceeds it.
struct QueueCountText {
    unsigned count = 0;
    std::string text;
    bool red = false;
};
QueueCountText queue_count_text(const QueueSetup& q, unsigned count);

// The routing companion of an MMS message file: the path cut after its last
// "." with "INI" appended.
std::string companion_path(const std::string& message_path);

// The path of an entry named `name` in `dir`, matched without regard to
// letter case (the exact spelling first); nothing when there is none.
std::optional<std::string> find_entry_ignoring_case(const std::string& dir, const std::string& name);

// The names of one directory, looked up without regard to letter case: one
// listing serves every companion lookup of a queue level.
class DirectoryIndex {
public:
    explicit DirectoryIndex(const std::string& dir);
    // The entry's real name, or nothing.
    std::optional<std::string> find(std::string_view name) const;

private:
    std::unordered_map<std::string, std::string> by_upper_;
};

// Calls fn(directory path ending "/", relative prefix) for the base directory
// (prefix "") and then each immediate subdirectory (prefix "name/"), in
// listing order. False when the base cannot be listed.
template <typename Fn>
bool for_each_queue_level(const std::string& base, Fn&& fn);

// Implementation detail of for_each_queue_level.
bool list_subdirectories(const std::string& base, std::vector<std::string>& names);

template <typename Fn>
bool for_each_queue_level(const std::string& base, Fn&& fn) {
    std::vector<std::string> names;
    if (!list_subdirectories(base, names)) return false;
    fn(base, std::string());
    for (const std::string& n : names) fn(base + n + "/", n + "/");
    return true;
}

}  // namespace ovr::queue
