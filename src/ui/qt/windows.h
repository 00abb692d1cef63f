// The windows pages open through the front end: the queue viewers, each
// shown modally over the active window, and the event log viewer.
#pragma once

#include "pages/page.h"

namespace ovr::ui {

class QtWindows final : public pages::Windows {
public:
    explicit QtWindows(pages::Context& ctx) : ctx_(ctx) {}
    void open_queue_viewer(pages::ViewerKind kind) override;
    // Not built yet: opens nothing.
    void open_event_log_viewer() override {}

private:
    pages::Context& ctx_;
};

}  // namespace ovr::ui
