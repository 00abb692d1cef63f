// ovrinsmsctl: the console's command-line twin.
//
// Every command is a row of one table: group, command, positional synopsis,
// one-line summary, options and handler. The table drives the whole surface:
// parsing (options anywhere, "--" ends them, "--help"/"-h" always means help),
// the help texts at every level, the usage errors and the shell completion,
// so none of them can drift from what a command accepts. Each cmd_*.cpp file
// registers its group with one static Registrar.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "config/directories.h"

namespace ovr::cli {

struct Group;
struct Command;

struct Context {
    config::Directories dirs;
    config::IniPaths ini;
    std::ostream& out;
    std::ostream& err;
    // The command being run, set by the dispatcher: usage errors print its
    // usage line.
    const Group* group = nullptr;
    const Command* command = nullptr;
};

using Args = std::vector<std::string>;

// An option of a command. name is the long form ("--json"). value is the
// placeholder of its value ("N", "TEXT"), or nullptr for a flag; a value of
// lower-case words joined by "|" ("sms|mms") lists the only values allowed.
struct Option {
    const char* name;
    const char* value;
    const char* help;   // one line
};

// What the dispatcher parsed from the command line for one command.
class Invocation {
public:
    // The positional words, in order (options and "--" taken out).
    const Args& args() const { return args_; }
    const std::string& arg(size_t i) const { return args_.at(i); }
    size_t size() const { return args_.size(); }
    // Whether the option was given; its value (the last one given), "" when
    // absent or a flag.
    bool has(std::string_view option) const;
    const std::string& value(std::string_view option) const;

private:
    friend int dispatch(Context&, const Args&);
    Args args_;
    std::vector<std::pair<std::string, std::string>> options_;
};

// Exit status: 0 success, 1 the operation failed, 2 bad usage; a command may
// document others (status uses 3).
using Handler = int (*)(Context&, const Invocation&);

// One command. The synopsis names the positional words only: PLACEHOLDER,
// a|b|c (one of these words), [OPTIONAL], LAST... (one or more) and
// [LAST...]; the dispatcher checks their number and the choices before the
// handler runs. Options are listed in `options`, never in the synopsis.
struct Command {
    const char* name;       // second word; "" when the group itself is the command
    const char* synopsis;   // positional words, "" for none
    const char* summary;    // one line, lower case, no full stop
    std::vector<Option> options;
    Handler run;
    const char* details = nullptr;   // more lines for "GROUP COMMAND --help"
};

struct Group {
    const char* name;      // first word of the command line
    const char* summary;   // one line for "ovrinsmsctl help"
    std::vector<Command> commands;
    const char* details = nullptr;   // lines shown under the group's and its commands' help
    bool hidden = false;             // left out of help and completion
};

// Registering a group name again adds its commands to the group.
struct Registrar {
    explicit Registrar(Group g);
};

// The registered groups, sorted by name.
const std::vector<Group>& groups();
const Group* find_group(std::string_view name);
const Command* find_command(const Group& g, std::string_view name);

// The whole command line after the program name: help, --version, or one
// command. Returns the exit status.
int dispatch(Context& ctx, const Args& words);

// "ovrinsmsctl config get FILE SECTION KEY [--default TEXT] [--size N]".
std::string usage_line(const Group& g, const Command& c);
void print_help(std::ostream& os);
void print_group_help(std::ostream& os, const Group& g);
void print_command_help(std::ostream& os, const Group& g, const Command& c);

// Prints "ovrinsmsctl: <message>" and the running command's usage line on
// stderr and returns 2.
int usage_error(Context& ctx, const std::string& message);
// Prints "ovrinsmsctl: <message>" on stderr and returns 1.
int failure(Context& ctx, const std::string& message);

// Strict decimal parse of a whole word.
bool parse_size(const std::string& text, size_t& out);

// A FILE argument: RIRER, MMSC, MMSWAP or MODEMTEST name the file of that name
// in the program data directory; anything else is a path.
std::string resolve_ini_file(const Context& ctx, const std::string& arg);
// The words resolve_ini_file knows, for help and completion.
extern const char* const kNamedIniFiles[4];

}  // namespace ovr::cli
