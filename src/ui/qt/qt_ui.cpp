#include "ui/qt/qt_ui.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QThread>
#include <QVBoxLayout>
#include <thread>

namespace ovr::ui {
namespace {

bool on_ui_thread() { return QThread::currentThread() == qApp->thread(); }

// Runs f on the UI thread and waits for it.
template <typename F>
void on_ui(F&& f) {
    if (on_ui_thread())
        f();
    else
        QMetaObject::invokeMethod(qApp, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

}  // namespace

BusyDialog::BusyDialog(const QString& title, const QString& text, QWidget* parent) : QDialog(parent) {
    setWindowTitle(title);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    text_ = new QLabel(text, this);
    auto* bar = new QProgressBar(this);
    bar->setRange(0, 0);  // an endless animation: the window visibly lives
    bar->setTextVisible(false);
    lines_ = new QPlainTextEdit(this);
    lines_->setReadOnly(true);
    lines_->setMaximumBlockCount(2000);
    lines_->setVisible(false);
    layout->addWidget(text_);
    layout->addWidget(bar);
    layout->addWidget(lines_);
    setMinimumWidth(360);
}

void BusyDialog::add_line(const QString& line) {
    if (!lines_->isVisible()) {
        lines_->setVisible(true);
        resize(std::max(width(), 520), std::max(height(), 320));
    }
    lines_->appendPlainText(line);
}

void BusyDialog::set_text(const QString& text) { text_->setText(text); }

void BusyDialog::closeEvent(QCloseEvent* e) { e->ignore(); }

std::unique_ptr<QMessageBox> make_message_box(const std::string& text, Icon icon, Buttons buttons,
                                              const std::string& caption, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(QString::fromStdString(caption));
    // A server's reply can make a box taller than the screen: the start is
    // shown, the rest kept under the details.
    constexpr int kShownChars = 2000;
    QString all = QString::fromStdString(text);
    if (all.size() > kShownChars) {
        int cut = all[kShownChars - 1].isHighSurrogate() ? kShownChars - 1 : kShownChars;
        box->setText(all.left(cut) + "...");
        box->setDetailedText(all.mid(cut));
    } else {
        box->setText(all);
    }
    switch (icon) {
        case Icon::Error: box->setIcon(QMessageBox::Critical); break;
        case Icon::Warning: box->setIcon(QMessageBox::Warning); break;
        case Icon::Information: box->setIcon(QMessageBox::Information); break;
        case Icon::Question: box->setIcon(QMessageBox::Question); break;
        case Icon::None: box->setIcon(QMessageBox::NoIcon); break;
    }
    switch (buttons) {
        case Buttons::Ok: box->setStandardButtons(QMessageBox::Ok); break;
        case Buttons::OkCancel: box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case Buttons::YesNo: box->setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case Buttons::RetryCancel: box->setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel); break;
        case Buttons::YesNoCancel:
            box->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case Buttons::YesNoCancelDefaultNo:
            box->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box->setDefaultButton(QMessageBox::No);
            break;
    }
    return box;
}

QIcon program_icon() {
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1f, 0x5f, 0xa8));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(4, 10, 56, 40), 8, 8);
    QPolygonF tail;
    tail << QPointF(16, 48) << QPointF(30, 48) << QPointF(12, 60);
    p.drawPolygon(tail);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(17);
    p.setFont(f);
    p.drawText(QRectF(4, 10, 56, 40), Qt::AlignCenter, "SMS");
    return QIcon(pm);
}

Answer QtUi::message(const std::string& text, Icon icon, Buttons buttons, const std::string& caption) {
    Answer answer = Answer::Ok;
    on_ui([&] {
        QWidget* parent = QApplication::activeModalWidget();
        if (!parent) parent = QApplication::activeWindow();
        auto box = make_message_box(text, icon, buttons, caption, parent);
        box->setWindowIcon(program_icon());
        box->raise();
        box->activateWindow();
        switch (box->exec()) {
            case QMessageBox::Yes: answer = Answer::Yes; break;
            case QMessageBox::No: answer = Answer::No; break;
            case QMessageBox::Cancel: answer = Answer::Cancel; break;
            case QMessageBox::Retry: answer = Answer::Retry; break;
            default: answer = buttons == Buttons::YesNo ? Answer::No : (buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel);
        }
        if (buttons == Buttons::Ok) answer = Answer::Ok;
    });
    return answer;
}

void QtUi::busy_begin(const std::string& what) {
    on_ui([&] {
        if (cursor_depth_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
        if (busy_) busy_->set_text(QString::fromStdString(what));
    });
}

void QtUi::busy_end() {
    on_ui([&] {
        if (cursor_depth_ > 0 && --cursor_depth_ == 0) QApplication::restoreOverrideCursor();
    });
}

void QtUi::progress(const std::string& line) {
    on_ui([&] {
        if (busy_) busy_->add_line(QString::fromStdString(line));
    });
}

void QtUi::run(const std::string& title, const std::string& text, const std::function<void()>& work) {
    if (!on_ui_thread() || busy_) {
        work();  // already behind a wait window
        return;
    }
    BusyDialog dlg(QString::fromStdString(title), QString::fromStdString(text), QApplication::activeWindow());
    dlg.setWindowIcon(program_icon());
    busy_ = &dlg;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    dlg.show();
    dlg.raise();
    QEventLoop loop;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    busy_ = nullptr;
    QApplication::restoreOverrideCursor();
}

std::optional<std::string> QtUi::choose_open_file(const std::string& title, const std::vector<FileFilter>& filters,
                                                  const std::string& initial_dir) {
    std::optional<std::string> chosen;
    on_ui([&] {
        QStringList parts;
        for (const auto& f : filters) {
            QString patterns = QString::fromStdString(f.patterns).replace(';', ' ');
            QString label = QString::fromStdString(f.label);
            parts << (label.contains('(') ? label : label + " (" + patterns + ")");
        }
        QString file = QFileDialog::getOpenFileName(QApplication::activeWindow(), QString::fromStdString(title),
                                                    QString::fromStdString(initial_dir), parts.join(";;"));
        if (!file.isEmpty()) chosen = file.toStdString();
    });
    return chosen;
}

bool QtUi::run_editor(const std::string& path) { return desktop_ && desktop_->edit(path); }

bool QtUi::shell_open(const std::string& target, const std::string& working_dir) {
    return desktop_ && desktop_->open(target, working_dir);
}

}  // namespace ovr::ui
