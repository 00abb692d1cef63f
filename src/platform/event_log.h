// The application event log: records numbered from 1 in the order written,
// each with its time, type, source name and insertion strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace ovr::platform {

enum class EventType : uint16_t { Error = 1, Warning = 2, Information = 4 };

struct EventRecord {
    uint32_t number = 0;
    LocalTime time;
    EventType type = EventType::Information;
    std::string source;
    std::vector<std::string> strings;
};

// Size a record takes in a read buffer: a fixed header plus its texts.
size_t event_record_size(const EventRecord& r);

class EventLogHandle {
public:
    virtual ~EventLogHandle() = default;
    // Number of the oldest record (0 when the log is empty) and how many.
    virtual std::optional<uint32_t> oldest_record() = 0;
    virtual std::optional<uint32_t> record_count() = 0;
    // Records from `first` on, as many whole records as fit in `max_bytes`
    // (at least one when any exists). Nothing on a read failure.
    virtual std::optional<std::vector<EventRecord>> read_forward(uint32_t first, size_t max_bytes) = 0;
    virtual bool clear() = 0;
};

class EventLog {
public:
    virtual ~EventLog() = default;
    // The application log; nothing when it cannot be opened. A log that
    // cannot delete entries keeps its clear mark in `private_dir` (the
    // private data directory, ending with "/").
    virtual std::unique_ptr<EventLogHandle> open_application(const std::string& private_dir) = 0;
    // True when clearing only hides the entries logged so far from the
    // viewer (the journal keeps every program's entries), false when it
    // empties the whole log.
    virtual bool clear_hides_only() const { return false; }
    // Appends a record (the services' side); its number, or 0 on failure.
    virtual uint32_t report(EventType type, const std::string& source, const std::vector<std::string>& strings,
                            const LocalTime& when) = 0;
};

// The host's log: the systemd journal of the local machine, or the journal
// file or directory OVRINSMS_JOURNAL names.
std::shared_ptr<EventLog> make_posix_event_log();

// The journal's entries of the two services (SYSLOG_IDENTIFIER or
// _SYSTEMD_UNIT "OvrinSMS" or "OvrinMMSC"), as records of the source
// "OvrinSMS". Records are numbered from 1 in journal order, counted after
// the clear mark; numbers stay with their entries while this object lives,
// even when the journal drops its oldest entries. The type comes from
// PRIORITY, the one insertion string from MESSAGE, the time from the entry's
// realtime stamp. Clearing stores the cursor of the newest entry in
// <private dir>"EVENTLOG.CUR" and hides everything up to it. Reporting sends
// an entry to journald and gives 1 on success (the journal numbers its
// entries as they are read).
struct JournalSource {
    std::vector<std::string> files;  // journal files to read; when empty:
    std::string directory;           // a journal directory; when empty: the local journal
};
std::shared_ptr<EventLog> make_journal_event_log(JournalSource source);
// An append-only file <root>eventlog/Application.log, one record a line.
std::shared_ptr<EventLog> make_sim_event_log(const std::string& root);

}  // namespace ovr::platform
