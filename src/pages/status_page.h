// The Status page: what the gateway is doing right now (the two services,
// port conflicts, modem errors, the outbound queues and the day counters),
// refreshed every second, and the buttons that install, remove, start and
// stop the services and open the viewers and the logs.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "pages/fields.h"
#include "pages/page.h"
#include "queue/queue_dirs.h"

namespace ovr::pages {

class StatusPage final : public PageModel {
public:
    static constexpr uint32_t kRefreshMs = 1000;
    // The queue directories are walked at most this often.
    static constexpr uint64_t kQueueCountIntervalMs = 10000;
    static constexpr size_t kCounterRows = 8;
    static constexpr size_t kSmsCounterRows = 5;  // the rows under the SMS queue

    // `console_dir` is where the service programs live (empty: beside the
    // running executable).
    explicit StatusPage(Context& ctx, std::string console_dir = {});

    std::string title() const override { return "Status"; }
    std::string template_name() const override { return "DIALOG_STATUS"; }
    void created(PageSite& site) override;
    bool cancel_requested() override { return confirm_cancel(); }
    std::optional<bool> unsaved_query() override { return ctx().unsaved_changes; }
    uint32_t refresh_interval_ms() const override { return kRefreshMs; }
    void tick() override { refresh(); }

    struct QueueRow {
        Label label;   // "Outbound SMS Queue:", red with the count
        Label count;   // "%u" or "Empty"
        PushButton view{"View"};
    };
    struct CounterRow {
        Label label;
        std::array<Label, 3> counts;  // today, last 7, last 30; empty for 0
        std::optional<PushButton> view;  // the received rows only
    };

    // Fields, top to bottom.
    const Label& heading() const { return heading_; }
    const CheckBox& run_as_service() const { return run_as_service_; }
    const Label& service_status() const { return service_status_; }
    const PushButton& start_button() const { return start_; }
    const PushButton& stop_button() const { return stop_; }
    const Label& modem_information() const { return modem_info_; }
    const std::array<Label, 3>& column_heads() const { return heads_; }
    const QueueRow& sms_queue() const { return sms_queue_; }
    const QueueRow& mms_queue() const { return mms_queue_; }
    const CounterRow& counter_row(size_t i) const { return rows_[i]; }
    const PushButton& view_log_files_button() const { return view_logs_; }
    const PushButton& event_log_button() const { return event_log_; }

    // User actions.
    void click_run_as_service();
    void press_start();
    void press_stop();
    void press_view(ViewerKind kind);
    void press_view_log_files();
    void press_event_log();

    // Everything the 1-second timer does.
    void refresh();

    // The time of the last queue count outlives the page; tests start afresh.
    static void forget_last_queue_count();

    static constexpr const char* kSaveQuestion = "Save configuration changes?";
    static constexpr const char* kRemoveQuestion = "Are you sure?";
    static constexpr const char* kRemoveCaption = "Remove Service";

private:
    bool refresh_queues();
    bool refresh_services();
    bool refresh_counters();
    // The unsaved-changes question before the services start; false when
    // applying failed and nothing more may happen.
    bool save_before_start();
    // Runs a service operation behind the busy indicator; the page does not
    // refresh meanwhile.
    void run_service_operation(const char* what, void (*op)(StatusPage&));

    std::string console_dir_;
    bool guard_ = false;  // a click on "Run as a service" is being handled
    bool busy_ = false;   // a service operation is running

    Label heading_{"OvrinSMS Lite Service:"};
    CheckBox run_as_service_{"Run as a service"};
    Label service_status_;
    PushButton start_{"Start"};
    PushButton stop_{"Stop"};
    Label modem_info_;
    std::array<Label, 3> heads_{Label{"Today"}, Label{"Last 7"}, Label{"Last 30"}};
    QueueRow sms_queue_;
    QueueRow mms_queue_;
    std::array<CounterRow, kCounterRows> rows_;
    PushButton view_logs_{"View Log Files"};
    PushButton event_log_{"Event Log"};
};

// A display text as the page writes it: only when it differs ignoring case
// (and the red flag when it moves). True when anything changed.
bool update_label(Label& label, const std::string& text, bool red);

// The chooser of "View Log Files": its filters, the first selected.
std::vector<FileFilter> log_file_filters();

}  // namespace ovr::pages
