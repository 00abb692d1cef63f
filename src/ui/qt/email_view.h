// The E-mail page's view and its two dialogs: the mailbox dialog
// (EDIT_MAILBOX) and the authorised senders dialog (AUTHEMAILSMS_DIALOG).
#pragma once

#include <QDialog>
#include <map>

#include "pages/email_page.h"
#include "ui/qt/page_views.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace ovr::ui {

class EmailView final : public PageView {
    Q_OBJECT
public:
    explicit EmailView(pages::EmailPage& page, QWidget* parent = nullptr);
    QCheckBox* track_sender() { return track_; }
    QCheckBox* delivery_reports() { return receipt_; }
    QComboBox* template_box() { return template_; }
    QLineEdit* max_sms() { return max_sms_; }
    QPushButton* sms_mailbox_button() { return sms_button_; }
    QPushButton* senders_button() { return senders_; }

protected:
    void sync() override;

private:
    void act(void (pages::EmailPage::*action)());

    pages::EmailPage& page_;
    QPushButton *sms_button_, *mms_button_, *senders_;
    QLabel *sms_label_, *mms_label_, *max_label_, *template_label_;
    QLineEdit* max_sms_;
    QCheckBox *use_mms_, *force_mms_, *track_, *receipt_;
    QComboBox* template_;
};

class MailboxWindow final : public QDialog {
    Q_OBJECT
public:
    MailboxWindow(pages::Context& ctx, pages::MailboxKind kind, QWidget* parent = nullptr,
                  pages::MailTests tests = pages::real_mail_tests());
    pages::MailboxDialog& model() { return model_; }
    QLineEdit* field(pages::MailboxDialog::Field f) { return fields_.at(f); }
    QRadioButton* imap() { return imap_; }
    QRadioButton* pop3() { return pop3_; }
    QCheckBox* tls() { return tls_; }
    // OK and Remove as their buttons do them.
    void press_ok();
    void press_remove();

private:
    void sync();
    void focus_model_field();

    pages::MailboxDialog model_;
    std::map<pages::MailboxDialog::Field, QLineEdit*> fields_;
    QRadioButton *imap_, *pop3_;
    QCheckBox* tls_;
};

class SendersWindow final : public QDialog {
    Q_OBJECT
public:
    explicit SendersWindow(pages::Context& ctx, QWidget* parent = nullptr);
    pages::SendersDialog& model() { return model_; }
    QLineEdit* text() { return text_; }
    QListWidget* list() { return list_; }
    void press_ok();

private:
    void sync();

    pages::SendersDialog model_;
    QLineEdit* text_;
    QListWidget* list_;
};

}  // namespace ovr::ui
