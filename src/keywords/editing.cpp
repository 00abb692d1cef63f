#include "keywords/editing.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "config/settings.h"
#include "config/text.h"
#include "keywords/table.h"

namespace ovr::keywords {
namespace ini = config::ini;

namespace {

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && config::equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}

bool is_regular_file(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The service starts the program itself, so a file it could not execute is
// as good as none.
bool is_program(const std::string& path) { return is_regular_file(path) && ::access(path.c_str(), X_OK) == 0; }

bool names_entry(const std::vector<std::string>& table, std::string_view entry) {
    for (const auto& e : table)
        if (config::equal_ignoring_case(e, entry)) return true;
    return false;
}

}  // namespace

EntryParts split_entry(std::string_view entry) {
    size_t mark = entry.find("##");
    if (mark == std::string_view::npos) return {std::string(entry), {}};
    return {std::string(entry.substr(0, mark)), std::string(entry.substr(mark + 2))};
}

std::string join_entry(std::string_view keyword, std::string_view numbers) {
    std::string entry(keyword);
    if (!numbers.empty()) entry.append("##").append(numbers);
    return entry;
}

Actions load_actions(const ini::Snapshot& file, std::string_view entry) {
    Actions a;
    const std::string section = section_name(entry);
    auto read = [&](const char* key) { return file.read_string(section, key, "", kValueBuffer); };
    a.dlist_add = read("DListAdd");
    a.dlist_remove = read("DListRemove");
    a.mail_to = read("MailTo");
    a.reply_file = read("ReplyFile");
    a.reply_text = unescape_line_breaks(read("ReplyText"));
    a.run = read("Run");
    a.add_list = !a.dlist_add.empty();
    a.remove_list = !a.dlist_remove.empty();
    a.forward = !a.mail_to.empty();
    a.include_file = !a.reply_file.empty();
    a.send_reply = !a.reply_text.empty();
    a.run_command = !a.run.empty();
    a.run_send_response = config::is_yes_value(read("RunSendResponse"));
    return a;
}

std::string files_directory(const std::string& program_data) { return program_data + "FILES"; }

std::optional<std::string> locate_reply_file(const std::string& name, const std::string& files_dir) {
    if (name.empty()) return std::nullopt;
    if (is_regular_file(name)) return name;
    std::string inside = files_dir + "/" + name;
    if (is_regular_file(inside)) return inside;
    return std::nullopt;
}

std::string stored_reply_file(const std::string& chosen, const std::string& files_dir) {
    std::string prefix = files_dir + "/";
    if (chosen.size() > prefix.size() && chosen.compare(0, prefix.size(), prefix) == 0)
        return chosen.substr(prefix.size());
    return chosen;
}

std::optional<std::string> command_refusal(std::string_view command) {
    for (const char* scheme : {"http://", "https://", "httppost://", "httpspost://"})
        if (starts_with_ignoring_case(command, scheme)) return std::nullopt;
    std::string_view line = command;
    if (!line.empty() && line.front() == '"' && line.find('"', 1) == std::string_view::npos) line.remove_prefix(1);
    std::string program;
    if (!line.empty() && line.front() == '"')
        program = std::string(line.substr(1, line.find('"', 1) - 1));
    else
        program = std::string(line.substr(0, line.find(' ')));
    if (is_program(program)) return std::nullopt;
    size_t slash = program.rfind('/');
    std::string_view last = std::string_view(program).substr(slash == std::string::npos ? 0 : slash + 1);
    if (last.find('.') == std::string_view::npos) {
        program += ".EXE";
        if (is_program(program)) return std::nullopt;
    }
    return "Cannot locate program file:  " + program +
           "\r\n\r\nPlease specify an http://url, or a valid executable file name.";
}

SaveOutcome save_entry(const std::string& rirer_ini, std::string_view old_entry, std::string_view new_entry,
                       const Actions& a) {
    bool exists = false;
    bool ok = ini::transact(rirer_ini, [&](const ini::Snapshot& file) {
        std::vector<ini::ProfileWrite> writes;
        std::vector<std::string> table = enumerate(file);
        const bool same = !old_entry.empty() && config::equal_ignoring_case(old_entry, new_entry);
        if (!same && names_entry(table, new_entry)) {
            exists = true;
            return writes;
        }
        const std::string section = section_name(new_entry);
        auto action = [&](const char* key, bool on, const std::string& text) {
            writes.push_back({section, key, on ? std::optional<std::string>(text) : std::nullopt});
        };
        action("ReplyText", a.send_reply, escape_line_breaks(a.reply_text));
        action("ReplyFile", a.include_file, a.reply_file);
        action("Run", a.run_command, a.run);
        action("MailTo", a.forward, a.mail_to);
        action("DListAdd", a.add_list, a.dlist_add);
        action("DListRemove", a.remove_list, a.dlist_remove);
        action("RunSendResponse", a.run_send_response, "Yes");

        std::optional<size_t> n = old_entry.empty() ? std::nullopt : find_entry(file, old_entry);
        if (!n) {
            for (auto& w : plan_add(file, new_entry)) writes.push_back(std::move(w));
            table.emplace_back(new_entry);
        } else if (!same) {
            writes.push_back({kTableSection, "Keyword" + std::to_string(*n), std::string(new_entry)});
            table[*n - 1] = std::string(new_entry);
        }
        if (!old_entry.empty() && !same && !names_entry(table, old_entry))
            writes.push_back({section_name(old_entry), std::nullopt, std::nullopt});
        return writes;
    });
    if (exists) return SaveOutcome::AlreadyExists;
    return ok ? SaveOutcome::Saved : SaveOutcome::WriteFailed;
}

bool remove_entry(const std::string& rirer_ini, std::string_view entry) {
    bool found = false;
    bool ok = ini::transact(rirer_ini, [&](const ini::Snapshot& file) {
        std::vector<ini::ProfileWrite> writes = plan_remove(file, entry);
        if (writes.empty()) return writes;
        found = true;
        std::vector<std::string> table = enumerate(file);
        table.erase(table.begin() + static_cast<std::ptrdiff_t>(*find_entry(file, entry) - 1));
        if (!names_entry(table, entry)) writes.push_back({section_name(entry), std::nullopt, std::nullopt});
        return writes;
    });
    return ok && found;
}

}  // namespace ovr::keywords
