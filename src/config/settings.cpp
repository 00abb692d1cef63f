#include "config/settings.h"

#include "config/ini.h"
#include "config/text.h"

namespace ovr::config {

bool read_yes(const std::string& path, std::string_view section, std::string_view key, std::string_view def) {
    return is_yes_value(ini::read_string(path, section, key, def, 1024));
}

bool write_yes_no(const std::string& path, std::string_view section, std::string_view key, bool on) {
    return ini::write_string(path, section, key, yes_no(on));
}

bool write_setting(const std::string& path, std::string_view section, std::string_view key, std::string_view value) {
    if (value.empty()) return ini::remove_key(path, section, key);
    return ini::write_string(path, section, key, value);
}

bool write_number(const std::string& path, std::string_view section, std::string_view key, uint32_t n) {
    return ini::write_string(path, section, key, std::to_string(n));
}

uint32_t read_number(const std::string& path, std::string_view section, std::string_view key, uint32_t def) {
    return leading_decimal(ini::read_string(path, section, key, std::to_string(def), 1024));
}

}  // namespace ovr::config
