#include "config/text.h"

#include <limits>

namespace ovr::config {

char upper_char(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char lower_char(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string to_upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = upper_char(c);
    return out;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper_char(a[i]) != upper_char(b[i])) return false;
    return true;
}

std::optional<size_t> find_ignoring_case(std::string_view text, std::string_view needle) {
    if (needle.empty() || needle.size() > text.size()) return std::nullopt;
    for (size_t i = 0; i + needle.size() <= text.size(); ++i)
        if (equal_ignoring_case(text.substr(i, needle.size()), needle)) return i;
    return std::nullopt;
}

std::optional<size_t> find_end_ignoring_case(std::string_view text, std::string_view needle) {
    auto at = find_ignoring_case(text, needle);
    if (!at) return std::nullopt;
    return *at + needle.size();
}

bool is_yes_value(std::string_view value) {
    if (value.empty()) return false;
    char c = value.front();
    return c == 'Y' || c == 'y' || c == '1' || equal_ignoring_case(value, "TRUE");
}

const char* yes_no(bool on) { return on ? "Yes" : "No"; }

uint32_t leading_decimal(std::string_view text) {
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > std::numeric_limits<uint32_t>::max()) return std::numeric_limits<uint32_t>::max();
    }
    return static_cast<uint32_t>(v);
}

void bounded_append(std::string& buffer, std::string_view text, size_t capacity) {
    if (buffer.size() >= capacity) return;
    size_t room = capacity - buffer.size() - 1;
    buffer.append(text.substr(0, room));
}

void split_host_port(std::string_view text, std::string& host, uint32_t& port, size_t host_capacity) {
    std::string_view h = text;
    std::optional<std::string_view> port_text;
    if (!text.empty() && text.front() == '[') {
        size_t close = text.find(']');
        if (close == std::string_view::npos) {
            h = text;
        } else {
            h = text.substr(0, close + 1);
            if (close + 1 < text.size() && text[close + 1] == ':') port_text = text.substr(close + 2);
        }
    } else {
        size_t colon = text.find(':');
        if (colon != std::string_view::npos) {
            h = text.substr(0, colon);
            port_text = text.substr(colon + 1);
        }
    }
    host.assign(h.substr(0, host_capacity == 0 ? 0 : std::min(h.size(), host_capacity - 1)));
    if (port_text) port = leading_decimal(*port_text);
}

}  // namespace ovr::config
