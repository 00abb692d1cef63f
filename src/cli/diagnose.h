// Why a file operation failed, in words a user can act on: the console's
// file layer answers yes or no, the command line owes the reason.
#pragma once

#include <optional>
#include <string>

#include "cli/cli.h"

namespace ovr::cli {

// Nothing when PATH is a regular file this process can read; else "no such
// file: PATH", "PATH is not a regular file", "PATH is larger than 64 MiB"
// or "cannot read PATH: <reason>".
std::optional<std::string> unreadable_reason(const std::string& path);

// After a refused write of PATH: "cannot write PATH: <reason>", naming a
// missing directory, a directory where the file should be, or the system's
// reason for the file or its directory.
std::string unwritable_reason(const std::string& path);

// Creates the program data directory when missing, as the console does at
// its start (the gateway group given access to a new one). 0, or 1 after
// printing which directory is missing and how to choose another.
int ensure_data_directory(Context& ctx);

// The reason a name or value would be refused by an INI write, or nothing:
// line breaks anywhere, "=" in a key, "]" in a section name, a key beginning
// with "[" or ";", an empty name. (A command-line word cannot hold a NUL.)
std::optional<std::string> ini_name_refusal(const std::string& section, const std::string* key);
std::optional<std::string> ini_value_refusal(const char* what, const std::string& value);

}  // namespace ovr::cli
