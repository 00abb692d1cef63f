// The host's event log: the gateway's entries of the systemd journal, read
// through sd-journal and presented as numbered application-log records.
#include "platform/event_log.h"

#include <sys/stat.h>
#include <sys/uio.h>
#include <systemd/sd-journal.h>

#include <cstdlib>
#include <mutex>

#include "platform/dynlib.h"
#include "platform/fs.h"

namespace ovr::platform {
namespace {

constexpr const char* kGatewaySource = "OvrinSMS";
constexpr const char* kMarkFile = "EVENTLOG.CUR";
// A cursor is about 120 characters; anything much longer is not one.
constexpr size_t kMaxCursor = 1024;
// One event's text, as much as an application-log insertion string holds.
constexpr size_t kMaxMessage = 32768;

const char* const kMatches[][2] = {{"SYSLOG_IDENTIFIER=OvrinSMS", "SYSLOG_IDENTIFIER=OvrinMMSC"},
                                   {"_SYSTEMD_UNIT=OvrinSMS.service", "_SYSTEMD_UNIT=OvrinMMSC.service"}};

// Where the clear mark hides up to: the newest gateway entry at the time.
struct Mark {
    std::string cursor;
    uint64_t realtime = 0;
};

std::optional<Mark> read_mark(const std::string& path) {
    auto text = fs::read_file(path, 4096);
    if (!text) return std::nullopt;
    size_t nl = text->find('\n');
    if (nl == 0 || nl == std::string::npos || nl > kMaxCursor) return std::nullopt;
    Mark m;
    m.cursor = text->substr(0, nl);
    for (unsigned char c : m.cursor)
        if (c < 0x21 || c > 0x7e) return std::nullopt;
    m.realtime = std::strtoull(text->c_str() + nl + 1, nullptr, 10);
    return m;
}

// The entry last handed out, so numbering survives the journal dropping
// its oldest entries between two opens.
struct Anchor {
    std::string cursor;
    uint64_t realtime = 0;
    uint32_t number = 0;
};

struct Shared {
    std::mutex mutex;
    std::optional<Anchor> anchor;
};

std::string cursor_of(sd_journal* j) {
    char* c = nullptr;
    if (sd_journal_get_cursor(j, &c) < 0 || !c) return {};
    std::string s(c);
    free(c);
    return s;
}

uint64_t realtime_of(sd_journal* j) {
    uint64_t t = 0;
    return sd_journal_get_realtime_usec(j, &t) < 0 ? 0 : t;
}

std::string field(sd_journal* j, const char* name) {
    const void* data = nullptr;
    size_t len = 0;
    if (sd_journal_get_data(j, name, &data, &len) < 0) return {};
    size_t skip = std::char_traits<char>::length(name) + 1;  // "NAME="
    if (len < skip) return {};
    return std::string(static_cast<const char*>(data) + skip, len - skip);
}

EventType type_of_priority(const std::string& p) {
    if (p.size() != 1 || p[0] < '0' || p[0] > '7') return EventType::Information;
    if (p[0] <= '3') return EventType::Error;  // emerg, alert, crit, err
    return p[0] == '4' ? EventType::Warning : EventType::Information;
}

std::string cut_message(std::string m) {
    if (m.size() > kMaxMessage) {
        size_t n = kMaxMessage;
        while (n > 0 && (static_cast<unsigned char>(m[n]) & 0xc0) == 0x80) --n;  // whole characters
        m.resize(n);
    }
    for (char& c : m)
        if (c == '\0') c = ' ';
    return m;
}

class JournalHandle final : public EventLogHandle {
public:
    JournalHandle(sd_journal* j, std::shared_ptr<Shared> shared, std::string mark_path)
        : j_(j), shared_(std::move(shared)), mark_path_(std::move(mark_path)) {}
    ~JournalHandle() override { sd_journal_close(j_); }

    // Counts the visible entries and fixes their numbering; false when the
    // journal cannot be walked.
    bool survey() {
        mark_ = read_mark(mark_path_);
        std::optional<Anchor> anchor;
        {
            std::lock_guard lock(shared_->mutex);
            anchor = shared_->anchor;
        }
        int r = to_first_visible();
        if (r < 0) return false;
        uint64_t first_realtime = r > 0 ? realtime_of(j_) : 0;
        uint32_t found_at = 0;
        while (r > 0) {
            ++count_;
            if (anchor && !found_at && realtime_of(j_) == anchor->realtime &&
                sd_journal_test_cursor(j_, anchor->cursor.c_str()) > 0)
                found_at = count_;
            r = sd_journal_next(j_);
        }
        if (r < 0) return false;
        // The walk leaves the journal on the newest visible entry.
        pos_ = count_;
        if (anchor && found_at && anchor->number >= found_at)
            offset_ = anchor->number - found_at;
        else if (anchor && count_ > 0 && first_realtime > anchor->realtime)
            offset_ = anchor->number;  // everything up to the anchor is gone
        return true;
    }

    std::optional<uint32_t> oldest_record() override { return count_ ? offset_ + 1 : 0; }
    std::optional<uint32_t> record_count() override { return count_; }

    std::optional<std::vector<EventRecord>> read_forward(uint32_t first, size_t max_bytes) override {
        std::vector<EventRecord> out;
        uint32_t want = first > offset_ ? first - offset_ : 1;
        if (pos_ == 0) {
            // Nothing was visible at the survey: look again from the start.
            int r = to_first_visible();
            if (r < 0) return std::nullopt;
            if (r == 0) return out;
            pos_ = 1;
        }
        if (want > pos_) {
            int r = sd_journal_next_skip(j_, want - pos_);
            if (r < 0) return std::nullopt;
            pos_ += static_cast<uint32_t>(r);
            if (pos_ < want) return out;
        } else if (want < pos_) {
            int r = sd_journal_previous_skip(j_, pos_ - want);
            if (r < 0) return std::nullopt;
            pos_ -= static_cast<uint32_t>(r);
            if (pos_ != want) return std::nullopt;
        }
        size_t used = 0;
        std::string last_cursor;
        uint64_t last_realtime = 0;
        while (true) {
            EventRecord rec;
            rec.number = offset_ + pos_;
            uint64_t rt = realtime_of(j_);
            rec.time = local_time_at(static_cast<int64_t>(rt / 1000000), static_cast<int>(rt / 1000 % 1000));
            rec.type = type_of_priority(field(j_, "PRIORITY"));
            rec.source = kGatewaySource;
            rec.strings.push_back(cut_message(field(j_, "MESSAGE")));
            size_t n = event_record_size(rec);
            if (out.empty() ? n > max_bytes : used + n > max_bytes) break;
            used += n;
            out.push_back(std::move(rec));
            last_cursor = cursor_of(j_);
            last_realtime = rt;
            int r = sd_journal_next(j_);
            if (r < 0) {
                if (out.empty()) return std::nullopt;
                break;
            }
            if (r == 0) break;
            ++pos_;
        }
        if (!out.empty() && !last_cursor.empty()) {
            std::lock_guard lock(shared_->mutex);
            shared_->anchor = Anchor{last_cursor, last_realtime, out.back().number};
        }
        return out;
    }

    bool clear() override {
        // The journal keeps every program's entries: mark the newest of the
        // gateway's and hide everything up to it.
        if (sd_journal_seek_tail(j_) < 0) return false;
        int r = sd_journal_previous(j_);
        pos_ = 0;  // the journal no longer sits where the survey left it
        if (r < 0) return false;
        {
            std::lock_guard lock(shared_->mutex);
            shared_->anchor.reset();
        }
        count_ = offset_ = 0;
        if (r == 0) return true;  // nothing logged: nothing to hide
        std::string c = cursor_of(j_);
        if (c.empty() || c.size() > kMaxCursor) return false;
        std::string dir = fs::parent_directory(mark_path_);
        if (!dir.empty() && !fs::create_directories(dir)) return false;
        return fs::write_file_atomic(mark_path_, c + "\n" + std::to_string(realtime_of(j_)) + "\n");
    }

private:
    // Puts the journal on the first entry after the clear mark: 1 when
    // there is one, 0 when none, negative on failure.
    int to_first_visible() {
        if (mark_) {
            if (sd_journal_seek_cursor(j_, mark_->cursor.c_str()) >= 0) {
                int r = sd_journal_next(j_);
                if (r > 0 && sd_journal_test_cursor(j_, mark_->cursor.c_str()) > 0) return sd_journal_next(j_);
                // The marked entry is gone: hide what is not newer than it.
                while (r > 0 && realtime_of(j_) <= mark_->realtime) r = sd_journal_next(j_);
                return r;
            }
        }
        if (sd_journal_seek_head(j_) < 0) return -1;
        int r = sd_journal_next(j_);
        while (mark_ && r > 0 && realtime_of(j_) <= mark_->realtime) r = sd_journal_next(j_);
        return r;
    }

    sd_journal* j_;
    std::shared_ptr<Shared> shared_;
    std::string mark_path_;
    std::optional<Mark> mark_;
    uint32_t count_ = 0;   // visible entries at the survey
    uint32_t offset_ = 0;  // number of the first visible entry, less one
    uint32_t pos_ = 0;     // position (from 1) of the entry the journal is on; 0: none
};

class JournalEventLog final : public EventLog {
public:
    explicit JournalEventLog(JournalSource source) : source_(std::move(source)) {}

    std::unique_ptr<EventLogHandle> open_application(const std::string& private_dir) override {
        sd_journal* j = nullptr;
        int r;
        if (!source_.files.empty()) {
            std::vector<const char*> paths;
            for (const auto& f : source_.files) paths.push_back(f.c_str());
            paths.push_back(nullptr);
            r = sd_journal_open_files(&j, paths.data(), 0);
        } else if (!source_.directory.empty()) {
            r = sd_journal_open_directory(&j, source_.directory.c_str(), 0);
        } else {
            r = sd_journal_open(&j, SD_JOURNAL_LOCAL_ONLY);
        }
        if (r < 0 || !j) return nullptr;
        // Long fields are read only as far as one event's text goes.
        sd_journal_set_data_threshold(j, kMaxMessage + 64);
        for (size_t g = 0; g < std::size(kMatches); ++g) {
            if (g > 0 && sd_journal_add_disjunction(j) < 0) r = -1;
            for (const char* m : kMatches[g])
                if (sd_journal_add_match(j, m, 0) < 0) r = -1;
        }
        if (r < 0) {
            sd_journal_close(j);
            return nullptr;
        }
        auto h = std::make_unique<JournalHandle>(j, shared_, private_dir + kMarkFile);
        if (!h->survey()) return nullptr;
        return h;
    }

    bool clear_hides_only() const override { return true; }

    uint32_t report(EventType type, const std::string& source, const std::vector<std::string>& strings,
                    const LocalTime&) override {
        // journald stamps the entry itself and numbers it when it is read.
        int priority = type == EventType::Error ? 3 : type == EventType::Warning ? 4 : 6;
        std::string fields[] = {"MESSAGE=" + (strings.empty() ? std::string() : strings.front()),
                                "PRIORITY=" + std::to_string(priority), "SYSLOG_IDENTIFIER=" + source};
        iovec iov[3];
        for (size_t i = 0; i < 3; ++i) iov[i] = {fields[i].data(), fields[i].size()};
        return sd_journal_sendv(iov, 3) < 0 ? 0 : 1;
    }

private:
    JournalSource source_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace

size_t event_record_size(const EventRecord& r) {
    // The fixed part of a record as the log hands it out, then each text with
    // its terminator, then the record length trailer.
    size_t n = 56 + r.source.size() + 1;
    for (const auto& s : r.strings) n += s.size() + 1;
    return n + 4;
}

std::shared_ptr<EventLog> make_journal_event_log(JournalSource source) {
    return std::make_shared<JournalEventLog>(std::move(source));
}

std::shared_ptr<EventLog> make_posix_event_log() {
    JournalSource s;
    std::string named = get_env("OVRINSMS_JOURNAL");
    struct stat st {};
    if (!named.empty()) {
        if (stat(named.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            s.directory = named;
        else
            s.files.push_back(named);
    }
    return make_journal_event_log(std::move(s));
}

}  // namespace ovr::platform
