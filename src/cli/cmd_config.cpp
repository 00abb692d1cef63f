// ovrinsmsctl config ...: the profile-string reads and writes on any INI file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ostream>

#include "cli/cli.h"
#include "config/ini.h"

namespace ovr::cli {
namespace {

// The profile reads give defaults for anything they cannot read; from a
// shell, something standing at the path that is no readable INI file (a fifo,
// a device, a huge file) is said plainly instead. A missing file is fine.
std::string unreadable_reason(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return errno == ENOENT ? "" : "cannot read " + path;
    if (!S_ISREG(st.st_mode)) return path + " is not a regular file";
    if (static_cast<uint64_t>(st.st_size) > config::ini::kMaxFileBytes) return path + " is larger than 64 MiB";
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return "cannot read " + path;
    close(fd);
    return "";
}

constexpr const char* kUsage =
    "  ovrinsmsctl config get FILE SECTION KEY [--default TEXT] [--size N]\n"
    "  ovrinsmsctl config set FILE SECTION KEY VALUE\n"
    "  ovrinsmsctl config unset FILE SECTION KEY\n"
    "  ovrinsmsctl config remove-section FILE SECTION\n"
    "  ovrinsmsctl config section FILE SECTION [--size N]\n"
    "  ovrinsmsctl config keys FILE SECTION [--size N]\n"
    "  ovrinsmsctl config sections FILE [--size N]\n"
    "    FILE is a path or RIRER, MMSC, MMSWAP, MODEMTEST (in the program data directory)\n";

int run(Context& ctx, const Args& in) {
    Args args = in;
    std::string size_text, def;
    bool has_size = false, has_def = false;
    if (!take_option(args, "--size", size_text, has_size)) return usage_error(ctx, "--size needs a number");
    if (!take_option(args, "--default", def, has_def)) return usage_error(ctx, "--default needs a text");
    size_t size = config::ini::kDefaultBuffer;
    if (has_size && !parse_size(size_text, size)) return usage_error(ctx, "--size needs a number");
    if (args.empty()) return usage_error(ctx, "config needs a subcommand");
    const std::string verb = args[0];
    auto want = [&](size_t n) { return args.size() == n + 1; };
    auto list_out = [&](const std::vector<std::string>& lines) {
        for (const auto& l : lines) ctx.out << l << "\n";
        return 0;
    };
    if (has_def && verb != "get") return usage_error(ctx, "--default goes with config get");
    if (has_size && (verb == "set" || verb == "unset" || verb == "remove-section"))
        return usage_error(ctx, "--size goes with the reads");
    if ((verb == "get" || verb == "section" || verb == "keys" || verb == "sections") && args.size() > 1) {
        std::string reason = unreadable_reason(resolve_ini_file(ctx, args[1]));
        if (!reason.empty()) return failure(ctx, reason);
    }

    if (verb == "get") {
        if (!want(3)) return usage_error(ctx, "usage: config get FILE SECTION KEY [--default TEXT] [--size N]");
        ctx.out << config::ini::read_string(resolve_ini_file(ctx, args[1]), args[2], args[3], def, size) << "\n";
        return 0;
    }
    if (verb == "set") {
        if (!want(4)) return usage_error(ctx, "usage: config set FILE SECTION KEY VALUE");
        std::string path = resolve_ini_file(ctx, args[1]);
        if (!config::ini::write_string(path, args[2], args[3], args[4]))
            return failure(ctx, "cannot write " + path);
        return 0;
    }
    if (verb == "unset") {
        if (!want(3)) return usage_error(ctx, "usage: config unset FILE SECTION KEY");
        std::string path = resolve_ini_file(ctx, args[1]);
        if (!config::ini::remove_key(path, args[2], args[3])) return failure(ctx, "cannot write " + path);
        return 0;
    }
    if (verb == "remove-section") {
        if (!want(2)) return usage_error(ctx, "usage: config remove-section FILE SECTION");
        std::string path = resolve_ini_file(ctx, args[1]);
        if (!config::ini::remove_section(path, args[2])) return failure(ctx, "cannot write " + path);
        return 0;
    }
    if (verb == "section") {
        if (!want(2)) return usage_error(ctx, "usage: config section FILE SECTION [--size N]");
        return list_out(config::ini::read_section(resolve_ini_file(ctx, args[1]), args[2], size));
    }
    if (verb == "keys") {
        if (!want(2)) return usage_error(ctx, "usage: config keys FILE SECTION [--size N]");
        return list_out(config::ini::read_key_names(resolve_ini_file(ctx, args[1]), args[2], size));
    }
    if (verb == "sections") {
        if (!want(1)) return usage_error(ctx, "usage: config sections FILE [--size N]");
        return list_out(config::ini::read_section_names(resolve_ini_file(ctx, args[1]), size));
    }
    return usage_error(ctx, "unknown config subcommand \"" + verb + "\"");
}

Registrar reg({"config", kUsage, &run});

}  // namespace
}  // namespace ovr::cli
