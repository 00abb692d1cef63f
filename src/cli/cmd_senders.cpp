// ovrinsmsctl senders ...: the authorised senders of the e-mail bridge, kept
// as the senders dialog keeps them.
#include <ostream>

#include "cli/cli.h"
#include "cli/diagnose.h"
#include "cli/json_text.h"
#include "cli/mail_io.h"
#include "config/text.h"
#include "pages/mailbox_dialog.h"

namespace ovr::cli {
namespace {

int list(Context& ctx, const Invocation& inv) {
    MailBoxUi ui(ctx.err, false);
    pages::Context pc = page_context(ctx, ui);
    auto entries = pages::SendersDialog::load(pc);
    if (inv.has("--json")) {
        ctx.out << "[";
        for (size_t i = 0; i < entries.size(); ++i) ctx.out << (i ? ", " : "") << json_quote(entries[i]);
        ctx.out << "]\n";
    } else {
        for (const auto& e : entries) ctx.out << e << "\n";
    }
    return 0;
}

int add(Context& ctx, const Invocation& inv) {
    if (inv.arg(0).find_first_of("\r\n") != std::string::npos) return usage_error(ctx, "a sender is one line");
    if (int rc = ensure_data_directory(ctx)) return rc;
    MailBoxUi ui(ctx.err, false);
    pages::Context pc = page_context(ctx, ui);
    pages::SendersDialog d(pc);
    d.set_text(inv.arg(0));
    d.add();
    return d.ok() ? 0 : 1;
}

int remove(Context& ctx, const Invocation& inv) {
    MailBoxUi ui(ctx.err, false);
    pages::Context pc = page_context(ctx, ui);
    pages::SendersDialog d(pc);
    std::string_view key = pages::SendersDialog::key_of(inv.arg(0));
    const auto& e = d.entries();
    for (size_t i = 0; i < e.size(); ++i) {
        if (!config::equal_ignoring_case(pages::SendersDialog::key_of(e[i]), key)) continue;
        d.select(static_cast<int>(i));
        d.remove();
        return d.ok() ? 0 : 1;
    }
    return failure(ctx, "no authorised sender " + std::string(key));
}

Registrar reg({
    "senders",
    "the senders allowed to send SMS by e-mail",
    {
        {"list", "", "print the authorised senders, sorted", {{"--json", nullptr, "print one JSON array"}}, &list},
        {"add", "ENTRY", "add a sender, replacing one with the same address (ignoring case)", {}, &add},
        {"remove", "ADDRESS", "remove the sender with this address (ignoring case)", {}, &remove},
    },
    "An ENTRY is an e-mail address, optionally followed by \",\" and more text kept as it is.\n",
});

}  // namespace
}  // namespace ovr::cli
