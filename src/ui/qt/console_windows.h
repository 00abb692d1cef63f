// The windows the Status page opens: the queue viewers and the event log
// viewer, each modal over the window in front.
#pragma once

#include "pages/page.h"

namespace ovr::ui {

class ConsoleWindows final : public pages::Windows {
public:
    explicit ConsoleWindows(pages::Context& ctx) : ctx_(ctx) {}
    void open_queue_viewer(pages::ViewerKind kind) override;
    void open_event_log_viewer() override;
    bool run_keyword_dialog(pages::KeywordDialog& dialog) override;
    bool run_mm7_dialog(pages::Mm7Dialog& dialog) override;

private:
    pages::Context& ctx_;
};

}  // namespace ovr::ui
