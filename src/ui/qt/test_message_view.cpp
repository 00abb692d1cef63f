#include "ui/qt/test_message_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

#include "pages/test_message.h"
#include "ui/qt/server_view.h"
#include "ui/qt/status_view.h"

namespace ovr::ui {

TestMessageView::TestMessageView(pages::TestMessagePage& page, QWidget* parent) : PageView(page, parent), page_(page) {
    auto* outer = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Phone Number:", this));
    phone_ = new QLineEdit(this);
    top->addWidget(phone_, 1);
    outer->addLayout(top);
    auto* grid = new QGridLayout;
    sms_ = new QPushButton(this);
    mms_ = new QPushButton(this);
    grid->addWidget(sms_, 0, 0);
    grid->addWidget(mms_, 0, 1);
    for (int i = 0; i < 4; ++i) {
        auto* l = new QLabel(this);
        l->setWordWrap(true);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        bool mms = i >= 2;
        // The SMS lines lean towards the middle, the MMS lines away from it.
        l->setAlignment((mms ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop);
        if (i % 2) l->setMinimumHeight(l->fontMetrics().lineSpacing() * 3);
        lines_[static_cast<size_t>(i)] = l;
        grid->addWidget(l, 1 + i % 2, mms ? 1 : 0);
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    outer->addLayout(grid);
    auto* bottom = new QHBoxLayout;
    cancel_ = new QPushButton(this);
    web_ = new QPushButton(this);
    bottom->addWidget(cancel_);
    bottom->addStretch(1);
    bottom->addWidget(web_);
    outer->addLayout(bottom);
    outer->addStretch(1);

    connect(phone_, &QLineEdit::textEdited, this, [this](const QString& t) {
        page_.set_phone_number(t.toStdString());
        sync_if_changed();
    });
    auto button = [this](QPushButton* b, std::function<void()> fn) {
        connect(b, &QPushButton::clicked, this, [this, fn] {
            fn();
            sync_if_changed();
        });
    };
    button(sms_, [this] { page_.press_send_sms(); });
    button(mms_, [this] { page_.press_send_mms(); });
    button(cancel_, [this] { page_.press_cancel(); });
    button(web_, [this] { page_.press_web(); });
    sync_if_changed();
}

void TestMessageView::sync() {
    set_edit_text(phone_, page_.phone_number().text);
    phone_->setEnabled(page_.phone_number().enabled);
    const std::pair<QPushButton*, const pages::PushButton*> buttons[] = {{sms_, &page_.send_sms_button()},
                                                                         {mms_, &page_.send_mms_button()},
                                                                         {cancel_, &page_.cancel_button()},
                                                                         {web_, &page_.web_button()}};
    for (auto [w, b] : buttons) {
        set_text_if_changed(w, b->label);
        w->setEnabled(b->enabled);
        if (w->isVisibleTo(this) != b->visible) w->setVisible(b->visible);
    }
    show_label(lines_[0], page_.sms_status());
    show_label(lines_[1], page_.sms_detail());
    show_label(lines_[2], page_.mms_status());
    show_label(lines_[3], page_.mms_detail());
}

}  // namespace ovr::ui
