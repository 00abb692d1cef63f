// The user dialog ("Edit User"): one account of the gateway's user file, its
// inbound routing key in RIRER.INI and its MM7/EAIF account of the MMSC. OK
// checks the name, writes the routing key and the MM7/EAIF account at once,
// and leaves the edited user record for its caller to store.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "config/records.h"
#include "config/support.h"
#include "pages/fields.h"
#include "pages/page.h"

namespace ovr::pages {

inline constexpr const char* kInboundRouting = "Inbound SMS Routing";
inline constexpr size_t kUserNameBytes = 50;
inline constexpr size_t kPasswordBytes = 50;
inline constexpr size_t kFullNameBytes = 100;
inline constexpr size_t kAllowedIpsBytes = 49;
inline constexpr size_t kRecipientsBytes = 32767;

// A name that can become a directory USERS/<name> and an INI key: not empty,
// no "/", "\\", "=" or control characters, no leading "[" or ";", no blanks
// at either end, and not "." or "..".
bool is_safe_user_name(std::string_view name);

// The user's "Inbound SMS Routing" value.
std::string read_routing(const config::IniPaths& ini, std::string_view name);

enum class UserText { Name, Password, FullName, AllowedIps, Recipients };
enum class UserBox { WebLogin, SmppLogin, Mm7Login, AcceptReceived, Admin };

class UserDialog final : public DialogModel {
public:
    static constexpr const char* kRequired = "Field is required!";
    static constexpr const char* kInvalidName = "Invalid user name.";
    static constexpr const char* kAlreadyDefinedFormat = "User %s is already defined.";
    enum class Refusal { None, Required, Invalid, Taken };

    // `file`: the open user file the name is checked against.
    UserDialog(Context& ctx, const config::UserFileHandle& file, const config::UserRecord& record);

    std::string title() const override { return "Edit User"; }
    std::string template_name() const override { return "DIALOG_USERINFO"; }
    bool ok() override;

    // Fields, in the dialog's order.
    const TextField& text(UserText t) const;
    const CheckBox& box(UserBox b) const;
    const Label& recipients_label() const { return recipients_label_; }
    const Label& menu_label() const { return menu_label_; }
    // "Web Menu Options:": 0 "All Options Enabled", 1 "Text SMS Only", -1 none.
    int menu() const { return menu_; }
    bool menu_enabled() const { return menu_label_.enabled; }
    static constexpr const char* kMenuItems[2] = {"All Options Enabled", "Text SMS Only"};

    // User actions. A text longer than its field takes is refused (false)
    // and the field keeps its text; names and the like are cut at a whole
    // character, a password never.
    bool set_text(UserText t, const std::string& text);
    void click(UserBox b);
    void select_menu(int item);

    // After OK: the edited record, and the name the dialog was opened with.
    const config::UserRecord& record() const { return record_; }
    const std::string& original_name() const { return original_; }
    Refusal refusal() const { return refusal_; }
    // Puts back the routing key and the MM7/EAIF accounts OK wrote, for a
    // user record that could then not be stored: no login may outlive it.
    void undo_ok();
    // The field the dialog sent the focus to after a refusal; the view takes it.
    std::optional<UserText> take_focus() { return std::exchange(focus_, std::nullopt); }

private:
    TextField& field(UserText t);
    CheckBox& check(UserBox b);
    void update_enabled();
    bool refuse(Refusal r, const std::string& message);

    Context& ctx_;
    const config::UserFileHandle& file_;
    config::UserRecord record_;
    std::string original_;
    Refusal refusal_ = Refusal::None;
    std::optional<UserText> focus_;
    // What OK's writes replaced: the routing value and the accounts of the
    // new and (for a rename) the old name.
    struct Before {
        std::optional<std::string> routing;
        std::optional<config::VaspRecord> account, old_account;
    };
    std::optional<Before> before_;

    TextField name_, password_, full_name_, ips_, recipients_;
    CheckBox web_{"Enable Web Login for this user"};
    CheckBox smpp_{"Enable SMPP Login for this user"};
    CheckBox mm7_{"Enable MM7/EAIF Login for this user"};
    CheckBox accept_{"Accept received messages for this user"};
    CheckBox admin_{"Enable Admin Access (Edit User Accounts)"};
    Label recipients_label_{"Recipient address(es) to route to this user:"};
    Label menu_label_{"Web Menu Options:"};
    int menu_ = 0;
};

}  // namespace ovr::pages
