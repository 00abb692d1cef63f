// ovrinsmsctl keywords ...: the two-way keyword table of RIRER.INI.
#include <ostream>

#include "cli/cli.h"
#include "keywords/table.h"

namespace ovr::cli {
namespace {

constexpr const char* kUsage =
    "  ovrinsmsctl keywords list\n"
    "  ovrinsmsctl keywords add ENTRY\n"
    "  ovrinsmsctl keywords rename OLD NEW\n"
    "  ovrinsmsctl keywords remove ENTRY\n"
    "  ovrinsmsctl keywords migrate\n"
    "    ENTRY is a keyword, optionally followed by ## and the receive number(s)\n";

int run(Context& ctx, const Args& args) {
    if (args.empty()) return usage_error(ctx, "keywords needs a subcommand");
    const std::string& verb = args[0];
    const std::string& path = ctx.ini.rirer;
    auto want = [&](size_t n) { return args.size() == n + 1; };
    if (verb == "list") {
        if (!want(0)) return usage_error(ctx, "usage: keywords list");
        for (const auto& e : keywords::enumerate(path)) ctx.out << keywords::row_text(path, e) << "\n";
        return 0;
    }
    if (verb == "add") {
        if (!want(1)) return usage_error(ctx, "usage: keywords add ENTRY");
        if (args[1].empty()) return usage_error(ctx, "the entry is empty");
        if (!keywords::add(path, args[1])) return failure(ctx, "cannot write " + path);
        return 0;
    }
    if (verb == "rename") {
        if (!want(2)) return usage_error(ctx, "usage: keywords rename OLD NEW");
        if (args[2].empty()) return usage_error(ctx, "the new entry is empty");
        if (!keywords::rename(path, args[1], args[2])) return failure(ctx, "\"" + args[1] + "\" is not in the table");
        return 0;
    }
    if (verb == "remove") {
        if (!want(1)) return usage_error(ctx, "usage: keywords remove ENTRY");
        if (!keywords::remove(path, args[1])) return failure(ctx, "\"" + args[1] + "\" is not in the table");
        return 0;
    }
    if (verb == "migrate") {
        if (!want(0)) return usage_error(ctx, "usage: keywords migrate");
        keywords::migrate(path);
        return 0;
    }
    return usage_error(ctx, "unknown keywords subcommand \"" + verb + "\"");
}

Registrar reg({"keywords", kUsage, &run});

}  // namespace
}  // namespace ovr::cli
