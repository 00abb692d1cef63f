// Editing one keyword entry and its section: the entry's parts, the actions
// stored in its section, the checks of a command to run and of a reply file,
// and the save, which lands as one transaction of RIRER.INI so the service
// never reads a half-written keyword.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "config/ini.h"

namespace ovr::keywords {

// Every text of an entry or an action holds at most this many bytes.
inline constexpr size_t kFieldBytes = 1023;

inline constexpr const char* kKeywordExists = "Keyword already exists";

// An entry is the keyword, then optionally "##" and the receive number(s).
struct EntryParts {
    std::string keyword;
    std::string numbers;
};
EntryParts split_entry(std::string_view entry);
// The keyword, then "##" and the numbers when there are any.
std::string join_entry(std::string_view keyword, std::string_view numbers);

// The actions of one keyword section. Each action's text is kept whether the
// action is on or not (the dialog keeps what was typed); only actions that
// are on are stored.
struct Actions {
    std::string reply_text;   // with its line breaks (stored escaped)
    std::string reply_file;
    std::string run;
    std::string mail_to;
    std::string dlist_add;
    std::string dlist_remove;
    bool send_reply = false;
    bool include_file = false;
    bool run_command = false;
    bool forward = false;
    bool add_list = false;
    bool remove_list = false;
    bool run_send_response = false;   // not an action of its own
};
Actions load_actions(const config::ini::Snapshot& file, std::string_view entry);

// The directory bare reply file names are relative to: "FILES" in the
// program data directory, without a trailing "/".
std::string files_directory(const std::string& program_data);
// The reply file as written, else inside FILES; nothing when neither is a file.
std::optional<std::string> locate_reply_file(const std::string& name, const std::string& files_dir);
// A chosen file inside FILES is stored by its name relative to FILES (the
// prefix matched exactly: file names are case-sensitive); others keep their
// path.
std::string stored_reply_file(const std::string& chosen, const std::string& files_dir);

// Whether a command to run can be used: URLs are accepted unseen; a local
// command's program must be an executable regular file, looked up as written
// and then with ".EXE" appended. The refusal's message, or nothing.
std::optional<std::string> command_refusal(std::string_view command);

enum class SaveOutcome { Saved, AlreadyExists, WriteFailed };

// Saves an entry with its actions in one transaction: the new section, then
// the table (the entry renamed from `old_entry`, or added when `old_entry` is
// empty or no longer in the table), then the old section deleted when no
// entry names it any more. An entry that differs from `old_entry` ignoring
// case and is already in the table is refused and nothing is written.
SaveOutcome save_entry(const std::string& rirer_ini, std::string_view old_entry, std::string_view new_entry,
                       const Actions& actions);

// Remove of the Receive page: the table row, then the entry's section unless
// another entry still names it. False when the entry is not there or the
// write failed.
bool remove_entry(const std::string& rirer_ini, std::string_view entry);

}  // namespace ovr::keywords
