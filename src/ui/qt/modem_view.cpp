#include "ui/qt/modem_view.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <functional>

#include "pages/modem_page.h"

namespace ovr::ui {
namespace {

using F = pages::ModemPage::Field;
constexpr F kTextFields[5] = {F::Apn, F::ApnLogin, F::ApnPass, F::Proxy, F::Url};

QString q(const std::string& s) { return QString::fromStdString(s); }

void set_items(QComboBox* box, const pages::LabelledDropDown& d) {
    if (box->count() != static_cast<int>(d.items.size())) {
        QSignalBlocker block(box);
        box->clear();
        for (const auto& item : d.items) box->addItem(q(item));
    }
    if (box->currentIndex() != d.selected) {
        QSignalBlocker block(box);
        box->setCurrentIndex(d.selected);
    }
    box->setEnabled(d.enabled);
    box->setVisible(d.visible);
}

void show_check(QCheckBox* w, const pages::CheckBox& c) {
    set_text_if_changed(w, c.label);
    if (w->isChecked() != c.checked) w->setChecked(c.checked);
    w->setEnabled(c.enabled);
    w->setVisible(c.visible);
}

void show_button(QPushButton* w, const pages::PushButton& b) {
    set_text_if_changed(w, b.label);
    w->setEnabled(b.enabled);
    w->setVisible(b.visible);
}

}  // namespace

ModemView::ModemView(pages::ModemPage& page, QWidget* parent) : PageView(page, parent), page_(page) {
    auto* outer = new QVBoxLayout(this);

    auto* top = new QGridLayout;
    modem_label_ = new QLabel(this);
    modem_ = new QLineEdit(this);
    modem_->setReadOnly(true);
    change_ = new QPushButton(this);
    kind_ = new QLabel(this);
    top->addWidget(modem_label_, 0, 0);
    top->addWidget(modem_, 0, 1);
    top->addWidget(change_, 0, 2);
    top->addWidget(kind_, 1, 1);
    top->setColumnStretch(1, 1);
    outer->addLayout(top);

    auto* sms = new QGroupBox(tr("SMS"), this);
    auto* sl = new QGridLayout(sms);
    access_label_ = new QLabel(sms);
    auto* access_row = new QHBoxLayout;
    auto* group = new QButtonGroup(this);
    for (size_t i = 0; i < access_.size(); ++i) {
        access_[i] = new QRadioButton(sms);
        group->addButton(access_[i]);
        access_row->addWidget(access_[i]);
        connect(access_[i], &QRadioButton::clicked, this, [this, i] {
            page_.click_sms_access(static_cast<pages::ModemPage::Access>(i));
            after_action();
        });
    }
    access_row->addStretch(1);
    receive_sms_ = new QCheckBox(sms);
    storage_label_ = new QLabel(sms);
    storage_ = new QComboBox(sms);
    sl->addWidget(access_label_, 0, 0);
    sl->addLayout(access_row, 0, 1);
    sl->addWidget(receive_sms_, 1, 0, 1, 2);
    sl->addWidget(storage_label_, 2, 0);
    sl->addWidget(storage_, 2, 1);
    sl->setColumnStretch(1, 1);
    outer->addWidget(sms);

    auto* mms = new QGroupBox(tr("MMS"), this);
    auto* ml = new QGridLayout(mms);
    send_mms_ = new QCheckBox(mms);
    use_default_ = new QCheckBox(mms);
    lookup_ = new QPushButton(mms);
    ml->addWidget(send_mms_, 0, 0, 1, 2);
    ml->addWidget(lookup_, 0, 2);
    ml->addWidget(use_default_, 1, 0, 1, 3);
    int row = 2;
    for (size_t i = 0; i < texts_.size(); ++i, ++row) {
        text_labels_[i] = new QLabel(mms);
        texts_[i] = new QLineEdit(mms);
        text_labels_[i]->setBuddy(texts_[i]);
        ml->addWidget(text_labels_[i], row, 0);
        ml->addWidget(texts_[i], row, 1, 1, 2);
        F f = kTextFields[i];
        connect(texts_[i], &QLineEdit::textEdited, this, [this, f](const QString& t) {
            page_.edit(f, t.toStdString());
            after_action();
        });
    }
    non_standard_ = new QCheckBox(mms);
    connection_label_ = new QLabel(mms);
    connection_ = new QComboBox(mms);
    test_ = new QPushButton(mms);
    receive_mms_ = new QCheckBox(mms);
    ml->addWidget(non_standard_, row++, 0, 1, 3);
    ml->addWidget(connection_label_, row, 0);
    ml->addWidget(connection_, row++, 1, 1, 2);
    ml->addWidget(test_, row++, 2);
    ml->addWidget(receive_mms_, row++, 0, 1, 3);
    ml->setColumnStretch(1, 1);
    outer->addWidget(mms);
    outer->addStretch(1);

    auto click = [this](QAbstractButton* w, std::function<void()> action) {
        connect(w, &QAbstractButton::clicked, this, [this, action] {
            action();
            after_action();
        });
    };
    click(change_, [this] { page_.press_change_modem(); });
    click(receive_sms_, [this] { page_.click_receive_sms(); });
    click(send_mms_, [this] { page_.click_send_mms(); });
    click(use_default_, [this] { page_.click_use_default(); });
    click(lookup_, [this] { page_.press_lookup(); });
    click(non_standard_, [this] { page_.click_non_standard(); });
    click(test_, [this] { page_.press_test(); });
    click(receive_mms_, [this] { page_.click_receive_mms(); });
    connect(storage_, &QComboBox::activated, this, [this](int i) {
        page_.select_storage(i);
        after_action();
    });
    connect(connection_, &QComboBox::activated, this, [this](int i) {
        page_.select_connection(i);
        after_action();
    });
    sync_if_changed();
}

// After an action the model may have refused and named a field for the focus.
void ModemView::after_action() {
    sync_if_changed();
    auto f = page_.focus();
    if (!f) return;
    for (size_t i = 0; i < texts_.size(); ++i)
        if (kTextFields[i] == *f) texts_[i]->setFocus();
    if (*f == F::ChangeModem) change_->setFocus();
}

void ModemView::sync() {
    set_text_if_changed(modem_label_, page_.modem().label);
    if (modem_->text().toStdString() != page_.modem().text) modem_->setText(q(page_.modem().text));
    set_text_if_changed(kind_, page_.modem_kind().text);
    show_button(change_, page_.change_modem());

    set_text_if_changed(access_label_, page_.sms_access_label().text);
    access_label_->setVisible(page_.sms_access_label().visible);
    for (size_t i = 0; i < access_.size(); ++i) {
        const auto& r = page_.sms_access(static_cast<pages::ModemPage::Access>(i));
        set_text_if_changed(access_[i], r.label);
        if (access_[i]->isChecked() != r.selected) access_[i]->setChecked(r.selected);
        access_[i]->setVisible(r.visible);
    }
    show_check(receive_sms_, page_.receive_sms());
    set_text_if_changed(storage_label_, page_.storage().label);
    storage_label_->setEnabled(page_.storage().enabled);
    storage_label_->setVisible(page_.storage().visible);
    set_items(storage_, page_.storage());

    show_check(send_mms_, page_.send_mms());
    show_check(use_default_, page_.use_default());
    show_button(lookup_, page_.lookup());
    for (size_t i = 0; i < texts_.size(); ++i) {
        const auto& t = page_.text(kTextFields[i]);
        set_text_if_changed(text_labels_[i], t.label);
        if (texts_[i]->text().toStdString() != t.text) texts_[i]->setText(q(t.text));
        texts_[i]->setEchoMode(t.secret ? QLineEdit::Password : QLineEdit::Normal);
        texts_[i]->setEnabled(t.enabled);
        text_labels_[i]->setEnabled(t.enabled);
        texts_[i]->setVisible(t.visible);
        text_labels_[i]->setVisible(t.visible);
    }
    show_check(non_standard_, page_.non_standard());
    set_text_if_changed(connection_label_, page_.connection().label);
    connection_label_->setEnabled(page_.connection().enabled);
    connection_label_->setVisible(page_.connection().visible);
    set_items(connection_, page_.connection());
    show_button(test_, page_.test());
    show_check(receive_mms_, page_.receive_mms());
}

}  // namespace ovr::ui
