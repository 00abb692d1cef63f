#include "config/support.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <vector>

#include "platform/fs.h"

namespace ovr::config {

// ------------------------------------------------------------- directories

std::string GetProgramDataDirectory() { return resolve_directories().program_data; }
std::string GetPrivateDataDirectory() { return resolve_directories().private_data; }
std::string GetRealProgramDirectory() { return resolve_directories().real_program; }

namespace {

struct IniNames {
    std::mutex mu;
    std::string rirer;
    std::string mmsc;
};

IniNames& ini_names() {
    static IniNames n;
    return n;
}

std::optional<gid_t> group_id(const std::string& name) {
    std::vector<char> buf(16384);
    group gr {};
    group* found = nullptr;
    while (getgrnam_r(name.c_str(), &gr, buf.data(), buf.size(), &found) == ERANGE && buf.size() < (1u << 20))
        buf.resize(buf.size() * 2);
    if (!found) return std::nullopt;
    return found->gr_gid;
}

// The owner's read and write bits copied to the group; search (x) too for
// directories and for files the owner may execute. Bits of others untouched.
mode_t with_group_access(mode_t mode, bool directory) {
    mode_t add = 0;
    if (mode & S_IRUSR) add |= S_IRGRP;
    if (mode & S_IWUSR) add |= S_IWGRP;
    if (mode & S_IXUSR) add |= S_IXGRP;
    if (directory) add |= S_IRGRP | S_IXGRP | S_ISGID;
    return (mode & 07777) | add;
}

// Applies the group to one opened entry.
bool grant_fd(int fd, gid_t gid, bool directory) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return false;
    bool ok = true;
    if (st.st_gid != gid && fchown(fd, static_cast<uid_t>(-1), gid) != 0) ok = false;
    mode_t want = with_group_access(st.st_mode, directory);
    if (want != (st.st_mode & 07777) && fchmod(fd, want) != 0) ok = false;
    return ok;
}

// Walks the tree below an opened directory without following links; depth
// is bounded so that no tree can exhaust the stack.
bool grant_tree(int dirfd, gid_t gid, int depth) {
    bool ok = grant_fd(dirfd, gid, true);
    if (depth > 32) return ok;
    int listfd = dup(dirfd);
    if (listfd < 0) return false;
    DIR* d = fdopendir(listfd);
    if (!d) {
        close(listfd);
        return false;
    }
    while (dirent* e = readdir(d)) {
        std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (fstatat(dirfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        // Devices, pipes and sockets are left alone: opening one may act.
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) continue;
        int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (S_ISDIR(st.st_mode) ? O_DIRECTORY : 0);
        int fd = openat(dirfd, e->d_name, flags);
        if (fd < 0) {
            ok = false;
            continue;
        }
        ok = (S_ISDIR(st.st_mode) ? grant_tree(fd, gid, depth + 1) : grant_fd(fd, gid, false)) && ok;
        close(fd);
    }
    closedir(d);
    return ok;
}

}  // namespace

bool grant_group_access(const std::string& directory, const std::string& group) {
    if (directory.empty()) return false;
    auto gid = group_id(group);
    if (!gid) return false;
    std::string dir = directory;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = grant_tree(fd, *gid, 0);
    close(fd);
    return ok;
}

void SetOvrinSMSTrustees(const std::string& directory) { grant_group_access(directory, kGatewayGroup); }

void SMSIniSetFilename(const std::string& path) {
    std::lock_guard lock(ini_names().mu);
    ini_names().rirer = path;
}

void MMSCIniSetFilename(const std::string& path) {
    std::lock_guard lock(ini_names().mu);
    ini_names().mmsc = path;
}

std::string SMSIniGetFilename() {
    std::lock_guard lock(ini_names().mu);
    return ini_names().rirer;
}

std::string MMSCIniGetFilename() {
    std::lock_guard lock(ini_names().mu);
    return ini_names().mmsc;
}

// ---------------------------------------------------------------- user file

bool open_user_file(const std::string& directory, uint32_t access, UserFileHandle& out) {
    out.reset();
    if (!(access & (kGenericRead | kGenericWrite))) return false;
    if (directory.empty() || !platform::fs::is_directory(directory)) return false;
    auto file = std::make_unique<RecordFile>(with_trailing_slash(directory) + kUserFileName, kUserRecordSize,
                                             (access & kGenericWrite) != 0);
    if (!file->readable()) return false;
    out = std::move(file);
    return true;
}

bool SMSOpenUserFile(UserFileHandle& out, uint32_t access) {
    return open_user_file(GetProgramDataDirectory(), access, out);
}

uint32_t SMSGetRecordCount(const UserFileHandle& file) {
    return file ? static_cast<uint32_t>(file->count()) : 0;
}

bool SMSGetUserRecord(const UserFileHandle& file, uint32_t index, UserRecord& out) {
    return file && file->get(index, out.bytes.data());
}

bool SMSFindUserRecord(const UserFileHandle& file, std::string_view name, UserRecord& out) {
    return file && file->find(name, out.bytes.data()).has_value();
}

int SMSFindFirstUserRecord(const UserFileHandle& file, std::string_view prefix, UserRecord& out) {
    if (!file) return -1;
    auto at = file->find_prefix(prefix, out.bytes.data());
    return at ? static_cast<int>(*at) : -1;
}

bool SMSAddUser(const UserFileHandle& file, const UserRecord& record) {
    return file && file->put(record.bytes.data());
}

bool SMSDeleteUser(const UserFileHandle& file, std::string_view name) { return file && file->remove(name); }

bool SMSDeleteUsers(const UserFileHandle& file, const std::vector<std::string>& names) {
    return file && file->remove_all(names);
}

void SMSCloseUserFile(UserFileHandle& file) { file.reset(); }

// -------------------------------------------------- MMSC accounts and routes

namespace {

RecordFile mmsc_file(const char* name, size_t size, bool writable) {
    return RecordFile(GetProgramDataDirectory() + name, size, writable);
}

}  // namespace

bool VASPFindUserRecord(std::string_view name, VaspRecord& out) {
    return mmsc_file(kVaspFileName, kVaspRecordSize, false).find(name, out.bytes.data()).has_value();
}

bool VASPAddUser(const VaspRecord& record) {
    return mmsc_file(kVaspFileName, kVaspRecordSize, true).put(record.bytes.data());
}

bool VASPDeleteUser(std::string_view name) { return mmsc_file(kVaspFileName, kVaspRecordSize, true).remove(name); }

bool VASPDeleteUsers(const std::vector<std::string>& names) {
    RecordFile file = mmsc_file(kVaspFileName, kVaspRecordSize, true);
    VaspRecord r;
    for (const std::string& n : names)
        if (file.find(n, r.bytes.data())) return file.remove_all(names);
    return true;
}

bool VASPOutFindUserRecord(std::string_view route, RouteRecord& out) {
    return mmsc_file(kVaspOutFileName, kRouteRecordSize, false).find(route, out.bytes.data()).has_value();
}

bool VASPOutAddUser(const RouteRecord& record) {
    return mmsc_file(kVaspOutFileName, kRouteRecordSize, true).put(record.bytes.data());
}

bool VASPOutDeleteUser(std::string_view route) {
    return mmsc_file(kVaspOutFileName, kRouteRecordSize, true).remove(route);
}

}  // namespace ovr::config
