// Journal files made by the tests: entries written in the journal export
// format and turned into a journal file by systemd-journal-remote, so the
// journal reader runs on real files without a running journald.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovr::test {

struct JournalEntry {
    uint64_t realtime = 0;       // microseconds since the epoch
    std::string identifier;      // SYSLOG_IDENTIFIER, when not empty
    std::string unit;            // _SYSTEMD_UNIT, when not empty
    int priority = -1;           // PRIORITY, when 0..7
    std::string message;         // MESSAGE (any bytes)
};

// The export-format text of the entries.
std::string journal_export(const std::vector<JournalEntry>& entries);

// Appends the entries to the journal file `path` (its name ends with
// ".journal"; made when missing). Empty on success, else the reason.
std::string append_journal(const std::string& path, const std::vector<JournalEntry>& entries);

// The converter's path, or empty when it is not installed.
std::string journal_remote_program();

}  // namespace ovr::test
