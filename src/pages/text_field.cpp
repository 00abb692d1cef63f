#include "pages/text_field.h"

#include "config/text.h"

namespace ovr::pages {

const std::string& DropDown::current() const {
    static const std::string none;
    if (selected < 0 || static_cast<size_t>(selected) >= items.size()) return none;
    return items[static_cast<size_t>(selected)];
}

int DropDown::find(std::string_view text) const {
    for (size_t i = 0; i < items.size(); ++i)
        if (config::equal_ignoring_case(items[i], text)) return static_cast<int>(i);
    return -1;
}

bool DropDown::select(std::string_view text) {
    int i = find(text);
    if (i < 0) return false;
    selected = i;
    return true;
}

std::string cut_at_character(std::string_view text, size_t bytes) {
    if (text.size() <= bytes) return std::string(text);
    size_t end = bytes;
    // Back over continuation bytes to the start of the character that does
    // not fit whole.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

}  // namespace ovr::pages
