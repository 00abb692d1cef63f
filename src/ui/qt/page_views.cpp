#include "ui/qt/page_views.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "config/text.h"
#include "pages/debug_logs.h"
#include "pages/server_page.h"
#include "pages/receive_page.h"
#include "pages/select_modem.h"
#include "pages/modem_page.h"
#include "pages/status_page.h"
#include "pages/test_message.h"
#include "pages/users_page.h"
#include "pages/wizard_complete.h"
#include "ui/qt/server_view.h"
#include "ui/qt/email_view.h"
#include "ui/qt/receive_view.h"
#include "ui/qt/select_modem_view.h"
#include "ui/qt/modem_view.h"
#include "ui/qt/status_view.h"
#include "ui/qt/test_message_view.h"
#include "ui/qt/users_view.h"

namespace ovr::ui {

void PageView::sync_if_changed() {
    if (model_.revision() == seen_) return;
    seen_ = model_.revision();
    sync();
}

void set_text_if_changed(QLabel* w, const std::string& text) {
    if (!config::equal_ignoring_case(w->text().toStdString(), text)) w->setText(QString::fromStdString(text));
}

void set_text_if_changed(QAbstractButton* w, const std::string& text) {
    if (!config::equal_ignoring_case(w->text().toStdString(), text)) w->setText(QString::fromStdString(text));
}

DebugLogsView::DebugLogsView(pages::DebugLogsPage& page, QWidget* parent) : PageView(page, parent), page_(page) {
    auto* outer = new QVBoxLayout(this);
    heading_ = new QLabel(this);
    outer->addWidget(heading_);
    auto* grid = new QGridLayout;
    grid->setContentsMargins(16, 4, 0, 0);
    for (size_t i = 0; i < checks_.size(); ++i) {
        checks_[i] = new QCheckBox(this);
        views_[i] = new QPushButton(this);
        int row = static_cast<int>(i);
        grid->addWidget(checks_[i], row, 0);
        grid->addWidget(views_[i], row, 1);
        connect(checks_[i], &QCheckBox::clicked, this, [this, i] {
            page_.click_check(i);
            sync_if_changed();
        });
        connect(views_[i], &QPushButton::clicked, this, [this, i] { page_.press_view(i); });
    }
    grid->setColumnStretch(0, 1);
    outer->addLayout(grid);
    outer->addStretch(1);
    sync_if_changed();
}

void DebugLogsView::sync() {
    set_text_if_changed(heading_, page_.heading().text);
    for (size_t i = 0; i < checks_.size(); ++i) {
        const auto& c = page_.check(i);
        set_text_if_changed(checks_[i], c.label);
        checks_[i]->setChecked(c.checked);
        checks_[i]->setEnabled(c.enabled);
        const auto& v = page_.view_button(i);
        set_text_if_changed(views_[i], v.label);
        views_[i]->setEnabled(v.enabled);
    }
}

WizardCompleteView::WizardCompleteView(pages::WizardCompletePage& page, QWidget* parent)
    : PageView(page, parent), page_(page) {
    auto* layout = new QVBoxLayout(this);
    heading_ = new QLabel(this);
    QFont f = heading_->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    heading_->setFont(f);
    question_ = new QLabel(this);
    question_->setWordWrap(true);
    yes_ = new QRadioButton(this);
    no_ = new QRadioButton(this);
    // No choice at first: the group must not force one.
    auto* group = new QButtonGroup(this);
    group->setExclusive(false);
    group->addButton(yes_);
    group->addButton(no_);
    layout->addWidget(heading_);
    layout->addSpacing(12);
    layout->addWidget(question_);
    layout->addWidget(yes_);
    layout->addWidget(no_);
    layout->addStretch(1);
    connect(yes_, &QRadioButton::clicked, this, [this] {
        page_.choose_yes();
        sync_if_changed();
    });
    connect(no_, &QRadioButton::clicked, this, [this] {
        page_.choose_no();
        sync_if_changed();
    });
    sync_if_changed();
}

void WizardCompleteView::sync() {
    set_text_if_changed(heading_, page_.heading().text);
    set_text_if_changed(question_, page_.question().text);
    set_text_if_changed(yes_, page_.yes().label);
    set_text_if_changed(no_, page_.no().label);
    yes_->setChecked(page_.yes().selected);
    no_->setChecked(page_.no().selected);
}

PageView* make_view(pages::PageModel& model, QWidget* parent) {
    if (auto* p = dynamic_cast<pages::StatusPage*>(&model)) return new StatusView(*p, parent);
    if (auto* p = dynamic_cast<pages::ModemPage*>(&model)) return new ModemView(*p, parent);
    if (auto* p = dynamic_cast<pages::DebugLogsPage*>(&model)) return new DebugLogsView(*p, parent);
    if (auto* p = dynamic_cast<pages::ServerPage*>(&model)) return new ServerView(*p, parent);
    if (auto* p = dynamic_cast<pages::UsersPage*>(&model)) return new UsersView(*p, parent);
    if (auto* p = dynamic_cast<pages::TestMessagePage*>(&model)) return new TestMessageView(*p, parent);
    if (auto* p = dynamic_cast<pages::EmailPage*>(&model)) return new EmailView(*p, parent);
    if (auto* p = dynamic_cast<pages::WizardCompletePage*>(&model)) return new WizardCompleteView(*p, parent);
    if (auto* p = dynamic_cast<pages::SelectModemPage*>(&model)) return new SelectModemView(*p, parent);
    if (auto* p = dynamic_cast<pages::ReceivePage*>(&model)) return new ReceiveView(*p, parent);
    return new EmptyPageView(model, parent);
}

}  // namespace ovr::ui
