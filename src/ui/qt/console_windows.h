// The windows the pages open: the queue viewers and the event log viewer
// (Status page), the mailbox and senders dialogs (E-mail page), each modal
// over the window in front.
#pragma once

#include "pages/page.h"

namespace ovr::ui {

class ConsoleWindows final : public pages::Windows {
public:
    explicit ConsoleWindows(pages::Context& ctx) : ctx_(ctx) {}
    void open_queue_viewer(pages::ViewerKind kind) override;
    void open_event_log_viewer() override;
    bool run_dialog(pages::DialogModel& dialog) override;
    bool run_keyword_dialog(pages::KeywordDialog& dialog) override;
    bool run_mm7_dialog(pages::Mm7Dialog& dialog) override;
    int edit_mailbox(int kind) override;
    int edit_senders() override;

private:
    pages::Context& ctx_;
};

}  // namespace ovr::ui
