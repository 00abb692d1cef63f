#include "pages/users_page.h"

#include <cstdio>

#include "config/ini.h"
#include "config/settings.h"
#include "config/text.h"
#include "pages/user_dialog.h"
#include "platform/fs.h"

namespace ovr::pages {
namespace {

std::string format_name(const char* format, const std::string& name) {
    std::string out = format;
    size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, name);
    return out;
}

// The entry of USERS/ whose name equals `name` ignoring case.
std::optional<std::string> users_entry(const std::string& program_data, const std::string& name) {
    std::optional<std::string> found;
    platform::fs::scan_directory(program_data + "USERS/", "*", [&](std::string_view entry, bool is_dir) {
        if (!found && is_dir && config::equal_ignoring_case(entry, name)) found = std::string(entry);
    });
    return found;
}

}  // namespace

std::optional<std::string> user_directory(const std::string& program_data, const std::string& name) {
    if (!is_safe_user_name(name)) return std::nullopt;
    auto entry = users_entry(program_data, name);
    if (!entry) return std::nullopt;
    return program_data + "USERS/" + *entry;
}

void rename_user_files(Context& ctx, const std::string& old_name, const std::string& new_name) {
    config::ini::remove_key(ctx.ini.rirer, kInboundRouting, old_name);
    auto from = user_directory(ctx.dirs.program_data, old_name);
    if (!from || !is_safe_user_name(new_name)) return;
    if (auto taken = user_directory(ctx.dirs.program_data, new_name)) {
        // Two users' files must not be merged or one of them lost.
        ctx.ui->message("The folder " + *taken + " already exists: the files of " + old_name + " stay in " + *from +
                            ".",
                        Icon::Warning);
        return;
    }
    platform::fs::rename_entry(*from, ctx.dirs.program_data + "USERS/" + new_name);
}

void delete_user_files(Context& ctx, const std::vector<std::string>& names) {
    config::VASPDeleteUsers(names);
    // The first folder of each name, ignoring case, as user_directory finds it.
    const std::string users = ctx.dirs.program_data + "USERS/";
    std::map<std::string, std::string> folders;
    platform::fs::scan_directory(users, "*", [&](std::string_view entry, bool is_dir) {
        if (is_dir) folders.try_emplace(config::to_upper(entry), entry);
    });
    for (const std::string& n : names) {
        if (!is_safe_user_name(n)) continue;
        if (auto it = folders.find(config::to_upper(n)); it != folders.end())
            platform::fs::recursive_delete(users + it->second + "/");
    }
    // A name the batch would refuse as a key (written by others) must not
    // keep the others' keys: it goes alone.
    config::ini::transact(ctx.ini.rirer, [&](const config::ini::Snapshot& rirer) {
        std::vector<config::ini::ProfileWrite> writes;
        for (const std::string& n : names)
            if (is_safe_user_name(n) && rirer.read_value(kInboundRouting, n))
                writes.push_back({kInboundRouting, n, std::nullopt});
        return writes;
    });
    for (const std::string& n : names)
        if (!is_safe_user_name(n)) config::ini::remove_key(ctx.ini.rirer, kInboundRouting, n);
}

bool store_edited_user(Context& ctx, const config::UserFileHandle& file, UserDialog& dialog) {
    const config::UserRecord& rec = dialog.record();
    const std::string& old_name = dialog.original_name();
    // The new record first: a failure then loses nothing.
    if (!config::SMSAddUser(file, rec)) {
        dialog.undo_ok();
        ctx.ui->error(format_name(UsersPage::kNotSavedFormat, rec.name()));
        return false;
    }
    if (old_name.empty() || config::equal_ignoring_case(old_name, rec.name())) return true;
    if (!config::SMSDeleteUser(file, old_name)) {
        ctx.ui->error(format_name(UsersPage::kNotDeletedFormat, old_name));
        return false;
    }
    rename_user_files(ctx, old_name, rec.name());
    return true;
}

UsersPage::UsersPage(Context& ctx) : PageModel(ctx) {}

UsersPage::~UsersPage() { config::SMSCloseUserFile(file_); }

void UsersPage::created(PageSite& site) {
    PageModel::created(site);
    creating_ = true;
    web_auth_.checked = config::read_yes(ctx().ini.rirer, "RIRER", "WebAuth", "Yes");
    config::open_user_file(ctx().dirs.program_data, config::kGenericRead | config::kGenericWrite, file_);
    refresh();
    if (count_ > 0) selected_ = {0};
    creating_ = false;
}

void UsersPage::click_web_auth() {
    web_auth_.checked = !web_auth_.checked;
    touched();
    if (!creating_) edited();
}

void UsersPage::apply() {
    saved_ = config::write_yes_no(ctx().ini.rirer, "RIRER", "WebAuth", web_auth_.checked);
    if (!saved_) ui().error("The setting could not be saved in " + ctx().ini.rirer + ".");
    else
        ctx().unsaved_changes = false;
}

void UsersPage::refresh() {
    count_ = config::SMSGetRecordCount(file_);
    kept_row_.reset();
    shown_.clear();
    ++generation_;
    std::erase_if(selected_, [&](uint32_t r) { return r >= count_; });
    touched();
}

bool UsersPage::read_row(uint32_t row) {
    if (kept_row_ == row) return true;
    ++reads_;
    if (!config::SMSGetUserRecord(file_, row, kept_)) {
        kept_row_.reset();
        return false;
    }
    kept_row_ = row;
    return true;
}

std::string UsersPage::cell(uint32_t row, int column) {
    if (row >= count_ || !read_row(row)) return {};
    shown_.try_emplace(row, kept_.name());
    return column == 0 ? kept_.name() : kept_.full_name();
}

int UsersPage::find_row(const std::string& prefix) {
    config::UserRecord r;
    return config::SMSFindFirstUserRecord(file_, prefix, r);
}

void UsersPage::set_selection(std::set<uint32_t> rows) {
    std::erase_if(rows, [&](uint32_t r) { return r >= count_; });
    // What a selected row shows now is what Delete will act on.
    for (uint32_t r : rows)
        if (!shown_.count(r) && read_row(r)) shown_.emplace(r, kept_.name());
    selected_ = std::move(rows);
    touched();
}

std::optional<std::string> UsersPage::shown_name(uint32_t row) {
    if (auto it = shown_.find(row); it != shown_.end()) return it->second;
    if (!read_row(row)) return std::nullopt;
    return kept_.name();
}

void UsersPage::key(Key k) {
    switch (k) {
        case Key::Enter: press_edit(); break;
        case Key::Insert: press_add(); break;
        case Key::Delete: press_delete(); break;
    }
}

void UsersPage::double_click(uint32_t row) {
    set_selection({row});
    press_edit();
}

void UsersPage::press_edit() {
    if (selected_.empty() || !ctx().windows) return;
    auto name = shown_name(*selected_.begin());
    config::UserRecord rec;
    // A user deleted behind the page's back is not brought back.
    if (!name || !config::SMSFindUserRecord(file_, *name, rec)) {
        refresh();
        return;
    }
    UserDialog dialog(ctx(), file_, rec);
    if (ctx().windows->run_dialog(dialog)) store_edited_user(ctx(), file_, dialog);
    refresh();
}

void UsersPage::press_add() {
    if (!ctx().windows) return;
    UserDialog dialog(ctx(), file_, config::UserRecord{});
    if (ctx().windows->run_dialog(dialog) && !config::SMSAddUser(file_, dialog.record())) {
        dialog.undo_ok();
        ui().error(format_name(kNotSavedFormat, dialog.record().name()));
    }
    refresh();
}

void UsersPage::press_delete() {
    if (selected_.empty()) return;
    std::vector<std::string> names;
    for (uint32_t r : selected_)
        if (auto n = shown_name(r)) names.push_back(*n);
    std::string question = kDeleteOne;
    if (selected_.size() > 1) {
        char buf[64];
        std::snprintf(buf, sizeof buf, kDeleteManyFormat, static_cast<unsigned>(selected_.size()));
        question = buf;
    }
    if (!ui().ask_yes_no(question)) return;
    if (!names.empty() && !config::SMSDeleteUsers(file_, names)) {
        ui().error(format_name(kNotDeletedFormat, names.front()));
        refresh();
        return;
    }
    delete_user_files(ctx(), names);
    selected_.clear();
    refresh();
    if (count_ > 0) selected_ = {0};
}

}  // namespace ovr::pages
