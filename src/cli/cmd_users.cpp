// ovrinsmsctl users ...: the gateway's user accounts as the support library
// keeps them.
#include <ostream>

#include "cli/cli.h"
#include "cli/json_text.h"
#include "config/support.h"

namespace ovr::cli {
namespace {

int list(Context& ctx, const Invocation& inv) {
    bool json = inv.has("--json");
    config::UserFileHandle file;
    if (!config::open_user_file(ctx.dirs.program_data, config::kGenericRead, file))
        return failure(ctx, "cannot read the user file in " + ctx.dirs.program_data);
    config::UserRecord r;
    if (json) ctx.out << "[";
    for (uint32_t i = 0; config::SMSGetUserRecord(file, i, r); ++i) {
        if (json)
            ctx.out << (i ? ", " : "") << "{\"name\": " << json_quote(r.name())
                    << ", \"full_name\": " << json_quote(r.full_name()) << "}";
        else
            ctx.out << r.name() << "\t" << r.full_name() << "\n";
    }
    if (json) ctx.out << "]\n";
    config::SMSCloseUserFile(file);
    return 0;
}

Registrar reg({"users", "the gateway's user accounts",
               {{"list", "", "print each user's name and full name, separated by a tab",
                 {{"--json", nullptr, "print one JSON array"}}, &list,
                 "--json prints [{\"name\": NAME, \"full_name\": FULL_NAME}, ...].\n"}}});

}  // namespace
}  // namespace ovr::cli
