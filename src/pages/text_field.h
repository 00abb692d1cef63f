// Text fields and drop-down lists of the dialog models, in the shape views
// render them, and the cut every bounded field applies to what is typed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ovr::pages {

struct TextField {
    std::string text;
    bool enabled = true;
    bool visible = true;
};

struct DropDown {
    std::vector<std::string> items;
    int selected = -1;   // none
    bool enabled = true;
    bool visible = true;

    const std::string& current() const;   // "" when none is selected
    // Selects the first item equal to `text` ignoring case; false when none is.
    bool select(std::string_view text);
    int find(std::string_view text) const;
};

// The text cut to at most `bytes` bytes, never inside a UTF-8 character.
std::string cut_at_character(std::string_view text, size_t bytes);

}  // namespace ovr::pages
