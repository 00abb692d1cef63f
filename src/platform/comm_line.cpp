#include <cerrno>
#include <cstring>

#include "platform/comm_port.h"

namespace ovr::platform {

namespace {
bool parse_uint(std::string_view s, uint32_t& out) {
    if (s.empty() || s.size() > 9) return false;
    uint32_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    out = v;
    return true;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool key_is(std::string_view key, std::string_view want) {
    if (key.size() != want.size()) return false;
    for (size_t i = 0; i < key.size(); ++i)
        if (lower(key[i]) != want[i]) return false;
    return true;
}
}  // namespace

std::optional<LineSettings> build_line_settings(std::string_view def) {
    LineSettings s;
    bool have_baud = false;
    size_t i = 0;
    while (i < def.size()) {
        while (i < def.size() && (def[i] == ' ' || def[i] == '\t')) ++i;
        if (i >= def.size()) break;
        size_t end = def.find_first_of(" \t", i);
        if (end == std::string_view::npos) end = def.size();
        std::string_view word = def.substr(i, end - i);
        i = end;
        size_t eq = word.find('=');
        if (eq == std::string_view::npos) return std::nullopt;
        std::string_view key = word.substr(0, eq), value = word.substr(eq + 1);
        uint32_t n = 0;
        if (key_is(key, "baud")) {
            if (!parse_uint(value, n) || n == 0) return std::nullopt;
            s.baud = n;
            have_baud = true;
        } else if (key_is(key, "parity")) {
            if (value.size() != 1) return std::nullopt;
            char p = static_cast<char>(value[0] & ~0x20);
            if (p != 'N' && p != 'E' && p != 'O' && p != 'M' && p != 'S') return std::nullopt;
            s.parity = p;
        } else if (key_is(key, "data")) {
            if (!parse_uint(value, n) || n < 5 || n > 8) return std::nullopt;
            s.data_bits = static_cast<int>(n);
        } else if (key_is(key, "stop")) {
            if (value != "1" && value != "2") return std::nullopt;
            s.stop_bits = value == "1" ? 1 : 2;
        } else {
            return std::nullopt;
        }
    }
    if (!have_baud) return std::nullopt;
    return s;
}

std::string system_error_text(int code) {
    char buf[256];
    // The GNU strerror_r returns the text, which may not be in buf.
    const char* text = strerror_r(code, buf, sizeof buf);
    return text ? text : "Unknown error";
}

}  // namespace ovr::platform
