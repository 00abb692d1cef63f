#include "cli/synopsis.h"

namespace ovr::cli {

Slot parse_slot(std::string_view t) {
    Slot s;
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
        s.optional = true;
        t = t.substr(1, t.size() - 2);
    }
    if (t.size() > 3 && t.substr(t.size() - 3) == "...") {
        s.repeat = true;
        t.remove_suffix(3);
    }
    s.word = std::string(t);
    // Lower-case words joined by "|" are the literal choices; a placeholder
    // is upper case.
    bool literal = t.find('|') != std::string_view::npos;
    for (char c : t)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '|')) literal = false;
    if (literal) {
        size_t start = 0;
        for (size_t bar; (bar = t.find('|', start)) != std::string_view::npos; start = bar + 1)
            s.choices.emplace_back(t.substr(start, bar - start));
        s.choices.emplace_back(t.substr(start));
    }
    return s;
}

std::vector<Slot> parse_synopsis(std::string_view synopsis) {
    std::vector<Slot> slots;
    size_t start = 0;
    while (start < synopsis.size()) {
        size_t end = synopsis.find(' ', start);
        if (end == std::string_view::npos) end = synopsis.size();
        if (end > start) slots.push_back(parse_slot(synopsis.substr(start, end - start)));
        start = end + 1;
    }
    return slots;
}

std::string choice_list(const std::vector<std::string>& choices) {
    std::string s;
    for (size_t i = 0; i < choices.size(); ++i) {
        if (i) s += i + 1 == choices.size() ? " or " : ", ";
        s += choices[i];
    }
    return s;
}

}  // namespace ovr::cli
