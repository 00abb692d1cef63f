#include "cli/cli.h"

#include <ostream>

#include "config/text.h"

namespace ovr::cli {
namespace {
std::vector<Group>& registry() {
    static std::vector<Group> g;
    return g;
}
}  // namespace

Registrar::Registrar(const Group& g) { registry().push_back(g); }

const std::vector<Group>& groups() { return registry(); }

int usage_error(Context& ctx, const std::string& message) {
    ctx.err << "ovrinsmsctl: " << message << "\n";
    return 2;
}

int failure(Context& ctx, const std::string& message) {
    ctx.err << "ovrinsmsctl: " << message << "\n";
    return 1;
}

bool take_option(Args& args, const std::string& name, std::string& value, bool& present) {
    present = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != name) continue;
        present = true;
        if (i + 1 >= args.size()) return false;
        value = args[i + 1];
        args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        return true;
    }
    return true;
}

bool take_flag(Args& args, const std::string& name) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            args.erase(args.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

bool parse_size(const std::string& text, size_t& out) {
    if (text.empty() || text.size() > 12) return false;
    size_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<size_t>(c - '0');
    }
    out = v;
    return true;
}

std::string resolve_ini_file(const Context& ctx, const std::string& arg) {
    for (const char* name : {"RIRER", "MMSC", "MMSWAP", "MODEMTEST"}) {
        if (config::equal_ignoring_case(arg, name)) return ctx.dirs.program_data + name + ".INI";
    }
    return arg;
}

}  // namespace ovr::cli
