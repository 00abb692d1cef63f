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
    // The application log; nothing when it cannot be opened.
    virtual std::unique_ptr<EventLogHandle> open_application() = 0;
    // Appends a record (the services' side); its number, or 0 on failure.
    virtual uint32_t report(EventType type, const std::string& source, const std::vector<std::string>& strings,
                            const LocalTime& when) = 0;
};

// The journal is a later step: the host's log cannot be opened yet.
std::shared_ptr<EventLog> make_posix_event_log();
// An append-only file <root>eventlog/Application.log, one record a line.
std::shared_ptr<EventLog> make_sim_event_log(const std::string& root);

}  // namespace ovr::platform
