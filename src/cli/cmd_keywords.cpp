// ovrinsmsctl keywords ...: the two-way keyword table of RIRER.INI.
#include <ostream>

#include "cli/cli.h"
#include "cli/diagnose.h"
#include "cli/json_text.h"
#include "config/text.h"
#include "keywords/table.h"

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
    keywords::migrate(ctx.ini.rirer);
    return 0;
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
    },
    "ENTRY is a keyword, optionally followed by ## and the receive number(s).\n",
});

}  // namespace
}  // namespace ovr::cli
