// The mailboxes of the e-mail bridge and their two dialogs: the mailbox
// dialog (EDIT_MAILBOX), which proves a mailbox's servers with the mail tests
// before it saves, and the authorised senders dialog (AUTHEMAILSMS_DIALOG).
// Both write MMSC.INI when they close with OK, each save one atomic rewrite.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/fields.h"
#include "pages/page.h"
#include "pages/text_field.h"

namespace ovr::pages {

// Kind 1 is the SMS mailbox; kind 2 (MMS) exists in the files but the page
// hides it.
enum class MailboxKind { Sms = 1, Mms = 2 };

inline constexpr const char* kMmscSection = "MMSC";
inline constexpr const char* kSendersSection = "AuthEMailSMS";
inline constexpr const char* kFieldRequired = "Field is required!";
inline constexpr const char* kRemoveMailboxQuestion = "All Mailbox Settings will be removed.\r\n\r\nAre you sure?";
inline constexpr size_t kAccountChars = 249;    // user and password fields
inline constexpr size_t kSenderBuffer = 150;    // a sender entry as read
inline constexpr size_t kSendersEmptyLimit = 50;

// "SMSMailbox" or "MMSMailbox".
const char* mailbox_key(MailboxKind kind);
// The kind's mailbox name (its address) from MMSC.INI, "" when none.
std::string mailbox_name(const Context& ctx, MailboxKind kind);
std::string mailbox_section(std::string_view name);

// A mailbox as stored.
struct Mailbox {
    std::string address, full_name, user, password;
    bool imap = true;               // IMAPServer (else POP3Server)
    std::string receive_server;     // host or host:port
    bool tls = false;
    std::string smtp_server;
    std::string poll_interval;      // seconds, "" for none
};
// The kind's stored mailbox, or nothing when the kind has no name. Reading
// the servers, IMAP wins when both keys exist.
std::optional<Mailbox> load_mailbox(const Context& ctx, MailboxKind kind);
// Writes the mailbox under its address as the kind's mailbox, deleting the
// section of a former name that differs (ignoring case): one atomic rewrite,
// the file kept private to its owner. False when the file refused it.
bool save_mailbox(const Context& ctx, MailboxKind kind, const Mailbox& m);
// Deletes the kind's mailbox section and name; true also when it had none.
bool remove_mailbox(const Context& ctx, MailboxKind kind);
std::string unable_to_save(const Context& ctx);

// The default receive and send ports of a mailbox.
uint32_t receive_default_port(bool imap, bool tls);
uint32_t smtp_default_port(bool tls);
// Host and port fields from a server text (brackets of an IPv6 address kept),
// and back: the host, then ":" and the port when there is one. A bare IPv6
// address gets its brackets so the port stays separate.
void split_server(std::string_view server, std::string& host, std::string& port);
std::string join_server(const std::string& host, const std::string& port);

// The mail tests a dialog runs; tests replace them.
struct MailTests {
    bool (*smtp)(Ui*, const std::string&, bool, const std::string&, const std::string&);
    bool (*imap)(Ui*, const std::string&, bool, const std::string&, const std::string&);
    bool (*pop3)(Ui*, const std::string&, bool, const std::string&, const std::string&);
};
MailTests real_mail_tests();

// A text field of the mailbox dialog with its input rules.
struct MailboxField {
    std::string text;
    size_t limit = 0;       // bytes, 0 for none
    bool masked = false;
    bool digits_only = false;
};

// The mailbox dialog's model.
class MailboxDialog {
public:
    enum class Field { Address, FullName, User, Password, ReceiveHost, ReceivePort, SmtpHost, SmtpPort, Poll, None };

    MailboxDialog(Context& ctx, MailboxKind kind, MailTests tests = real_mail_tests());

    std::string title() const { return "Mailbox Settings"; }
    MailboxKind kind() const { return kind_; }
    const MailboxField& field(Field f) const;
    const RadioButton& imap() const { return imap_; }
    const RadioButton& pop3() const { return pop3_; }
    const CheckBox& tls() const { return tls_; }
    const PushButton& remove_button() const { return remove_; }
    // The field that has the focus after a refused OK or a failed test.
    Field focus() const { return focus_; }
    static const char* label(Field f);

    // User actions. Ports take digits only; texts are cut to their limit.
    void set_text(Field f, const std::string& text);
    void click_imap();
    void click_pop3();
    void click_tls();
    // True when the dialog closes with 1 (saved, or removed).
    bool ok();
    bool remove();

    // The mailbox the fields describe, as OK would save it.
    Mailbox mailbox() const;

private:
    MailboxField& mut(Field f);
    bool run_test(bool (*test)(Ui*, const std::string&, bool, const std::string&, const std::string&),
                  const std::string& server, const Mailbox& m, const char* what);

    Context& ctx_;
    MailboxKind kind_;
    MailTests tests_;
    std::string old_name_;
    MailboxField fields_[9];
    RadioButton imap_{"IMAP", true}, pop3_{"POP3"};
    CheckBox tls_{"Use SSL/TLS"};
    PushButton remove_{"Remove Mailbox Settings"};
    Field focus_ = Field::Address;
};

// The authorised senders dialog's model.
class SendersDialog {
public:
    explicit SendersDialog(Context& ctx);

    std::string title() const { return "Authorised E-Mail to SMS/MMS Senders"; }
    const std::string& text() const { return text_; }
    // The list, sorted without regard to case; the selection or -1.
    const std::vector<std::string>& entries() const { return entries_; }
    int selected() const { return selected_; }

    void set_text(const std::string& text) { text_ = text; }
    void select(int index);
    void add();
    void remove();
    // True when the dialog closes with 1; false while text waited in the
    // field (it is added) or the file refused the save.
    bool ok();

    // The entry's key: the text before the first ",".
    static std::string_view key_of(std::string_view entry);
    // The stored entries of the senders section by the 50-empty rule.
    static std::vector<std::string> load(const Context& ctx);

private:
    Context& ctx_;
    std::string text_;
    std::vector<std::string> entries_;
    int selected_ = -1;
};

}  // namespace ovr::pages
