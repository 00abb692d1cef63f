// The four queue viewer windows (outbound SMS and MMS queues, received SMS
// and MMS): one model for the family. The window asks it for cells as it
// draws them; the model holds the current list, the selection by row and the
// rules for sorting, refreshing, opening and deleting.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "pages/page.h"
#include "queue/queue_dirs.h"
#include "queue/queue_list.h"

namespace ovr::pages {

struct QueueViewerSpec {
    const char* title;
    const char* status_prefix;
    const char* empty_word;
    queue::ListKind list;
    bool received;   // received viewers cut their cells
};

const QueueViewerSpec& queue_viewer_spec(ViewerKind kind);

class QueueViewer {
public:
    static constexpr uint32_t kRefreshMs = 60000;
    // Cells of the received viewers show at most this many characters.
    static constexpr size_t kMaxCellChars = 499;
    // The part of a row's name remembered to find it again.
    static constexpr size_t kRememberedNameChars = 249;

    // What the window hears of changes it did not ask for row by row.
    class Observer {
    public:
        virtual ~Observer() = default;
        // The list is about to be replaced, and has been (row count and
        // every row may differ).
        virtual void list_replacing() {}
        virtual void list_replaced() {}
        // A row is about to leave the list, and has left (rows after it move up).
        virtual void row_removing(int /*row*/) {}
        virtual void row_removed() {}
        // The selection, focus row and scroll target were set anew.
        virtual void selection_reset() {}
        virtual void status_changed() {}
        // "Open" on a received MMS: the details dialog for its header file.
        virtual void show_mms_details(const std::string& /*header_path*/) {}
    };

    // Opening: releases the kind's previous list, builds a new one sorted by
    // the time column in the kind's first order, selects nothing.
    QueueViewer(Context& ctx, ViewerKind kind);
    // Closing: the list stays with its kind until a viewer of that kind
    // opens again.
    ~QueueViewer();
    QueueViewer(const QueueViewer&) = delete;
    QueueViewer& operator=(const QueueViewer&) = delete;

    void set_observer(Observer* o) { observer_ = o; }

    ViewerKind kind() const { return kind_; }
    const QueueViewerSpec& spec() const { return queue_viewer_spec(kind_); }
    std::string title() const { return spec().title; }
    std::string template_name() const { return "DIALOG_SMSQ"; }
    std::vector<std::string> columns() const;
    int column_count() const;
    // Every column but the last is a sixth of the inner width; the last is
    // the whole inner width, so the list scrolls sideways.
    std::vector<int> column_widths(int inner_width) const;
    // The prefix, then "%u message%s" with the total, or the empty word.
    std::string status_line() const;
    unsigned total() const { return total_; }
    uint32_t refresh_interval_ms() const { return kRefreshMs; }
    // The order the shown list has (a sort state: column + 1, negative
    // descending).
    int shown_order() const { return shown_order_; }

    // The viewer's directory, ending with "/".
    std::string directory() const { return directory_; }

    // Rows, read under the viewer's lock.
    int row_count() const;
    // String k + 1 of the row's entry; "" outside the list.
    std::string cell(int row, int column) const;
    std::string relative_name(int row) const;
    std::string file_path(int row) const;

    // The selection, ascending. The window reports the user's selection;
    // the model sets it anew after sorts, refreshes and deletions.
    const std::vector<int>& selected() const { return selected_; }
    void set_selected(std::vector<int> rows);
    int focus_row() const { return focus_row_; }
    // The row to scroll into view (0: the top).
    int scroll_row() const { return scroll_row_; }

    // A click on the header of column k.
    void column_click(int column);
    // The timer: skipped while two or more rows are selected.
    void tick();
    // A refresh in two halves, so a front end may build off its UI thread:
    // building touches nothing of the viewer's current list.
    queue::QueueList build_list(int order) const;
    void apply_refresh(queue::QueueList fresh);

    // Enter or a double click.
    void open();
    // The Delete key: asks, then removes the selected rows' files.
    void delete_selected();

private:
    std::optional<std::string> remember_selection() const;
    void restore_selection(const std::optional<std::string>& name);
    void sort_shown(int order);
    void delete_files(const std::string& path);

    Context& ctx_;
    ViewerKind kind_;
    queue::QueueSetup setup_;
    std::string directory_;
    Observer* observer_ = nullptr;

    mutable std::recursive_mutex lock_;   // around every access to list_
    std::unique_ptr<queue::QueueList> list_;
    unsigned total_ = 0;   // of the last build; a deletion leaves it alone
    int shown_order_ = 0;

    std::vector<int> selected_;
    int focus_row_ = -1;
    int scroll_row_ = 0;
};

// The companion of an outbound MMS message file as it is spelled on disk
// (letter case ignored), or the documented name when there is none.
std::string routing_companion_on_disk(const std::string& message_path);

// A received MMS header's content directory: the path cut at its last ".";
// nothing when the file name has no stem (".HDR" would name its directory).
std::optional<std::string> content_directory_of(const std::string& header_path);

}  // namespace ovr::pages
