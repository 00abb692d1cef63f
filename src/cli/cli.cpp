#include "cli/cli.h"

#include <algorithm>
#include <ostream>

#include "cli/synopsis.h"
#include "config/text.h"

#ifndef OVR_VERSION
#define OVR_VERSION "unknown"
#endif

namespace ovr::cli {
namespace {

std::vector<Group>& registry() {
    static std::vector<Group> g;
    return g;
}

constexpr const char* kListHint = "Run \"ovrinsmsctl help\" for the list of commands.\n";

bool is_help_word(std::string_view w) { return w == "--help" || w == "-h"; }

// Words before "--" that ask for help.
bool asks_for_help(const Args& words, size_t from) {
    for (size_t i = from; i < words.size(); ++i) {
        if (words[i] == "--") return false;
        if (is_help_word(words[i])) return true;
    }
    return false;
}

const Command* sole_command(const Group& g) {
    return g.commands.size() == 1 && g.commands[0].name[0] == '\0' ? &g.commands[0] : nullptr;
}

std::string command_path(const Group& g, const Command& c) {
    std::string p = g.name;
    if (c.name[0]) p += std::string(" ") + c.name;
    return p;
}

std::string command_names(const Group& g) {
    std::string s;
    for (const Command& c : g.commands) s += (s.empty() ? "" : ", ") + std::string(c.name);
    return s;
}

std::string sentence(const char* summary) {
    std::string s = summary;
    if (!s.empty()) s[0] = config::upper_char(s[0]);
    return s + ".";
}

void pad_to(std::ostream& os, size_t used, size_t column) {
    os << std::string(used < column ? column - used : 1, ' ');
}

int no_command(Context& ctx, const Group& g, const std::string& why) {
    ctx.err << "ovrinsmsctl: " << why << "\n"
            << "Run \"ovrinsmsctl help " << g.name << "\" for the usage of its commands (" << command_names(g)
            << ").\n";
    return 2;
}

// Takes the options of c out of words into inv; 0, or 2 after a usage error.
int parse_words(Context& ctx, const Command& c, const Args& words, Args& args,
                std::vector<std::pair<std::string, std::string>>& options) {
    bool only_args = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (only_args || w.size() < 3 || w.compare(0, 2, "--") != 0) {
            if (!only_args && w == "--") {
                only_args = true;
                continue;
            }
            args.push_back(w);
            continue;
        }
        size_t eq = w.find('=');
        std::string name = w.substr(0, eq);
        auto opt = std::find_if(c.options.begin(), c.options.end(), [&](const Option& o) { return name == o.name; });
        if (opt == c.options.end()) return usage_error(ctx, "unknown option \"" + name + "\"");
        std::string value;
        if (!opt->value) {
            if (eq != std::string::npos) return usage_error(ctx, name + " takes no value");
        } else if (eq != std::string::npos) {
            value = w.substr(eq + 1);
        } else if (i + 1 < words.size()) {
            value = words[++i];
        } else {
            return usage_error(ctx, name + " needs a value (" + opt->value + ")");
        }
        if (opt->value) {
            Slot s = parse_slot(opt->value);
            if (!s.choices.empty() && std::find(s.choices.begin(), s.choices.end(), value) == s.choices.end())
                return usage_error(ctx, name + " takes " + choice_list(s.choices) + ", not \"" + value + "\"");
        }
        options.emplace_back(name, value);
    }
    std::vector<Slot> slots = parse_synopsis(c.synopsis);
    size_t required = 0;
    for (const Slot& s : slots) required += s.optional ? 0 : 1;
    if (args.size() < required) return usage_error(ctx, "missing " + slots[args.size()].word);
    bool repeats = !slots.empty() && slots.back().repeat;
    if (!repeats && args.size() > slots.size())
        return usage_error(ctx, "unexpected argument \"" + args[slots.size()] + "\"");
    for (size_t i = 0; i < args.size(); ++i) {
        const Slot& s = slots[std::min(i, slots.size() - 1)];
        if (!s.choices.empty() && std::find(s.choices.begin(), s.choices.end(), args[i]) == s.choices.end())
            return usage_error(ctx, "\"" + args[i] + "\" is not one of " + choice_list(s.choices));
    }
    return 0;
}

int help_for(Context& ctx, const Args& words) {
    if (words.empty()) {
        print_help(ctx.out);
        return 0;
    }
    const Group* g = find_group(words[0]);
    if (!g) {
        ctx.err << "ovrinsmsctl: no command group \"" << words[0] << "\"\n" << kListHint;
        return 2;
    }
    if (words.size() == 1) {
        print_group_help(ctx.out, *g);
        return 0;
    }
    const Command* c = find_command(*g, words[1]);
    if (!c || words.size() > 2)
        return no_command(ctx, *g, "no command \"" + words[1] + "\" in " + g->name);
    print_command_help(ctx.out, *g, *c);
    return 0;
}

}  // namespace

const char* const kNamedIniFiles[4] = {"RIRER", "MMSC", "MMSWAP", "MODEMTEST"};

Registrar::Registrar(Group g) {
    auto& r = registry();
    // A group may be registered from several files (each adds its commands).
    for (Group& known : r) {
        if (std::string_view(known.name) != g.name) continue;
        for (Command& c : g.commands) known.commands.push_back(std::move(c));
        if (!known.details) known.details = g.details;
        return;
    }
    auto at = std::lower_bound(r.begin(), r.end(), g,
                               [](const Group& a, const Group& b) { return std::string_view(a.name) < b.name; });
    r.insert(at, std::move(g));
}

const std::vector<Group>& groups() { return registry(); }

const Group* find_group(std::string_view name) {
    for (const Group& g : registry())
        if (name == g.name) return &g;
    return nullptr;
}

const Command* find_command(const Group& g, std::string_view name) {
    for (const Command& c : g.commands)
        if (name == c.name) return &c;
    return nullptr;
}

bool Invocation::has(std::string_view option) const {
    return std::any_of(options_.begin(), options_.end(), [&](const auto& o) { return o.first == option; });
}

const std::string& Invocation::value(std::string_view option) const {
    static const std::string none;
    for (auto it = options_.rbegin(); it != options_.rend(); ++it)
        if (it->first == option) return it->second;
    return none;
}

std::string usage_line(const Group& g, const Command& c) {
    std::string s = "ovrinsmsctl " + command_path(g, c);
    if (c.synopsis[0]) s += std::string(" ") + c.synopsis;
    for (const Option& o : c.options) s += std::string(" [") + o.name + (o.value ? std::string(" ") + o.value : "") + "]";
    return s;
}

void print_help(std::ostream& os) {
    os << "usage: ovrinsmsctl GROUP [COMMAND] [ARGS] [OPTIONS]\n"
          "       ovrinsmsctl help [GROUP [COMMAND]]\n"
          "       ovrinsmsctl --version\n\n"
          "The command-line twin of the Ovrin SMS/MMS Gateway Lite configuration console.\n\n"
          "Commands:\n";
    constexpr size_t kColumn = 24;
    for (const Group& g : groups()) {
        if (g.hidden) continue;
        os << "  " << g.name;
        pad_to(os, 2 + std::string_view(g.name).size(), kColumn);
        os << g.summary << "\n";
        if (sole_command(g)) continue;
        for (const Command& c : g.commands) {
            os << "    " << c.name;
            pad_to(os, 4 + std::string_view(c.name).size(), kColumn);
            os << c.summary << "\n";
        }
    }
    os << "\n\"ovrinsmsctl GROUP --help\" and \"ovrinsmsctl GROUP COMMAND --help\" show their usage.\n"
          "\"--help\" or \"-h\" anywhere asks for help; words after \"--\" are never options.\n\n"
          "Exit status: 0 success, 1 the operation failed, 2 bad usage (with the reason on\n"
          "standard error); \"ovrinsmsctl status\" also uses 3.\n";
}

void print_group_help(std::ostream& os, const Group& g) {
    if (const Command* c = sole_command(g)) {
        print_command_help(os, g, *c);
        return;
    }
    os << "usage: ovrinsmsctl " << g.name << " COMMAND [ARGS] [OPTIONS]\n\n" << sentence(g.summary) << "\n\nCommands:\n";
    for (const Command& c : g.commands) {
        std::string line = usage_line(g, c).substr(std::string_view("ovrinsmsctl ").size() + std::string_view(g.name).size() + 1);
        os << "  " << line << "\n      " << c.summary << "\n";
    }
    if (g.details) os << "\n" << g.details;
    os << "\n\"ovrinsmsctl " << g.name << " COMMAND --help\" shows a command's options.\n";
}

void print_command_help(std::ostream& os, const Group& g, const Command& c) {
    os << "usage: " << usage_line(g, c) << "\n\n" << sentence(c.summary) << "\n\nOptions:\n";
    size_t width = std::string_view("-h, --help").size();
    auto label = [](const Option& o) { return std::string(o.name) + (o.value ? std::string(" ") + o.value : ""); };
    for (const Option& o : c.options) width = std::max(width, label(o).size());
    for (const Option& o : c.options) {
        std::string l = label(o);
        os << "  " << l;
        pad_to(os, l.size(), width + 2);
        os << o.help << "\n";
    }
    os << "  -h, --help";
    pad_to(os, 10, width + 2);
    os << "show this help\n";
    if (c.details) os << "\n" << c.details;
    if (g.details) os << "\n" << g.details;
}

int dispatch(Context& ctx, const Args& words) {
    if (words.empty()) {
        ctx.err << "ovrinsmsctl: no command given\n"
                   "usage: ovrinsmsctl GROUP [COMMAND] [ARGS] [OPTIONS]\n"
                << kListHint;
        return 2;
    }
    const std::string& first = words[0];
    if (first == "--version") {
        if (words.size() > 1) return usage_error(ctx, "--version takes no arguments");
        ctx.out << "ovrinsmsctl " << OVR_VERSION << "\n";
        return 0;
    }
    if (first == "help" || is_help_word(first)) return help_for(ctx, Args(words.begin() + 1, words.end()));
    const Group* g = find_group(first);
    if (!g) {
        std::string what = first.compare(0, 1, "-") == 0 ? "unknown option \"" : "unknown command \"";
        ctx.err << "ovrinsmsctl: " << what << first << "\"\n" << kListHint;
        return 2;
    }
    ctx.group = g;
    const Command* c = sole_command(*g);
    size_t from = 1;
    if (!c) {
        if (words.size() < 2 || words[1].compare(0, 1, "-") == 0) {
            if (asks_for_help(words, 1)) {
                print_group_help(ctx.out, *g);
                return 0;
            }
            return no_command(ctx, *g, std::string(g->name) + " needs a command");
        }
        c = find_command(*g, words[1]);
        if (!c) return no_command(ctx, *g, "unknown " + std::string(g->name) + " command \"" + words[1] + "\"");
        from = 2;
    }
    ctx.command = c;
    if (asks_for_help(words, from)) {
        print_command_help(ctx.out, *g, *c);
        return 0;
    }
    Invocation inv;
    if (int rc = parse_words(ctx, *c, Args(words.begin() + static_cast<long>(from), words.end()), inv.args_,
                             inv.options_))
        return rc;
    return c->run(ctx, inv);
}

int usage_error(Context& ctx, const std::string& message) {
    ctx.err << "ovrinsmsctl: " << message << "\n";
    if (ctx.group && ctx.command) ctx.err << "usage: " << usage_line(*ctx.group, *ctx.command) << "\n";
    return 2;
}

int failure(Context& ctx, const std::string& message) {
    ctx.err << "ovrinsmsctl: " << message << "\n";
    return 1;
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
    for (const char* name : kNamedIniFiles) {
        if (config::equal_ignoring_case(arg, name)) return ctx.dirs.program_data + name + ".INI";
    }
    return arg;
}

}  // namespace ovr::cli
