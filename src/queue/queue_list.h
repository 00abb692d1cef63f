// The rows of the four queue viewers, built afresh from the directories on
// every refresh, and their ordering.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/fs.h"
#include "queue/queue_dirs.h"

namespace ovr::queue {

enum class ListKind { OutboundSms, OutboundMms, ReceivedSms, ReceivedMms };

inline constexpr unsigned kMaxListEntries = 5000;
// Every row is packed into a work area of this many bytes.
inline constexpr size_t kEntryWorkArea = 8192;
// Received subdirectories left empty this long are removed.
inline constexpr int64_t kEmptySubdirectoryAgeSec = 5 * 60;

// One row: consecutive NUL-terminated strings and a final NUL. String 0 is the
// relative name ("file" or "subdirectory/file"); column k shows string k + 1.
class QueueListEntry {
public:
    // Packs the strings into the work area; the last strings are cut (at a
    // UTF-8 character boundary) when the whole row would not fit. Nothing
    // when the memory cannot be had.
    static std::unique_ptr<QueueListEntry> build(const std::vector<std::string_view>& strings);

    // String k, or "" beyond the last.
    std::string_view string(size_t k) const;
    size_t string_count() const { return count_; }
    // The packed bytes, final NUL included.
    std::string_view bytes() const { return {block_.get(), size_}; }

private:
    static constexpr size_t kMaxStrings = 8;
    std::unique_ptr<char[]> block_;
    size_t size_ = 0;
    uint16_t offsets_[kMaxStrings] = {};
    uint8_t count_ = 0;
};

struct QueueList {
    std::vector<std::unique_ptr<QueueListEntry>> entries;   // at most kMaxListEntries
    unsigned total = 0;   // every matching file met, listed or not
    unsigned skipped = 0; // matching names that are no regular file (links, fifos, ...)
    unsigned loaded() const { return static_cast<unsigned>(entries.size()); }
};

// The clock gives "now" for the removal of old empty subdirectories.
QueueList ListOutboundSms(const QueueSetup& q);
QueueList ListOutboundMms(const QueueSetup& q);
QueueList ListReceivedSms(const QueueSetup& q, platform::Clock& clock);
QueueList ListReceivedMms(const QueueSetup& q, platform::Clock& clock);
QueueList list_queue(ListKind kind, const QueueSetup& q, platform::Clock& clock);

// Columns of a list kind (strings 1 onward): 6 for received SMS, else 5.
int column_count(ListKind kind);
// Column titles, for printing.
std::vector<std::string> column_titles(ListKind kind);

// "%04d-%02d-%02d %02d:%02d:%02d" of a file time in local time.
std::string format_file_time(const platform::fs::FileTime& t);
// "Retry - %2u attempt(s)" (+ " - " + error), or "Queued".
std::string outbound_status(int32_t retry_count, std::string_view last_error);
// Up to five recipients joined with ", ", more as "%u recipients".
std::string recipient_summary(const std::vector<std::string>& recipients);

// Sorting. A sort state is column + 1, positive ascending, negative
// descending. The comparison is the locale's, ignoring letter case, with no
// second key.
int compare_column(const QueueListEntry& a, const QueueListEntry& b, int column);

struct EntryComparator {
    int state = 4;
    bool operator()(const QueueListEntry& a, const QueueListEntry& b) const {
        int c = compare_column(a, b, (state < 0 ? -state : state) - 1);
        return state < 0 ? c > 0 : c < 0;
    }
};

// The comparator a state stands for (an out-of-range state means the time
// column in the kind's first order).
EntryComparator comparator_for(ListKind kind, int state);

// The sort state of each list kind, kept for the life of the process:
// outbound lists +4 (time, oldest first), received lists -4 (newest first).
int sort_state(ListKind kind);
void set_sort_state(ListKind kind, int state);
// The order of a viewer's first list, whatever the kept state says.
int initial_sort_state(ListKind kind);
// A click on column k: +(k + 1), or -(k + 1) when already +(k + 1). Returns
// the comparator to sort with.
EntryComparator ColumnClick(ListKind kind, int column);

// Sorts the pointer table by the comparator (not stable).
void sort_list(QueueList& list, const EntryComparator& cmp);

}  // namespace ovr::queue
