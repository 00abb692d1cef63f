#include "pages/status_page.h"

#include "config/ini.h"
#include "config/text.h"
#include "platform/fs.h"
#include "service/control.h"
#include "service/status.h"
#include "service/status_text.h"

namespace ovr::pages {
namespace {

// When the queues were last counted, for the whole process: a sheet opened
// again within the interval shows its counts only after the next count.
std::optional<uint64_t> g_last_queue_count;

constexpr const char* kCounterLabels[StatusPage::kCounterRows] = {
    "SMS Submitted:", "SMS Sent:", "SMS Received:", "SMS Failed:",
    "SMS Retried:",   "MMS Processed:", "MMS Sent:", "MMS Received"};

bool update_flag(bool& flag, bool value) {
    if (flag == value) return false;
    flag = value;
    return true;
}

}  // namespace

bool update_label(Label& label, const std::string& text, bool red) {
    bool changed = false;
    // The whole text is compared: a change far down the modem lines must
    // still reach the screen.
    if (!config::equal_ignoring_case(label.text, text)) {
        label.text = text;
        changed = true;
    }
    return update_flag(label.red, red) || changed;
}

std::vector<FileFilter> log_file_filters() {
    return {{"OvrinSMS Log Files", "*.log"},     {"SMS Out Log Files", "smsout*.log"},
            {"SMS In Files", "smsin*.log"},      {"SMS Submit Log Files", "smsweb*.log"},
            {"MMSC Log Files", "mmsc*.log"},     {"All Files", "*.*"}};
}

void StatusPage::forget_last_queue_count() { g_last_queue_count.reset(); }

StatusPage::StatusPage(Context& ctx, std::string console_dir) : PageModel(ctx), console_dir_(std::move(console_dir)) {
    sms_queue_.label.text = "Outbound SMS Queue:";
    mms_queue_.label.text = "Outbound MMS Queue:";
    for (size_t i = 0; i < kCounterRows; ++i) {
        rows_[i].label.text = kCounterLabels[i];
        if (i == 2 || i == kCounterRows - 1) rows_[i].view = PushButton{"View"};
    }
    start_.enabled = stop_.enabled = false;
}

void StatusPage::created(PageSite& site) {
    PageModel::created(site);
    touched();
    refresh();
}

void StatusPage::refresh() {
    // A service operation holds the page until it returns.
    if (busy_ || !ctx().platform) return;
    bool changed = refresh_queues();
    changed = refresh_services() || changed;
    changed = refresh_counters() || changed;
    if (changed) touched();
}

bool StatusPage::refresh_queues() {
    uint64_t now = ctx().platform->clock->tick_ms();
    if (g_last_queue_count && now - *g_last_queue_count < kQueueCountIntervalMs) return false;
    queue::QueueSetup q = queue::make_queue_setup(ctx().dirs, ctx().ini);
    bool changed = false;
    for (auto [row, count] : {std::pair{&sms_queue_, queue::CountOutboundSms(q)},
                              std::pair{&mms_queue_, queue::CountOutboundMms(q)}}) {
        queue::QueueCountText t = queue::queue_count_text(q, count);
        // The label takes the count's colour.
        changed = update_label(row->count, t.text, t.red) || changed;
        changed = update_flag(row->label.red, t.red) || changed;
    }
    g_last_queue_count = now;
    return changed;
}

bool StatusPage::refresh_services() {
    platform::Platform& p = *ctx().platform;
    bool changed = false;
    // One look answers every state question of this refresh.
    const service::GatewayStates st = service::read_gateway_states(p);
    service::StatusText modem = service::modem_information_text(st, ctx().ini.rirer, ctx().dirs.private_data);
    changed = update_label(modem_info_, modem.text, modem.red) || changed;
    service::StatusText status = service::service_status_text(p, st);
    changed = update_label(service_status_, status.text, status.red) || changed;

    bool installed = st.sms_installed && st.mmsc_installed;
    bool running = installed && st.sms_running && st.mmsc_running;
    if (!guard_) changed = update_flag(run_as_service_.checked, installed) || changed;
    changed = update_flag(stop_.enabled, installed && running) || changed;
    changed = update_flag(start_.enabled, installed && !running) || changed;
    return changed;
}

bool StatusPage::refresh_counters() {
    auto rows = service::status_counter_rows(ctx().dirs.private_data, ctx().platform->clock->local_now());
    bool changed = false;
    for (size_t i = 0; i < kCounterRows; ++i) {
        const uint64_t values[3] = {rows[i].today, rows[i].last7, rows[i].last30};
        for (size_t c = 0; c < 3; ++c)
            changed = update_label(rows_[i].counts[c], service::count_field_text(values[c]), false) || changed;
    }
    return changed;
}

bool StatusPage::save_before_start() {
    if (!site() || !site()->query_unsaved()) return true;
    if (ui().ask_yes_no_cancel(kSaveQuestion) != Answer::Yes) return true;  // go on unsaved
    return site()->apply_all();
}

void StatusPage::run_service_operation(const char* what, void (*op)(StatusPage&)) {
    busy_ = true;
    auto work = [&] {
        BusyScope scope(ui(), what);
        op(*this);
    };
    if (ctx().run_busy)
        ctx().run_busy("Please wait...", what, work);
    else
        work();
    busy_ = false;
}

namespace {

service::ServiceControl control_for(Context& ctx, const std::string& dir) {
    return service::ServiceControl(*ctx.platform, *ctx.ui, dir);
}

}  // namespace

void StatusPage::click_run_as_service() {
    if (guard_ || busy_ || !ctx().platform) return;
    guard_ = true;
    run_as_service_.checked = !run_as_service_.checked;
    touched();
    if (run_as_service_.checked) {
        if (save_before_start())
            run_service_operation("Installing Services...", [](StatusPage& s) {
                control_for(s.ctx(), s.console_dir_).install_and_start(false);
            });
    } else if (ui().message(kRemoveQuestion, Icon::Question, Buttons::YesNoCancelDefaultNo, kRemoveCaption) == Answer::Yes) {
        run_service_operation("Removing Services...",
                              [](StatusPage& s) { control_for(s.ctx(), s.console_dir_).remove(false); });
    }
    guard_ = false;
    // The box follows the services again: still there, it is checked again.
    refresh();
}

void StatusPage::press_start() {
    if (!run_as_service_.checked || !start_.enabled || busy_ || !ctx().platform) return;
    if (!save_before_start()) return;
    run_service_operation("Starting Services...",
                          [](StatusPage& s) { control_for(s.ctx(), s.console_dir_).start(false); });
    refresh();
}

void StatusPage::press_stop() {
    if (!run_as_service_.checked || !stop_.enabled || busy_ || !ctx().platform) return;
    run_service_operation("Stopping Services...",
                          [](StatusPage& s) { control_for(s.ctx(), s.console_dir_).stop(false); });
    refresh();
}

void StatusPage::press_view(ViewerKind kind) {
    if (ctx().windows) ctx().windows->open_queue_viewer(kind);
}

void StatusPage::press_event_log() {
    if (ctx().windows) ctx().windows->open_event_log_viewer();
}

void StatusPage::press_view_log_files() {
    std::string dir = config::ini::read_string(ctx().ini.rirer, "RIRER", "LogDirectory", "", 261);
    if (dir.empty()) dir = ctx().dirs.program_data;
    auto chosen = ui().choose_open_file("Open", log_file_filters(), dir);
    // The chosen file must exist; a failure to start the editor is not reported.
    if (chosen && platform::fs::regular_file_exists(*chosen)) ui().run_editor(*chosen);
}

}  // namespace ovr::pages
