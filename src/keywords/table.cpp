#include "keywords/table.h"

#include <optional>

#include "config/ini.h"
#include "config/settings.h"
#include "config/text.h"

namespace ovr::keywords {
namespace ini = config::ini;

namespace {

std::string key_name(size_t n) { return "Keyword" + std::to_string(n); }

std::string read_entry(const ini::Snapshot& file, size_t n) {
    return file.read_string(kTableSection, key_name(n), "", kValueBuffer);
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && config::equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}

}  // namespace

std::string section_name(std::string_view entry) { return std::string(kSectionPrefix) + std::string(entry); }

std::vector<std::string> enumerate(const ini::Snapshot& file) {
    std::vector<std::string> out;
    for (size_t n = 1;; ++n) {
        std::string v = read_entry(file, n);
        if (v.empty()) break;
        out.push_back(std::move(v));
    }
    return out;
}

std::vector<std::string> enumerate(const std::string& rirer_ini) { return enumerate(ini::snapshot(rirer_ini)); }

std::optional<size_t> find_entry(const ini::Snapshot& file, std::string_view entry) {
    for (size_t n = 1;; ++n) {
        std::string v = read_entry(file, n);
        if (v.empty()) return std::nullopt;
        if (config::equal_ignoring_case(v, entry)) return n;
    }
}

std::vector<ini::ProfileWrite> plan_add(const ini::Snapshot& file, std::string_view entry) {
    size_t n = 1;
    while (!read_entry(file, n).empty()) ++n;
    return {{kTableSection, key_name(n), std::string(entry)}};
}

std::vector<ini::ProfileWrite> plan_remove(const ini::Snapshot& file, std::string_view entry) {
    std::vector<ini::ProfileWrite> writes;
    auto found = find_entry(file, entry);
    if (!found) return writes;
    for (size_t n = *found;; ++n) {
        std::string next = read_entry(file, n + 1);
        if (next.empty()) {
            writes.push_back({kTableSection, key_name(n), std::nullopt});
            return writes;
        }
        writes.push_back({kTableSection, key_name(n), std::move(next)});
    }
}

bool add(const std::string& rirer_ini, std::string_view entry) {
    // An empty entry would read as the end of the table.
    if (entry.empty()) return false;
    return ini::transact(rirer_ini, [&](const ini::Snapshot& file) { return plan_add(file, entry); });
}

bool rename(const std::string& rirer_ini, std::string_view old_entry, std::string_view new_entry) {
    if (new_entry.empty()) return false;
    bool found = false;
    bool ok = ini::transact(rirer_ini, [&](const ini::Snapshot& file) {
        std::vector<ini::ProfileWrite> writes;
        if (auto n = find_entry(file, old_entry)) {
            found = true;
            writes.push_back({kTableSection, key_name(*n), std::string(new_entry)});
        }
        return writes;
    });
    return ok && found;
}

bool remove(const std::string& rirer_ini, std::string_view entry) {
    bool found = false;
    bool ok = ini::transact(rirer_ini, [&](const ini::Snapshot& file) {
        auto writes = plan_remove(file, entry);
        found = !writes.empty();
        return writes;
    });
    return ok && found;
}

std::string row_text(const std::string& rirer_ini, std::string_view entry) {
    return row_text(ini::snapshot(rirer_ini), entry);
}

std::string row_text(const ini::Snapshot& file, std::string_view entry) {
    constexpr size_t kRow = 1024;
    std::string row;
    config::bounded_append(row, entry, kRow);
    const std::string section = section_name(entry);
    for (const char* key : {"DListAdd", "DListRemove", "ReplyFile", "ReplyText", "MailTo", "Run", "RunSendResponse"}) {
        std::string v = file.read_string(section, key, "", kValueBuffer);
        if (v.empty()) continue;
        std::string part = "\t";
        part.append(key).append("=").append(v);
        config::bounded_append(row, part, kRow);
    }
    return row;
}

namespace {

bool needs_migration(const ini::Snapshot& file) {
    return !file.read_string("RIRER", "ReceiveSMSCommand1", "", kOldLineBuffer).empty() &&
           !config::is_yes_value(file.read_string(kTableSection, "NewFormat", "", 1024));
}

// The writes that convert every old line; a write the file would refuse (a
// keyword holding "]" names no section) is left out, as a single write would
// have failed alone. The table's writes come first, then each keyword's:
// the file ends as a write per line would leave it (the table is made before
// any keyword's section either way), and each section is found once rather
// than once per line.
std::vector<ini::ProfileWrite> plan_migration(const ini::Snapshot& file) {
    std::vector<ini::ProfileWrite> table, actions;
    if (!needs_migration(file)) return table;
    auto add = [](std::vector<ini::ProfileWrite>& to, std::string section, std::string key,
                  std::optional<std::string> value) {
        ini::ProfileWrite w{std::move(section), std::move(key), std::move(value)};
        if (ini::accepted(w)) to.push_back(std::move(w));
    };
    // Reads drop leading blanks, so a line read non-empty always starts with
    // its keyword.
    for (size_t n = 1;; ++n) {
        std::string line = file.read_string("RIRER", "ReceiveSMSCommand" + std::to_string(n), "", kOldLineBuffer);
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
        add(table, kTableSection, key_name(n), entry);
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
        add(actions, section, key, value.empty() ? std::nullopt : std::optional<std::string>(value));
        add(actions, section, "RunSendResponse",
            config::is_yes_value(field[2]) ? std::optional<std::string>("Yes") : std::nullopt);
    }
    add(table, kTableSection, "NewFormat", "Yes");
    table.insert(table.end(), std::make_move_iterator(actions.begin()), std::make_move_iterator(actions.end()));
    return table;
}

}  // namespace

bool migrate(const std::string& rirer_ini) {
    // Most starts have nothing to convert: a look through the cache, no lock.
    if (!needs_migration(ini::snapshot(rirer_ini))) return true;
    // One replacement of the file: an old table of hundreds of lines costs
    // one write, and a start killed half-way leaves the file as it was.
    return ini::transact(rirer_ini, plan_migration);
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
