// ovrinsmsctl php ...: the local PHP interpreter and script directory of
// "Enable Local PHP Processing".
#include <ostream>

#include "cli/cli.h"
#include "nettest/php.h"

namespace ovr::cli {
namespace {

int find(Context& ctx, const Invocation&) {
    auto found = nettest::find_php(ctx.ini.rirer, nettest::php_search_from_environment());
    if (!found) {
        ctx.err << "error: " << nettest::kPhpUnavailable << "\n";
        return 1;
    }
    ctx.out << *found << "\n";
    return 0;
}

int directory(Context& ctx, const Invocation&) {
    ctx.out << nettest::php_directory(ctx.ini.rirer, ctx.dirs.program_data) << "\n";
    return 0;
}

Registrar reg({
    "php",
    "the local PHP interpreter and script directory",
    {
        {"find", "", "locate php-cgi as the 2-Way page does (and remember it)", {}, &find,
         "Looks at the remembered path, PHPRC, PATH, then /usr/local/bin, /usr/bin,\n"
         "/usr/lib/cgi-bin and /opt/php/bin.\n"},
        {"directory", "", "print the PHP script directory", {}, &directory},
    },
});

}  // namespace
}  // namespace ovr::cli
