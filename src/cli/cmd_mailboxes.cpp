// ovrinsmsctl mailboxes ...: the e-mail bridge's mailboxes, saved as the
// mailbox dialog saves them (both server tests first).
#include <iostream>
#include <ostream>

#include "cli/cli.h"
#include "cli/diagnose.h"
#include "cli/json_text.h"
#include "cli/mail_io.h"
#include "pages/mailbox_dialog.h"
#include "platform/network.h"

namespace ovr::cli {
namespace {

using pages::MailboxDialog;
using pages::MailboxKind;
using Field = MailboxDialog::Field;

MailboxKind kind_of(const std::string& word) { return word == "mms" ? MailboxKind::Mms : MailboxKind::Sms; }
const char* upper(MailboxKind k) { return k == MailboxKind::Sms ? "SMS" : "MMS"; }

void print_json(std::ostream& os, const char* kind, const MailboxDialog& d) {
    auto f = [&](Field x) { return json_quote(d.field(x).text); };
    os << "{\"kind\": " << json_quote(kind) << ", \"address\": " << f(Field::Address)
       << ", \"name\": " << f(Field::FullName) << ", \"user\": " << f(Field::User)
       << ", \"server_type\": " << (d.imap().selected ? "\"imap\"" : "\"pop3\"")
       << ", \"receive_server\": " << json_quote(d.mailbox().receive_server)
       << ", \"smtp_server\": " << json_quote(d.mailbox().smtp_server)
       << ", \"tls\": " << (d.tls().checked ? "true" : "false") << ", \"poll\": " << f(Field::Poll) << "}";
}

int list(Context& ctx, const Invocation& inv) {
    MailBoxUi ui(ctx.err, false);
    pages::Context pc = page_context(ctx, ui);
    bool json = inv.has("--json");
    if (json) ctx.out << "[";
    bool first = true;
    for (MailboxKind k : {MailboxKind::Sms, MailboxKind::Mms}) {
        if (pages::mailbox_name(pc, k).empty()) continue;
        MailboxDialog d(pc, k);
        const char* kind = k == MailboxKind::Sms ? "sms" : "mms";
        if (json) {
            ctx.out << (first ? "" : ", ");
            print_json(ctx.out, kind, d);
        } else {
            ctx.out << kind << "\t" << d.field(Field::Address).text << "\t" << (d.imap().selected ? "imap " : "pop3 ")
                    << d.mailbox().receive_server << "\tsmtp " << d.mailbox().smtp_server << "\t"
                    << (d.tls().checked ? "tls" : "plain") << "\n";
        }
        first = false;
    }
    if (json) ctx.out << "]\n";
    return 0;
}

int show(Context& ctx, const Invocation& inv) {
    MailBoxUi ui(ctx.err, false);
    pages::Context pc = page_context(ctx, ui);
    MailboxKind k = kind_of(inv.arg(0));
    if (pages::mailbox_name(pc, k).empty()) return failure(ctx, std::string("no ") + upper(k) + " mailbox is configured");
    MailboxDialog d(pc, k);
    if (inv.has("--json")) {
        print_json(ctx.out, inv.arg(0).c_str(), d);
        ctx.out << "\n";
        return 0;
    }
    // As the dialog shows them: the password masked, defaults filled in.
    for (Field f : {Field::Address, Field::FullName, Field::User, Field::Password}) {
        const std::string& t = d.field(f).text;
        ctx.out << MailboxDialog::label(f) << "\t" << (d.field(f).masked ? std::string(t.size() ? 8 : 0, '*') : t) << "\n";
    }
    ctx.out << "Server Type:\t" << (d.imap().selected ? "IMAP" : "POP3") << "\n"
            << "Use SSL/TLS:\t" << (d.tls().checked ? "yes" : "no") << "\n"
            << "IMAP or POP Server:\t" << d.mailbox().receive_server << "\n"
            << "SMTP Server:\t" << d.mailbox().smtp_server << "\n"
            << "Poll Interval:\t" << d.field(Field::Poll).text << " seconds\n";
    return 0;
}

// The dialog's OK with the fields the options give, over the stored ones
// (edit) or over an empty dialog (add).
int save(Context& ctx, const Invocation& inv, bool edit) {
    if (inv.has("--password")) return usage_error(ctx, kPasswordOnStdin);
    if (inv.has("--imap") && inv.has("--pop3")) return usage_error(ctx, "--imap and --pop3 exclude each other");
    if (inv.has("--tls") && inv.has("--no-tls")) return usage_error(ctx, "--tls and --no-tls exclude each other");
    std::string password;
    if (inv.has("--password-stdin") && !read_password(std::cin, password))
        return usage_error(ctx, "no password on standard input");
    if (inv.has("--poll") && inv.value("--poll").find_first_not_of("0123456789") != std::string::npos)
        return usage_error(ctx, "--poll is a number of seconds, not \"" + inv.value("--poll") + "\"");
    MailboxKind k = kind_of(inv.arg(0));
    MailBoxUi ui(ctx.err, inv.has("--transcript"));
    pages::Context pc = page_context(ctx, ui);
    bool exists = !pages::mailbox_name(pc, k).empty();
    if (edit && !exists)
        return failure(ctx, std::string("no ") + upper(k) + " mailbox is configured: use \"mailboxes add " + inv.arg(0) + "\"");
    if (!edit && exists)
        return failure(ctx, std::string("the ") + upper(k) + " mailbox is configured: use \"mailboxes edit " +
                                inv.arg(0) + "\" or remove it first");
    if (int rc = ensure_data_directory(ctx)) return rc;
    platform::start_network();
    MailboxDialog d(pc, k);
    if (inv.has("--tls") != d.tls().checked && (inv.has("--tls") || inv.has("--no-tls"))) d.click_tls();
    if (inv.has("--imap")) d.click_imap();
    if (inv.has("--pop3")) d.click_pop3();
    auto server = [&](const char* option, Field host, Field port) {
        if (!inv.has(option)) return;
        std::string h, p;
        pages::split_server(inv.value(option), h, p);
        d.set_text(host, h);
        if (!p.empty()) d.set_text(port, p);
    };
    server(inv.has("--imap") ? "--imap" : "--pop3", Field::ReceiveHost, Field::ReceivePort);
    server("--smtp", Field::SmtpHost, Field::SmtpPort);
    if (inv.has("--address")) d.set_text(Field::Address, inv.value("--address"));
    if (inv.has("--name")) d.set_text(Field::FullName, inv.value("--name"));
    if (inv.has("--user")) d.set_text(Field::User, inv.value("--user"));
    if (inv.has("--password-stdin")) d.set_text(Field::Password, password);
    if (inv.has("--poll")) d.set_text(Field::Poll, inv.value("--poll"));
    return d.ok() ? 0 : 1;
}

int add(Context& ctx, const Invocation& inv) { return save(ctx, inv, false); }
int edit(Context& ctx, const Invocation& inv) { return save(ctx, inv, true); }

int remove(Context& ctx, const Invocation& inv) {
    MailBoxUi ui(ctx.err, false, inv.has("--yes"));
    pages::Context pc = page_context(ctx, ui);
    MailboxDialog d(pc, kind_of(inv.arg(0)));
    return d.remove() ? 0 : 1;
}

const std::vector<Option> kFields = {
    {"--address", "A", "the mailbox's e-mail address, also its name"},
    {"--name", "N", "the full name shown with it"},
    {"--user", "U", "the account's user name"},
    {"--password-stdin", nullptr, "read the account's password from the first line of standard input"},
    {"--password", "P", "refused: a password on the command line shows in the process list"},
    {"--imap", "HOST[:PORT]", "poll an IMAP server"},
    {"--pop3", "HOST[:PORT]", "poll a POP3 server"},
    {"--smtp", "HOST[:PORT]", "send through this SMTP server"},
    {"--tls", nullptr, "use SSL/TLS with both servers (ports default to 993/995 and 587)"},
    {"--no-tls", nullptr, "no SSL/TLS (ports default to 143/110 and 25)"},
    {"--poll", "S", "seconds between polls (default 120)"},
    {"--transcript", nullptr, "print each server command and reply on standard error, passwords as ********"},
};

Registrar reg({
    "mailboxes",
    "the mailboxes of the e-mail to SMS bridge",
    {
        {"list", "", "print each configured mailbox: kind, address, servers, TLS",
         {{"--json", nullptr, "print one JSON array"}}, &list},
        {"show", "sms|mms", "print a mailbox as its dialog shows it (the password masked)",
         {{"--json", nullptr, "print one JSON object (without the password)"}}, &show},
        {"add", "sms|mms", "set up a mailbox: both servers are tested, then it is saved", kFields, &add},
        {"edit", "sms|mms", "change a mailbox, starting from its stored fields; tested, then saved", kFields, &edit},
        {"remove", "sms|mms", "remove a mailbox's settings",
         {{"--yes", nullptr, "answer the question \"Are you sure?\" with yes"}}, &remove},
    },
    "sms is the mailbox the gateway polls for e-mail to send as SMS; mms is the hidden second kind.\n"
    "Saving logs in to the IMAP or POP3 server, then to the SMTP server, with the mailbox's user,\n"
    "password and TLS choice; a failure prints its box (\"error: ...\") and saves nothing. A pass\n"
    "proves the login, not the server's identity: certificates are not checked. Required: --address,\n"
    "--user, the password, a receive server and --smtp, in this order (\"error: Field is required!\").\n",
});

}  // namespace
}  // namespace ovr::cli
