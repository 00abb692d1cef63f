// The event log viewer: the gateway's events from the application log
// (source "OvrinSMS"), newest first, kept current every 5 seconds, and the
// clearing of the whole application log.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "pages/page.h"
#include "platform/event_log.h"

namespace ovr::pages {

class EventLogViewer {
public:
    static constexpr uint32_t kRefreshMs = 5000;
    static constexpr size_t kReadBufferBytes = 131072;
    // The list holds this many lines; a fuller list refuses the next one.
    static constexpr size_t kCapacity = 10000;
    // A record larger than the read buffer is read once more with this much
    // room (the simulated log's own limit) before it is passed over.
    static constexpr size_t kLargestRecordBytes = 16u << 20;

    static constexpr const char* kTitle = "Event Log";
    static constexpr const char* kSource = "OvrinSMS";
    static constexpr const char* kOpenFailed = "Unable to open event log";
    // The log refused to clear (the journal's mark could not be stored):
    // the list is read again whole, so the events are seen to stay.
    static constexpr const char* kClearFailed = "Unable to clear event log";
    static constexpr const char* kTooMany =
        "Too many events.  Please use Windows Event Log viewer to view all events.";
    static constexpr const char* kClearQuestion =
        "This will clear all events from the application event log for this system, which includes events from "
        "applications other than OvrinSMS.\r\n\r\nContinue?";
    // The question where the log is the systemd journal, which cannot
    // delete one program's entries.
    static constexpr const char* kClearJournalQuestion =
        "The system journal keeps the events of every program. This will hide the OvrinSMS events logged so far "
        "from this list, for every user of the console; the journal itself is not changed.\r\n\r\nContinue?";

    explicit EventLogViewer(Context& ctx, size_t capacity = kCapacity);

    // The dialog opened: starts again at the oldest record and reads.
    void opened();
    // Reads the records not yet examined and puts the gateway's on top.
    void refresh();
    // "Clear Event Log", with its question (the journal's where the log
    // only hides what it cannot delete).
    void press_clear();

    // Newest first.
    const std::deque<std::string>& lines() const { return lines_; }
    uint32_t next_record() const { return next_record_; }
    // Bumped on every change of the list; `cleared()` counts the times the
    // list was emptied, so a view can tell additions from a new start.
    uint64_t revision() const { return revision_; }
    uint64_t cleared() const { return cleared_; }

private:
    std::unique_ptr<platform::EventLogHandle> open_log();

    Context& ctx_;
    size_t capacity_;
    uint32_t next_record_ = 0;  // 0: start at the oldest record
    std::deque<std::string> lines_;
    bool warned_full_ = false;
    uint64_t revision_ = 0;
    uint64_t cleared_ = 0;
};

// One list line: "YYYY-MM-DD hh:mm:ss - " (left out when the time is not a
// real one), "Error: " / "Warning: " / "Info: ", then the first insertion
// string, with line breaks and tabs shown as spaces.
std::string event_line(const platform::EventRecord& record);

}  // namespace ovr::pages
