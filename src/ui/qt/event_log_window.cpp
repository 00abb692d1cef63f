#include "ui/qt/event_log_window.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/qt/qt_ui.h"

namespace ovr::ui {

EventLogWindow::EventLogWindow(pages::Context& ctx, QWidget* parent) : QDialog(parent), model_(ctx) {
    setWindowTitle(pages::EventLogViewer::kTitle);
    setWindowIcon(program_icon());
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget(this);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_->setUniformItemSizes(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(list_, 1);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton("Cancel", this);
    clear_ = new QPushButton("Clear Event Log", this);
    buttons->addWidget(clear_);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { done(1); });
    connect(cancel, &QPushButton::clicked, this, [this] { done(0); });
    connect(clear_, &QPushButton::clicked, this, [this] {
        model_.press_clear();
        sync();
    });
    resize(640, 380);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &EventLogWindow::refresh);
    // Stops with the window, whichever way it closes.
    connect(this, &QDialog::finished, timer_, &QTimer::stop);
    model_.opened();
    sync();
    timer_->start(static_cast<int>(pages::EventLogViewer::kRefreshMs));
}

void EventLogWindow::refresh() {
    model_.refresh();
    sync();
}

void EventLogWindow::sync() {
    if (model_.revision() == seen_revision_) return;
    seen_revision_ = model_.revision();
    const auto& lines = model_.lines();
    if (model_.cleared() != seen_cleared_) {
        seen_cleared_ = model_.cleared();
        list_->clear();
    }
    // New lines arrive on top, newest first: only they are inserted, so the
    // rows already shown (and the selection) stay as they are.
    size_t shown = static_cast<size_t>(list_->count());
    if (lines.size() < shown) {
        list_->clear();
        shown = 0;
    }
    size_t fresh = lines.size() - shown;
    for (size_t i = fresh; i-- > 0;) list_->insertItem(0, QString::fromStdString(lines[i]));
}

}  // namespace ovr::ui
