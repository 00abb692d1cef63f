#include "ui/qt/windows.h"

#include <QApplication>

#include "ui/qt/qt_ui.h"
#include "ui/qt/queue_viewer_window.h"

namespace ovr::ui {

void QtWindows::open_queue_viewer(pages::ViewerKind kind) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = QApplication::activeWindow();
    QueueViewerWindow window(ctx_, kind, parent);
    window.setWindowIcon(program_icon());
    window.exec();
}

}  // namespace ovr::ui
