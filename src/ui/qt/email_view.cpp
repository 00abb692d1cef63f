#include "ui/qt/email_view.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "ui/qt/qt_ui.h"

namespace ovr::ui {

using Field = pages::MailboxDialog::Field;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

void set_if_changed(QLineEdit* e, const std::string& text) {
    if (e->text().toStdString() != text) e->setText(q(text));
}

}  // namespace

// ---- the page ----

EmailView::EmailView(pages::EmailPage& page, QWidget* parent) : PageView(page, parent), page_(page) {
    auto* outer = new QVBoxLayout(this);
    auto* boxes = new QGridLayout;
    sms_button_ = new QPushButton(this);
    sms_label_ = new QLabel(this);
    mms_button_ = new QPushButton(this);
    mms_label_ = new QLabel(this);
    senders_ = new QPushButton(this);
    boxes->addWidget(sms_button_, 0, 0);
    boxes->addWidget(sms_label_, 0, 1);
    boxes->addWidget(mms_button_, 1, 0);
    boxes->addWidget(mms_label_, 1, 1);
    boxes->addWidget(senders_, 2, 0, 1, 2);
    boxes->setColumnStretch(1, 1);
    outer->addLayout(boxes);
    outer->addSpacing(8);

    auto* max_row = new QHBoxLayout;
    max_label_ = new QLabel(this);
    max_sms_ = new QLineEdit(this);
    max_sms_->setMaximumWidth(60);
    max_row->addWidget(max_label_);
    max_row->addWidget(max_sms_);
    max_row->addStretch(1);
    outer->addLayout(max_row);
    use_mms_ = new QCheckBox(this);
    force_mms_ = new QCheckBox(this);
    track_ = new QCheckBox(this);
    receipt_ = new QCheckBox(this);
    for (QCheckBox* c : {use_mms_, force_mms_, track_, receipt_}) outer->addWidget(c);
    auto* tpl = new QHBoxLayout;
    template_label_ = new QLabel(this);
    template_ = new QComboBox(this);
    template_->setEditable(true);
    template_->setInsertPolicy(QComboBox::NoInsert);
    template_->setMinimumWidth(300);
    tpl->addWidget(template_label_);
    tpl->addWidget(template_, 1);
    outer->addLayout(tpl);
    outer->addStretch(1);

    connect(sms_button_, &QPushButton::clicked, this, [this] { act(&pages::EmailPage::press_sms_mailbox); });
    connect(mms_button_, &QPushButton::clicked, this, [this] { act(&pages::EmailPage::press_mms_mailbox); });
    connect(senders_, &QPushButton::clicked, this, [this] { act(&pages::EmailPage::press_senders); });
    connect(use_mms_, &QCheckBox::clicked, this, [this] { act(&pages::EmailPage::click_use_mms); });
    connect(force_mms_, &QCheckBox::clicked, this, [this] { act(&pages::EmailPage::click_force_mms); });
    connect(track_, &QCheckBox::clicked, this, [this] { act(&pages::EmailPage::click_track_sender); });
    connect(receipt_, &QCheckBox::clicked, this, [this] { act(&pages::EmailPage::click_delivery_reports); });
    connect(max_sms_, &QLineEdit::textEdited, this, [this](const QString& t) {
        page_.set_max_sms(t.toStdString());
        sync_if_changed();
    });
    connect(template_, qOverload<int>(&QComboBox::activated), this, [this](int i) {
        if (i < 0) return;
        page_.select_template(static_cast<size_t>(i));
        sync_if_changed();
    });
    connect(template_, &QComboBox::editTextChanged, this, [this](const QString& t) {
        if (t.toStdString() != page_.template_text()) page_.type_template(t.toStdString());
    });
    for (const auto& c : page_.template_choices()) template_->addItem(q(c));
    sync_if_changed();
}

void EmailView::act(void (pages::EmailPage::*action)()) {
    (page_.*action)();
    sync_if_changed();
}

void EmailView::sync() {
    auto button = [](QPushButton* b, const pages::PushButton& m) {
        set_text_if_changed(b, m.label);
        b->setVisible(m.visible);
        b->setEnabled(m.enabled);
    };
    auto label = [](QLabel* l, const pages::Label& m) {
        set_text_if_changed(l, m.text);
        l->setVisible(m.visible);
    };
    auto check = [](QCheckBox* c, const pages::CheckBox& m) {
        set_text_if_changed(c, m.label);
        c->setChecked(m.checked);
        c->setEnabled(m.enabled);
    };
    button(sms_button_, page_.sms_mailbox_button());
    label(sms_label_, page_.sms_mailbox_label());
    button(mms_button_, page_.mms_mailbox_button());
    label(mms_label_, page_.mms_mailbox_label());
    button(senders_, page_.senders_button());
    set_text_if_changed(max_label_, page_.max_sms_label());
    set_if_changed(max_sms_, page_.max_sms());
    check(use_mms_, page_.use_mms());
    check(force_mms_, page_.force_mms());
    check(track_, page_.track_sender());
    check(receipt_, page_.delivery_reports());
    set_text_if_changed(template_label_, page_.template_label());
    if (template_->currentText().toStdString() != page_.template_text()) template_->setEditText(q(page_.template_text()));
}

// ---- the mailbox dialog ----

MailboxWindow::MailboxWindow(pages::Context& ctx, pages::MailboxKind kind, QWidget* parent, pages::MailTests tests)
    : QDialog(parent), model_(ctx, kind, tests) {
    setWindowTitle(q(model_.title()));
    setWindowIcon(program_icon());
    auto* grid = new QGridLayout(this);
    int row = 0;
    auto line = [&](Field f) {
        auto* e = new QLineEdit(this);
        const pages::MailboxField& t = model_.field(f);
        if (t.masked) e->setEchoMode(QLineEdit::Password);
        if (t.limit) e->setMaxLength(static_cast<int>(t.limit));
        if (t.digits_only) e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), e));
        connect(e, &QLineEdit::textEdited, this, [this, f](const QString& v) {
            model_.set_text(f, v.toStdString());
            sync();
        });
        fields_[f] = e;
        return e;
    };
    for (Field f : {Field::Address, Field::FullName, Field::User, Field::Password}) {
        grid->addWidget(new QLabel(pages::MailboxDialog::label(f), this), row, 0);
        grid->addWidget(line(f), row++, 1, 1, 3);
    }
    grid->addWidget(new QLabel("Server Type:", this), row, 0);
    imap_ = new QRadioButton(q(model_.imap().label), this);
    pop3_ = new QRadioButton(q(model_.pop3().label), this);
    auto* group = new QButtonGroup(this);
    group->addButton(imap_);
    group->addButton(pop3_);
    tls_ = new QCheckBox(q(model_.tls().label), this);
    grid->addWidget(imap_, row, 1);
    grid->addWidget(pop3_, row, 2);
    grid->addWidget(tls_, row++, 3);
    for (auto [host, port] : {std::pair{Field::ReceiveHost, Field::ReceivePort}, std::pair{Field::SmtpHost, Field::SmtpPort}}) {
        grid->addWidget(new QLabel(pages::MailboxDialog::label(host), this), row, 0);
        auto* p = new QHBoxLayout;
        p->addWidget(line(host), 1);
        p->addWidget(new QLabel(":", this));
        QLineEdit* pe = line(port);
        pe->setFixedWidth(70);
        p->addWidget(pe);
        grid->addLayout(p, row++, 1, 1, 3);
    }
    grid->addWidget(new QLabel(pages::MailboxDialog::label(Field::Poll), this), row, 0);
    auto* poll = new QHBoxLayout;
    QLineEdit* pe = line(Field::Poll);
    pe->setMaximumWidth(70);
    poll->addWidget(pe);
    poll->addWidget(new QLabel("seconds", this));
    poll->addStretch(1);
    grid->addLayout(poll, row++, 1, 1, 3);
    auto* remove = new QPushButton(q(model_.remove_button().label), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    grid->addWidget(remove, row, 0, 1, 2, Qt::AlignLeft);
    grid->addWidget(buttons, row, 2, 1, 2);
    connect(imap_, &QRadioButton::clicked, this, [this] {
        model_.click_imap();
        sync();
    });
    connect(pop3_, &QRadioButton::clicked, this, [this] {
        model_.click_pop3();
        sync();
    });
    connect(tls_, &QCheckBox::clicked, this, [this] {
        model_.click_tls();
        sync();
    });
    connect(remove, &QPushButton::clicked, this, &MailboxWindow::press_remove);
    connect(buttons, &QDialogButtonBox::accepted, this, &MailboxWindow::press_ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setMinimumWidth(520);
    sync();
}

void MailboxWindow::sync() {
    for (auto& [f, e] : fields_) set_if_changed(e, model_.field(f).text);
    imap_->setChecked(model_.imap().selected);
    pop3_->setChecked(model_.pop3().selected);
    tls_->setChecked(model_.tls().checked);
}

void MailboxWindow::focus_model_field() {
    auto it = fields_.find(model_.focus());
    if (it != fields_.end()) {
        it->second->setFocus();
        it->second->selectAll();
    }
}

void MailboxWindow::press_ok() {
    if (model_.ok()) {
        accept();
        return;
    }
    focus_model_field();
}

void MailboxWindow::press_remove() {
    if (model_.remove()) accept();
}

// ---- the senders dialog ----

SendersWindow::SendersWindow(pages::Context& ctx, QWidget* parent) : QDialog(parent), model_(ctx) {
    setWindowTitle(q(model_.title()));
    setWindowIcon(program_icon());
    auto* grid = new QGridLayout(this);
    text_ = new QLineEdit(this);
    text_->setMaxLength(static_cast<int>(pages::kSenderBuffer - 1));
    auto* add = new QPushButton("Add", this);
    list_ = new QListWidget(this);
    auto* remove = new QPushButton("Remove", this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    grid->addWidget(text_, 0, 0);
    grid->addWidget(add, 0, 1);
    grid->addWidget(list_, 1, 0, 2, 1);
    grid->addWidget(remove, 1, 1, Qt::AlignTop);
    grid->addWidget(buttons, 3, 0, 1, 2);
    connect(text_, &QLineEdit::textEdited, this, [this](const QString& t) { model_.set_text(t.toStdString()); });
    connect(add, &QPushButton::clicked, this, [this] {
        model_.add();
        sync();
    });
    connect(list_, &QListWidget::currentRowChanged, this, [this](int r) { model_.select(r); });
    connect(remove, &QPushButton::clicked, this, [this] {
        model_.remove();
        sync();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &SendersWindow::press_ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setMinimumSize(420, 320);
    sync();
}

void SendersWindow::sync() {
    QSignalBlocker block(list_);
    list_->clear();
    for (const auto& e : model_.entries()) list_->addItem(q(e));
    list_->setCurrentRow(model_.selected());
    set_if_changed(text_, model_.text());
}

void SendersWindow::press_ok() {
    bool closes = model_.ok();
    sync();
    if (closes) accept();
}

}  // namespace ovr::ui
