#include "pages/event_log_viewer.h"

#include <cstdio>

#include "config/text.h"

namespace ovr::pages {
namespace {

bool convertible(const platform::LocalTime& t) {
    return t.year >= 1601 && t.year <= 30827 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
           t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60;
}

}  // namespace

std::string event_line(const platform::EventRecord& r) {
    std::string line;
    if (convertible(r.time)) {
        char t[64];
        std::snprintf(t, sizeof t, "%04d-%02d-%02d %02d:%02d:%02d - ", r.time.year, r.time.month, r.time.day,
                      r.time.hour, r.time.minute, r.time.second);
        line = t;
    }
    switch (r.type) {
        case platform::EventType::Error: line += "Error: "; break;
        case platform::EventType::Warning: line += "Warning: "; break;
        default: line += "Info: "; break;
    }
    if (!r.strings.empty()) {
        // One event, one line.
        for (char c : r.strings.front()) line += (c == '\r' || c == '\n' || c == '\t') ? ' ' : c;
    }
    return line;
}

EventLogViewer::EventLogViewer(Context& ctx, size_t capacity) : ctx_(ctx), capacity_(capacity) {}

std::unique_ptr<platform::EventLogHandle> EventLogViewer::open_log() {
    if (!ctx_.platform || !ctx_.platform->event_log) return nullptr;
    return ctx_.platform->event_log->open_application(ctx_.dirs.private_data);
}

void EventLogViewer::opened() {
    next_record_ = 0;
    refresh();
}

void EventLogViewer::refresh() {
    auto log = open_log();
    if (!log) {
        ctx_.ui->message(kOpenFailed, Icon::Error);
        return;
    }
    if (next_record_ == 0) next_record_ = log->oldest_record().value_or(0);
    auto oldest = log->oldest_record();
    auto count = log->record_count();
    if (!oldest || !count) return;
    const uint64_t end = uint64_t{*oldest} + *count;  // one past the newest
    // Past the end: the log was cleared behind the viewer's back and numbers
    // its records afresh; start again at its oldest.
    if (next_record_ > end) next_record_ = *oldest;
    bool added = false;
    while (next_record_ < end) {
        auto records = log->read_forward(next_record_, kReadBufferBytes);
        if (!records) break;  // a read failure ends the refresh quietly
        if (records->empty()) {
            // The record does not fit the buffer: read it alone with room
            // enough, or pass over it, so that one oversized record cannot
            // hide every later event for good.
            records = log->read_forward(next_record_, kLargestRecordBytes);
            if (!records) break;
            if (records->empty()) {
                ++next_record_;
                continue;
            }
            records->resize(1);
        }
        bool refused = false;
        for (const auto& r : *records) {
            if (config::equal_ignoring_case(r.source, kSource)) {
                if (lines_.size() >= capacity_) {
                    refused = true;
                    break;
                }
                lines_.push_front(event_line(r));
                added = true;
            }
            next_record_ = r.number + 1;
        }
        if (refused) {
            // The refused record is tried again by later refreshes; the
            // warning shows once while the list stays full.
            if (!warned_full_) {
                warned_full_ = true;
                ctx_.ui->message(kTooMany, Icon::None, Buttons::Ok, "Warning");
            }
            break;
        }
    }
    if (added) ++revision_;
}

void EventLogViewer::press_clear() {
    bool hides = ctx_.platform && ctx_.platform->event_log && ctx_.platform->event_log->clear_hides_only();
    if (!ctx_.ui->ask_yes_no(hides ? kClearJournalQuestion : kClearQuestion)) return;
    auto log = open_log();
    if (!log) {
        ctx_.ui->message(kOpenFailed, Icon::Error);
        return;
    }
    bool ok = log->clear();
    log.reset();
    if (!ok) ctx_.ui->message(kClearFailed, Icon::Error);
    lines_.clear();
    warned_full_ = false;
    next_record_ = 0;
    ++cleared_;
    ++revision_;
    refresh();
}

}  // namespace ovr::pages
