// The value conventions every page follows when it reads and writes the
// gateway's INI files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ovr::config {

// The stored value is a yes value; a missing key reads as `def`.
bool read_yes(const std::string& path, std::string_view section, std::string_view key, std::string_view def = "");
// Booleans are written as "Yes" or "No".
bool write_yes_no(const std::string& path, std::string_view section, std::string_view key, bool on);
// An empty setting removes its key, so "missing" and "empty" read the same.
bool write_setting(const std::string& path, std::string_view section, std::string_view key, std::string_view value);
// Numbers are written with "%u"; a value reads as its leading decimal digits.
bool write_number(const std::string& path, std::string_view section, std::string_view key, uint32_t n);
uint32_t read_number(const std::string& path, std::string_view section, std::string_view key, uint32_t def = 0);

}  // namespace ovr::config
