// File-system operations of the console. They work on the real file system in
// both backends: tests and the simulated platform use scratch directories.
// Names given to the console in capitals (RIRER.INI, *.REQ) are matched
// without regard to letter case wherever a directory is searched.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovr::platform::fs {

// Seconds and nanoseconds since 1970-01-01 UTC.
struct FileTime {
    int64_t sec = 0;
    int64_t nsec = 0;
    friend bool operator==(const FileTime&, const FileTime&) = default;
};

struct FileTimes {
    FileTime creation;      // birth time where the file system keeps one, else modification
    FileTime modification;
    FileTime access;
    FileTime change;        // inode change time
};

struct DirEntry {
    std::string name;
    bool is_directory = false;
    bool is_symlink = false;
    uint64_t size = 0;
    FileTimes times;
};

// True when an entry of any kind (file, directory, link, even a dangling one)
// stands at the path.
bool exists(const std::string& path);
// True when the entry exists and is not a directory.
bool regular_file_exists(const std::string& path);
bool is_directory(const std::string& path);
// True when the entry itself is a symbolic link.
bool is_symlink(const std::string& path);

// "*" and "?" wildcards, letters compared without regard to case.
bool wildcard_match(std::string_view pattern, std::string_view name);

// Entries of a directory (never "." or "..") whose names match the pattern.
// An unreadable or missing directory gives an empty list.
std::vector<DirEntry> list_directory(const std::string& dir, std::string_view pattern = "*");

// Calls fn for each entry of a directory (never "." or "..") whose name
// matches the pattern, in listing order, telling whether it is a directory (a
// link is not). Cheaper than list_directory: no times, and no per-entry stat
// unless the file system leaves the entry's type open. False when the
// directory cannot be opened.
bool scan_directory(const std::string& dir, std::string_view pattern,
                    const std::function<void(std::string_view name, bool is_directory)>& fn);

// Creates one directory; true when it was created or already exists.
bool create_directory(const std::string& path);
// Creates the directory and every missing parent.
bool create_directories(const std::string& path);

std::optional<FileTimes> file_times(const std::string& path);
std::optional<uint64_t> file_size(const std::string& path);

bool remove_file(const std::string& path);
// Removes a directory only when it is empty.
bool remove_empty_directory(const std::string& path);
bool rename_entry(const std::string& from, const std::string& to);

// The longest path the services can hold (their buffers are one longer).
inline constexpr size_t kMaxPathChars = 260;

// Deletes D and what it holds: files and links are removed (a link is never
// followed), directories whose names do not begin with "." are deleted in
// turn, dot-named directories are left alone. A directory that is not empty
// afterwards stays. Works through directory descriptors, so any depth is
// deleted; a D longer than kMaxPathChars is refused whole. True when D is
// gone (or was never there); callers that follow the services ignore it.
bool recursive_delete(const std::string& dir);

// Reads a whole regular file; nothing when it is missing, unreadable, a link,
// not a regular file (a fifo is never waited on) or larger than max_bytes.
std::optional<std::string> read_file(const std::string& path, uint64_t max_bytes = 64u << 20);

// Replaces the file with the data: written beside it under a temporary name,
// flushed, given the old file's permissions, then renamed over it, so a crash
// leaves the old file or the new one. New files get mode 0644 less the umask.
bool write_file_atomic(const std::string& path, std::string_view data);

// The directory part of a path, with its trailing "/" ("" when there is none).
std::string parent_directory(const std::string& path);
// The last component of a path.
std::string base_name(const std::string& path);

}  // namespace ovr::platform::fs
