// ovrinsmsctl keywords ...: the two-way keyword table of RIRER.INI.
#include <ostream>

#include "cli/cli.h"
#include "cli/diagnose.h"
#include "cli/json_text.h"
#include "cli/dialog_twin.h"
#include "config/text.h"
#include "keywords/editing.h"
#include "keywords/table.h"
#include "pages/keyword_dialog.h"

namespace ovr::cli {
namespace {

int list(Context& ctx, const Invocation& inv) {
    const std::string& path = ctx.ini.rirer;
    std::vector<std::string> entries = keywords::enumerate(path);
    if (!inv.has("--json")) {
        for (const auto& e : entries) ctx.out << keywords::row_text(path, e) << "\n";
        return 0;
    }
    // The row's cells: the entry, then "Key=value" per action.
    ctx.out << "[";
    for (size_t i = 0; i < entries.size(); ++i) {
        std::string row = keywords::row_text(path, entries[i]);
        size_t tab = row.find('\t');
        ctx.out << (i ? ",\n " : "") << "{\"entry\": " << json_quote(entries[i]) << ", \"actions\": {";
        bool first = true;
        while (tab != std::string::npos) {
            size_t next = row.find('\t', tab + 1);
            std::string cell = row.substr(tab + 1, next == std::string::npos ? std::string::npos : next - tab - 1);
            size_t eq = cell.find('=');
            ctx.out << (first ? "" : ", ") << json_quote(cell.substr(0, eq)) << ": "
                    << json_quote(eq == std::string::npos ? "" : cell.substr(eq + 1));
            first = false;
            tab = next;
        }
        ctx.out << "}}";
    }
    ctx.out << "]\n";
    return 0;
}

// An entry is a value of the table and part of a section name.
int refuse_entry(Context& ctx, const std::string& entry) {
    if (entry.empty()) return usage_error(ctx, "the entry is empty");
    if (auto why = ini_value_refusal("the entry", entry)) return usage_error(ctx, *why);
    if (auto why = ini_name_refusal(keywords::section_name(entry), nullptr)) return usage_error(ctx, "the entry's " + *why);
    return ensure_data_directory(ctx);
}

int add(Context& ctx, const Invocation& inv) {
    if (int rc = refuse_entry(ctx, inv.arg(0))) return rc;
    if (!keywords::add(ctx.ini.rirer, inv.arg(0))) return failure(ctx, unwritable_reason(ctx.ini.rirer));
    return 0;
}

// Whether the table holds the entry (matched as the table matches it): a
// failed write must not read as a missing entry.
bool in_table(Context& ctx, const std::string& entry) {
    for (const std::string& e : keywords::enumerate(ctx.ini.rirer))
        if (config::equal_ignoring_case(e, entry)) return true;
    return false;
}

int rename(Context& ctx, const Invocation& inv) {
    if (int rc = refuse_entry(ctx, inv.arg(1))) return rc;
    if (!in_table(ctx, inv.arg(0))) return failure(ctx, "\"" + inv.arg(0) + "\" is not in the table");
    if (!keywords::rename(ctx.ini.rirer, inv.arg(0), inv.arg(1))) return failure(ctx, unwritable_reason(ctx.ini.rirer));
    return 0;
}

int remove(Context& ctx, const Invocation& inv) {
    if (!in_table(ctx, inv.arg(0))) return failure(ctx, "\"" + inv.arg(0) + "\" is not in the table");
    if (!keywords::remove(ctx.ini.rirer, inv.arg(0))) return failure(ctx, unwritable_reason(ctx.ini.rirer));
    return 0;
}

int migrate(Context& ctx, const Invocation&) {
    if (!keywords::migrate(ctx.ini.rirer)) return failure(ctx, unwritable_reason(ctx.ini.rirer));
    return 0;
}

// The dialog's twins: each loads the entry as the keyword dialog does, applies
// the options as edits, then presses OK.
using Dialog = pages::KeywordDialog;

struct ActionOption {
    const char* on;
    const char* off;
    Dialog::Text text;     // the text the option sets (none for --run-response)
    Dialog::Check check;
    bool flag;
};
const ActionOption kActions[] = {
    {"--reply-text", "--no-reply-text", Dialog::Text::ReplyText, Dialog::Check::SendReply, false},
    {"--reply-file", "--no-reply-file", Dialog::Text::ReplyFile, Dialog::Check::IncludeImage, false},
    {"--run", "--no-run", Dialog::Text::Run, Dialog::Check::RunCommand, false},
    {"--run-response", "--no-run-response", Dialog::Text::Run, Dialog::Check::RunResponse, true},
    {"--mail-to", "--no-mail-to", Dialog::Text::MailTo, Dialog::Check::Forward, false},
    {"--dlist-add", "--no-dlist-add", Dialog::Text::DListAdd, Dialog::Check::AddList, false},
    {"--dlist-remove", "--no-dlist-remove", Dialog::Text::DListRemove, Dialog::Check::RemoveList, false},
};

std::vector<Option> action_options(std::vector<Option> first) {
    static const char* const kValues[] = {"TEXT", "FILE", "COMMAND", nullptr, "ADDRESS", "LIST", "LIST"};
    static const char* const kHelp[] = {"send a text reply (line breaks kept)", "include this image with the reply",
                                        "run an http://... URL or a local command",
                                        "reply to the sender with the command's output",
                                        "forward the message to this e-mail address",
                                        "add the sender to this distribution list",
                                        "remove the sender from this distribution list"};
    for (size_t i = 0; i < std::size(kActions); ++i) {
        first.push_back({kActions[i].on, kValues[i], kHelp[i]});
        first.push_back({kActions[i].off, nullptr, "turn that action off"});
    }
    return first;
}

int apply_actions(Context& ctx, const Invocation& inv, Dialog& d) {
    for (const ActionOption& a : kActions) {
        if (inv.has(a.on) && inv.has(a.off))
            return usage_error(ctx, std::string(a.on) + " and " + a.off + " contradict each other");
        if (inv.has(a.on)) {
            if (a.flag)
                d.set_checked(a.check, true);
            else if (a.text == Dialog::Text::ReplyFile)
                d.set_reply_file(inv.value(a.on));
            else
                d.set_text(a.text, inv.value(a.on));
        }
        if (inv.has(a.off)) d.set_checked(a.check, false);
    }
    return 0;
}

int press_ok(Dialog& d) { return d.ok() ? 0 : 1; }

int refuse_missing(Context& ctx, const std::string& entry) {
    if (keywords::find_entry(config::ini::snapshot(ctx.ini.rirer), entry)) return 0;
    ctx.err << "error: \"" << one_line(entry) << "\" is not in the table\n";
    return 1;
}

int show(Context& ctx, const Invocation& inv) {
    if (int rc = refuse_missing(ctx, inv.arg(0))) return rc;
    OneLineUi ui(ctx.err);
    TwinContext tc(ctx, nullptr, ui);
    Dialog d(tc.pages, inv.arg(0));
    auto action = [&](Dialog::Check c, Dialog::Text t) {
        if (!d.checked(c)) return std::string();
        return t == Dialog::Text::ReplyText ? keywords::escape_line_breaks(d.text(t)) : d.text(t);
    };
    const Field rows[] = {
        {"entry", d.entry()},
        {"keyword", d.text(Dialog::Text::Keyword)},
        {"numbers", d.text(Dialog::Text::Numbers)},
        {"reply-text", action(Dialog::Check::SendReply, Dialog::Text::ReplyText)},
        {"reply-file", action(Dialog::Check::IncludeImage, Dialog::Text::ReplyFile)},
        {"run", action(Dialog::Check::RunCommand, Dialog::Text::Run)},
        {"run-response", d.checked(Dialog::Check::RunResponse) ? "yes" : "no"},
        {"mail-to", action(Dialog::Check::Forward, Dialog::Text::MailTo)},
        {"dlist-add", action(Dialog::Check::AddList, Dialog::Text::DListAdd)},
        {"dlist-remove", action(Dialog::Check::RemoveList, Dialog::Text::DListRemove)},
    };
    print_fields(ctx.out, rows, inv.has("--json"));
    return 0;
}

int create(Context& ctx, const Invocation& inv) {
    if (int rc = ensure_data_directory(ctx)) return rc;
    OneLineUi ui(ctx.err);
    TwinContext tc(ctx, nullptr, ui);
    Dialog d(tc.pages, "");
    keywords::EntryParts parts = keywords::split_entry(inv.arg(0));
    d.set_text(Dialog::Text::Keyword, parts.keyword);
    d.set_text(Dialog::Text::Numbers, parts.numbers);
    if (int rc = apply_actions(ctx, inv, d)) return rc;
    return press_ok(d);
}

int edit(Context& ctx, const Invocation& inv) {
    if (int rc = refuse_missing(ctx, inv.arg(0))) return rc;
    OneLineUi ui(ctx.err);
    TwinContext tc(ctx, nullptr, ui);
    Dialog d(tc.pages, inv.arg(0));
    if (inv.has("--keyword")) d.set_text(Dialog::Text::Keyword, inv.value("--keyword"));
    if (inv.has("--numbers")) d.set_text(Dialog::Text::Numbers, inv.value("--numbers"));
    if (int rc = apply_actions(ctx, inv, d)) return rc;
    return press_ok(d);
}

int erase(Context& ctx, const Invocation& inv) {
    if (int rc = refuse_missing(ctx, inv.arg(0))) return rc;
    if (keywords::remove_entry(ctx.ini.rirer, inv.arg(0))) return 0;
    ctx.err << "error: Unable to write " << ctx.ini.rirer << "\n";
    return 1;
}

Registrar reg({
    "keywords",
    "the two-way keyword table",
    {
        {"list", "", "print the keyword table, one row a line", {{"--json", nullptr, "print one JSON array"}}, &list,
         "A row is the entry, then a tab and \"Key=value\" for each action. --json prints\n"
         "[{\"entry\": ENTRY, \"actions\": {KEY: VALUE, ...}}, ...].\n"},
        {"add", "ENTRY", "add a keyword", {}, &add},
        {"rename", "OLD NEW", "rename a keyword", {}, &rename},
        {"remove", "ENTRY", "remove a keyword", {}, &remove},
        {"migrate", "", "convert the old ReceiveSMSCommand lines into the table (once)", {}, &migrate},
        {"show", "ENTRY", "print an entry and its actions as the keyword dialog shows them",
         {{"--json", nullptr, "print one JSON object"}}, &show,
         "Prints name: value lines (entry, keyword, numbers, then each action, empty when off).\n"},
        {"new", "ENTRY", "add a keyword with its actions, as Add and OK on the 2-Way page do",
         action_options({}), &create,
         "The checks of the keyword dialog apply; a refusal prints \"error: \" and its message.\n"},
        {"edit", "ENTRY", "change a keyword, its numbers or its actions, as Edit and OK do",
         action_options({{"--keyword", "K", "the new keyword"}, {"--numbers", "N", "the new receive number(s)"}}),
         &edit},
        {"delete", "ENTRY", "remove a keyword and its actions, as Remove does", {}, &erase},
    },
    "ENTRY is a keyword, optionally followed by ## and the receive number(s).\n",
});

}  // namespace
}  // namespace ovr::cli
