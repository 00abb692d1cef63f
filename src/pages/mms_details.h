// The MMS details dialog of a received MMS: the header file's text and its
// content parts, each opened in the text editor or with the desktop's "open".
#pragma once

#include <string>
#include <vector>

#include "pages/page.h"

namespace ovr::pages {

class MmsDetails {
public:
    // `header_path`: the full path of a received MMS header file. A header
    // that cannot be read gives an empty text and no parts.
    MmsDetails(Context& ctx, const std::string& header_path);

    std::string title() const { return "MMS Message Details"; }
    std::string template_name() const { return "DIALOG_MMSVIEW"; }

    // The first 8191 bytes of the header file.
    const std::string& header_text() const { return header_text_; }
    // One entry per content location line, in file order: the part's file
    // name, " (" + type + ")" when it has one, a TAB and the path as written.
    const std::vector<std::string>& entries() const { return entries_; }
    // The selected entry (-1: none); the first one to begin with.
    int selected() const { return selected_; }
    void select(int entry);

    // "View" or a double click: opens the selected part.
    void view();

    // The full path of an entry's part (the received MMS directory + the
    // path after the TAB, "\" read as "/"); empty when the path would leave
    // that directory.
    std::string part_path(int entry) const;

private:
    Context& ctx_;
    std::string mms_directory_;
    std::string header_text_;
    std::vector<std::string> entries_;
    std::vector<std::string> paths_;   // each entry's path as written (it may hold a TAB itself)
    int selected_ = -1;
};

}  // namespace ovr::pages
