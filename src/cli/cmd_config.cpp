// ovrinsmsctl config ...: the profile-string reads and writes on any INI file.
// A missing file or key is told apart from an empty one, so scripts can tell
// "unset" from "empty"; reads are cut to a buffer only when asked to be.
#include <limits>
#include <ostream>

#include "cli/cli.h"
#include "cli/diagnose.h"
#include "cli/json_text.h"
#include "config/ini.h"
#include "config/text.h"

namespace ovr::cli {
namespace {

constexpr size_t kWhole = std::numeric_limits<size_t>::max();

const Option kSize{"--size", "N", "cut the result as the console's reader with a buffer of N bytes would"};
const Option kJson{"--json", nullptr, "print one JSON array"};

bool is_named(const std::string& arg) {
    for (const char* n : kNamedIniFiles)
        if (config::equal_ignoring_case(arg, n)) return true;
    return false;
}

// The buffer size of a read: the whole text unless --size is given.
bool size_of(Context& ctx, const Invocation& inv, size_t& size) {
    size = kWhole;
    if (inv.has("--size") && !parse_size(inv.value("--size"), size)) {
        usage_error(ctx, "--size needs a number of bytes, not \"" + inv.value("--size") + "\"");
        return false;
    }
    return true;
}

// The path of FILE when it can be read; else the reason is printed.
bool readable(Context& ctx, const std::string& arg, std::string& path) {
    path = resolve_ini_file(ctx, arg);
    if (auto why = unreadable_reason(path)) {
        failure(ctx, *why);
        return false;
    }
    return true;
}

bool has_section(const std::string& path, const std::string& section) {
    size_t b = section.find_first_not_of(" \t"), e = section.find_last_not_of(" \t");
    std::string want = b == std::string::npos ? std::string() : section.substr(b, e - b + 1);
    for (const std::string& s : config::ini::read_section_names(path, kWhole))
        if (config::equal_ignoring_case(s, want)) return true;
    return false;
}

int list_out(Context& ctx, const Invocation& inv, const std::vector<std::string>& lines) {
    if (inv.has("--json")) {
        ctx.out << "[";
        for (size_t i = 0; i < lines.size(); ++i) ctx.out << (i ? ", " : "") << json_quote(lines[i]);
        ctx.out << "]\n";
        return 0;
    }
    for (const auto& l : lines) ctx.out << l << "\n";
    return 0;
}

int get(Context& ctx, const Invocation& inv) {
    size_t size;
    std::string path;
    if (!size_of(ctx, inv, size)) return 2;
    if (!readable(ctx, inv.arg(0), path)) return 1;
    const std::string &section = inv.arg(1), &key = inv.arg(2);
    if (!config::ini::read_value(path, section, key) && !inv.has("--default"))
        return failure(ctx, key + " is not set in [" + section + "] of " + path);
    ctx.out << config::ini::read_string(path, section, key, inv.value("--default"), size) << "\n";
    return 0;
}

// Checks the names (and value) and the file before a write; 0 to go on.
int before_write(Context& ctx, const Invocation& inv, const std::string* key, const std::string* value,
                 std::string& path) {
    if (auto why = ini_name_refusal(inv.arg(1), key)) return usage_error(ctx, *why);
    if (value)
        if (auto why = ini_value_refusal("value", *value)) return usage_error(ctx, *why);
    if (is_named(inv.arg(0)))
        if (int rc = ensure_data_directory(ctx)) return rc;
    path = resolve_ini_file(ctx, inv.arg(0));
    return 0;
}

int set(Context& ctx, const Invocation& inv) {
    std::string path;
    if (int rc = before_write(ctx, inv, &inv.arg(2), &inv.arg(3), path)) return rc;
    if (!config::ini::write_string(path, inv.arg(1), inv.arg(2), inv.arg(3))) return failure(ctx, unwritable_reason(path));
    return 0;
}

int unset(Context& ctx, const Invocation& inv) {
    std::string path;
    if (int rc = before_write(ctx, inv, &inv.arg(2), nullptr, path)) return rc;
    if (auto why = unreadable_reason(path)) return failure(ctx, *why);
    if (!config::ini::remove_key(path, inv.arg(1), inv.arg(2))) return failure(ctx, unwritable_reason(path));
    return 0;
}

int remove_section(Context& ctx, const Invocation& inv) {
    std::string path;
    if (int rc = before_write(ctx, inv, nullptr, nullptr, path)) return rc;
    if (auto why = unreadable_reason(path)) return failure(ctx, *why);
    if (!config::ini::remove_section(path, inv.arg(1))) return failure(ctx, unwritable_reason(path));
    return 0;
}

// section and keys: a section that is not there is not an empty one.
int section_list(Context& ctx, const Invocation& inv, bool names_only) {
    size_t size;
    std::string path;
    if (!size_of(ctx, inv, size)) return 2;
    if (!readable(ctx, inv.arg(0), path)) return 1;
    if (!has_section(path, inv.arg(1))) return failure(ctx, "no section [" + inv.arg(1) + "] in " + path);
    if (names_only) return list_out(ctx, inv, config::ini::read_key_names(path, inv.arg(1), size));
    std::vector<std::string> lines = config::ini::read_section(path, inv.arg(1), size);
    if (!inv.has("--json")) return list_out(ctx, inv, lines);
    ctx.out << "[";
    for (size_t i = 0; i < lines.size(); ++i) {
        size_t eq = lines[i].find('=');
        ctx.out << (i ? ", " : "") << "{\"key\": " << json_quote(lines[i].substr(0, eq)) << ", \"value\": "
                << (eq == std::string::npos ? "null" : json_quote(lines[i].substr(eq + 1))) << "}";
    }
    ctx.out << "]\n";
    return 0;
}

int section(Context& ctx, const Invocation& inv) { return section_list(ctx, inv, false); }
int keys(Context& ctx, const Invocation& inv) { return section_list(ctx, inv, true); }

int sections(Context& ctx, const Invocation& inv) {
    size_t size;
    std::string path;
    if (!size_of(ctx, inv, size)) return 2;
    if (!readable(ctx, inv.arg(0), path)) return 1;
    return list_out(ctx, inv, config::ini::read_section_names(path, size));
}

Registrar reg({
    "config",
    "read and write the INI files shared with the services",
    {
        {"get", "FILE SECTION KEY", "print the value of a key",
         {{"--default", "TEXT", "print TEXT (exit 0) when the key is not set"}, kSize}, &get,
         "Exit status 1, with nothing on standard output, when the key is not set\n"
         "(missing, or a line without \"=\") and --default is not given; an empty\n"
         "value prints an empty line. Without --size the whole value is printed.\n"},
        {"set", "FILE SECTION KEY VALUE", "set a key, creating the file and section as needed", {}, &set,
         "An empty VALUE keeps the key with an empty value (\"unset\" removes it).\n"
         "Names and values with a line break, a key with \"=\" or beginning with \"[\"\n"
         "or \";\", and a section name with \"]\" are refused (exit 2).\n"},
        {"unset", "FILE SECTION KEY", "remove a key (exit 0 when it was not there)", {}, &unset},
        {"remove-section", "FILE SECTION", "remove a section with all its keys", {}, &remove_section},
        {"section", "FILE SECTION", "print a section's entries, one \"key=value\" a line", {kSize, kJson}, &section,
         "--json prints [{\"key\": KEY, \"value\": VALUE}, ...]; VALUE is null for a line\n"
         "without \"=\". A section that is not in the file exits 1.\n"},
        {"keys", "FILE SECTION", "print a section's key names", {kSize, kJson}, &keys,
         "--json prints [KEY, ...]. A section that is not in the file exits 1.\n"},
        {"sections", "FILE", "print the section names", {kSize, kJson}, &sections, "--json prints [SECTION, ...].\n"},
    },
    "FILE is a path, or RIRER, MMSC, MMSWAP or MODEMTEST for that file in the program\n"
    "data directory. A FILE that does not exist is an error (exit 1, \"no such file:\n"
    "PATH\"), never read as an empty file; writes to a named file create the program\n"
    "data directory when it is missing.\n",
});

}  // namespace
}  // namespace ovr::cli
