// The positional words of a command's synopsis, as the dispatcher checks them
// and the completion offers them.
#pragma once

#include <string>
#include <vector>

namespace ovr::cli {

struct Slot {
    std::string word;                   // as written, without brackets and "..."
    bool optional = false;              // [WORD]
    bool repeat = false;                // WORD...
    std::vector<std::string> choices;   // a|b|c: only these words
};

// One word of a synopsis, or an option's value placeholder.
Slot parse_slot(std::string_view token);
std::vector<Slot> parse_synopsis(std::string_view synopsis);
// "sms or mms", "a, b or c".
std::string choice_list(const std::vector<std::string>& choices);

}  // namespace ovr::cli
