// The two-way keyword table in RIRER.INI: section "2Way-Keywords" holds
// Keyword1, Keyword2, ... (dense; the first empty number ends the table), and
// each entry has its own section "2Way-Keyword-<entry>" with the actions the
// gateway service applies to a received SMS beginning with the keyword.
// Every operation works on the file directly; nothing is cached.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/ini.h"

namespace ovr::keywords {

inline constexpr const char* kTableSection = "2Way-Keywords";
inline constexpr const char* kSectionPrefix = "2Way-Keyword-";
// Values are read as into a 1024-character buffer; old command lines into 4096.
inline constexpr size_t kValueBuffer = 1024;
inline constexpr size_t kOldLineBuffer = 4096;

// "2Way-Keyword-" + entry.
std::string section_name(std::string_view entry);

// The entries in number order, Keyword1 onwards, up to the first empty value.
std::vector<std::string> enumerate(const std::string& rirer_ini);

// The same on one state of the file, for transactions.
std::vector<std::string> enumerate(const config::ini::Snapshot& file);
// The number of the first entry equal to `entry` ignoring case.
std::optional<size_t> find_entry(const config::ini::Snapshot& file, std::string_view entry);
// The writes of add and remove planned on one state of the file (remove:
// none when the entry is not there).
std::vector<config::ini::ProfileWrite> plan_add(const config::ini::Snapshot& file, std::string_view entry);
std::vector<config::ini::ProfileWrite> plan_remove(const config::ini::Snapshot& file, std::string_view entry);

// Each change below is one transaction of the file, so two writers never take
// one number and a crash never leaves an entry twice.
// Writes the entry under the first empty number. No duplicate test.
// False when the entry is empty or the write failed.
bool add(const std::string& rirer_ini, std::string_view entry);
// Writes `new_entry` over the first entry equal to `old_entry` ignoring case.
// False (and nothing written) when `old_entry` is not in the table.
bool rename(const std::string& rirer_ini, std::string_view old_entry, std::string_view new_entry);
// Removes the first entry equal to `entry` ignoring case; the entries after it
// move down one number. False (and nothing written) when it is not there.
bool remove(const std::string& rirer_ini, std::string_view entry);

// The Receive page's row for an entry: the entry, then a TAB and "Key=value"
// for each non-empty action of its section, cut to 1023 characters.
std::string row_text(const std::string& rirer_ini, std::string_view entry);
std::string row_text(const config::ini::Snapshot& file, std::string_view entry);

// Converts the old ReceiveSMSCommand lines of section RIRER into the table
// once (NewFormat=Yes marks it done), in one write of the file. Run at every
// start. False when the converted table could not be written.
bool migrate(const std::string& rirer_ini);

// Multi-line values are stored on one line: CR as "\r" and LF as "\n" (the
// two characters). Backslashes are not otherwise escaped.
std::string escape_line_breaks(std::string_view text);
std::string unescape_line_breaks(std::string_view text);

}  // namespace ovr::keywords
