// JSON string literals for the --json outputs of the command-line twin.
#pragma once

#include <string>
#include <string_view>

namespace ovr::cli {

// The text as a quoted JSON string; bytes that are not valid UTF-8 pass
// through as \u00XX of their Latin-1 reading, so the output always parses.
std::string json_quote(std::string_view text);

}  // namespace ovr::cli
