// ovrinsmsctl config ...: the profile-string reads and writes on any INI file.
#include <ostream>

#include "cli/cli.h"
#include "config/ini.h"

namespace ovr::cli {
namespace {

const Option kSize{"--size", "N", "cut the result as a buffer of N bytes would"};

size_t size_of(const Invocation& inv, bool& ok) {
    size_t size = config::ini::kDefaultBuffer;
    ok = !inv.has("--size") || parse_size(inv.value("--size"), size);
    return size;
}

int list_out(Context& ctx, const std::vector<std::string>& lines) {
    for (const auto& l : lines) ctx.out << l << "\n";
    return 0;
}

int get(Context& ctx, const Invocation& inv) {
    bool ok;
    size_t size = size_of(inv, ok);
    if (!ok) return usage_error(ctx, "--size needs a number");
    ctx.out << config::ini::read_string(resolve_ini_file(ctx, inv.arg(0)), inv.arg(1), inv.arg(2),
                                        inv.value("--default"), size)
            << "\n";
    return 0;
}

int set(Context& ctx, const Invocation& inv) {
    std::string path = resolve_ini_file(ctx, inv.arg(0));
    if (!config::ini::write_string(path, inv.arg(1), inv.arg(2), inv.arg(3))) return failure(ctx, "cannot write " + path);
    return 0;
}

int unset(Context& ctx, const Invocation& inv) {
    std::string path = resolve_ini_file(ctx, inv.arg(0));
    if (!config::ini::remove_key(path, inv.arg(1), inv.arg(2))) return failure(ctx, "cannot write " + path);
    return 0;
}

int remove_section(Context& ctx, const Invocation& inv) {
    std::string path = resolve_ini_file(ctx, inv.arg(0));
    if (!config::ini::remove_section(path, inv.arg(1))) return failure(ctx, "cannot write " + path);
    return 0;
}

int section(Context& ctx, const Invocation& inv) {
    bool ok;
    size_t size = size_of(inv, ok);
    if (!ok) return usage_error(ctx, "--size needs a number");
    return list_out(ctx, config::ini::read_section(resolve_ini_file(ctx, inv.arg(0)), inv.arg(1), size));
}

int keys(Context& ctx, const Invocation& inv) {
    bool ok;
    size_t size = size_of(inv, ok);
    if (!ok) return usage_error(ctx, "--size needs a number");
    return list_out(ctx, config::ini::read_key_names(resolve_ini_file(ctx, inv.arg(0)), inv.arg(1), size));
}

int sections(Context& ctx, const Invocation& inv) {
    bool ok;
    size_t size = size_of(inv, ok);
    if (!ok) return usage_error(ctx, "--size needs a number");
    return list_out(ctx, config::ini::read_section_names(resolve_ini_file(ctx, inv.arg(0)), size));
}

Registrar reg({
    "config",
    "read and write the INI files shared with the services",
    {
        {"get", "FILE SECTION KEY", "print the value of a key",
         {{"--default", "TEXT", "print TEXT when the key is not set"}, kSize}, &get},
        {"set", "FILE SECTION KEY VALUE", "set a key (an empty VALUE keeps the key, empty)", {}, &set},
        {"unset", "FILE SECTION KEY", "remove a key", {}, &unset},
        {"remove-section", "FILE SECTION", "remove a section with all its keys", {}, &remove_section},
        {"section", "FILE SECTION", "print a section's lines", {kSize}, &section},
        {"keys", "FILE SECTION", "print a section's key names", {kSize}, &keys},
        {"sections", "FILE", "print the section names", {kSize}, &sections},
    },
    "FILE is a path, or RIRER, MMSC, MMSWAP or MODEMTEST for that file in the program data directory.\n",
});

}  // namespace
}  // namespace ovr::cli
