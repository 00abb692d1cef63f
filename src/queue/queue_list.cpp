#include "queue/queue_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <cwctype>
#include <numeric>

#include "queue/mms_files.h"
#include "queue/sms_file.h"

namespace ovr::queue {
namespace fs = platform::fs;
namespace {

// Seconds since 1970 UTC of the clock's present local time.
int64_t utc_now(platform::Clock& clock) {
    platform::LocalTime t = clock.local_now();
    tm parts{};
    parts.tm_year = t.year - 1900;
    parts.tm_mon = t.month - 1;
    parts.tm_mday = t.day;
    parts.tm_hour = t.hour;
    parts.tm_min = t.minute;
    parts.tm_sec = t.second;
    parts.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&parts));
}

// An open message file with what one statx of it tells: its size and its
// creation time (birth time where the file system keeps one).
struct MessageFile {
    int fd = -1;
    uint64_t size = 0;
    fs::FileTime creation;
    MessageFile() = default;
    MessageFile(const MessageFile&) = delete;
    MessageFile& operator=(const MessageFile&) = delete;
    ~MessageFile() {
        if (fd >= 0) close(fd);
    }
    explicit operator bool() const { return fd >= 0; }
};

// Opens a message file for reading; only regular files, never through a
// link (queue directories are writable by the gateway's users, and the
// console may run elevated), and never waiting on a fifo or device that
// merely bears a message file's name. One statx on the descriptor serves the
// type check, the size and the time column.
void open_message_file(const std::string& path, MessageFile& f) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) return;
    struct statx sx {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_BTIME, &sx) != 0 ||
        !S_ISREG(sx.stx_mode)) {
        close(fd);
        return;
    }
    f.fd = fd;
    f.size = sx.stx_size;
    const statx_timestamp& t = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime;
    f.creation = fs::FileTime{t.tv_sec, t.tv_nsec};
}

std::string creation_time_text(const MessageFile& f) { return format_file_time(f.creation); }

// The message file walk: the files matching the pattern in the base directory
// and then in each immediate subdirectory, in listing order, as
// fn(directory, relative prefix, name). With a clock, a subdirectory whose
// files are exhausted is removed when it is empty and was last written more
// than five minutes ago; the base directory never is.
template <typename Fn>
void walk_messages(std::string base, std::string_view pattern, std::optional<int64_t> now, Fn&& fn) {
    if (base.empty() || base.back() != '/') base += '/';
    std::vector<std::string> subdirectories;
    if (!list_subdirectories(base, subdirectories)) return;
    auto files_in = [&](const std::string& dir, const std::string& prefix) {
        std::vector<std::string> names;
        fs::scan_directory(dir, pattern, [&](std::string_view name, bool is_dir) {
            if (!is_dir) names.emplace_back(name);
        });
        for (const std::string& n : names) fn(dir, prefix, n);
    };
    files_in(base, "");
    for (const std::string& sub : subdirectories) {
        files_in(base + sub + "/", sub + "/");
        if (now) {
            auto t = fs::file_times(base + sub);
            if (t && t->modification.sec < *now - kEmptySubdirectoryAgeSec) fs::remove_empty_directory(base + sub);
        }
    }
}

void append(QueueList& list, std::unique_ptr<QueueListEntry> e) {
    if (e) list.entries.push_back(std::move(e));
}

void list_received_sms_pattern(QueueList& list, const std::string& base, std::string_view pattern,
                               const char* status, int64_t now) {
    walk_messages(base, pattern, now, [&](const std::string& dir, const std::string& prefix, const std::string& name) {
        ++list.total;
        if (list.loaded() >= kMaxListEntries) return;
        MessageFile file;
        open_message_file(dir + name, file);
        if (!file) {
            ++list.skipped;
            return;
        }
        auto rec = std::make_unique<SmsFileRecord>();
        ParseSmsFile(file.fd, *rec, file.size);
        convert_display_text(*rec, rec->Data);
        append(list, QueueListEntry::build({prefix + name, name, rec->Sender, rec->PhoneNumber,
                                            creation_time_text(file), status, rec->Data}));
    });
}

bool plain_collation() {
    const char* loc = std::setlocale(LC_COLLATE, nullptr);
    return loc == nullptr || std::strcmp(loc, "C") == 0 || std::strcmp(loc, "POSIX") == 0;
}

// Only the start of a cell takes part in the order: the viewers show at most
// 499 characters of it, and it keeps the sort keys small.
constexpr size_t kSortPrefix = 512;

// A key whose plain order is the locale's case-insensitive order of the text.
std::wstring collation_key(std::string_view s, bool plain) {
    s = s.substr(0, kSortPrefix);
    std::wstring lowered;
    lowered.reserve(s.size());
    if (plain) {
        for (unsigned char c : s) lowered += static_cast<wchar_t>(std::tolower(c));
        return lowered;
    }
    std::mbstate_t state{};
    for (size_t i = 0; i < s.size();) {
        wchar_t wc = 0;
        size_t n = std::mbrtowc(&wc, s.data() + i, s.size() - i, &state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n == 0) {
            // A byte that is no character of the locale stands for itself.
            wc = static_cast<unsigned char>(s[i]);
            n = 1;
            state = {};
        }
        lowered += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(wc)));
        i += n;
    }
    size_t need = std::wcsxfrm(nullptr, lowered.c_str(), 0);
    std::wstring key(need + 1, L'\0');
    std::wcsxfrm(key.data(), lowered.c_str(), key.size());
    key.resize(need);
    return key;
}

std::atomic<int> g_sort_state[4] = {4, 4, -4, -4};

}  // namespace

std::unique_ptr<QueueListEntry> QueueListEntry::build(const std::vector<std::string_view>& strings) {
    char work[kEntryWorkArea];
    auto e = std::unique_ptr<QueueListEntry>(new (std::nothrow) QueueListEntry);
    if (!e) return nullptr;
    size_t used = 0;
    size_t n = std::min(strings.size(), kMaxStrings);
    for (size_t i = 0; i < n; ++i) {
        std::string_view s = strings[i];
        s = s.substr(0, strnlen(s.data(), s.size()));
        size_t room = kEntryWorkArea - used - 2;   // its NUL and the row's final NUL
        size_t take = std::min(s.size(), room);
        // Never leave half a UTF-8 character at the cut.
        while (take > 0 && take < s.size() && (static_cast<unsigned char>(s[take]) & 0xC0) == 0x80) --take;
        e->offsets_[i] = static_cast<uint16_t>(used);
        std::memcpy(work + used, s.data(), take);
        used += take;
        work[used++] = 0;
    }
    work[used++] = 0;
    e->block_.reset(new (std::nothrow) char[used + 16]());
    if (!e->block_) return nullptr;
    std::memcpy(e->block_.get(), work, used);
    e->size_ = used;
    e->count_ = static_cast<uint8_t>(n);
    return e;
}

std::string_view QueueListEntry::string(size_t k) const {
    if (k >= count_) return {};
    return std::string_view(block_.get() + offsets_[k]);
}

std::string format_file_time(const fs::FileTime& t) {
    time_t secs = static_cast<time_t>(t.sec);
    tm parts{};
    if (!localtime_r(&secs, &parts)) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

std::string outbound_status(int32_t retry_count, std::string_view last_error) {
    if (retry_count == 0) return "Queued";
    char text[64];
    std::snprintf(text, sizeof text, "Retry - %2u attempt(s)", static_cast<unsigned>(retry_count));
    std::string s = text;
    if (!last_error.empty()) {
        s += " - ";
        s += last_error;
    }
    return s;
}

std::string recipient_summary(const std::vector<std::string>& recipients) {
    if (recipients.size() > 5) {
        char text[32];
        std::snprintf(text, sizeof text, "%u recipients", static_cast<unsigned>(recipients.size()));
        return text;
    }
    std::string s;
    for (size_t i = 0; i < recipients.size(); ++i) {
        if (i) s += ", ";
        s += recipients[i];
    }
    return s;
}

QueueList ListOutboundSms(const QueueSetup& q) {
    QueueList list;
    auto rec = std::make_unique<SmsFileRecord>();
    walk_messages(ResolveOutboundSmsQueue(q), "*.REQ", std::nullopt,
                  [&](const std::string& dir, const std::string& prefix, const std::string& name) {
                      ++list.total;
                      if (list.loaded() >= kMaxListEntries) return;
                      MessageFile file;
                      open_message_file(dir + name, file);
                      if (!file) {
                          ++list.skipped;
                          return;
                      }
                      ParseSmsFile(file.fd, *rec, file.size);
                      if (rec->PhoneNumber[0] == 0) return;
                      append(list, QueueListEntry::build({prefix + name, name, rec->SubmitUser, rec->PhoneNumber,
                                                          creation_time_text(file),
                                                          outbound_status(rec->RetryCount, rec->LastErrorInfo)}));
                  });
    return list;
}

QueueList ListOutboundMms(const QueueSetup& q) {
    QueueList list;
    std::unique_ptr<DirectoryIndex> index;   // of the level being walked
    std::string index_dir;
    walk_messages(ResolveOutboundMmsQueue(q), "*.MMS", std::nullopt,
                  [&](const std::string& dir, const std::string& prefix, const std::string& name) {
                      ++list.total;
                      if (list.loaded() >= kMaxListEntries) return;
                      if (index_dir != dir) {
                          index = std::make_unique<DirectoryIndex>(dir);
                          index_dir = dir;
                      }
                      auto companion_name = index->find(companion_path(name));
                      if (!companion_name) return;
                      MessageFile message, companion;
                      open_message_file(dir + name, message);
                      open_message_file(dir + *companion_name, companion);
                      if (!message || !companion) {
                          ++list.skipped;
                          return;
                      }
                      RoutingCompanion c = ReadRoutingCompanion(companion.fd);
                      append(list, QueueListEntry::build({prefix + name, name, c.sender,
                                                          recipient_summary(c.recipients),
                                                          creation_time_text(message),
                                                          outbound_status(c.retry_count, c.last_error)}));
                  });
    return list;
}

QueueList ListReceivedSms(const QueueSetup& q, platform::Clock& clock) {
    QueueList list;
    const std::string base = ResolveReceivedSmsDirectory(q);
    const int64_t now = utc_now(clock);
    list_received_sms_pattern(list, base, "*.IN", "Queued", now);
    list_received_sms_pattern(list, base, "*.REC", "Queued", now);
    list_received_sms_pattern(list, base, "*.SMS", "Received", now);
    return list;
}

QueueList ListReceivedMms(const QueueSetup& q, platform::Clock& clock) {
    QueueList list;
    walk_messages(ResolveReceivedMmsDirectory(q), "*.HDR", utc_now(clock),
                  [&](const std::string& dir, const std::string& prefix, const std::string& name) {
                      ++list.total;
                      if (list.loaded() >= kMaxListEntries) return;
                      const std::string path = dir + name;
                      MessageFile file;
                      open_message_file(path, file);
                      if (!file) {
                          ++list.skipped;
                          return;
                      }
                      auto h = ReadMmsHeader(file.fd);
                      if (!h) return;
                      append(list, QueueListEntry::build(
                                       {prefix + name, name, h->from, h->to, creation_time_text(file), h->subject}));
                  });
    return list;
}

QueueList list_queue(ListKind kind, const QueueSetup& q, platform::Clock& clock) {
    switch (kind) {
    case ListKind::OutboundSms:
        return ListOutboundSms(q);
    case ListKind::OutboundMms:
        return ListOutboundMms(q);
    case ListKind::ReceivedSms:
        return ListReceivedSms(q, clock);
    case ListKind::ReceivedMms:
        return ListReceivedMms(q, clock);
    }
    return {};
}

int column_count(ListKind kind) { return kind == ListKind::ReceivedSms ? 6 : 5; }

std::vector<std::string> column_titles(ListKind kind) {
    switch (kind) {
    case ListKind::OutboundSms:
        return {"ID", "Submit User", "Recipient", "Submit Time", "Status"};
    case ListKind::OutboundMms:
        return {"ID", "Sender", "Recipient", "Submit Time", "Status"};
    case ListKind::ReceivedSms:
        return {"ID", "Sender", "Recipient", "Receive Time", "Status", "Text"};
    case ListKind::ReceivedMms:
        return {"ID", "Sender", "Recipient", "Receive Time", "Subject"};
    }
    return {};
}

int compare_column(const QueueListEntry& a, const QueueListEntry& b, int column) {
    bool plain = plain_collation();
    return collation_key(a.string(static_cast<size_t>(column) + 1), plain)
        .compare(collation_key(b.string(static_cast<size_t>(column) + 1), plain));
}

int initial_sort_state(ListKind kind) {
    return kind == ListKind::OutboundSms || kind == ListKind::OutboundMms ? 4 : -4;
}

EntryComparator comparator_for(ListKind kind, int state) {
    int magnitude = state < 0 ? -state : state;
    if (magnitude < 1 || magnitude > column_count(kind)) state = initial_sort_state(kind);
    return EntryComparator{state};
}

int sort_state(ListKind kind) { return g_sort_state[static_cast<int>(kind)].load(); }

void set_sort_state(ListKind kind, int state) { g_sort_state[static_cast<int>(kind)] = comparator_for(kind, state).state; }

EntryComparator ColumnClick(ListKind kind, int column) {
    int state = column + 1;
    if (sort_state(kind) == state) state = -state;
    set_sort_state(kind, state);
    return comparator_for(kind, sort_state(kind));
}

void sort_list(QueueList& list, const EntryComparator& cmp) {
    // Same order as sorting with the comparator, with each row's key made
    // once instead of at every comparison.
    const bool plain = plain_collation();
    const bool descending = cmp.state < 0;
    const size_t string_index = static_cast<size_t>(descending ? -cmp.state : cmp.state);
    std::vector<std::wstring> keys;
    keys.reserve(list.entries.size());
    for (const auto& e : list.entries) keys.push_back(collation_key(e->string(string_index), plain));
    std::vector<size_t> order(list.entries.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [&](size_t x, size_t y) {
        int c = keys[x].compare(keys[y]);
        return descending ? c > 0 : c < 0;
    });
    std::vector<std::unique_ptr<QueueListEntry>> sorted;
    sorted.reserve(order.size());
    for (size_t i : order) sorted.push_back(std::move(list.entries[i]));
    list.entries = std::move(sorted);
}

}  // namespace ovr::queue
