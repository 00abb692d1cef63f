#include "keywords/table.h"

#include <optional>

#include "config/ini.h"
#include "config/settings.h"
#include "config/text.h"

namespace ovr::keywords {
namespace ini = config::ini;

namespace {

std::string key_name(size_t n) { return "Keyword" + std::to_string(n); }

std::string read_entry(const std::string& path, size_t n) {
    return ini::read_string(path, kTableSection, key_name(n), "", kValueBuffer);
}

// The number of the first entry equal to `entry` ignoring case.
std::optional<size_t> find_entry(const std::string& path, std::string_view entry) {
    for (size_t n = 1;; ++n) {
        std::string v = read_entry(path, n);
        if (v.empty()) return std::nullopt;
        if (config::equal_ignoring_case(v, entry)) return n;
    }
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && config::equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}

}  // namespace

std::string section_name(std::string_view entry) { return std::string(kSectionPrefix) + std::string(entry); }

std::vector<std::string> enumerate(const std::string& rirer_ini) {
    std::vector<std::string> out;
    for (size_t n = 1;; ++n) {
        std::string v = read_entry(rirer_ini, n);
        if (v.empty()) break;
        out.push_back(std::move(v));
    }
    return out;
}

bool add(const std::string& rirer_ini, std::string_view entry) {
    // An empty entry would read as the end of the table.
    if (entry.empty()) return false;
    size_t n = 1;
    while (!read_entry(rirer_ini, n).empty()) ++n;
    return ini::write_string(rirer_ini, kTableSection, key_name(n), entry);
}

bool rename(const std::string& rirer_ini, std::string_view old_entry, std::string_view new_entry) {
    if (new_entry.empty()) return false;
    auto n = find_entry(rirer_ini, old_entry);
    if (!n) return false;
    return ini::write_string(rirer_ini, kTableSection, key_name(*n), new_entry);
}

bool remove(const std::string& rirer_ini, std::string_view entry) {
    auto found = find_entry(rirer_ini, entry);
    if (!found) return false;
    for (size_t n = *found;; ++n) {
        std::string next = read_entry(rirer_ini, n + 1);
        if (next.empty()) return ini::remove_key(rirer_ini, kTableSection, key_name(n));
        if (!ini::write_string(rirer_ini, kTableSection, key_name(n), next)) return false;
    }
}

std::string row_text(const std::string& rirer_ini, std::string_view entry) {
    constexpr size_t kRow = 1024;
    std::string row;
    config::bounded_append(row, entry, kRow);
    const std::string section = section_name(entry);
    for (const char* key : {"DListAdd", "DListRemove", "ReplyFile", "ReplyText", "MailTo", "Run", "RunSendResponse"}) {
        std::string v = ini::read_string(rirer_ini, section, key, "", kValueBuffer);
        if (v.empty()) continue;
        std::string part = "\t";
        part.append(key).append("=").append(v);
        config::bounded_append(row, part, kRow);
    }
    return row;
}

void migrate(const std::string& rirer_ini) {
    if (ini::read_string(rirer_ini, "RIRER", "ReceiveSMSCommand1", "", kOldLineBuffer).empty()) return;
    if (config::read_yes(rirer_ini, kTableSection, "NewFormat")) return;

    // Reads drop leading blanks, so a line read non-empty always starts with
    // its keyword.
    for (size_t n = 1;; ++n) {
        std::string line = ini::read_string(rirer_ini, "RIRER", "ReceiveSMSCommand" + std::to_string(n), "",
                                            kOldLineBuffer);
        if (line.empty()) break;
        std::string field[4];
        size_t start = 0;
        for (int i = 0; i < 3; ++i) {
            size_t tab = line.find('\t', start);
            if (tab == std::string::npos) {
                field[i] = line.substr(start);
                start = line.size() + 1;
                break;
            }
            field[i] = line.substr(start, tab - start);
            start = tab + 1;
        }
        if (start <= line.size()) field[3] = line.substr(start);
        const std::string& keyword = field[0];
        const std::string& command = field[1];

        std::string entry = keyword;
        if (!field[3].empty()) entry += "##" + field[3];
        ini::write_string(rirer_ini, kTableSection, key_name(n), entry);
        const std::string section = section_name(entry);

        struct Prefix {
            const char* text;
            const char* key;
        };
        static const Prefix kPrefixes[] = {{"replytext:", "ReplyText"},
                                           {"replyfile:", "ReplyFile"},
                                           {"mailto:", "MailTo"},
                                           {"dlistadd:", "DListAdd"},
                                           {"dlistremove:", "DListRemove"}};
        const char* key = "Run";
        std::string value = command;
        for (const Prefix& p : kPrefixes) {
            if (starts_with_ignoring_case(command, p.text)) {
                key = p.key;
                value = command.substr(std::string_view(p.text).size());
                break;
            }
        }
        // A line with no command (a bare keyword) converts to a keyword with
        // no action: an action is never stored empty.
        config::write_setting(rirer_ini, section, key, value);
        if (config::is_yes_value(field[2]))
            ini::write_string(rirer_ini, section, "RunSendResponse", "Yes");
        else
            ini::remove_key(rirer_ini, section, "RunSendResponse");
    }
    ini::write_string(rirer_ini, kTableSection, "NewFormat", "Yes");
}

std::string escape_line_breaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string unescape_line_breaks(std::string_view text) {
    // "\r" first, then "\n", as two passes: the order decides overlapping
    // cases such as "\\rn" and stays compatible with what the service reads.
    auto pass = [](std::string_view in, char letter, char replacement) {
        std::string out;
        out.reserve(in.size());
        for (size_t i = 0; i < in.size(); ++i) {
            if (in[i] == '\\' && i + 1 < in.size() && in[i + 1] == letter) {
                out += replacement;
                ++i;
            } else {
                out += in[i];
            }
        }
        return out;
    };
    return pass(pass(text, 'r', '\r'), 'n', '\n');
}

}  // namespace ovr::keywords
