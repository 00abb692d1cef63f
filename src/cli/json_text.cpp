#include "cli/json_text.h"

#include <cstdio>

namespace ovr::cli {

namespace {
// Length of the valid UTF-8 sequence at s[i], or 0.
size_t utf8_length(std::string_view s, size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    // Overlong forms and UTF-16 surrogates are not valid UTF-8.
    unsigned c1 = static_cast<unsigned char>(s[i + 1]);
    if (n == 3 && ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0))) return 0;
    if (n == 4 && ((c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 >= 0x90))) return 0;
    return n;
}
}  // namespace

std::string json_quote(std::string_view text) {
    std::string o = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char buf[8];
        switch (c) {
            case '"': o += "\\\""; continue;
            case '\\': o += "\\\\"; continue;
            case '\n': o += "\\n"; continue;
            case '\r': o += "\\r"; continue;
            case '\t': o += "\\t"; continue;
            default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            snprintf(buf, sizeof buf, "\\u%04x", c);
            o += buf;
        } else if (c < 0x80) {
            o += static_cast<char>(c);
        } else if (size_t n = utf8_length(text, i)) {
            o.append(text.substr(i, n));
            i += n - 1;
        } else {
            snprintf(buf, sizeof buf, "\\u%04x", c);
            o += buf;
        }
    }
    return o + "\"";
}

void print_fields(std::ostream& out, std::span<const Field> fields, bool json) {
    if (json) out << "{";
    bool first = true;
    for (const auto& [name, value] : fields) {
        if (json)
            out << (first ? "" : ", ") << json_quote(name) << ": " << json_quote(value);
        else
            out << name << ": " << value << "\n";
        first = false;
    }
    if (json) out << "}\n";
}

}  // namespace ovr::cli
