#include "pages/keyword_dialog.h"

#include <tuple>

#include "config/ini.h"
#include "keywords/table.h"
#include "platform/fs.h"

namespace ovr::pages {
namespace kw = keywords;

namespace {

// The action each coupled text belongs to.
std::optional<KeywordDialog::Check> coupled_check(KeywordDialog::Text t) {
    using T = KeywordDialog::Text;
    using C = KeywordDialog::Check;
    switch (t) {
        case T::ReplyText: return C::SendReply;
        case T::Run: return C::RunCommand;
        case T::MailTo: return C::Forward;
        case T::DListAdd: return C::AddList;
        case T::DListRemove: return C::RemoveList;
        default: return std::nullopt;
    }
}

std::string trim_blanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return std::string(s);
}

// Tabs separate the Receive page's columns and line breaks end INI lines.
bool has_tab_or_break(std::string_view s) { return s.find_first_of("\t\r\n") != std::string_view::npos; }

}  // namespace

KeywordDialog::KeywordDialog(Context& ctx, std::string entry) : ctx_(ctx), entry_(std::move(entry)) {
    const char* labels[] = {"Send Text Reply",          "Include Image with Reply",   "Run HTTP or Local Command",
                            "Reply to sender with command output", "Forward To E-Mail Address",
                            "Add To Distribution List", "Remove From Distribution List"};
    for (size_t i = 0; i < checks_.size(); ++i) checks_[i].label = labels[i];
    mut(Text::Numbers).visible = false;
    if (entry_.empty()) return;
    // Loading: the check boxes follow the stored values, not the coupling.
    kw::EntryParts parts = kw::split_entry(entry_);
    mut(Text::Keyword).text = cut_at_character(parts.keyword, kw::kFieldBytes);
    mut(Text::Numbers).text = cut_at_character(parts.numbers, kw::kFieldBytes);
    kw::Actions a = kw::load_actions(config::ini::snapshot(ctx_.ini.rirer), entry_);
    mut(Text::DListAdd).text = a.dlist_add;
    mut(Text::DListRemove).text = a.dlist_remove;
    mut(Text::MailTo).text = a.mail_to;
    mut(Text::ReplyFile).text = a.reply_file;
    mut(Text::ReplyText).text = cut_at_character(a.reply_text, kw::kFieldBytes);
    mut(Text::Run).text = a.run;
    mut(Check::AddList).checked = a.add_list;
    mut(Check::RemoveList).checked = a.remove_list;
    mut(Check::Forward).checked = a.forward;
    mut(Check::IncludeImage).checked = a.include_file;
    mut(Check::SendReply).checked = a.send_reply;
    mut(Check::RunCommand).checked = a.run_command;
    mut(Check::RunResponse).checked = a.run_send_response;
}

void KeywordDialog::set_text(Text t, std::string_view text) {
    mut(t).text = cut_at_character(text, kw::kFieldBytes);
    if (auto c = coupled_check(t)) mut(*c).checked = !mut(t).text.empty();
    ++revision_;
}

void KeywordDialog::set_checked(Check c, bool on) {
    mut(c).checked = on;
    ++revision_;
}

void KeywordDialog::browse() {
    std::string files = kw::files_directory(ctx_.dirs.program_data);
    platform::fs::create_directories(files);
    auto chosen = ctx_.ui->choose_open_file(kTitle, {{"Images", "*.jpg;*.jpeg;*.png;*.gif"}, {"All Files", "*"}},
                                            files);
    if (!chosen || chosen->size() > 260 || !platform::fs::regular_file_exists(*chosen)) return;
    set_reply_file(*chosen);
}

void KeywordDialog::set_reply_file(const std::string& path) {
    std::string files = kw::files_directory(ctx_.dirs.program_data);
    mut(Text::ReplyFile).text = cut_at_character(kw::stored_reply_file(path, files), kw::kFieldBytes);
    mut(Check::IncludeImage).checked = true;
    ++revision_;
}

bool KeywordDialog::refuse(const std::string& message, Focus focus) {
    focus_ = focus;
    ++revision_;
    ctx_.ui->error(message);
    return false;
}

bool KeywordDialog::ok() {
    focus_.reset();
    const std::string keyword = trim_blanks(text(Text::Keyword));
    const std::string numbers = trim_blanks(text(Text::Numbers));
    if (keyword.empty()) return refuse("Keyword is required!", Focus::Keyword);
    // The entry is a table value and part of a section name.
    auto unusable = [](const std::string& s) { return has_tab_or_break(s) || s.find(']') != std::string::npos; };
    if (unusable(keyword)) return refuse("Keyword cannot contain a tab, a line break or \"]\"", Focus::Keyword);
    if (unusable(numbers))
        return refuse("Receive Phone Number(s) cannot contain a tab, a line break or \"]\"", Focus::Keyword);
    const std::string entry = kw::join_entry(keyword, numbers);
    if (entry.size() > kw::kFieldBytes)
        return refuse("Keyword and Receive Phone Number(s) cannot exceed 1023 characters", Focus::Keyword);

    if (checked(Check::SendReply)) {
        if (text(Text::ReplyText).empty()) return refuse("Reply text cannot be blank", Focus::ReplyText);
        if (kw::escape_line_breaks(text(Text::ReplyText)).size() > kw::kFieldBytes)
            return refuse("Reply text cannot exceed 1023 characters, each line break counting two",
                          Focus::ReplyText);
    }
    const std::string files = kw::files_directory(ctx_.dirs.program_data);
    if (checked(Check::IncludeImage)) {
        if (text(Text::ReplyFile).empty()) return refuse("Reply file must be selected", Focus::Browse);
        if (!kw::locate_reply_file(text(Text::ReplyFile), files))
            return refuse("Reply file does not exist", Focus::Browse);
    }
    if (checked(Check::RunCommand)) {
        if (text(Text::Run).empty()) return refuse("Run command cannot be blank", Focus::Run);
        if (has_tab_or_break(text(Text::Run)))
            return refuse("Run command cannot contain a tab or a line break", Focus::Run);
        if (auto why = kw::command_refusal(text(Text::Run))) return refuse(*why, Focus::Run);
    }
    if (checked(Check::Forward)) {
        if (text(Text::MailTo).empty()) return refuse("E-Mail Address cannot be blank", Focus::MailTo);
        if (has_tab_or_break(text(Text::MailTo)))
            return refuse("E-Mail Address cannot contain a tab or a line break", Focus::MailTo);
    }
    for (auto [check, field, focus] : {std::tuple{Check::AddList, Text::DListAdd, Focus::DListAdd},
                                       std::tuple{Check::RemoveList, Text::DListRemove, Focus::DListRemove}}) {
        if (!checked(check)) continue;
        if (text(field).empty()) return refuse("Distribution list name cannot be blank", focus);
        if (has_tab_or_break(text(field)))
            return refuse("Distribution list name cannot contain a tab or a line break", focus);
    }
    if (!checked(Check::SendReply) && !checked(Check::IncludeImage) && !checked(Check::RunCommand) &&
        !checked(Check::Forward) && !checked(Check::AddList) && !checked(Check::RemoveList))
        return refuse("At least one type of action is required", Focus::Keyword);

    kw::Actions a;
    a.reply_text = text(Text::ReplyText);
    a.reply_file = text(Text::ReplyFile);
    a.run = text(Text::Run);
    a.mail_to = text(Text::MailTo);
    a.dlist_add = text(Text::DListAdd);
    a.dlist_remove = text(Text::DListRemove);
    a.send_reply = checked(Check::SendReply);
    a.include_file = checked(Check::IncludeImage);
    a.run_command = checked(Check::RunCommand);
    a.forward = checked(Check::Forward);
    a.add_list = checked(Check::AddList);
    a.remove_list = checked(Check::RemoveList);
    a.run_send_response = checked(Check::RunResponse);
    switch (kw::save_entry(ctx_.ini.rirer, entry_, entry, a)) {
        case kw::SaveOutcome::AlreadyExists: return refuse(kw::kKeywordExists, Focus::Keyword);
        case kw::SaveOutcome::WriteFailed: return refuse("Unable to write " + ctx_.ini.rirer, Focus::Keyword);
        case kw::SaveOutcome::Saved: break;
    }
    entry_ = entry;
    ++revision_;
    return true;
}

}  // namespace ovr::pages
