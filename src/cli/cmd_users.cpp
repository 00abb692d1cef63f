// ovrinsmsctl users ...: the gateway's user accounts as the support library
// keeps them.
#include <ostream>

#include "cli/cli.h"
#include "config/support.h"

namespace ovr::cli {
namespace {

constexpr const char* kUsage = "  ovrinsmsctl users list\n";

int list(Context& ctx) {
    config::UserFileHandle file;
    if (!config::open_user_file(ctx.dirs.program_data, config::kGenericRead, file))
        return failure(ctx, "cannot read the user file in " + ctx.dirs.program_data);
    config::UserRecord r;
    for (uint32_t i = 0; config::SMSGetUserRecord(file, i, r); ++i) ctx.out << r.name() << "\t" << r.full_name() << "\n";
    config::SMSCloseUserFile(file);
    return 0;
}

int run(Context& ctx, const Args& args) {
    if (args.empty()) return usage_error(ctx, "users needs a subcommand");
    if (args[0] == "list") {
        if (args.size() != 1) return usage_error(ctx, "usage: users list");
        return list(ctx);
    }
    return usage_error(ctx, "unknown users subcommand \"" + args[0] + "\"");
}

Registrar reg({"users", kUsage, &run});

}  // namespace
}  // namespace ovr::cli
