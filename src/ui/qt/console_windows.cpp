#include "ui/qt/console_windows.h"

#include <QApplication>

#include "ui/qt/event_log_window.h"
#include "ui/qt/keyword_dialog_window.h"
#include "ui/qt/mm7_dialog_window.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/queue_viewer_window.h"

namespace ovr::ui {

void ConsoleWindows::open_queue_viewer(pages::ViewerKind kind) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = QApplication::activeWindow();
    QueueViewerWindow window(ctx_, kind, parent);
    window.setWindowIcon(program_icon());
    window.exec();
}

void ConsoleWindows::open_event_log_viewer() {
    EventLogWindow w(ctx_, QApplication::activeWindow());
    w.exec();
}

bool ConsoleWindows::run_keyword_dialog(pages::KeywordDialog& dialog) {
    KeywordDialogWindow w(dialog, QApplication::activeWindow());
    w.setWindowIcon(program_icon());
    return w.exec() == QDialog::Accepted;
}

bool ConsoleWindows::run_mm7_dialog(pages::Mm7Dialog& dialog) {
    Mm7DialogWindow w(dialog, QApplication::activeWindow());
    w.setWindowIcon(program_icon());
    return w.exec() == QDialog::Accepted;
}

}  // namespace ovr::ui
