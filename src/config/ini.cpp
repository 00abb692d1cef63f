#include "config/ini.h"

#include "config/text.h"
#include "platform/fs.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

namespace ovr::config::ini {
namespace {

// ---------------------------------------------------------------- text basics

inline char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool equal_ci(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

int compare_ci(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(fold(a[i])), y = static_cast<unsigned char>(fold(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// The blanks of the profile functions: the C white-space set and Ctrl-Z,
// which old DOS tools left at the end of files.
inline bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

// A name or value is used as the C string it would be: a NUL byte ends it.
std::string_view c_string(std::string_view s) {
    size_t nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

std::string_view cut(std::string_view s, size_t size) {
    if (size == 0) return {};
    return s.substr(0, std::min(s.size(), size - 1));
}

// One physical line: its content [start, end) and where the next line starts.
// CR LF, LF and a lone CR all end a line.
struct Line {
    size_t start, end, next;
};

template <class F>
void for_each_line(std::string_view text, F&& f) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        size_t next = end;
        if (next < text.size()) {
            if (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n')
                next += 2;
            else
                next += 1;
        }
        if (!f(Line{pos, end, next})) return;
        pos = next;
    }
}

enum class Kind { Blank, Header, Entry };

// What a line is, with its section name or key and value. Every line that is
// neither blank nor a header is an entry, ";" lines too: they can be read by
// name, and only the listings leave them out. A "[" line without "]" is an
// entry as well.
struct Classified {
    Kind kind = Kind::Blank;
    std::string_view name;   // section name or key
    std::string_view value;
    bool has_value = false;
    bool blank_name = false;  // nothing before the "=" (a NUL-cut name is not blank)
    bool comment() const { return !name.empty() && name.front() == ';'; }
};

Classified classify(std::string_view content) {
    Classified c;
    std::string_view t = trim(content);
    if (t.empty()) return c;
    if (t.front() == '[') {
        size_t close = t.rfind(']');
        if (close != std::string_view::npos) {
            // "[a]b" names "a"; "[a]b]" names "a]b": the last "]" closes it.
            c.kind = Kind::Header;
            c.name = c_string(trim(t.substr(1, close - 1)));
            return c;
        }
    }
    c.kind = Kind::Entry;
    size_t eq = t.find('=');
    std::string_view name = t;
    if (eq != std::string_view::npos) {
        name = trim(t.substr(0, eq));
        c.value = c_string(trim(t.substr(eq + 1)));
        c.has_value = true;
    }
    c.blank_name = name.empty();
    c.name = c_string(name);
    return c;
}

// An "=" line right after another entry with an empty name is dropped, as the
// services' reader drops it; `prev_empty` carries that state along a section.
bool dropped(const Classified& c, bool& prev_empty) {
    if (c.blank_name && prev_empty) return true;
    prev_empty = c.name.empty();
    return false;
}

// ------------------------------------------------------------------ parse

struct Span {
    uint32_t pos = 0, len = 0;
};

struct Entry {
    Span key, value;
    bool has_value;
};

struct Section {
    Span name;
    uint32_t first_entry = 0, entry_count = 0;
    std::vector<uint32_t> sorted;  // entry indexes ordered by key, first occurrence first
};

struct Parsed {
    std::string text;
    std::vector<Entry> entries;
    std::vector<Section> sections;
    std::vector<uint32_t> sorted_sections;

    std::string_view view(Span s) const { return std::string_view(text).substr(s.pos, s.len); }

    const Section* find_section(std::string_view name) const {
        auto it = std::lower_bound(sorted_sections.begin(), sorted_sections.end(), name,
                                   [&](uint32_t i, std::string_view n) { return compare_ci(view(sections[i].name), n) < 0; });
        if (it == sorted_sections.end() || !equal_ci(view(sections[*it].name), name)) return nullptr;
        return &sections[*it];
    }

    const Entry* find_entry(const Section& s, std::string_view key) const {
        auto it = std::lower_bound(s.sorted.begin(), s.sorted.end(), key,
                                   [&](uint32_t i, std::string_view k) { return compare_ci(view(entries[i].key), k) < 0; });
        if (it == s.sorted.end() || !equal_ci(view(entries[*it].key), key)) return nullptr;
        return &entries[*it];
    }
};

std::shared_ptr<Parsed> parse(std::string text) {
    auto p = std::make_shared<Parsed>();
    p->text = std::move(text);
    std::string_view t = p->text;
    auto span_of = [&](std::string_view part) {
        return Span{static_cast<uint32_t>(part.data() - t.data()), static_cast<uint32_t>(part.size())};
    };
    // The lines before the first header form the section named "".
    p->sections.emplace_back();
    bool prev_empty = false;
    for_each_line(t, [&](const Line& line) {
        Classified c = classify(t.substr(line.start, line.end - line.start));
        if (c.kind == Kind::Header) {
            Section s;
            s.name = span_of(c.name);
            s.first_entry = static_cast<uint32_t>(p->entries.size());
            p->sections.push_back(std::move(s));
            prev_empty = false;
        } else if (c.kind == Kind::Entry && !dropped(c, prev_empty)) {
            p->entries.push_back(Entry{span_of(c.name), span_of(c.value), c.has_value});
            ++p->sections.back().entry_count;
        }
        return true;
    });
    for (Section& s : p->sections) {
        s.sorted.resize(s.entry_count);
        for (uint32_t i = 0; i < s.entry_count; ++i) s.sorted[i] = s.first_entry + i;
        std::stable_sort(s.sorted.begin(), s.sorted.end(), [&](uint32_t a, uint32_t b) {
            return compare_ci(p->view(p->entries[a].key), p->view(p->entries[b].key)) < 0;
        });
    }
    p->sorted_sections.resize(p->sections.size());
    for (uint32_t i = 0; i < p->sections.size(); ++i) p->sorted_sections[i] = i;
    std::stable_sort(p->sorted_sections.begin(), p->sorted_sections.end(), [&](uint32_t a, uint32_t b) {
        return compare_ci(p->view(p->sections[a].name), p->view(p->sections[b].name)) < 0;
    });
    return p;
}

// ------------------------------------------------------------- file access

struct FileKey {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{}, ctime{};
    bool operator==(const FileKey& o) const {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

FileKey key_of(const struct stat& st) { return FileKey{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim}; }

enum class ReadStatus { Ok, Missing, Failed };

// Reads the whole file through one descriptor; the key is taken before the
// bytes so that a change during the read shows as a changed key later.
ReadStatus read_whole(const std::string& path, std::string& out, FileKey* key) {
    // Never waits on a fifo or a device that bears the file's name.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > kMaxFileBytes) {
        close(fd);
        return ReadStatus::Failed;
    }
    if (key) *key = key_of(st);
    out.clear();
    out.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < out.size()) {
        ssize_t r = ::read(fd, out.data() + got, out.size() - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<size_t>(r);
    }
    close(fd);
    out.resize(got);
    return ReadStatus::Ok;
}

class Cache {
public:
    std::shared_ptr<const Parsed> get(const std::string& path) {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
        FileKey now = key_of(st);
        bool enabled = enabled_.load(std::memory_order_relaxed);
        std::shared_ptr<const Parsed> kept;
        if (enabled) {
            std::lock_guard lock(mu_);
            auto it = map_.find(path);
            if (it != map_.end() && it->second.key == now) {
                lru_.splice(lru_.begin(), lru_, it->second.pos);
                if (!it->second.racy) return it->second.parsed;
                kept = it->second.parsed;
            }
        }
        std::string text;
        FileKey key;
        if (read_whole(path, text, &key) != ReadStatus::Ok) return nullptr;
        bool racy = is_racy(key);
        if (kept && kept->text == text) {
            // Same bytes: keep the parse; it is trusted once the file is old.
            if (!racy) put(path, key, kept, false);
            return kept;
        }
        std::shared_ptr<const Parsed> parsed = parse(std::move(text));
        if (enabled) put(path, key, parsed, racy);
        return parsed;
    }

    void forget(const std::string& path) {
        std::lock_guard lock(mu_);
        auto it = map_.find(path);
        if (it == map_.end()) return;
        lru_.erase(it->second.pos);
        map_.erase(it);
    }

    void clear() {
        std::lock_guard lock(mu_);
        map_.clear();
        lru_.clear();
    }

    void set_enabled(bool on) {
        enabled_ = on;
        if (!on) clear();
    }

private:
    static constexpr size_t kCapacity = 32;

    struct Slot {
        FileKey key;
        std::shared_ptr<const Parsed> parsed;
        bool racy;
        std::list<std::string>::iterator pos;
    };

    // A file changed so recently that a further change could still leave its
    // size and times as they are (time stamps are coarser than writes can be
    // quick): its bytes are compared on every read until it is older.
    static bool is_racy(const FileKey& key) {
        // Compared with the file system's own time stamps, which follow the
        // real clock whatever clock the console runs on.
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        auto ns = [](const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
        int64_t newest = std::max(ns(key.mtime), ns(key.ctime));
        return ns(now) - newest < kRacyWindowNs;
    }
    static constexpr int64_t kRacyWindowNs = 2000000000;

    void put(const std::string& path, const FileKey& key, std::shared_ptr<const Parsed> parsed, bool racy) {
        std::lock_guard lock(mu_);
        auto it = map_.find(path);
        if (it != map_.end()) {
            it->second.key = key;
            it->second.racy = racy;
            it->second.parsed = std::move(parsed);
            lru_.splice(lru_.begin(), lru_, it->second.pos);
            return;
        }
        if (map_.size() >= kCapacity) {
            map_.erase(lru_.back());
            lru_.pop_back();
        }
        lru_.push_front(path);
        map_.emplace(path, Slot{key, std::move(parsed), racy, lru_.begin()});
    }

    std::mutex mu_;
    std::atomic<bool> enabled_{true};
    std::unordered_map<std::string, Slot> map_;
    std::list<std::string> lru_;
};

Cache& cache() {
    static Cache c;
    return c;
}

// ------------------------------------------------------------------ writes

// Serialises read-modify-write of one file: a mutex between the threads of
// this process and flock() on a hidden lock file beside the INI between
// processes (the INI itself is replaced by rename, so it cannot hold a lock).
class WriteLock {
public:
    explicit WriteLock(const std::string& path) : guard_(mutex()) {
        std::string dir, base;
        size_t slash = path.rfind('/');
        if (slash == std::string::npos) {
            base = path;
        } else {
            dir = path.substr(0, slash + 1);
            base = path.substr(slash + 1);
        }
        std::string lock_path = dir + "." + base + ".lock";
        fd_ = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0) {
            while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~WriteLock() {
        if (fd_ >= 0) close(fd_);  // closing releases the lock
    }
    bool held() const { return fd_ >= 0; }

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    std::lock_guard<std::mutex> guard_;
    int fd_ = -1;
};

bool has_break(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

// The section "" (the lines before the first header) and the key "" (an
// "=" line) are real places the services read, so both can be written.
bool valid_section(std::string_view s) { return !has_break(s) && s.find(']') == std::string_view::npos; }

bool valid_key(std::string_view k) {
    return !has_break(k) && k.find('=') == std::string_view::npos &&
           (k.empty() || (k.front() != '[' && k.front() != ';'));
}

std::string_view eol_of(std::string_view text) {
    size_t p = text.find_first_of("\r\n");
    if (p == std::string_view::npos) return "\n";
    if (text[p] == '\r') return (p + 1 < text.size() && text[p + 1] == '\n') ? "\r\n" : "\r";
    return "\n";
}

// Where a section lies in the text: its header line (none for the section
// "", which is the text before the first header) and its lines up to the next
// header.
struct Located {
    bool found = false;
    std::optional<Line> header;
    std::vector<Line> body;
    size_t start = 0, end = 0;  // the section's text, header included
};

Located locate_section(std::string_view text, std::string_view section) {
    Located loc;
    loc.found = section.empty();
    for_each_line(text, [&](const Line& line) {
        Classified c = classify(text.substr(line.start, line.end - line.start));
        if (c.kind == Kind::Header) {
            if (loc.found) return false;
            if (equal_ci(c.name, section)) {
                loc.found = true;
                loc.header = line;
                loc.start = line.start;
                loc.end = line.next;
            }
            return true;
        }
        if (loc.found) {
            loc.body.push_back(line);
            loc.end = line.next;
        }
        return true;
    });
    return loc;
}

// The edits return the new text, or nothing when the file stays as it is.
std::optional<std::string> edit_key(const std::string& text, std::string_view section, std::string_view key,
                                    std::optional<std::string_view> value, std::string_view eol = {}) {
    if (eol.empty()) eol = eol_of(text);
    Located loc = locate_section(text, section);
    if (!loc.found) {
        if (!value) return std::nullopt;
        std::string out = text;
        if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += eol;
        out.append("[").append(section).append("]").append(eol);
        out.append(key).append("=").append(*value).append(eol);
        return out;
    }
    // A new key goes after the section's last entry (comments at the end of
    // a section usually belong to the next one), else after the header, else
    // (the section "") just before the first header.
    size_t at = loc.header ? loc.header->next : loc.end;
    bool prev_empty = false;
    for (const Line& line : loc.body) {
        Classified c = classify(std::string_view(text).substr(line.start, line.end - line.start));
        if (c.kind != Kind::Entry || dropped(c, prev_empty)) continue;
        if (equal_ci(c.name, key)) {
            if (!value) return text.substr(0, line.start) + text.substr(line.next);
            std::string replaced = std::string(c.name) + "=" + std::string(*value);
            if (text.compare(line.start, line.end - line.start, replaced) == 0) return std::nullopt;
            return text.substr(0, line.start) + replaced + text.substr(line.end);
        }
        if (!c.comment()) at = line.next;
    }
    if (!value) return std::nullopt;
    std::string out = text.substr(0, at);
    if (at > 0 && text[at - 1] != '\n' && text[at - 1] != '\r') out += eol;  // the line had no line end
    out.append(key).append("=").append(*value).append(eol);
    out += text.substr(at);
    return out;
}

std::optional<std::string> edit_section(const std::string& text, std::string_view section) {
    Located loc = locate_section(text, section);
    if (!loc.found || loc.start == loc.end) return std::nullopt;
    return text.substr(0, loc.start) + text.substr(loc.end);
}

// Under the write lock no other writer of the file is between its temporary
// file and the rename, so a temporary file still there was left by a writer
// that died: it goes before the next write.
void remove_stale_temporaries(const std::string& path) {
    std::string dir = platform::fs::parent_directory(path);
    std::string pattern = "." + platform::fs::base_name(path) + ".??????";
    std::vector<std::string> stale;
    platform::fs::scan_directory(dir, pattern, [&](std::string_view name, bool is_dir) {
        if (!is_dir) stale.emplace_back(name);
    });
    for (const std::string& name : stale) ::unlink((dir + name).c_str());
}

template <class Edit>
bool modify(const std::string& path, Edit&& edit) {
    WriteLock lock(path);
    if (!lock.held()) return false;
    remove_stale_temporaries(path);
    std::string text;
    ReadStatus st = read_whole(path, text, nullptr);
    if (st == ReadStatus::Failed) return false;
    std::optional<std::string> changed = edit(text, st == ReadStatus::Missing);
    if (!changed) return true;
    cache().forget(path);
    return platform::fs::write_file_atomic(path, *changed);
}

}  // namespace

std::vector<std::string> cut_list(const std::vector<std::string>& entries, size_t size) {
    size_t total = 1;
    for (const auto& e : entries) total += e.size() + 1;
    if (total <= size) return entries;
    std::vector<std::string> out;
    if (size < 3) return out;
    size_t room = size - 2;
    for (const auto& e : entries) {
        if (room == 0) break;
        if (e.size() + 1 <= room) {
            out.push_back(e);
            room -= e.size() + 1;
        } else {
            out.push_back(e.substr(0, room));
            room = 0;
        }
    }
    return out;
}

namespace {

// A value wrapped in a matching pair of quotes loses them; the cut to the
// buffer comes after.
std::string unquoted_cut(std::string_view value, size_t size) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(cut(value, size));
}

// The listings' rules: entries with neither a name nor "=" and ";" lines are
// left out; the key listing also leaves out lines without "=". The section is
// matched as given, blanks and all.
template <class Out>
std::vector<std::string> list_entries(const Parsed* parsed, std::string_view section, size_t size, Out&& out_of) {
    std::vector<std::string> out;
    if (!parsed) return out;
    const Section* s = parsed->find_section(section);
    if (!s) return out;
    for (uint32_t i = s->first_entry; i < s->first_entry + s->entry_count; ++i) {
        const Entry& e = parsed->entries[i];
        std::string_view name = parsed->view(e.key);
        if ((name.empty() && !e.has_value) || (!name.empty() && name.front() == ';')) continue;
        if (std::optional<std::string> line = out_of(name, e, *parsed)) out.push_back(std::move(*line));
    }
    return cut_list(out, size);
}

}  // namespace

namespace {

std::optional<std::string> value_of(const Parsed* parsed, std::string_view section, std::string_view key) {
    if (!parsed) return std::nullopt;
    const Section* s = parsed->find_section(trim(section));
    if (!s) return std::nullopt;
    const Entry* e = parsed->find_entry(*s, trim(key));
    if (!e || !e->has_value) return std::nullopt;
    return std::string(parsed->view(e->value));
}

std::string string_of(const Parsed* parsed, std::string_view section, std::string_view key, std::string_view def,
                      size_t size) {
    if (std::optional<std::string> v = value_of(parsed, section, key)) return unquoted_cut(*v, size);
    // The default loses its trailing spaces, but never its first character.
    while (def.size() > 1 && def.back() == ' ') def.remove_suffix(1);
    return unquoted_cut(def, size);
}

std::vector<std::string> section_of(const Parsed* parsed, std::string_view section, size_t size) {
    return list_entries(parsed, section, size,
                        [](std::string_view name, const Entry& e, const Parsed& p) -> std::optional<std::string> {
                            std::string line(name);
                            if (e.has_value) line.append("=").append(p.view(e.value));
                            return line;
                        });
}

}  // namespace

std::optional<std::string> read_value(const std::string& path, std::string_view section, std::string_view key) {
    return value_of(cache().get(path).get(), section, key);
}

std::string read_string(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view def, size_t size) {
    return string_of(cache().get(path).get(), section, key, def, size);
}

std::vector<std::string> read_section(const std::string& path, std::string_view section, size_t size) {
    return section_of(cache().get(path).get(), section, size);
}

std::string string_in(std::string_view text, std::string_view section, std::string_view key, std::string_view def,
                      size_t size) {
    return string_of(parse(std::string(text)).get(), section, key, def, size);
}

std::vector<std::string> section_in(std::string_view text, std::string_view section, size_t size) {
    return section_of(parse(std::string(text)).get(), section, size);
}

std::vector<std::string> read_section_names(const std::string& path, size_t size) {
    std::vector<std::string> out;
    auto parsed = cache().get(path);
    if (!parsed) return out;
    for (const Section& s : parsed->sections)
        if (s.name.len != 0) out.emplace_back(parsed->view(s.name));
    return cut_list(out, size);
}

std::vector<std::string> read_key_names(const std::string& path, std::string_view section, size_t size) {
    return list_entries(cache().get(path).get(), section, size,
                        [](std::string_view name, const Entry& e, const Parsed&) -> std::optional<std::string> {
                            if (!e.has_value) return std::nullopt;
                            return std::string(name);
                        });
}

bool write_string(const std::string& path, std::string_view section, std::string_view key, std::string_view value) {
    section = trim(section);
    key = trim(key);
    if (!valid_section(section) || !valid_key(key) || has_break(value)) return false;
    return modify(path, [&](const std::string& text, bool) { return edit_key(text, section, key, value); });
}

bool remove_key(const std::string& path, std::string_view section, std::string_view key) {
    section = trim(section);
    key = trim(key);
    return modify(path, [&](const std::string& text, bool missing) -> std::optional<std::string> {
        if (missing) return std::nullopt;
        return edit_key(text, section, key, std::nullopt);
    });
}

bool remove_section(const std::string& path, std::string_view section) {
    section = trim(section);
    return modify(path, [&](const std::string& text, bool missing) -> std::optional<std::string> {
        if (missing) return std::nullopt;
        return edit_section(text, section);
    });
}

bool write_profile(const std::string& path, std::string_view section, std::optional<std::string_view> key,
                   std::optional<std::string_view> value) {
    if (!key) return remove_section(path, section);
    if (!value) return remove_key(path, section, *key);
    return write_string(path, section, *key, *value);
}

namespace {

bool valid_writes(const std::vector<ProfileWrite>& writes) {
    for (const ProfileWrite& w : writes)
        if (!accepted(w)) return false;
    return true;
}

std::optional<std::string> apply_writes(const std::string& original, const std::vector<ProfileWrite>& writes) {
    std::optional<std::string> text;
    // The sections the text may hold (upper-cased): the original's headers,
    // and each a write may have made since. A run in a section not among
    // them needs no search of the text, so a thousand new sections cost one
    // pass, not a thousand.
    std::unordered_set<std::string> may_hold;
    for_each_line(original, [&](const Line& line) {
        Classified c = classify(std::string_view(original).substr(line.start, line.end - line.start));
        if (c.kind == Kind::Header) may_hold.insert(to_upper(c.name));
        return true;
    });
    for (size_t i = 0; i < writes.size();) {
        const std::string& current = text ? *text : original;
        const ProfileWrite& w = writes[i];
        std::string_view section = trim(w.section);
        auto value_of = [](const ProfileWrite& x) {
            return x.value ? std::optional<std::string_view>(*x.value) : std::nullopt;
        };
        // A run of key writes to one section is applied to that section's
        // text alone: the same edits, without copying the whole file for
        // each (a table of a thousand keywords shifts a thousand keys).
        size_t j = i + 1;
        while (w.key && j < writes.size() && writes[j].key && equal_ci(trim(writes[j].section), section)) ++j;
        if (j - i > 1) {
            const std::string eol(eol_of(current));
            auto run_in = [&](std::string& part) {
                bool changed = false;
                for (size_t k = i; k < j; ++k) {
                    if (auto next = edit_key(part, section, trim(*writes[k].key), value_of(writes[k]), eol)) {
                        part = std::move(*next);
                        changed = true;
                    }
                }
                return changed;
            };
            const bool missing = !section.empty() && may_hold.count(to_upper(section)) == 0;
            Located loc = missing ? Located{} : locate_section(current, section);
            if (loc.found && loc.header) {
                std::string part = current.substr(loc.start, loc.end - loc.start);
                if (run_in(part)) text = current.substr(0, loc.start) + part + current.substr(loc.end);
                i = j;
                continue;
            }
            if (!loc.found) {
                // A new section goes at the end, made (and named) by the
                // run's first write that sets a key; the run is applied to it
                // alone. A run of removals there changes nothing.
                size_t maker = i;
                while (maker < j && !writes[maker].value) ++maker;
                if (maker < j) {
                    std::string part = "[" + std::string(trim(writes[maker].section)) + "]" + eol;
                    run_in(part);
                    if (!text) text = original;
                    if (!text->empty() && text->back() != '\n' && text->back() != '\r') *text += eol;
                    *text += part;
                    may_hold.insert(to_upper(section));
                }
                i = j;
                continue;
            }
        }
        std::optional<std::string> next;
        if (w.key && w.value) may_hold.insert(to_upper(section));
        if (!w.key)
            next = edit_section(current, section);
        else
            next = edit_key(current, section, trim(*w.key), value_of(w));
        if (next) text = std::move(next);
        ++i;
    }
    return text;
}

}  // namespace

bool accepted(const ProfileWrite& w) {
    if (!w.key || !w.value) return true;
    return valid_section(trim(w.section)) && valid_key(trim(*w.key)) && !has_break(*w.value);
}

bool write_profiles(const std::string& path, const std::vector<ProfileWrite>& writes) {
    if (!valid_writes(writes)) return false;
    return modify(path, [&](const std::string& text, bool) { return apply_writes(text, writes); });
}

std::string Snapshot::read_string(std::string_view section, std::string_view key, std::string_view def,
                                  size_t size) const {
    return string_of(static_cast<const Parsed*>(parsed_.get()), section, key, def, size);
}

std::optional<std::string> Snapshot::read_value(std::string_view section, std::string_view key) const {
    return value_of(static_cast<const Parsed*>(parsed_.get()), section, key);
}

std::vector<std::string> Snapshot::section_names() const {
    std::vector<std::string> out;
    auto* parsed = static_cast<const Parsed*>(parsed_.get());
    if (!parsed) return out;
    for (const Section& s : parsed->sections)
        if (s.name.len != 0) out.emplace_back(parsed->view(s.name));
    return out;
}

Snapshot snapshot(const std::string& path) {
    Snapshot s;
    s.parsed_ = cache().get(path);
    return s;
}

Snapshot snapshot_of(std::string text) {
    Snapshot s;
    s.parsed_ = parse(std::move(text));
    return s;
}

bool transact(const std::string& path, const std::function<std::vector<ProfileWrite>(const Snapshot&)>& plan) {
    bool refused = false;
    bool ok = modify(path, [&](const std::string& text, bool) -> std::optional<std::string> {
        std::vector<ProfileWrite> writes = plan(snapshot_of(text));
        if (!valid_writes(writes)) {
            refused = true;
            return std::nullopt;
        }
        return apply_writes(text, writes);
    });
    return ok && !refused;
}

bool restrict_to_owner(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return (st.st_mode & 077) == 0 || ::chmod(path.c_str(), st.st_mode & 07700) == 0;
    if (errno != ENOENT) return false;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST && restrict_to_owner(path);
    ::close(fd);
    return true;
}

std::vector<std::string> section_names_in(std::string_view text) {
    auto parsed = parse(std::string(text));
    std::vector<std::string> out;
    for (const Section& s : parsed->sections)
        if (s.name.len != 0) out.emplace_back(parsed->view(s.name));
    return out;
}

std::optional<std::string> value_in(std::string_view text, std::string_view section, std::string_view key) {
    return value_of(parse(std::string(text)).get(), section, key);
}

std::optional<std::string> edited_text(const std::string& text, std::string_view section,
                                       std::optional<std::string_view> key, std::optional<std::string_view> value) {
    section = trim(section);
    if (!key) return edit_section(text, section);
    std::string_view k = trim(*key);
    if (value && (!valid_section(section) || !valid_key(k) || has_break(*value))) return std::nullopt;
    return edit_key(text, section, k, value);
}

std::optional<std::string> edited_text(const std::string& text, const std::vector<ProfileWrite>& writes) {
    if (!valid_writes(writes)) return std::nullopt;
    return apply_writes(text, writes);
}

void set_cache_enabled(bool on) { cache().set_enabled(on); }
void clear_cache() { cache().clear(); }

}  // namespace ovr::config::ini
