// JSON string literals for the --json outputs of the command-line twin.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace ovr::cli {

// The text as a quoted JSON string; bytes that are not valid UTF-8 pass
// through as \u00XX of their Latin-1 reading, so the output always parses.
std::string json_quote(std::string_view text);

// The fields of one record: "name: value" lines, or with json one object of
// strings, in the order given.
using Field = std::pair<const char*, std::string>;
void print_fields(std::ostream& out, std::span<const Field> fields, bool json);

}  // namespace ovr::cli
