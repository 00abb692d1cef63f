// The Qt console's Ui: QMessageBox for every box, the busy runner that keeps
// long work off the UI thread behind a modal wait window, the file chooser
// and the desktop's editor and "open". Boxes and progress lines raised by
// work on another thread are shown on the UI thread, and the work waits for
// the answer.
#pragma once

#include <QDialog>
#include <QIcon>
#include <memory>

#include "app/console.h"
#include "platform/desktop.h"
#include "platform/ui.h"

class QLabel;
class QPlainTextEdit;
class QMessageBox;
class QWidget;

namespace ovr::ui {

// The wait window: a title, a text, an animated bar that keeps repainting
// while the work runs, and the live progress lines. The user cannot close it.
class BusyDialog : public QDialog {
    Q_OBJECT
public:
    BusyDialog(const QString& title, const QString& text, QWidget* parent = nullptr);
    void add_line(const QString& line);
    void set_text(const QString& text);

protected:
    void reject() override {}
    void closeEvent(QCloseEvent* e) override;

private:
    QLabel* text_;
    QPlainTextEdit* lines_;
};

// The message box the console shows for (text, icon, buttons, caption).
std::unique_ptr<QMessageBox> make_message_box(const std::string& text, Icon icon, Buttons buttons,
                                              const std::string& caption, QWidget* parent);

// The program icon, drawn at start-up.
QIcon program_icon();

class QtUi final : public Ui, public app::BusyRunner {
public:
    explicit QtUi(std::shared_ptr<platform::Desktop> desktop) : desktop_(std::move(desktop)) {}

    Answer message(const std::string& text, Icon icon, Buttons buttons = Buttons::Ok,
                   const std::string& caption = kProgramTitle) override;
    void busy_begin(const std::string& what) override;
    void progress(const std::string& line) override;
    void busy_end() override;
    std::optional<std::string> choose_open_file(const std::string& title, const std::vector<FileFilter>& filters,
                                                const std::string& initial_dir) override;
    bool run_editor(const std::string& path) override;
    bool shell_open(const std::string& target, const std::string& working_dir = {}) override;

    // BusyRunner: the work runs on its own thread while the wait window
    // shows; returns when the work has ended.
    void run(const std::string& title, const std::string& text, const std::function<void()>& work) override;

private:
    std::shared_ptr<platform::Desktop> desktop_;
    BusyDialog* busy_ = nullptr;  // the wait window while a run is in progress
    int cursor_depth_ = 0;
};

}  // namespace ovr::ui
