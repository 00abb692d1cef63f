#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unordered_set>

namespace ovr::platform::fs {
namespace {

FileTime from_statx(const statx_timestamp& ts) { return {ts.tv_sec, ts.tv_nsec}; }

std::optional<FileTimes> times_of(int dirfd, const char* path, int flags) {
    struct statx sx {};
    if (statx(dirfd, path, flags, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return std::nullopt;
    FileTimes t;
    t.modification = from_statx(sx.stx_mtime);
    t.access = from_statx(sx.stx_atime);
    t.change = from_statx(sx.stx_ctime);
    t.creation = (sx.stx_mask & STATX_BTIME) ? from_statx(sx.stx_btime) : t.modification;
    return t;
}

bool write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

bool exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && lstat(path.c_str(), &st) == 0;
}

bool regular_file_exists(const std::string& path) {
    struct stat st {};
    if (path.empty()) return false;
    if (stat(path.c_str(), &st) == 0) return !S_ISDIR(st.st_mode);
    return lstat(path.c_str(), &st) == 0;  // a dangling link is an entry, not a directory
}

bool is_directory(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_symlink(const std::string& path) {
    struct stat st {};
    return !path.empty() && lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool wildcard_match(std::string_view pattern, std::string_view name) {
    // Iterative matcher with one backtrack point: linear in practice, and
    // never recursive however many stars the pattern holds.
    size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
    auto same = [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
    };
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<DirEntry> list_directory(const std::string& dir, std::string_view pattern) {
    std::vector<DirEntry> out;
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return out;
    int dfd = dirfd(d);
    while (dirent* e = readdir(d)) {
        std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        if (!wildcard_match(pattern, name)) continue;
        DirEntry entry;
        entry.name = std::string(name);
        struct statx sx {};
        if (statx(dfd, e->d_name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
            entry.is_symlink = S_ISLNK(sx.stx_mode);
            entry.is_directory = S_ISDIR(sx.stx_mode);
            entry.size = sx.stx_size;
            entry.times.modification = from_statx(sx.stx_mtime);
            entry.times.access = from_statx(sx.stx_atime);
            entry.times.change = from_statx(sx.stx_ctime);
            entry.times.creation = (sx.stx_mask & STATX_BTIME) ? from_statx(sx.stx_btime) : entry.times.modification;
        } else if (e->d_type == DT_DIR) {
            entry.is_directory = true;
        }
        out.push_back(std::move(entry));
    }
    closedir(d);
    return out;
}

bool scan_directory(const std::string& dir, std::string_view pattern,
                    const std::function<void(std::string_view name, bool is_directory)>& fn) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return false;
    int dfd = dirfd(d);
    while (dirent* e = readdir(d)) {
        std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        if (!wildcard_match(pattern, name)) continue;
        bool is_dir = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st {};
            is_dir = fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        fn(name, is_dir);
    }
    closedir(d);
    return true;
}

bool create_directory(const std::string& path) {
    if (path.empty()) return false;
    if (mkdir(path.c_str(), 0755) == 0) return true;
    return errno == EEXIST && is_directory(path);
}

bool create_directories(const std::string& path) {
    if (path.empty()) return false;
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty() || partial == "/") continue;
        if (!is_directory(partial) && !create_directory(partial)) return false;
    }
    return true;
}

std::optional<FileTimes> file_times(const std::string& path) { return times_of(AT_FDCWD, path.c_str(), 0); }

std::optional<uint64_t> file_size(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}

bool remove_file(const std::string& path) { return unlink(path.c_str()) == 0; }

bool remove_empty_directory(const std::string& path) { return rmdir(path.c_str()) == 0; }

bool rename_entry(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

namespace {

struct Level {
    dev_t dev;
    ino_t ino;
    std::string name;                   // in its parent (empty for the root)
    std::unordered_set<ino_t> left;     // subdirectories that could not be removed
};

// Opens a directory entry without following a link at its end.
int open_directory_at(int dirfd, const char* name) {
    return openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Removes the plain entries of the open directory and names the first
// subdirectory still to descend into ("" when none is left).
std::string clear_level(int fd, Level& level) {
    int scan = dup(fd);
    if (scan < 0) return {};
    DIR* d = fdopendir(scan);
    if (!d) {
        close(scan);
        return {};
    }
    std::string descend;
    while (dirent* e = readdir(d)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        bool is_dir = e->d_type == DT_DIR;
        ino_t ino = e->d_ino;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st {};
            if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            is_dir = S_ISDIR(st.st_mode);
            ino = st.st_ino;
        }
        if (!is_dir) {
            unlinkat(fd, name, 0);  // a link goes, never what it names
        } else if (name[0] != '.' && !level.left.count(ino)) {
            descend = name;
            break;
        }
    }
    closedir(d);
    return descend;
}

}  // namespace

bool recursive_delete(const std::string& dir) {
    if (dir.empty()) return true;
    // A longer path would not fit the services' room: refusing it is safer
    // than acting on a cut path, which names another directory.
    if (dir.size() > kMaxPathChars) return false;
    std::string base = dir;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    // The tree itself may be a link: remove the link, never what it points to.
    struct stat top {};
    if (lstat(base.c_str(), &top) != 0) return true;
    if (!S_ISDIR(top.st_mode)) return S_ISLNK(top.st_mode) && unlink(base.c_str()) == 0;
    int fd = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_dev != top.st_dev || st.st_ino != top.st_ino) {
        close(fd);
        return false;  // replaced between the look and the open
    }
    // Depth-first over descriptors, one open at a time however deep the tree:
    // each level is entered by name with O_NOFOLLOW and left through "..",
    // checked against the device and inode it was entered from, so no path
    // is ever rebuilt and a directory moved meanwhile stops the walk.
    std::vector<Level> levels;
    levels.push_back(Level{st.st_dev, st.st_ino, {}, {}});
    bool intact = true;
    for (;;) {
        std::string sub = clear_level(fd, levels.back());
        if (!sub.empty()) {
            int child = open_directory_at(fd, sub.c_str());
            struct stat cs {};
            if (child < 0 || fstat(child, &cs) != 0) {
                if (child >= 0) close(child);
                struct stat ls {};
                if (fstatat(fd, sub.c_str(), &ls, AT_SYMLINK_NOFOLLOW) == 0) levels.back().left.insert(ls.st_ino);
                else intact = false;
                continue;
            }
            close(fd);
            fd = child;
            levels.push_back(Level{cs.st_dev, cs.st_ino, sub, {}});
            continue;
        }
        if (levels.size() == 1) break;
        Level done = std::move(levels.back());
        levels.pop_back();
        int parent = open_directory_at(fd, "..");
        struct stat ps {};
        close(fd);
        fd = parent;
        if (parent < 0 || fstat(parent, &ps) != 0 || ps.st_dev != levels.back().dev ||
            ps.st_ino != levels.back().ino) {
            intact = false;
            break;
        }
        if (unlinkat(fd, done.name.c_str(), AT_REMOVEDIR) != 0) levels.back().left.insert(done.ino);
    }
    if (fd >= 0) close(fd);
    if (!intact) return false;
    return rmdir(base.c_str()) == 0;
}

std::optional<std::string> read_file(const std::string& path, uint64_t max_bytes) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > max_bytes) {
        close(fd);
        return std::nullopt;
    }
    std::string data;
    // Room for a little growth up front: growing a full buffer would copy
    // it, and a large file would cost twice its size at the peak.
    data.reserve(static_cast<size_t>(std::min<uint64_t>(max_bytes, static_cast<uint64_t>(st.st_size) + 65536)));
    data.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    for (;;) {
        if (got == data.size()) {
            // The file may have grown since fstat; read on, within the bound.
            // A small look first: growing the buffer copies all of it.
            if (data.size() >= max_bytes) break;
            char more[4096];
            ssize_t r = ::read(fd, more, static_cast<size_t>(std::min<uint64_t>(sizeof more, max_bytes - got)));
            if (r < 0) {
                if (errno == EINTR) continue;
                close(fd);
                return std::nullopt;
            }
            if (r == 0) break;
            data.append(more, static_cast<size_t>(r));
            got += static_cast<size_t>(r);
            continue;
        }
        ssize_t r = ::read(fd, data.data() + got, data.size() - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return std::nullopt;
        }
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    close(fd);
    data.resize(got);
    return data;
}

bool write_file_atomic(const std::string& path, std::string_view data) {
    std::string dir = parent_directory(path);
    std::string tmpl = dir + "." + base_name(path) + ".XXXXXX";
    int fd = mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return false;
    struct stat old {};
    mode_t mode;
    if (stat(path.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) {
            close(fd);
            unlink(tmpl.c_str());
            return false;
        }
        mode = old.st_mode & 07777;
        // Keep the owner where we may (root writing a service's file).
        if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        }
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0644 & ~mask;
    }
    bool ok = fchmod(fd, mode) == 0 && write_all(fd, data.data(), data.size());
    // A modification time with the clock's full precision rather than the
    // file system's coarse tick, so that readers keyed on it tell two quick
    // writes of the same size apart.
    timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    clock_gettime(CLOCK_REALTIME, &times[1]);
    ok = ok && futimens(fd, times) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) ok = ::rename(tmpl.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(tmpl.c_str());
        return false;
    }
    int dfd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return true;
}

std::string parent_directory(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string base_name(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace ovr::platform::fs
