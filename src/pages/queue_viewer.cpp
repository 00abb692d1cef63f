#include "pages/queue_viewer.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "config/text.h"
#include "platform/fs.h"
#include "queue/delete_retry.h"

namespace ovr::pages {
namespace fs = platform::fs;
namespace {

constexpr QueueViewerSpec kSpecs[] = {
    {"Outbound SMS Queue", "Outbound SMS Message Queue:  ", "Empty", queue::ListKind::OutboundSms, false},
    {"Outbound MMS Queue", "Outbound MMS Message Queue:  ", "Empty", queue::ListKind::OutboundMms, false},
    {"Received SMS Messages", "Received SMS Messages:  ", "None", queue::ListKind::ReceivedSms, true},
    {"Received MMS Messages", "Received MMS Messages:  ", "None", queue::ListKind::ReceivedMms, true},
};

// Each kind's list outlives its window until a viewer of the kind opens again.
struct KeptLists {
    std::mutex mu;
    std::array<std::unique_ptr<queue::QueueList>, 4> lists;
};
KeptLists& kept() {
    static KeptLists k;
    return k;
}

// At most `max` characters of UTF-8 text (a character is a lead byte and its
// continuation bytes; a stray byte counts as one).
std::string cut_characters(std::string_view s, size_t max) {
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;
        if (chars++ == max) return std::string(s.substr(0, i));
    }
    return std::string(s);
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = config::lower_char(c);
    return out;
}

}  // namespace

const QueueViewerSpec& queue_viewer_spec(ViewerKind kind) { return kSpecs[static_cast<int>(kind)]; }

std::string routing_companion_on_disk(const std::string& message_path) {
    const std::string documented = queue::companion_path(message_path);
    auto found = queue::find_entry_ignoring_case(fs::parent_directory(documented), fs::base_name(documented));
    return found ? *found : documented;
}

std::optional<std::string> content_directory_of(const std::string& header_path) {
    size_t dot = header_path.rfind('.');
    size_t slash = header_path.rfind('/');
    size_t stem_start = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || dot <= stem_start) return std::nullopt;
    return header_path.substr(0, dot);
}

QueueViewer::QueueViewer(Context& ctx, ViewerKind kind)
    : ctx_(ctx), kind_(kind), setup_(queue::make_queue_setup(ctx.dirs, ctx.ini)) {
    switch (spec().list) {
    case queue::ListKind::OutboundSms: directory_ = queue::ResolveOutboundSmsQueue(setup_); break;
    case queue::ListKind::OutboundMms: directory_ = queue::ResolveOutboundMmsQueue(setup_); break;
    case queue::ListKind::ReceivedSms: directory_ = queue::ResolveReceivedSmsDirectory(setup_); break;
    case queue::ListKind::ReceivedMms: directory_ = queue::ResolveReceivedMmsDirectory(setup_); break;
    }
    {
        KeptLists& k = kept();
        std::lock_guard<std::mutex> g(k.mu);
        k.lists[static_cast<int>(kind_)].reset();
    }
    const int first = queue::initial_sort_state(spec().list);
    auto list = std::make_unique<queue::QueueList>(build_list(first));
    total_ = list->total;
    shown_order_ = first;
    list_ = std::move(list);
}

QueueViewer::~QueueViewer() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    KeptLists& k = kept();
    std::lock_guard<std::mutex> kg(k.mu);
    k.lists[static_cast<int>(kind_)] = std::move(list_);
}

std::vector<std::string> QueueViewer::columns() const { return queue::column_titles(spec().list); }

int QueueViewer::column_count() const { return queue::column_count(spec().list); }

std::vector<int> QueueViewer::column_widths(int inner_width) const {
    std::vector<int> widths(static_cast<size_t>(column_count()), inner_width / 6);
    widths.back() = inner_width;
    return widths;
}

std::string QueueViewer::status_line() const {
    std::string line = spec().status_prefix;
    if (total_ == 0) return line + spec().empty_word;
    char text[64];
    std::snprintf(text, sizeof text, "%u message%s", total_, total_ >= 2 ? "s" : "");
    return line + text;
}

int QueueViewer::row_count() const {
    std::lock_guard<std::recursive_mutex> g(lock_);
    return list_ ? static_cast<int>(list_->loaded()) : 0;
}

std::string QueueViewer::cell(int row, int column) const {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!list_ || row < 0 || row >= static_cast<int>(list_->loaded()) || column < 0 || column >= column_count())
        return {};
    std::string_view s = list_->entries[static_cast<size_t>(row)]->string(static_cast<size_t>(column) + 1);
    return spec().received ? cut_characters(s, kMaxCellChars) : std::string(s);
}

std::string QueueViewer::relative_name(int row) const {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!list_ || row < 0 || row >= static_cast<int>(list_->loaded())) return {};
    return std::string(list_->entries[static_cast<size_t>(row)]->string(0));
}

std::string QueueViewer::file_path(int row) const { return directory_ + relative_name(row); }

void QueueViewer::set_selected(std::vector<int> rows) {
    const int n = row_count();
    std::erase_if(rows, [n](int r) { return r < 0 || r >= n; });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    selected_ = std::move(rows);
}

std::optional<std::string> QueueViewer::remember_selection() const {
    if (selected_.empty()) return std::nullopt;
    return cut_characters(relative_name(selected_.front()), kRememberedNameChars);
}

void QueueViewer::restore_selection(const std::optional<std::string>& name) {
    selected_.clear();
    focus_row_ = -1;
    scroll_row_ = 0;
    if (name) {
        // Both sides cut alike, so a long name is found again too.
        const std::string wanted = lower(*name);
        std::lock_guard<std::recursive_mutex> g(lock_);
        for (int r = 0; r < static_cast<int>(list_->loaded()); ++r) {
            std::string_view rel = list_->entries[static_cast<size_t>(r)]->string(0);
            if (lower(cut_characters(rel, kRememberedNameChars)) == wanted) {
                selected_ = {r};
                focus_row_ = r;
                scroll_row_ = r;
                break;
            }
        }
    }
    if (observer_) observer_->selection_reset();
}

queue::QueueList QueueViewer::build_list(int order) const {
    queue::QueueList list = queue::list_queue(spec().list, setup_, *ctx_.platform->clock);
    queue::sort_list(list, queue::comparator_for(spec().list, order));
    return list;
}

void QueueViewer::sort_shown(int order) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    queue::sort_list(*list_, queue::comparator_for(spec().list, order));
    shown_order_ = order;
}

void QueueViewer::column_click(int column) {
    if (column < 0 || column >= column_count()) return;
    std::lock_guard<std::recursive_mutex> g(lock_);
    auto name = remember_selection();
    queue::ColumnClick(spec().list, column);
    if (observer_) observer_->list_replacing();
    sort_shown(queue::sort_state(spec().list));
    if (observer_) observer_->list_replaced();
    restore_selection(name);
}

void QueueViewer::tick() {
    if (selected_.size() >= 2) return;   // a multiple selection is never disturbed
    apply_refresh(build_list(queue::sort_state(spec().list)));
}

void QueueViewer::apply_refresh(queue::QueueList fresh) {
    total_ = fresh.total;
    if (selected_.size() < 2) {
        auto replacement = std::make_unique<queue::QueueList>(std::move(fresh));
        std::unique_ptr<queue::QueueList> old;
        {
            std::lock_guard<std::recursive_mutex> g(lock_);
            auto name = remember_selection();
            if (observer_) observer_->list_replacing();
            old = std::move(list_);
            list_ = std::move(replacement);
            shown_order_ = queue::comparator_for(spec().list, queue::sort_state(spec().list)).state;
            if (observer_) observer_->list_replaced();
            restore_selection(name);
        }
        old.reset();   // released outside the lock
    }
    if (observer_) observer_->status_changed();
}

void QueueViewer::open() {
    std::string path;
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        if (selected_.empty()) return;
        path = file_path(selected_.front());
    }
    switch (kind_) {
    case ViewerKind::OutboundSms:
    case ViewerKind::ReceivedSms:
        ctx_.ui->run_editor(path);   // a failure to start is not reported
        break;
    case ViewerKind::OutboundMms:
        ctx_.ui->run_editor(routing_companion_on_disk(path));
        break;
    case ViewerKind::ReceivedMms:
        if (observer_) observer_->show_mms_details(path);
        break;
    }
}

void QueueViewer::delete_files(const std::string& path) {
    auto clock = ctx_.platform->clock;
    switch (kind_) {
    case ViewerKind::OutboundSms:
    case ViewerKind::ReceivedSms:
        queue::DeleteWithRetry(path, clock);
        break;
    case ViewerKind::OutboundMms: {
        // The companion is looked up before its message file goes.
        const std::string companion = routing_companion_on_disk(path);
        queue::DeleteWithRetry(path, clock);
        queue::DeleteWithRetry(companion, clock);
        break;
    }
    case ViewerKind::ReceivedMms:
        fs::remove_file(path);
        if (!fs::exists(path)) {
            if (auto content = content_directory_of(path)) {
                // The services may spell the directory in another letter case.
                auto found = queue::find_entry_ignoring_case(fs::parent_directory(*content), fs::base_name(*content));
                if (found && fs::is_directory(*found)) fs::recursive_delete(*found + "/");
            }
        }
        break;
    }
}

void QueueViewer::delete_selected() {
    const size_t n = selected_.size();
    if (n == 0) return;
    char question[64];
    if (n == 1)
        std::snprintf(question, sizeof question, "Delete Message?");
    else
        std::snprintf(question, sizeof question, "Delete %u messages?", static_cast<unsigned>(n));
    if (!ctx_.ui->ask_yes_no(question)) return;

    std::lock_guard<std::recursive_mutex> g(lock_);
    while (!selected_.empty()) {
        const int row = selected_.front();
        if (row >= static_cast<int>(list_->loaded())) break;
        delete_files(file_path(row));
        if (observer_) observer_->row_removing(row);
        list_->entries.erase(list_->entries.begin() + row);
        selected_.erase(selected_.begin());
        for (int& r : selected_) --r;   // the rows after it moved up
        if (observer_) observer_->row_removed();
    }
    selected_.clear();
    focus_row_ = -1;
}

}  // namespace ovr::pages
