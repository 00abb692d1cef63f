#include "ui/qt/status_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/status_page.h"

namespace ovr::ui {

namespace {

const QColor kRed(255, 0, 0);

QLabel* count_field(QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setMinimumWidth(72);
    l->setMargin(1);
    return l;
}

}  // namespace

void show_label(QLabel* w, const pages::Label& field) {
    set_text_if_changed(w, field.text);
    // Red text on the standard background; the default colour otherwise.
    QColor want = field.red ? kRed : QApplication::palette(w).color(QPalette::WindowText);
    if (w->palette().color(QPalette::WindowText) != want) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::WindowText, want);
        w->setPalette(pal);
    }
    if (w->isVisibleTo(w->parentWidget()) != field.visible) w->setVisible(field.visible);
}

StatusView::StatusView(pages::StatusPage& page, QWidget* parent) : PageView(page, parent), page_(page) {
    auto* outer = new QVBoxLayout(this);

    auto* service = new QGroupBox(QString::fromStdString(page.heading().text), this);
    auto* sl = new QGridLayout(service);
    run_ = new QCheckBox(service);
    status_ = new QLabel(service);
    status_->setMinimumHeight(status_->fontMetrics().lineSpacing() * 2);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    start_ = new QPushButton(service);
    stop_ = new QPushButton(service);
    modem_ = new QLabel(service);
    modem_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    modem_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    modem_->setWordWrap(true);
    modem_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    modem_->setFixedHeight(modem_->fontMetrics().lineSpacing() * 5 + 6);
    sl->addWidget(run_, 0, 0);
    sl->addWidget(status_, 1, 0, 2, 1);
    sl->addWidget(start_, 0, 1);
    sl->addWidget(stop_, 1, 1);
    sl->addWidget(modem_, 3, 0, 1, 2);
    sl->setColumnStretch(0, 1);
    outer->addWidget(service);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    for (size_t c = 0; c < 3; ++c) {
        auto* head = new QLabel(QString::fromStdString(page.column_heads()[c].text), this);
        head->setAlignment(Qt::AlignCenter);
        grid->addWidget(head, 0, static_cast<int>(c) + 1);
    }
    auto make_view = [this](pages::ViewerKind kind) {
        auto* b = new QPushButton("View", this);
        connect(b, &QPushButton::clicked, this, [this, kind] { page_.press_view(kind); });
        views_[static_cast<size_t>(kind)] = b;
        return b;
    };
    int r = 1;
    auto queue_row = [&](QLabel*& label, QLabel*& count, pages::ViewerKind kind) {
        label = new QLabel(this);
        count = count_field(this);
        grid->addWidget(label, r, 0);
        grid->addWidget(count, r, 1);
        grid->addWidget(make_view(kind), r, 4);
        ++r;
    };
    auto counter_row = [&](size_t i) {
        row_labels_[i] = new QLabel(this);
        grid->addWidget(row_labels_[i], r, 0);
        for (size_t c = 0; c < 3; ++c) {
            counts_[i][c] = count_field(this);
            grid->addWidget(counts_[i][c], r, static_cast<int>(c) + 1);
        }
        if (page_.counter_row(i).view)
            grid->addWidget(make_view(i == 2 ? pages::ViewerKind::ReceivedSms : pages::ViewerKind::ReceivedMms), r, 4);
        ++r;
    };
    queue_row(sms_label_, sms_count_, pages::ViewerKind::OutboundSms);
    for (size_t i = 0; i < pages::StatusPage::kSmsCounterRows; ++i) counter_row(i);
    queue_row(mms_label_, mms_count_, pages::ViewerKind::OutboundMms);
    for (size_t i = pages::StatusPage::kSmsCounterRows; i < pages::StatusPage::kCounterRows; ++i) counter_row(i);
    grid->setColumnStretch(0, 1);
    outer->addLayout(grid);

    auto* bottom = new QHBoxLayout;
    logs_ = new QPushButton(this);
    events_ = new QPushButton(this);
    bottom->addWidget(logs_);
    bottom->addWidget(events_);
    bottom->addStretch(1);
    outer->addLayout(bottom);
    outer->addStretch(1);

    connect(run_, &QCheckBox::clicked, this, [this] {
        page_.click_run_as_service();
        sync_if_changed();
    });
    connect(start_, &QPushButton::clicked, this, [this] {
        page_.press_start();
        sync_if_changed();
    });
    connect(stop_, &QPushButton::clicked, this, [this] {
        page_.press_stop();
        sync_if_changed();
    });
    connect(logs_, &QPushButton::clicked, this, [this] { page_.press_view_log_files(); });
    connect(events_, &QPushButton::clicked, this, [this] { page_.press_event_log(); });
    sync_if_changed();
}

void StatusView::sync() {
    const auto& run = page_.run_as_service();
    set_text_if_changed(run_, run.label);
    if (run_->isChecked() != run.checked) run_->setChecked(run.checked);
    show_label(status_, page_.service_status());
    set_text_if_changed(start_, page_.start_button().label);
    start_->setEnabled(page_.start_button().enabled);
    set_text_if_changed(stop_, page_.stop_button().label);
    stop_->setEnabled(page_.stop_button().enabled);
    // The modem lines end with CR LF; the label breaks at LF.
    pages::Label modem = page_.modem_information();
    std::string text;
    for (char c : modem.text)
        if (c != '\r') text += c;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    modem.text = text;
    show_label(modem_, modem);
    show_label(sms_label_, page_.sms_queue().label);
    show_label(sms_count_, page_.sms_queue().count);
    show_label(mms_label_, page_.mms_queue().label);
    show_label(mms_count_, page_.mms_queue().count);
    for (size_t i = 0; i < row_labels_.size(); ++i) {
        const auto& row = page_.counter_row(i);
        show_label(row_labels_[i], row.label);
        for (size_t c = 0; c < 3; ++c) show_label(counts_[i][c], row.counts[c]);
    }
    set_text_if_changed(logs_, page_.view_log_files_button().label);
    set_text_if_changed(events_, page_.event_log_button().label);
}

}  // namespace ovr::ui
