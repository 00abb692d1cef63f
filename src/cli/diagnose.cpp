#include "cli/diagnose.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "config/ini.h"
#include "config/support.h"
#include "platform/fs.h"

namespace ovr::cli {
namespace {

std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool has_line_break(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

}  // namespace

std::optional<std::string> unreadable_reason(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return "no such file: " + path;
        return "cannot read " + path + ": " + std::strerror(errno);
    }
    if (!S_ISREG(st.st_mode)) return path + " is not a regular file";
    if (static_cast<uint64_t>(st.st_size) > config::ini::kMaxFileBytes) return path + " is larger than 64 MiB";
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return "cannot read " + path + ": " + std::strerror(errno);
    close(fd);
    return std::nullopt;
}

std::string unwritable_reason(const std::string& path) {
    std::string dir = platform::fs::parent_directory(path);
    if (dir.empty()) dir = ".";
    const std::string head = "cannot write " + path + ": ";
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return head + "no such directory " + dir;
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return head + "it is a directory";
        if (!S_ISREG(st.st_mode)) return head + "not a regular file";
        if (access(path.c_str(), R_OK) != 0) return head + "cannot read it: " + std::strerror(errno);
        if (access(path.c_str(), W_OK) != 0) return head + std::strerror(errno);
        if (st.st_size > static_cast<off_t>(64) << 20) return head + "the file is over 64 MiB";
    }
    // Writes go through a temporary file and a lock file beside it.
    if (access(dir.c_str(), W_OK | X_OK) != 0) return head + "directory " + dir + ": " + std::strerror(errno);
    return head + "the write was refused";
}

int ensure_data_directory(Context& ctx) {
    const std::string& dir = ctx.dirs.program_data;
    if (dir.empty()) return failure(ctx, "no program data directory; set OVRINSMS_DATA_DIR");
    if (platform::fs::is_directory(dir)) return 0;
    if (!platform::fs::create_directories(dir)) {
        int e = errno;
        return failure(ctx, "cannot create the program data directory " + dir + ": " + std::strerror(e) +
                                " (set OVRINSMS_DATA_DIR to choose another)");
    }
    std::string bare = dir;
    while (bare.size() > 1 && bare.back() == '/') bare.pop_back();
    config::SetOvrinSMSTrustees(bare);
    return 0;
}

std::optional<std::string> ini_name_refusal(const std::string& section, const std::string* key) {
    if (trimmed(section).empty()) return "section name must not be empty";
    if (has_line_break(section)) return "section name must not contain a line break";
    if (section.find(']') != std::string::npos) return "section name must not contain \"]\"";
    if (!key) return std::nullopt;
    std::string k = trimmed(*key);
    if (k.empty()) return "key must not be empty";
    if (has_line_break(k)) return "key must not contain a line break";
    if (k.find('=') != std::string::npos) return "key must not contain \"=\"";
    if (k[0] == '[' || k[0] == ';') return "key must not begin with \"[\" or \";\"";
    return std::nullopt;
}

std::optional<std::string> ini_value_refusal(const char* what, const std::string& value) {
    if (has_line_break(value)) return std::string(what) + " must not contain a line break";
    return std::nullopt;
}

}  // namespace ovr::cli
