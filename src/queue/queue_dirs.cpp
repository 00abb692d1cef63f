#include "queue/queue_dirs.h"

#include "config/ini.h"
#include "config/text.h"
#include "platform/fs.h"

namespace ovr::queue {
namespace fs = platform::fs;
namespace {

// A setting read into a buffer of kMaxPath characters, as the services do.
std::string read_dir_setting(const std::string& ini, std::string_view section, std::string_view key) {
    return config::ini::read_string(ini, section, key, "", kMaxPath);
}

// Empty setting: the default under the program data directory, created when
// asked; otherwise the configured directory, used as written.
std::string resolve(const QueueSetup& q, const std::string& ini, std::string_view section, std::string_view key,
                    const char* default_name, bool create_default) {
    std::string dir = read_dir_setting(ini, section, key);
    if (dir.empty()) {
        dir = q.dirs.program_data + default_name;
        if (create_default && !fs::exists(dir)) fs::create_directory(dir);
    }
    if (dir.back() != '/') dir += '/';
    return dir;
}

}  // namespace

QueueSetup make_queue_setup(const config::Directories& dirs, const config::IniPaths& ini) { return {dirs, ini}; }

std::string ResolveOutboundSmsQueue(const QueueSetup& q, std::string_view subdirectory) {
    std::string dir = resolve(q, q.ini.rirer, "RIRER", "QDir", "Q", true);
    if (subdirectory.empty()) return dir;
    std::string name;
    for (char c : subdirectory) name += (c == ':' || c == '/' || c == '\\') ? '-' : c;
    // "." and ".." would name the queue or its parent, not a subdirectory;
    // a name past the path room would be cut by the services.
    if (name == "." || name == ".." || dir.size() + name.size() + 1 > fs::kMaxPathChars) return dir;
    std::string sub = dir + name;
    if (!fs::exists(sub)) fs::create_directory(sub);
    // A link planted in the queue is not a subdirectory of it.
    if (!fs::is_directory(sub) || fs::is_symlink(sub)) return dir;
    return sub + '/';
}

std::string ResolveReceivedSmsDirectory(const QueueSetup& q) {
    return resolve(q, q.ini.rirer, "RIRER", "SmsInDir", "SMS-IN/", false);
}

std::string ResolveReceivedMmsDirectory(const QueueSetup& q) {
    return resolve(q, q.ini.rirer, "RIRER", "MMSDir", "MMS-IN", true);
}

std::string ResolveOutboundMmsQueue(const QueueSetup& q) {
    return resolve(q, q.ini.mmsc, "MMSC", "VASPQDir", "VASPQ", true);
}

QueueCountText queue_count_text(const QueueSetup& q, unsigned count) {
    uint32_t threshold = config::leading_decimal(config::ini::read_string(q.ini.rirer, "RIRER", "AlertEMailQueueSize", "100"));
    return {count, count == 0 ? std::string("Empty") : std::to_string(count), threshold != 0 && count > threshold};
}

bool list_subdirectories(const std::string& base, std::vector<std::string>& names) {
    return fs::scan_directory(base, "*", [&](std::string_view name, bool is_dir) {
        if (is_dir) names.emplace_back(name);
    });
}

std::optional<std::string> find_entry_ignoring_case(const std::string& dir, const std::string& name) {
    if (name.empty()) return std::nullopt;
    if (fs::exists(dir + name)) return dir + name;
    std::optional<std::string> found;
    fs::scan_directory(dir, name, [&](std::string_view entry, bool) {
        if (!found && config::equal_ignoring_case(entry, name)) found = dir + std::string(entry);
    });
    return found;
}

DirectoryIndex::DirectoryIndex(const std::string& dir) {
    fs::scan_directory(dir, "*", [&](std::string_view name, bool) {
        by_upper_.try_emplace(config::to_upper(name), std::string(name));
    });
}

std::optional<std::string> DirectoryIndex::find(std::string_view name) const {
    auto it = by_upper_.find(config::to_upper(name));
    if (it == by_upper_.end()) return std::nullopt;
    return it->second;
}

std::string companion_path(const std::string& message_path) {
    size_t dot = message_path.rfind('.');
    size_t slash = message_path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return message_path + ".INI";
    return message_path.substr(0, dot + 1) + "INI";
}

// Subdirectories are walked under their real names: a name the resolver
// would rewrite (one holding ":" or "\" on this file system) must still be
// counted where its files are, and no stray rewritten directory made.
unsigned CountOutboundSms(const QueueSetup& q) {
    unsigned count = 0;
    for_each_queue_level(ResolveOutboundSmsQueue(q), [&](const std::string& dir, const std::string&) {
        fs::scan_directory(dir, "*.REQ", [&](std::string_view, bool is_dir) {
            if (!is_dir) ++count;
        });
    });
    return count;
}

unsigned CountOutboundMms(const QueueSetup& q) {
    unsigned count = 0;
    for_each_queue_level(ResolveOutboundMmsQueue(q), [&](const std::string& dir, const std::string&) {
        DirectoryIndex index(dir);
        fs::scan_directory(dir, "*.MMS", [&](std::string_view name, bool is_dir) {
            if (!is_dir && index.find(companion_path(std::string(name)))) ++count;
        });
    });
    return count;
}

}  // namespace ovr::queue
