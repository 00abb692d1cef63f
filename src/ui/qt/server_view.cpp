#include "ui/qt/server_view.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/server_page.h"
#include "ui/qt/status_view.h"

namespace ovr::ui {

using pages::PortField;

void set_edit_text(QLineEdit* w, const std::string& text) {
    QString q = QString::fromStdString(text);
    if (w->text() != q) w->setText(q);
}

ServerView::ServerView(pages::ServerPage& page, QWidget* parent) : PageView(page, parent), page_(page) {
    auto* outer = new QVBoxLayout(this);
    auto port_edit = [this] {
        auto* e = new QLineEdit(this);
        e->setMaxLength(10);
        e->setMaximumWidth(90);
        return e;
    };

    auto* web_row = new QHBoxLayout;
    web_row->addWidget(new QLabel("Web Interface Port Number:", this));
    web_ = port_edit();
    web_row->addWidget(web_);
    web_row->addStretch(1);
    outer->addLayout(web_row);

    auto optional_box = [&](const char* title, QCheckBox*& enable, QLabel*& label, QLineEdit*& edit) {
        auto* box = new QGroupBox(title, this);
        auto* row = new QHBoxLayout(box);
        enable = new QCheckBox(box);
        label = new QLabel(box);
        edit = port_edit();
        row->addWidget(enable);
        row->addSpacing(16);
        row->addWidget(label);
        row->addWidget(edit);
        row->addStretch(1);
        outer->addWidget(box);
    };
    optional_box("SMPP:", smpp_enable_, smpp_label_, smpp_);
    optional_box("MM7/EAIF:", mm7_enable_, mm7_label_, mm7_);

    auto* status_box = new QGroupBox("Server Status:", this);
    auto* sl = new QHBoxLayout(status_box);
    status_ = new QLabel(status_box);
    button_ = new QPushButton(status_box);
    button_->setMinimumWidth(120);
    sl->addWidget(status_, 1);
    sl->addWidget(button_);
    outer->addWidget(status_box);
    outer->addStretch(1);

    // Only the user's typing is an edit: the view's own setText is not.
    auto edits = [this](QLineEdit* e, PortField f) {
        connect(e, &QLineEdit::textEdited, this, [this, f](const QString& t) {
            page_.set_port_text(f, t.toStdString());
            sync_if_changed();
        });
    };
    edits(web_, PortField::Web);
    edits(smpp_, PortField::Smpp);
    edits(mm7_, PortField::Mm7);
    connect(smpp_enable_, &QCheckBox::clicked, this, [this] {
        page_.click_enable(PortField::Smpp);
        sync_if_changed();
    });
    connect(mm7_enable_, &QCheckBox::clicked, this, [this] {
        page_.click_enable(PortField::Mm7);
        sync_if_changed();
    });
    connect(button_, &QPushButton::clicked, this, [this] {
        page_.press_service_button();
        sync_if_changed();
    });
    sync_if_changed();
}

void ServerView::sync() {
    set_edit_text(web_, page_.web_port().text);
    set_text_if_changed(smpp_enable_, page_.smpp_enable().label);
    smpp_enable_->setChecked(page_.smpp_enable().checked);
    set_edit_text(smpp_, page_.smpp_port().text);
    smpp_->setEnabled(page_.smpp_port().enabled);
    set_text_if_changed(smpp_label_, page_.smpp_port_label().text);
    smpp_label_->setEnabled(page_.smpp_port_label().enabled);
    set_text_if_changed(mm7_enable_, page_.mm7_enable().label);
    mm7_enable_->setChecked(page_.mm7_enable().checked);
    set_edit_text(mm7_, page_.mm7_port().text);
    mm7_->setEnabled(page_.mm7_port().enabled);
    set_text_if_changed(mm7_label_, page_.mm7_port_label().text);
    mm7_label_->setEnabled(page_.mm7_port_label().enabled);
    show_label(status_, page_.server_status());
    set_text_if_changed(button_, page_.service_button().label);
    if (auto f = page_.take_focus()) {
        QLineEdit* e = *f == PortField::Web ? web_ : *f == PortField::Smpp ? smpp_ : mm7_;
        e->setFocus();
        e->selectAll();
    }
}

}  // namespace ovr::ui
