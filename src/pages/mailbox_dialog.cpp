#include "pages/mailbox_dialog.h"

#include <algorithm>
#include <cstdio>

#include "config/ini.h"
#include "config/text.h"
#include "nettest/mail_test.h"

namespace ovr::pages {

namespace {

constexpr size_t kKeyBuffer = 1024;
constexpr size_t kPortDigits = 5;

std::string read_key(const Context& ctx, const std::string& section, const char* key) {
    return config::ini::read_string(ctx.ini.mmsc, section, key, "", kKeyBuffer);
}

std::optional<std::string> setting(const std::string& v) {
    return v.empty() ? std::nullopt : std::optional<std::string>(v);
}

bool less_ignoring_case(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return config::upper_char(x) < config::upper_char(y);
    });
}

}  // namespace

const char* mailbox_key(MailboxKind kind) { return kind == MailboxKind::Sms ? "SMSMailbox" : "MMSMailbox"; }

std::string mailbox_name(const Context& ctx, MailboxKind kind) {
    return config::ini::read_string(ctx.ini.mmsc, kMmscSection, mailbox_key(kind), "", kKeyBuffer);
}

std::string mailbox_section(std::string_view name) { return "Mailbox-" + std::string(name); }

std::optional<Mailbox> load_mailbox(const Context& ctx, MailboxKind kind) {
    std::string name = mailbox_name(ctx, kind);
    if (name.empty()) return std::nullopt;
    const std::string s = mailbox_section(name);
    Mailbox m;
    m.address = read_key(ctx, s, "EMailAddress");
    m.full_name = read_key(ctx, s, "EMailFullName");
    m.user = read_key(ctx, s, "Username");
    m.password = read_key(ctx, s, "Password");
    std::string pop3 = read_key(ctx, s, "POP3Server"), imap = read_key(ctx, s, "IMAPServer");
    m.imap = !imap.empty() || pop3.empty();
    m.receive_server = m.imap ? imap : pop3;
    m.tls = config::is_yes_value(read_key(ctx, s, "UseSSL"));
    m.smtp_server = read_key(ctx, s, "SMTPServer");
    m.poll_interval = read_key(ctx, s, "PollInterval");
    return m;
}

bool save_mailbox(const Context& ctx, MailboxKind kind, const Mailbox& m) {
    using config::ini::ProfileWrite;
    std::vector<ProfileWrite> edits;
    const std::string old = mailbox_name(ctx, kind);
    if (!old.empty() && !config::equal_ignoring_case(old, m.address))
        edits.push_back({mailbox_section(old), std::nullopt, std::nullopt});
    edits.push_back({kMmscSection, mailbox_key(kind), setting(m.address)});
    // With no name the mailbox keys have nowhere to go.
    if (!m.address.empty()) {
        const std::string s = mailbox_section(m.address);
        edits.push_back({s, "EMailAddress", setting(m.address)});
        edits.push_back({s, "EMailFullName", setting(m.full_name)});
        edits.push_back({s, "Username", setting(m.user)});
        edits.push_back({s, "Password", setting(m.password)});
        edits.push_back({s, m.imap ? "IMAPServer" : "POP3Server", setting(m.receive_server)});
        edits.push_back({s, m.imap ? "POP3Server" : "IMAPServer", std::nullopt});
        edits.push_back({s, "UseSSL", m.tls ? std::optional<std::string>("Yes") : std::nullopt});
        edits.push_back({s, "SMTPServer", setting(m.smtp_server)});
        edits.push_back({s, "PollInterval", setting(m.poll_interval)});
    }
    // The file holds the password from now on: it becomes the owner's alone.
    return config::ini::restrict_to_owner(ctx.ini.mmsc) && config::ini::write_profiles(ctx.ini.mmsc, edits);
}

bool remove_mailbox(const Context& ctx, MailboxKind kind) {
    const std::string name = mailbox_name(ctx, kind);
    if (name.empty()) return true;
    return config::ini::write_profiles(
        ctx.ini.mmsc, {{mailbox_section(name), std::nullopt, std::nullopt}, {kMmscSection, mailbox_key(kind), std::nullopt}});
}

std::string unable_to_save(const Context& ctx) {
    return "Unable to save the settings in " + ctx.ini.mmsc + ".";
}

uint32_t receive_default_port(bool imap, bool tls) {
    if (imap) return tls ? nettest::kImapTlsPort : nettest::kImapPort;
    return tls ? nettest::kPop3TlsPort : nettest::kPop3Port;
}

uint32_t smtp_default_port(bool tls) { return tls ? nettest::kSmtpTlsPort : nettest::kSmtpPort; }

void split_server(std::string_view server, std::string& host, std::string& port) {
    uint32_t p = 0;
    config::split_host_port(server, host, p);
    port = p ? std::to_string(p) : "";
}

std::string join_server(const std::string& host, const std::string& port) {
    std::string h = host;
    if (h.find(':') != std::string::npos && h.front() != '[') h = "[" + h + "]";
    return port.empty() ? h : h + ":" + port;
}

MailTests real_mail_tests() { return {&nettest::test_smtp, &nettest::test_imap, &nettest::test_pop3}; }

// ---- the mailbox dialog ----

MailboxDialog::MailboxDialog(Context& ctx, MailboxKind kind, MailTests tests)
    : ctx_(ctx), kind_(kind), tests_(tests), old_name_(mailbox_name(ctx, kind)) {
    mut(Field::User).limit = kAccountChars;
    mut(Field::Password).limit = kAccountChars;
    mut(Field::Password).masked = true;
    for (Field f : {Field::ReceivePort, Field::SmtpPort, Field::Poll}) {
        mut(f).digits_only = true;
        mut(f).limit = f == Field::Poll ? 10 : kPortDigits;
    }
    std::string port;
    if (auto m = load_mailbox(ctx, kind)) {
        mut(Field::Address).text = m->address;
        mut(Field::FullName).text = m->full_name;
        set_text(Field::User, m->user);
        set_text(Field::Password, m->password);
        imap_.selected = m->imap;
        pop3_.selected = !m->imap;
        split_server(m->receive_server, mut(Field::ReceiveHost).text, port);
        set_text(Field::ReceivePort, port);
        tls_.checked = m->tls;
        split_server(m->smtp_server, mut(Field::SmtpHost).text, port);
        set_text(Field::SmtpPort, port);
        set_text(Field::Poll, m->poll_interval);
    }
    auto empty_or_zero = [](const std::string& t) { return t.empty() || config::leading_decimal(t) == 0; };
    if (empty_or_zero(field(Field::ReceivePort).text))
        mut(Field::ReceivePort).text = std::to_string(receive_default_port(imap_.selected, tls_.checked));
    if (empty_or_zero(field(Field::SmtpPort).text)) mut(Field::SmtpPort).text = std::to_string(smtp_default_port(tls_.checked));
    if (empty_or_zero(field(Field::Poll).text)) mut(Field::Poll).text = "120";
}

const MailboxField& MailboxDialog::field(Field f) const { return fields_[static_cast<size_t>(f)]; }
MailboxField& MailboxDialog::mut(Field f) { return fields_[static_cast<size_t>(f)]; }

const char* MailboxDialog::label(Field f) {
    switch (f) {
        case Field::Address: return "E-Mail Address:";
        case Field::FullName: return "Full Name:";
        case Field::User: return "User Account:";
        case Field::Password: return "Password:";
        case Field::ReceiveHost: return "IMAP or POP Server:";
        case Field::SmtpHost: return "SMTP Server:";
        case Field::ReceivePort:
        case Field::SmtpPort: return ":";
        case Field::Poll: return "Poll Interval:";
        case Field::None: break;
    }
    return "";
}

void MailboxDialog::set_text(Field f, const std::string& text) {
    if (f == Field::None) return;
    MailboxField& t = mut(f);
    std::string v = text;
    if (t.digits_only) v.erase(std::remove_if(v.begin(), v.end(), [](char c) { return c < '0' || c > '9'; }), v.end());
    t.text = t.limit ? cut_at_character(v, t.limit) : v;
}

void MailboxDialog::click_imap() {
    imap_.selected = true;
    pop3_.selected = false;
    mut(Field::ReceivePort).text = std::to_string(receive_default_port(true, tls_.checked));
}

void MailboxDialog::click_pop3() {
    imap_.selected = false;
    pop3_.selected = true;
    mut(Field::ReceivePort).text = std::to_string(receive_default_port(false, tls_.checked));
}

void MailboxDialog::click_tls() {
    tls_.checked = !tls_.checked;
    mut(Field::ReceivePort).text = std::to_string(receive_default_port(imap_.selected, tls_.checked));
    mut(Field::SmtpPort).text = std::to_string(smtp_default_port(tls_.checked));
}

Mailbox MailboxDialog::mailbox() const {
    Mailbox m;
    m.address = field(Field::Address).text;
    m.full_name = field(Field::FullName).text;
    m.user = field(Field::User).text;
    m.password = field(Field::Password).text;
    m.imap = imap_.selected;
    m.receive_server = join_server(field(Field::ReceiveHost).text, field(Field::ReceivePort).text);
    m.tls = tls_.checked;
    m.smtp_server = join_server(field(Field::SmtpHost).text, field(Field::SmtpPort).text);
    m.poll_interval = field(Field::Poll).text;
    return m;
}

bool MailboxDialog::run_test(bool (*test)(Ui*, const std::string&, bool, const std::string&, const std::string&),
                             const std::string& server, const Mailbox& m, const char* what) {
    bool passed = false;
    auto work = [&] { passed = test(ctx_.ui, server, m.tls, m.user, m.password); };
    if (ctx_.run_busy)
        ctx_.run_busy("Please wait...", std::string("Testing the ") + what + " server " + server + "...", work);
    else
        work();
    return passed;
}

bool MailboxDialog::ok() {
    // Without an address the mailbox would be saved nameless and lost.
    for (Field f : {Field::Address, Field::User, Field::Password, Field::ReceiveHost, Field::SmtpHost}) {
        if (field(f).text.empty()) {
            focus_ = f;
            if (ctx_.ui) ctx_.ui->error(kFieldRequired);
            return false;
        }
    }
    const Mailbox m = mailbox();
    if (!run_test(m.imap ? tests_.imap : tests_.pop3, m.receive_server, m, m.imap ? "IMAP" : "POP3")) {
        focus_ = Field::ReceiveHost;
        return false;
    }
    if (!run_test(tests_.smtp, m.smtp_server, m, "SMTP")) {
        focus_ = Field::SmtpHost;
        return false;
    }
    if (!save_mailbox(ctx_, kind_, m)) {
        focus_ = Field::Address;
        if (ctx_.ui) ctx_.ui->error(unable_to_save(ctx_));
        return false;
    }
    return true;
}

bool MailboxDialog::remove() {
    if (!ctx_.ui || ctx_.ui->ask_yes_no_cancel(kRemoveMailboxQuestion) != Answer::Yes) return false;
    if (!remove_mailbox(ctx_, kind_)) {
        ctx_.ui->error(unable_to_save(ctx_));
        return false;
    }
    return true;
}

// ---- the authorised senders dialog ----

std::string_view SendersDialog::key_of(std::string_view entry) { return entry.substr(0, entry.find(',')); }

namespace {

// The numbers of the stored "User%u" keys up to the 50th empty one.
template <typename F>
void for_each_sender_slot(const Context& ctx, F&& f) {
    size_t empty = 0;
    for (uint32_t n = 1; empty < kSendersEmptyLimit; ++n) {
        char key[24];
        std::snprintf(key, sizeof key, "User%u", n);
        std::string v = config::ini::read_string(ctx.ini.mmsc, kSendersSection, key, "", kKeyBuffer);
        if (v.empty()) ++empty;
        f(key, v);
    }
}

}  // namespace

std::vector<std::string> SendersDialog::load(const Context& ctx) {
    std::vector<std::string> out;
    for_each_sender_slot(ctx, [&](const char*, const std::string& v) {
        if (!v.empty()) out.push_back(cut_at_character(v, kSenderBuffer - 1));
    });
    std::stable_sort(out.begin(), out.end(), less_ignoring_case);
    return out;
}

SendersDialog::SendersDialog(Context& ctx) : ctx_(ctx), entries_(load(ctx)) {}

void SendersDialog::select(int index) {
    selected_ = index >= 0 && static_cast<size_t>(index) < entries_.size() ? index : -1;
}

void SendersDialog::add() {
    std::string entry = cut_at_character(text_, kSenderBuffer - 1);
    text_.clear();
    if (entry.empty()) return;
    std::string_view key = key_of(entry);
    std::erase_if(entries_, [&](const std::string& e) { return config::equal_ignoring_case(key_of(e), key); });
    auto at = std::upper_bound(entries_.begin(), entries_.end(), entry, less_ignoring_case);
    selected_ = static_cast<int>(entries_.insert(at, entry) - entries_.begin());
}

void SendersDialog::remove() {
    if (selected_ < 0) return;
    entries_.erase(entries_.begin() + selected_);
    selected_ = entries_.empty() ? -1 : std::max(selected_ - 1, 0);
}

bool SendersDialog::ok() {
    if (!text_.empty()) {
        add();
        return false;
    }
    std::vector<config::ini::ProfileWrite> edits;
    for_each_sender_slot(ctx_, [&](const char* key, const std::string& v) {
        if (!v.empty()) edits.push_back({kSendersSection, key, std::nullopt});
    });
    for (size_t i = 0; i < entries_.size(); ++i)
        edits.push_back({kSendersSection, "User" + std::to_string(i + 1), entries_[i]});
    if (!config::ini::write_profiles(ctx_.ini.mmsc, edits)) {
        if (ctx_.ui) ctx_.ui->error(unable_to_save(ctx_));
        return false;
    }
    return true;
}

}  // namespace ovr::pages
