// Small text helpers shared by every page: case-insensitive search, the yes
// value rule, bounded appends, host:port splitting and number reading.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ovr::config {

// The single-character case mappings of the console (8-bit text; only the
// ASCII letters change).
char upper_char(char c);
char lower_char(char c);
std::string to_upper(std::string_view s);
bool equal_ignoring_case(std::string_view a, std::string_view b);

// Position of the first occurrence of `needle` in `text`, letters compared
// after upper-casing both sides; nothing when absent or when needle is empty.
std::optional<size_t> find_ignoring_case(std::string_view text, std::string_view needle);
// The position just after that occurrence.
std::optional<size_t> find_end_ignoring_case(std::string_view text, std::string_view needle);

// True for a value beginning with "Y", "y" or "1", or equal to "TRUE" in any
// letter case.
bool is_yes_value(std::string_view value);
const char* yes_no(bool on);

// The decimal number at the start of the text (leading digits only; 0 when
// there are none). Saturates instead of wrapping on absurdly long numbers.
uint32_t leading_decimal(std::string_view text);

// Appends `text` to `buffer` as a fixed buffer of `capacity` characters would
// take it: nothing when the buffer already holds capacity or more characters,
// otherwise at most capacity - length - 1 characters.
void bounded_append(std::string& buffer, std::string_view text, size_t capacity);

// Splits "host", "host:port", "[v6]" or "[v6]:port". The host keeps its
// brackets; text after "]" other than ":port" is dropped; the port is the
// decimal number at the start of the port text (0 when it has no digits); with
// no separator `port` keeps the caller's default. The host is cut to
// host_capacity - 1 characters.
void split_host_port(std::string_view text, std::string& host, uint32_t& port, size_t host_capacity = 261);

}  // namespace ovr::config
