#include "ui/qt/console_windows.h"

#include <QApplication>

#include "ui/qt/event_log_window.h"

namespace ovr::ui {

void ConsoleWindows::open_queue_viewer(pages::ViewerKind) {
    // The queue viewer windows open here.
}

void ConsoleWindows::open_event_log_viewer() {
    EventLogWindow w(ctx_, QApplication::activeWindow());
    w.exec();
}

}  // namespace ovr::ui
