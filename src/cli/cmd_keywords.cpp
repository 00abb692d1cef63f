// ovrinsmsctl keywords ...: the two-way keyword table of RIRER.INI.
#include <ostream>

#include "cli/cli.h"
#include "keywords/table.h"

namespace ovr::cli {
namespace {

int list(Context& ctx, const Invocation&) {
    const std::string& path = ctx.ini.rirer;
    for (const auto& e : keywords::enumerate(path)) ctx.out << keywords::row_text(path, e) << "\n";
    return 0;
}

int add(Context& ctx, const Invocation& inv) {
    if (inv.arg(0).empty()) return usage_error(ctx, "the entry is empty");
    if (!keywords::add(ctx.ini.rirer, inv.arg(0))) return failure(ctx, "cannot write " + ctx.ini.rirer);
    return 0;
}

int rename(Context& ctx, const Invocation& inv) {
    if (inv.arg(1).empty()) return usage_error(ctx, "the new entry is empty");
    if (!keywords::rename(ctx.ini.rirer, inv.arg(0), inv.arg(1)))
        return failure(ctx, "\"" + inv.arg(0) + "\" is not in the table");
    return 0;
}

int remove(Context& ctx, const Invocation& inv) {
    if (!keywords::remove(ctx.ini.rirer, inv.arg(0))) return failure(ctx, "\"" + inv.arg(0) + "\" is not in the table");
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
        {"list", "", "print the keyword table, one row a line", {}, &list},
        {"add", "ENTRY", "add a keyword", {}, &add},
        {"rename", "OLD NEW", "rename a keyword", {}, &rename},
        {"remove", "ENTRY", "remove a keyword", {}, &remove},
        {"migrate", "", "convert the old ReceiveSMSCommand lines into the table (once)", {}, &migrate},
    },
    "ENTRY is a keyword, optionally followed by ## and the receive number(s).\n",
});

}  // namespace
}  // namespace ovr::cli
