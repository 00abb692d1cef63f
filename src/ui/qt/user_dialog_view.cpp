#include "ui/qt/user_dialog_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/user_dialog.h"
#include "ui/qt/qt_ui.h"

namespace ovr::ui {

using pages::UserBox;
using pages::UserText;

UserDialogView::UserDialogView(pages::UserDialog& dialog, QWidget* parent) : QDialog(parent), d_(dialog) {
    setWindowTitle(QString::fromStdString(d_.title()));
    setWindowIcon(program_icon());
    auto* outer = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto line = [this](UserText t) {
        auto* e = new QLineEdit(this);
        edits_[static_cast<size_t>(t)] = e;
        connect(e, &QLineEdit::textEdited, this, [this, t, e](const QString& text) {
            // A text the field cannot take is taken back.
            if (!d_.set_text(t, text.toStdString())) e->setText(QString::fromStdString(d_.text(t).text));
        });
        return e;
    };
    auto check = [this](UserBox b) {
        auto* c = new QCheckBox(QString::fromStdString(d_.box(b).label), this);
        boxes_[static_cast<size_t>(b)] = c;
        connect(c, &QCheckBox::clicked, this, [this, b] {
            d_.click(b);
            sync();
        });
        return c;
    };
    form->addRow("User Name:", line(UserText::Name));
    form->addRow("Password:", line(UserText::Password));
    form->addRow("Full Name:", line(UserText::FullName));
    form->addRow(check(UserBox::WebLogin));
    menu_label_ = new QLabel(QString::fromStdString(d_.menu_label().text), this);
    menu_ = new QComboBox(this);
    for (const char* item : pages::UserDialog::kMenuItems) menu_->addItem(item);
    connect(menu_, &QComboBox::activated, this, [this](int i) { d_.select_menu(i); });
    form->addRow(menu_label_, menu_);
    form->addRow(check(UserBox::Admin));
    form->addRow(check(UserBox::SmppLogin));
    form->addRow(check(UserBox::Mm7Login));
    form->addRow("Restrict to IP Address(es):", line(UserText::AllowedIps));
    form->addRow(check(UserBox::AcceptReceived));
    recipients_label_ = new QLabel(QString::fromStdString(d_.recipients_label().text), this);
    form->addRow(recipients_label_);
    form->addRow(line(UserText::Recipients));
    outer->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &UserDialogView::press_ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    outer->addWidget(buttons);
    edits_[static_cast<size_t>(UserText::Password)]->setEchoMode(QLineEdit::Password);
    setMinimumWidth(420);
    sync();
}

void UserDialogView::press_ok() {
    bool closes = d_.ok();
    sync();
    if (closes) accept();
}

void UserDialogView::sync() {
    if (d_.revision() == seen_) return;
    seen_ = d_.revision();
    for (size_t i = 0; i < edits_.size(); ++i) {
        const auto& f = d_.text(static_cast<UserText>(i));
        QString q = QString::fromStdString(f.text);
        if (edits_[i]->text() != q) edits_[i]->setText(q);
        edits_[i]->setEnabled(f.enabled);
    }
    for (size_t i = 0; i < boxes_.size(); ++i) {
        const auto& b = d_.box(static_cast<UserBox>(i));
        boxes_[i]->setChecked(b.checked);
        boxes_[i]->setEnabled(b.enabled);
    }
    if (menu_->currentIndex() != d_.menu()) menu_->setCurrentIndex(d_.menu());
    menu_->setEnabled(d_.menu_enabled());
    menu_label_->setEnabled(d_.menu_label().enabled);
    recipients_label_->setEnabled(d_.recipients_label().enabled);
    if (auto f = d_.take_focus()) {
        QLineEdit* e = edits_[static_cast<size_t>(*f)];
        e->setFocus();
        e->selectAll();
    }
}

bool exec_dialog(pages::DialogModel& model, QWidget* parent) {
    if (auto* d = dynamic_cast<pages::UserDialog*>(&model)) {
        UserDialogView view(*d, parent);
        return view.exec() == QDialog::Accepted;
    }
    return false;
}

}  // namespace ovr::ui
