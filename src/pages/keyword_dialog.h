// The keyword dialog ("2-Way Keyword Processor", DIALOG_EDIT_KW): one keyword
// entry and its actions. Opened by the Receive page for Add (empty entry) and
// Edit; OK checks every field, then saves the section and the table entry as
// one write (keywords/editing.h), so the page only refills its list.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "keywords/editing.h"
#include "pages/fields.h"
#include "pages/page.h"
#include "pages/text_field.h"

namespace ovr::pages {

class KeywordDialog {
public:
    static constexpr const char* kTitle = "2-Way Keyword Processor";
    static constexpr const char* kTemplate = "DIALOG_EDIT_KW";

    enum class Text { Keyword, Numbers, ReplyText, ReplyFile, Run, MailTo, DListAdd, DListRemove };
    enum class Check { SendReply, IncludeImage, RunCommand, RunResponse, Forward, AddList, RemoveList };
    // Where the focus goes after a refusal.
    enum class Focus { Keyword, ReplyText, Browse, Run, MailTo, DListAdd, DListRemove };

    // Loads the entry's fields (nothing for an empty entry).
    KeywordDialog(Context& ctx, std::string entry);

    const TextField& field(Text t) const { return texts_[static_cast<size_t>(t)]; }
    const std::string& text(Text t) const { return field(t).text; }
    const CheckBox& check_box(Check c) const { return checks_[static_cast<size_t>(c)]; }
    bool checked(Check c) const { return check_box(c).checked; }

    // Typing: the text is cut to 1023 bytes at a character, and the action's
    // check box follows whether the text is empty.
    void set_text(Text t, std::string_view text);
    void set_checked(Check c, bool on);
    // The reply file's chooser; the file field changes only here.
    void browse();
    // What Browse does with a chosen file: inside FILES by its relative
    // name, else by its path; "Include Image with Reply" is checked.
    void set_reply_file(const std::string& path);
    // The checks, then the save. True when everything was written (the
    // dialog closes); otherwise the refusal was shown and focus() names the
    // field.
    bool ok();

    std::optional<Focus> focus() const { return focus_; }
    // The entry the dialog was opened with, and after OK the one it saved.
    const std::string& entry() const { return entry_; }
    uint64_t revision() const { return revision_; }

private:
    bool refuse(const std::string& message, Focus focus);
    TextField& mut(Text t) { return texts_[static_cast<size_t>(t)]; }
    CheckBox& mut(Check c) { return checks_[static_cast<size_t>(c)]; }

    Context& ctx_;
    std::string entry_;
    std::array<TextField, 8> texts_;
    std::array<CheckBox, 7> checks_;
    std::optional<Focus> focus_;
    uint64_t revision_ = 0;
};

}  // namespace ovr::pages
