// The event log viewer window: the gateway's events, newest first, read
// again every 5 seconds while it is open; OK, Cancel and "Clear Event Log".
#pragma once

#include <QDialog>

#include "pages/event_log_viewer.h"

class QListWidget;
class QPushButton;
class QTimer;

namespace ovr::ui {

class EventLogWindow final : public QDialog {
    Q_OBJECT
public:
    explicit EventLogWindow(pages::Context& ctx, QWidget* parent = nullptr);

    pages::EventLogViewer& model() { return model_; }
    QListWidget* list() { return list_; }
    QPushButton* clear_button() { return clear_; }
    QTimer* timer() { return timer_; }
    // Reads the log once more (what the timer does).
    void refresh();

private:
    void sync();

    pages::EventLogViewer model_;
    QListWidget* list_;
    QPushButton* clear_;
    QTimer* timer_;
    uint64_t seen_revision_ = ~uint64_t{0};
    uint64_t seen_cleared_ = 0;
};

}  // namespace ovr::ui
