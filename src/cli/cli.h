// ovrinsmsctl: the console's command-line twin. Each command group lives in
// its own file and registers itself here; main() dispatches on the first word.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "config/directories.h"

namespace ovr::cli {

struct Context {
    config::Directories dirs;
    config::IniPaths ini;
    std::ostream& out;
    std::ostream& err;
};

using Args = std::vector<std::string>;
// Exit status: 0 success, 1 the operation failed, 2 bad usage.
using Handler = int (*)(Context&, const Args& args);

struct Group {
    const char* name;    // first word of the command line
    const char* usage;   // one or more lines, each a full command
    Handler run;         // receives the words after the group name
};

struct Registrar {
    explicit Registrar(const Group& g);
};

const std::vector<Group>& groups();

// Prints "ovrinsmsctl: <message>" on stderr and returns 2.
int usage_error(Context& ctx, const std::string& message);
// Prints "ovrinsmsctl: <message>" on stderr and returns 1.
int failure(Context& ctx, const std::string& message);

// Takes "--name VALUE" out of args; false when the option is present without
// a value.
bool take_option(Args& args, const std::string& name, std::string& value, bool& present);
// Takes a flag "--name" out of args.
bool take_flag(Args& args, const std::string& name);
// Strict decimal parse of a whole word.
bool parse_size(const std::string& text, size_t& out);

// A FILE argument: RIRER, MMSC, MMSWAP or MODEMTEST name the file of that name
// in the program data directory; anything else is a path.
std::string resolve_ini_file(const Context& ctx, const std::string& arg);

}  // namespace ovr::cli
