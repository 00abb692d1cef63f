#include "config/record_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_set>

#include "config/records.h"
#include "config/text.h"
#include "platform/fs.h"

namespace ovr::config {
namespace {

// Exclusive advisory lock on ".<name>.lock" beside the record file. flock()
// locks belong to the open file description, so two handles of the same
// process exclude each other as two processes do.
class FileLock {
public:
    explicit FileLock(const std::string& path) {
        std::string lock_path = platform::fs::parent_directory(path) + "." + platform::fs::base_name(path) + ".lock";
        fd_ = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0660);
        if (fd_ < 0) return;
        while (flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

int compare_names(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(upper_char(a[i]));
        unsigned char y = static_cast<unsigned char>(upper_char(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}

}  // namespace

RecordFile::RecordFile(std::string path, size_t record_size, bool writable)
    : path_(std::move(path)), record_size_(record_size), writable_(writable) {}

RecordFile::Identity RecordFile::identity_of(const std::string& path, bool& ok) {
    Identity id;
    struct stat st {};
    ok = true;
    if (stat(path.c_str(), &st) != 0) {
        ok = errno == ENOENT || errno == ENOTDIR;
        return id;
    }
    id.present = true;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.size = static_cast<uint64_t>(st.st_size);
    id.mtime_sec = st.st_mtim.tv_sec;
    id.mtime_nsec = st.st_mtim.tv_nsec;
    id.ctime_sec = st.st_ctim.tv_sec;
    id.ctime_nsec = st.st_ctim.tv_nsec;
    return id;
}

RecordFile::Load RecordFile::load(std::string& data, Identity& id) const {
    bool ok = false;
    id = identity_of(path_, ok);
    data.clear();
    if (!ok) return Load::kBad;
    if (!id.present) return Load::kMissing;
    auto text = platform::fs::read_file(path_, kMaxFileBytes);
    if (!text) return Load::kBad;
    data = std::move(*text);
    data.resize(data.size() - data.size() % record_size_);
    return Load::kOk;
}

void RecordFile::refresh() {
    bool ok = false;
    Identity now = identity_of(path_, ok);
    if (valid_ && ok && now == id_) return;
    bad_ = load(data_, id_) == Load::kBad;
    valid_ = !bad_;
}

bool RecordFile::readable() {
    refresh();
    return !bad_;
}

size_t RecordFile::name_length(const char* rec) const { return strnlen(rec, std::min(record_size_, kRecordNameWidth)); }

size_t RecordFile::count() {
    refresh();
    return data_.size() / record_size_;
}

bool RecordFile::get(size_t index, uint8_t* out) {
    if (index >= count()) return false;
    std::memcpy(out, data_.data() + index * record_size_, record_size_);
    return true;
}

std::optional<size_t> RecordFile::find(std::string_view name, uint8_t* out) {
    if (name.empty()) return std::nullopt;
    size_t n = count();
    for (size_t i = 0; i < n; ++i) {
        const char* rec = data_.data() + i * record_size_;
        if (equal_ignoring_case(std::string_view(rec, name_length(rec)), name)) {
            std::memcpy(out, rec, record_size_);
            return i;
        }
    }
    return std::nullopt;
}

std::optional<size_t> RecordFile::find_prefix(std::string_view prefix, uint8_t* out) {
    size_t n = count();
    for (size_t i = 0; i < n; ++i) {
        const char* rec = data_.data() + i * record_size_;
        if (starts_with_ignoring_case(std::string_view(rec, name_length(rec)), prefix)) {
            std::memcpy(out, rec, record_size_);
            return i;
        }
    }
    return std::nullopt;
}

bool RecordFile::modify(const std::function<void(std::vector<std::string>&)>& change) {
    if (!writable_) return false;
    FileLock lock(path_);
    if (!lock.held()) return false;
    std::string data;
    Identity id;
    Load state = load(data, id);
    if (state == Load::kBad) return false;  // never replace what could not be read
    std::vector<std::string> records;
    records.reserve(data.size() / record_size_);
    for (size_t off = 0; off < data.size(); off += record_size_) records.push_back(data.substr(off, record_size_));
    change(records);
    if (state == Load::kMissing) {
        if (records.empty()) return true;
        // Accounts hold passwords: the file is created for its owner and the
        // gateway's group only; later replacements keep these permissions.
        int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) return false;
        bool ok = fchmod(fd, 0660) == 0;
        ok = close(fd) == 0 && ok;
        if (!ok) {
            unlink(path_.c_str());
            return false;
        }
    }
    std::stable_sort(records.begin(), records.end(), [this](const std::string& a, const std::string& b) {
        return compare_names(std::string_view(a.data(), name_length(a.data())),
                             std::string_view(b.data(), name_length(b.data()))) < 0;
    });
    std::string out;
    out.reserve(records.size() * record_size_);
    for (const auto& r : records) out += r;
    valid_ = false;
    return platform::fs::write_file_atomic(path_, out);
}

bool RecordFile::put(const uint8_t* record) {
    std::string rec(reinterpret_cast<const char*>(record), record_size_);
    // The name field always ends within its width, whatever the caller left.
    if (record_size_ >= kRecordNameWidth) rec[kRecordNameWidth - 1] = '\0';
    std::string name(rec.data(), name_length(rec.data()));
    if (name.empty()) return false;
    return modify([&](std::vector<std::string>& records) {
        std::erase_if(records, [&](const std::string& r) {
            return equal_ignoring_case(std::string_view(r.data(), name_length(r.data())), name);
        });
        records.push_back(rec);
    });
}

bool RecordFile::remove(std::string_view name) {
    if (name.empty()) return false;
    return modify([&](std::vector<std::string>& records) {
        std::erase_if(records, [&](const std::string& r) {
            return equal_ignoring_case(std::string_view(r.data(), name_length(r.data())), name);
        });
    });
}

namespace {
std::string ascii_lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lower_char(c);
    return out;
}
}  // namespace

bool RecordFile::remove_all(const std::vector<std::string>& names) {
    std::unordered_set<std::string> gone;
    for (const std::string& n : names)
        if (!n.empty()) gone.insert(ascii_lower(n));
    if (gone.empty()) return true;
    return modify([&](std::vector<std::string>& records) {
        std::erase_if(records, [&](const std::string& r) {
            return gone.count(ascii_lower(std::string_view(r.data(), name_length(r.data())))) != 0;
        });
    });
}

}  // namespace ovr::config
