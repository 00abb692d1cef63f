// ovrinsmsctl mail ...: the mail server tests of the mailbox dialog.
#include <iostream>
#include <ostream>

#include "cli/cli.h"
#include "cli/console_ui.h"
#include "cli/diagnose.h"
#include "cli/json_text.h"
#include "cli/mail_io.h"
#include "pages/email_page.h"
#include "nettest/mail_test.h"
#include "platform/network.h"

namespace ovr::cli {
namespace {

int test(Context& ctx, const Invocation& inv) {
    if (inv.has("--password")) return usage_error(ctx, kPasswordOnStdin);
    std::string password;
    if (inv.has("--password-stdin") && !read_password(std::cin, password))
        return usage_error(ctx, "no password on standard input");
    platform::start_network();
    MailBoxUi ui(ctx.err, inv.has("--transcript"));
    const std::string& proto = inv.arg(0);
    auto fn = proto == "smtp" ? &nettest::test_smtp : proto == "imap" ? &nettest::test_imap : &nettest::test_pop3;
    return fn(&ui, inv.arg(1), inv.has("--tls"), inv.value("--user"), password) ? 0 : 1;
}

int settings(Context& ctx, const Invocation& inv) {
    MailBoxUi ui(ctx.err, false);
    pages::Context pc = page_context(ctx, ui);
    pages::EmailPage page(pc);
    auto yn = [](const pages::CheckBox& b) { return b.checked; };
    if (inv.has("--json")) {
        ctx.out << "{\"sms_mailbox\": " << json_quote(page.sms_mailbox_label().text)
                << ", \"max_sms\": " << page.max_sms() << ", \"use_mms\": " << (yn(page.use_mms()) ? "true" : "false")
                << ", \"force_mms\": " << (yn(page.force_mms()) ? "true" : "false")
                << ", \"route_replies\": " << (yn(page.track_sender()) ? "true" : "false")
                << ", \"delivery_reports\": " << (yn(page.delivery_reports()) ? "true" : "false")
                << ", \"template\": " << json_quote(page.template_text()) << "}\n";
        return 0;
    }
    auto word = [](bool on) { return on ? "yes" : "no"; };
    ctx.out << "sms-mailbox\t" << page.sms_mailbox_label().text << "\n"
            << "max-sms\t" << page.max_sms() << "\n"
            << "use-mms\t" << word(yn(page.use_mms())) << "\n"
            << "force-mms\t" << word(yn(page.force_mms())) << "\n"
            << "route-replies\t" << word(yn(page.track_sender())) << "\n"
            << "delivery-reports\t" << word(yn(page.delivery_reports())) << "\n"
            << "template\t" << page.template_text() << "\n";
    return 0;
}

// The page's Apply after the changes asked for, each through the page's own
// action so its rules hold.
int set(Context& ctx, const Invocation& inv) {
    struct Flag {
        const char* option;
        const pages::CheckBox& (pages::EmailPage::*box)() const;
        void (pages::EmailPage::*click)();
    };
    const Flag flags[] = {
        {"--use-mms", &pages::EmailPage::use_mms, &pages::EmailPage::click_use_mms},
        {"--force-mms", &pages::EmailPage::force_mms, &pages::EmailPage::click_force_mms},
        {"--route-replies", &pages::EmailPage::track_sender, &pages::EmailPage::click_track_sender},
        {"--delivery-reports", &pages::EmailPage::delivery_reports, &pages::EmailPage::click_delivery_reports},
    };
    size_t n = 0;
    if (inv.has("--max-sms") && (!parse_size(inv.value("--max-sms"), n) || n == 0 || n > 0xFFFFFFFFu))
        return usage_error(ctx, "--max-sms is a number from 1, not \"" + inv.value("--max-sms") + "\"");
    if (inv.has("--template") && inv.value("--template").find_first_of("\r\n") != std::string::npos)
        return usage_error(ctx, "the template is one line");
    if (int rc = ensure_data_directory(ctx)) return rc;
    MailBoxUi ui(ctx.err, false);
    pages::Context pc = page_context(ctx, ui);
    pages::EmailPage page(pc);
    if (inv.has("--max-sms")) page.set_max_sms(std::to_string(n));
    if (inv.has("--template")) page.type_template(inv.value("--template"));
    for (const Flag& f : flags) {
        if (!inv.has(f.option)) continue;
        bool want = *yes_no(inv.value(f.option));
        if ((page.*f.box)().checked != want) (page.*f.click)();
        if ((page.*f.box)().checked != want || (want && !(page.*f.box)().enabled))
            return usage_error(ctx, "delivery reports are requested only while replies are routed to e-mail "
                                    "(--route-replies yes)");
    }
    size_t boxes = ui.shown().size();
    page.apply();
    return ui.shown().size() == boxes ? 0 : 1;
}

Registrar reg({
    "mail",
    "the mail server tests of the mailbox dialog",
    {
        {"test", "smtp|imap|pop3 SERVER", "log in to a mail server as the mailbox dialog does, then log out",
         {{"--tls", nullptr, "secure the connection (STARTTLS/STLS, or TLS at once when the server waits)"},
          {"--user", "U", "the user name (SMTP without one sends HELO and no AUTH LOGIN)"},
          {"--password-stdin", nullptr, "read the password from the first line of standard input"},
          {"--password", "P", "refused: a password on the command line shows in the process list"},
          {"--transcript", nullptr, "print each command and reply on standard error, passwords as ********"}},
         &test,
         "SERVER is HOST, HOST:PORT or [IPV6]:PORT; without a port (or port 0) SMTP uses 25 (587 with\n"
         "--tls), IMAP 143 (993), POP3 110 (995). A pass proves the login, not the server's identity:\n"
         "certificates are not checked. Exit status 0 on success, silently; 1 on failure with each\n"
         "message box on its own line of standard error after \"error: \".\n"},
        {"settings", "", "print the E-mail page's settings, one \"NAME<tab>VALUE\" a line",
         {{"--json", nullptr, "print one JSON object"}},
         &settings,
         "sms-mailbox is the SMS mailbox's address or \"(Not Configured)\" (see \"mailboxes\").\n"},
        {"set", "", "change the E-mail page's settings and apply them as its Apply does",
         {{"--max-sms", "N", "the most SMS messages one e-mail becomes (from 1)"},
          {"--template", "TEXT", "the SMS text made from an e-mail; the default one is stored as none"},
          {"--use-mms", "yes|no", "MMS when the e-mail has an image or is too long for SMS"},
          {"--force-mms", "yes|no", "MMS for every message from e-mail"},
          {"--route-replies", "yes|no", "route SMS replies back to the e-mail's sender (turns on receiving SMS)"},
          {"--delivery-reports", "yes|no", "request delivery reports; only with replies routed"}},
         &set,
         "Without options it applies the page as it stands: SMSEMail then follows the SMS mailbox.\n"
         "Template fields: @@FromAddress@@, @@Subject@@, @@Text@@.\n"},
    },
});

}  // namespace
}  // namespace ovr::cli
