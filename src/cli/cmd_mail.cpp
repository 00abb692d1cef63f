// ovrinsmsctl mail ...: the mail server tests of the mailbox dialog.
#include <iostream>
#include <ostream>

#include "cli/cli.h"
#include "cli/console_ui.h"
#include "cli/mail_io.h"
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
    },
});

}  // namespace
}  // namespace ovr::cli
