// The simulated application log: one record a line,
//   number TAB time TAB type TAB source {TAB insertion string}
// with backslash, tab, CR and LF escaped inside the texts. Appends and
// clears are serialised by an advisory lock on the file itself.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/event_log.h"
#include "platform/fs.h"

namespace ovr::platform {
namespace {

// A full log takes no more records, like a log at its maximum size.
constexpr uint64_t kMaxLogBytes = 16u << 20;

std::string escape(const std::string& s) {
    std::string o;
    for (char c : s) {
        switch (c) {
            case '\\': o += "\\\\"; break;
            case '\t': o += "\\t"; break;
            case '\n': o += "\\n"; break;
            case '\r': o += "\\r"; break;
            default: o += c;
        }
    }
    return o;
}

std::string unescape(const std::string& s) {
    std::string o;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            o += s[i];
            continue;
        }
        char n = s[++i];
        o += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
    }
    return o;
}

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> f;
    size_t pos = 0;
    while (true) {
        size_t t = line.find('\t', pos);
        f.push_back(line.substr(pos, t == std::string::npos ? std::string::npos : t - pos));
        if (t == std::string::npos) break;
        pos = t + 1;
    }
    return f;
}

std::optional<EventRecord> parse_line(const std::string& line) {
    auto f = split_tabs(line);
    if (f.size() < 4) return std::nullopt;
    EventRecord r;
    r.number = static_cast<uint32_t>(strtoul(f[0].c_str(), nullptr, 10));
    if (r.number == 0) return std::nullopt;
    LocalTime t;
    if (sscanf(f[1].c_str(), "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second) != 6)
        return std::nullopt;
    r.time = t;
    int type = atoi(f[2].c_str());
    r.type = type == 1 ? EventType::Error : type == 2 ? EventType::Warning : EventType::Information;
    r.source = unescape(f[3]);
    for (size_t i = 4; i < f.size(); ++i) r.strings.push_back(unescape(f[i]));
    return r;
}

class Locked {
public:
    explicit Locked(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_APPEND, 0644);
        if (fd_ >= 0) flock(fd_, LOCK_EX);
    }
    ~Locked() {
        if (fd_ >= 0) ::close(fd_);
    }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

std::optional<std::vector<EventRecord>> load(const std::string& path) {
    if (!fs::exists(path)) return std::vector<EventRecord>{};
    auto text = fs::read_file(path, kMaxLogBytes);
    if (!text) return std::nullopt;
    std::vector<EventRecord> out;
    size_t pos = 0;
    while (pos < text->size()) {
        size_t nl = text->find('\n', pos);
        if (nl == std::string::npos) break;   // a record still being written
        if (auto r = parse_line(text->substr(pos, nl - pos))) out.push_back(std::move(*r));
        pos = nl + 1;
    }
    return out;
}

class SimLogHandle final : public EventLogHandle {
public:
    explicit SimLogHandle(std::string path) : path_(std::move(path)) {}

    std::optional<uint32_t> oldest_record() override {
        auto recs = load(path_);
        if (!recs) return std::nullopt;
        return recs->empty() ? 0u : recs->front().number;
    }
    std::optional<uint32_t> record_count() override {
        auto recs = load(path_);
        if (!recs) return std::nullopt;
        return static_cast<uint32_t>(recs->size());
    }
    std::optional<std::vector<EventRecord>> read_forward(uint32_t first, size_t max_bytes) override {
        auto recs = load(path_);
        if (!recs) return std::nullopt;
        std::vector<EventRecord> out;
        size_t used = 0;
        for (auto& r : *recs) {
            if (r.number < first) continue;
            size_t n = event_record_size(r);
            if (!out.empty() && used + n > max_bytes) break;
            if (out.empty() && n > max_bytes) break;
            used += n;
            out.push_back(std::move(r));
        }
        return out;
    }
    bool clear() override {
        Locked lock(path_);
        return lock.fd() >= 0 && ftruncate(lock.fd(), 0) == 0;
    }

private:
    std::string path_;
};

class SimEventLog final : public EventLog {
public:
    explicit SimEventLog(std::string root) : dir_(root + "eventlog/") {}

    std::unique_ptr<EventLogHandle> open_application(const std::string&) override {
        if (!fs::create_directories(dir_)) return nullptr;
        return std::make_unique<SimLogHandle>(path());
    }

    uint32_t report(EventType type, const std::string& source, const std::vector<std::string>& strings,
                    const LocalTime& when) override {
        if (!fs::create_directories(dir_)) return 0;
        Locked lock(path());
        if (lock.fd() < 0) return 0;
        auto recs = load(path());
        if (!recs) return 0;
        uint32_t number = recs->empty() ? 1 : recs->back().number + 1;
        char t[64];
        snprintf(t, sizeof t, "%04d-%02d-%02d %02d:%02d:%02d", when.year, when.month, when.day, when.hour,
                 when.minute, when.second);
        std::string line = std::to_string(number) + "\t" + t + "\t" + std::to_string(static_cast<int>(type)) + "\t" +
                           escape(source);
        for (const auto& s : strings) line += "\t" + escape(s);
        line += "\n";
        return ::write(lock.fd(), line.data(), line.size()) == static_cast<ssize_t>(line.size()) ? number : 0;
    }

private:
    std::string path() const { return dir_ + "Application.log"; }
    std::string dir_;
};

}  // namespace

std::shared_ptr<EventLog> make_sim_event_log(const std::string& root) {
    std::string r = root;
    if (!r.empty() && r.back() != '/') r += '/';
    return std::make_shared<SimEventLog>(r);
}

}  // namespace ovr::platform
