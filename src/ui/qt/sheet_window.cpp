#include "ui/qt/sheet_window.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/ui.h"
#include "ui/qt/page_views.h"
#include "ui/qt/qt_ui.h"

namespace ovr::ui {

using pages::WizardButtons;

SheetWindow::SheetWindow(app::Sheet& sheet, bool help_available, QWidget* parent)
    : QDialog(parent), sheet_(sheet), wizard_(sheet.kind() == app::SheetKind::Wizard) {
    setWindowTitle(kProgramTitle);
    setWindowIcon(program_icon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    views_.assign(sheet.size(), nullptr);
    timers_.assign(sheet.size(), nullptr);
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);

    if (wizard_) {
        header_ = new QLabel(this);
        QFont f = header_->font();
        f.setBold(true);
        header_->setFont(f);
        header_->setContentsMargins(8, 8, 8, 8);
        header_->setAutoFillBackground(true);
        header_->setBackgroundRole(QPalette::Base);
        layout->addWidget(header_);
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        layout->addWidget(line);
        stack_ = new QStackedWidget(this);
        for (size_t i = 0; i < sheet.size(); ++i) {
            auto* holder = new QWidget(stack_);
            new QVBoxLayout(holder);
            holders_.push_back(holder);
            stack_->addWidget(holder);
        }
        layout->addWidget(stack_, 1);
        back_ = new QPushButton("< &Back", this);
        next_ = new QPushButton("&Next >", this);
        finish_ = new QPushButton("Finish", this);
        cancel_ = new QPushButton("Cancel", this);
        help_ = new QPushButton("Help", this);
        for (auto* b : {back_, next_, finish_, cancel_, help_}) buttons->addWidget(b);
        connect(back_, &QPushButton::clicked, this, [this] { sheet_.back(); });
        connect(next_, &QPushButton::clicked, this, [this] { sheet_.next(); });
        connect(finish_, &QPushButton::clicked, this, [this] { sheet_.finish(); });
    } else {
        tabs_ = new QTabWidget(this);
        for (size_t i = 0; i < sheet.size(); ++i) {
            auto* holder = new QWidget(tabs_);
            new QVBoxLayout(holder);
            holders_.push_back(holder);
            tabs_->addTab(holder, QString::fromStdString(sheet.page(i).title()));
        }
        layout->addWidget(tabs_, 1);
        connect(tabs_, &QTabWidget::currentChanged, this, &SheetWindow::on_tab);
        ok_ = new QPushButton("OK", this);
        cancel_ = new QPushButton("Cancel", this);
        apply_ = new QPushButton("&Apply", this);
        help_ = new QPushButton("Help", this);
        for (auto* b : {ok_, cancel_, apply_, help_}) buttons->addWidget(b);
        ok_->setDefault(true);
        connect(ok_, &QPushButton::clicked, this, [this] { sheet_.ok(); });
        connect(apply_, &QPushButton::clicked, this, [this] { sheet_.apply(); });
    }
    connect(cancel_, &QPushButton::clicked, this, [this] { sheet_.cancel(); });
    connect(help_, &QPushButton::clicked, this, [this] { sheet_.help(); });
    help_->setVisible(help_available);
    for (auto* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
    layout->addLayout(buttons);
    resize(wizard_ ? 560 : 620, wizard_ ? 400 : 440);

    sheet_.on_change = [this] { refresh(); };
    sheet_.open();
    refresh();
}

SheetWindow::~SheetWindow() { sheet_.on_change = nullptr; }

void SheetWindow::ensure_view(size_t i) {
    if (views_[i] || !sheet_.is_created(i)) return;
    views_[i] = make_view(sheet_.page(i), holders_[i]);
    holders_[i]->layout()->addWidget(views_[i]);
    uint32_t ms = sheet_.page(i).refresh_interval_ms();
    if (ms > 0) {
        auto* t = new QTimer(this);
        connect(t, &QTimer::timeout, this, [this, i] {
            sheet_.page(i).tick();
            views_[i]->sync_if_changed();
        });
        t->start(static_cast<int>(ms));
        timers_[i] = t;
    }
}

void SheetWindow::refresh() {
    if (syncing_) return;
    syncing_ = true;
    size_t cur = sheet_.current();
    for (size_t i = 0; i < sheet_.size(); ++i) {
        ensure_view(i);
        if (views_[i]) views_[i]->sync_if_changed();
    }
    if (wizard_) {
        stack_->setCurrentIndex(static_cast<int>(cur));
        header_->setText(QString::fromStdString(sheet_.page(cur).title()));
        WizardButtons b = sheet_.wizard_buttons();
        bool finish_shown = b == WizardButtons::BackFinish || b == WizardButtons::BackDisabledFinish;
        back_->setEnabled(b != WizardButtons::Next);
        next_->setVisible(!finish_shown);
        next_->setEnabled(b == WizardButtons::Next || b == WizardButtons::BackNext);
        finish_->setVisible(finish_shown);
        finish_->setEnabled(b == WizardButtons::BackFinish);
    } else {
        if (tabs_->currentIndex() != static_cast<int>(cur)) tabs_->setCurrentIndex(static_cast<int>(cur));
        apply_->setEnabled(sheet_.apply_enabled());
    }
    syncing_ = false;
    if (sheet_.closed() && isVisible()) done(sheet_.result());
}

void SheetWindow::on_tab(int index) {
    if (syncing_ || index < 0) return;
    if (!sheet_.select(static_cast<size_t>(index))) {
        // The page refused to be left: stay on it.
        syncing_ = true;
        tabs_->setCurrentIndex(static_cast<int>(sheet_.current()));
        syncing_ = false;
    }
    refresh();
}

void SheetWindow::reject() {
    if (!sheet_.closed()) sheet_.cancel();
    if (sheet_.closed()) QDialog::done(sheet_.result());
}

void SheetWindow::closeEvent(QCloseEvent* e) {
    if (!sheet_.closed()) sheet_.cancel();
    if (sheet_.closed()) {
        setResult(sheet_.result());
        e->accept();
    } else {
        e->ignore();
    }
}

bool SheetWindow::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) {
        sheet_.window_activated();
        size_t cur = sheet_.current();
        if (cur < views_.size() && views_[cur]) views_[cur]->sync_if_changed();
    }
    return QDialog::event(e);
}

int QtSheetRunner::run(app::Sheet& sheet) {
    SheetWindow w(sheet, help_);
    w.show();
    w.raise();
    w.activateWindow();
    if (!sheet.closed()) w.exec();
    return sheet.closed() ? sheet.result() : 0;
}

}  // namespace ovr::ui
