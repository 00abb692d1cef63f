// INI files with the profile-string semantics the gateway's services expect:
// sections and keys matched without regard to letter case, the first matching
// section and key win, blanks (the C white space and Ctrl-Z) around names and
// values are not part of them, a value wrapped in a matching pair of quotes
// reads without them, and every read is cut to the buffer size its caller
// names. The lines before the first header are the section named "", a line
// beginning with "=" is the key named "", and a ";" line is an entry that the
// listings leave out; a "[" line without "]" is an entry too.
//
// Writes edit the file's text in place: the lines a write does not touch keep
// every byte (comments, blank lines, odd spacing, line ends). A write replaces
// the file atomically and read-modify-write is serialised between processes
// with an advisory lock, so concurrent writers of different keys lose nothing.
//
// Parsed files are kept while the file on disk is unchanged (same device,
// inode, size, modification and change times); any change is seen at the next
// read. A file changed in the last two seconds is also compared byte for byte,
// since a second change within one time-stamp tick can keep size and times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovr::config::ini {

// Buffer size used when a caller names none.
inline constexpr size_t kDefaultBuffer = 32768;
// Files larger than this are treated as unreadable: reads give defaults and
// writes fail, so no file can make the console allocate without bound.
inline constexpr uint64_t kMaxFileBytes = 64u << 20;

// The value of KEY in SECTION, or the default (without its trailing spaces,
// but never shorter than one character), either one without a matching pair
// of quotes, then cut to size - 1 characters as a read into a buffer of
// `size` would be. Section and key are trimmed.
std::string read_string(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view def = {}, size_t size = kDefaultBuffer);

// The value as stored, or nothing when the key (or its value) is missing.
std::optional<std::string> read_value(const std::string& path, std::string_view section, std::string_view key);

// "key=value" entries of the first matching section (a key without "=" gives
// its name alone), section names (never ""), and key names (only keys with
// "="): each list cut as a buffer of `size` characters holding NUL-separated
// strings would cut it (the last entry may be cut short; ";" lines are never
// listed). The section is matched as given, not trimmed.
std::vector<std::string> read_section(const std::string& path, std::string_view section, size_t size = kDefaultBuffer);
std::vector<std::string> read_section_names(const std::string& path, size_t size = kDefaultBuffer);
std::vector<std::string> read_key_names(const std::string& path, std::string_view section,
                                        size_t size = kDefaultBuffer);

// Writes KEY=VALUE (an empty value writes "KEY="), creating the file and the
// section as needed (the section "" is the text before the first header).
// Fails when the file cannot be read or written, or when a name or value would
// break the file's structure (a line break or NUL anywhere, "=" in a key, "]"
// in a section name, a key beginning with "[" or ";").
bool write_string(const std::string& path, std::string_view section, std::string_view key, std::string_view value);
// Removes the key's line; true when the key is gone afterwards.
bool remove_key(const std::string& path, std::string_view section, std::string_view key);
// Removes the first matching section, header to the next header.
bool remove_section(const std::string& path, std::string_view section);

// The write of the profile functions: no key removes the section, no value
// removes the key.
bool write_profile(const std::string& path, std::string_view section, std::optional<std::string_view> key,
                   std::optional<std::string_view> value);

// One profile write of a transaction: no key removes the section, no value
// removes the key.
struct ProfileWrite {
    std::string section;
    std::optional<std::string> key;
    std::optional<std::string> value;
};
// The writes applied in order to one reading of the file, under one lock,
// with one atomic replacement: the file holds all of them or none, and the
// bytes are those the single writes would have left. Fails (writing nothing)
// when any write would be refused or the file cannot be read or written.
bool write_profiles(const std::string& path, const std::vector<ProfileWrite>& writes);
// Whether a write keeps the file's structure (write_profiles refuses the
// whole batch for one that does not).
bool accepted(const ProfileWrite& write);

// One parse of a file's text, read with the rules of read_string: many reads
// of one state of the file for the price of one parse.
class Snapshot {
public:
    std::string read_string(std::string_view section, std::string_view key, std::string_view def = {},
                            size_t size = kDefaultBuffer) const;
    std::optional<std::string> read_value(std::string_view section, std::string_view key) const;
    std::vector<std::string> section_names() const;

private:
    friend Snapshot snapshot(const std::string& path);
    friend Snapshot snapshot_of(std::string text);
    std::shared_ptr<const void> parsed_;
};
// The file as it is now (an unreadable file reads as empty), or a text.
Snapshot snapshot(const std::string& path);
Snapshot snapshot_of(std::string text);

// A read-modify-write under the file's lock: `plan` sees the file as it is
// under the lock and returns the writes to apply as write_profiles would (none:
// nothing is written). False when the file cannot be read or written or a
// write would be refused; then nothing is written.
bool transact(const std::string& path, const std::function<std::vector<ProfileWrite>(const Snapshot&)>& plan);

// Takes all access for group and others away from the file (a missing one is
// made, empty and 0600), so a password can go into it; never widens them,
// and a replace keeps them.
bool restrict_to_owner(const std::string& path);

// Cuts a NUL-separated list as a buffer of `size` characters would: when the
// whole list (each entry with its NUL, then one more NUL) does not fit, only
// size - 2 characters of it are kept.
std::vector<std::string> cut_list(const std::vector<std::string>& entries, size_t size);

// The same rules applied to a text in memory (for checks and tools): the
// section names, one value, and the text a profile write would leave
// (nothing when the write changes nothing or is refused).
std::vector<std::string> section_names_in(std::string_view text);
std::optional<std::string> value_in(std::string_view text, std::string_view section, std::string_view key);
// read_string and read_section on a text already read (from a descriptor the
// caller opened with care, say).
std::string string_in(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view def = {}, size_t size = kDefaultBuffer);
std::vector<std::string> section_in(std::string_view text, std::string_view section, size_t size = kDefaultBuffer);
std::optional<std::string> edited_text(const std::string& text, std::string_view section,
                                       std::optional<std::string_view> key, std::optional<std::string_view> value);
// The text a transaction's writes would leave, as write_profiles leaves it.
std::optional<std::string> edited_text(const std::string& text, const std::vector<ProfileWrite>& writes);

// The parsed-file cache can be turned off (benchmarks compare both ways).
void set_cache_enabled(bool on);
void clear_cache();

}  // namespace ovr::config::ini
