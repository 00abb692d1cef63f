// The debug-log page: switches the three services' debug logs (the Debug key
// of RIRER.INI, MMSC.INI and MMSWAP.INI) and opens each log in the text
// editor. The "View" buttons follow the log files' existence, checked again
// every 5 seconds.
#pragma once

#include <array>

#include "pages/fields.h"
#include "pages/page.h"

namespace ovr::pages {

class DebugLogsPage final : public PageModel {
public:
    static constexpr size_t kLogs = 3;
    static constexpr uint32_t kRefreshMs = 5000;

    explicit DebugLogsPage(Context& ctx);

    std::string title() const override { return "Debug Logs"; }
    std::string template_name() const override { return "DIALOG_DEBUG"; }
    void created(PageSite& site) override;
    void apply() override;
    bool cancel_requested() override { return confirm_cancel(); }
    std::optional<bool> unsaved_query() override { return ctx().unsaved_changes; }
    uint32_t refresh_interval_ms() const override { return kRefreshMs; }
    void tick() override { refresh(); }

    // Fields, in screen order.
    const Label& heading() const { return heading_; }
    const CheckBox& check(size_t i) const { return rows_[i].check; }
    const PushButton& view_button(size_t i) const { return rows_[i].view; }

    // User actions.
    void click_check(size_t i);
    void press_view(size_t i);

    // Where row i keeps its setting and its log.
    std::string ini_file(size_t i) const;
    static const char* section(size_t i);
    std::string log_file(size_t i) const;

private:
    struct Row {
        CheckBox check;
        PushButton view;
    };
    void refresh();

    Label heading_{"Enable Debug Logs:"};
    std::array<Row, kLogs> rows_;
};

}  // namespace ovr::pages
