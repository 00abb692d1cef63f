// The Users page: the gateway's user accounts in a virtual list (rows read
// from the user file as they are shown), with Edit, Add and Delete, and the
// "Require user login for web interface" setting (WebAuth). Accounts are
// written at once by the three buttons; only WebAuth waits for Apply.
//
// Rows are read by index, and another writer (a web administrator) may add
// or delete users meanwhile: the page acts on the names its rows showed,
// never on whatever now sits at an index.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "config/records.h"
#include "config/support.h"
#include "pages/fields.h"
#include "pages/page.h"

namespace ovr::pages {

class UserDialog;

// The user's directory in the program data directory: "USERS/<name>", the
// entry found ignoring letter case; nothing for a name that is no safe path
// or when there is none.
std::optional<std::string> user_directory(const std::string& program_data, const std::string& name);

// What Edit and Delete do to the files besides the user record, shared with
// the command line: a rename moves USERS/<old> to USERS/<new> (kept apart
// with a warning when the new one exists) and drops the old routing key;
// a delete removes the MM7/EAIF account, the directory and the routing key.
void rename_user_files(Context& ctx, const std::string& old_name, const std::string& new_name);
// For many users at once: their accounts in one rewrite, their folders
// found in one listing, their routing keys removed in one write.
void delete_user_files(Context& ctx, const std::vector<std::string>& names);
inline void delete_user_files(Context& ctx, const std::string& name) {
    delete_user_files(ctx, std::vector<std::string>{name});
}

// Stores the dialog's record (after its OK) and, for a rename, deletes the
// old user after the new one is safely stored. False after saying what
// failed ("User %s could not be saved." / "... deleted."); a record that
// could not be saved takes back the routing key and accounts OK wrote.
bool store_edited_user(Context& ctx, const config::UserFileHandle& file, UserDialog& dialog);

class UsersPage final : public PageModel {
public:
    static constexpr const char* kDeleteOne = "Delete User?";
    static constexpr const char* kDeleteManyFormat = "Delete %u users?";
    static constexpr const char* kNotSavedFormat = "User %s could not be saved.";
    static constexpr const char* kNotDeletedFormat = "User %s could not be deleted.";

    explicit UsersPage(Context& ctx);
    ~UsersPage() override;

    std::string title() const override { return "Users"; }
    std::string template_name() const override { return "DIALOG_SMSUSERS"; }
    void created(PageSite& site) override;
    void shown() override { refresh(); }
    void apply() override;
    bool apply_succeeded() const override { return saved_; }
    bool cancel_requested() override { return confirm_cancel(); }

    const CheckBox& web_auth() const { return web_auth_; }
    void click_web_auth();

    // The list: its row count, and the text of a row's column (0 user
    // name, 1 full name), read when a row is shown.
    uint32_t row_count() const { return count_; }
    std::string cell(uint32_t row, int column);
    // Type-ahead: the first row whose name begins with the text; -1 for none.
    int find_row(const std::string& prefix);

    // The selection, as row indexes.
    const std::set<uint32_t>& selection() const { return selected_; }
    void set_selection(std::set<uint32_t> rows);

    enum class Key { Enter, Insert, Delete };
    void key(Key k);
    void double_click(uint32_t row);
    void press_edit();
    void press_add();
    void press_delete();

    // Set row count, forget the kept record and the shown names.
    void refresh();
    // Moves whenever the rows may have changed (count, order, contents), so
    // a view knows when to ask for them again.
    uint64_t list_generation() const { return generation_; }
    // Reads of the user file since the page opened (the kept record spares
    // repeats).
    uint64_t record_reads() const { return reads_; }

private:
    // The name row `row` showed (read now when it was never shown).
    std::optional<std::string> shown_name(uint32_t row);
    bool read_row(uint32_t row);

    config::UserFileHandle file_;
    CheckBox web_auth_{"Require user login for web interface"};
    bool creating_ = false;
    bool saved_ = true;
    uint32_t count_ = 0;
    std::set<uint32_t> selected_;
    std::optional<uint32_t> kept_row_;
    config::UserRecord kept_;
    std::map<uint32_t, std::string> shown_;
    uint64_t reads_ = 0;
    uint64_t generation_ = 0;
};

}  // namespace ovr::pages
