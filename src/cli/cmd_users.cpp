// ovrinsmsctl users ...: the gateway's user accounts as the support library
// keeps them.
#include <ostream>

#include "cli/cli.h"
#include "config/support.h"

namespace ovr::cli {
namespace {

int list(Context& ctx, const Invocation&) {
    config::UserFileHandle file;
    if (!config::open_user_file(ctx.dirs.program_data, config::kGenericRead, file))
        return failure(ctx, "cannot read the user file in " + ctx.dirs.program_data);
    config::UserRecord r;
    for (uint32_t i = 0; config::SMSGetUserRecord(file, i, r); ++i) ctx.out << r.name() << "\t" << r.full_name() << "\n";
    config::SMSCloseUserFile(file);
    return 0;
}

Registrar reg({"users", "the gateway's user accounts",
               {{"list", "", "print each user's name and full name, separated by a tab", {}, &list}}});

}  // namespace
}  // namespace ovr::cli
