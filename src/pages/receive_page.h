// The 2-Way page (DIALOG_RECV): what the gateway does with received SMS and
// MMS. Received SMS go to one local user or through the keyword table;
// received MMS go to MMS-IN, through the keyword commands, to the MM7 / PHP
// receiver, to an e-mail address or to an HTTP upload URL; local PHP
// processing is switched here too. The keyword buttons and "Configure" run
// their dialogs, which write at once; everything else waits for Apply, which
// writes in one transaction of RIRER.INI.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "nettest/php.h"
#include "pages/fields.h"
#include "pages/page.h"
#include "pages/text_field.h"

namespace ovr::pages {

class ReceivePage final : public PageModel {
public:
    // The host name the gateway's web server answers for local PHP scripts.
    static constexpr const char* kPhpPseudoHost = "ovrinsmsphp";
    static constexpr const char* kDefaultCharset = "(default)";
    static constexpr const char* kSelectUser = "Please select a local user account to receive messages";
    static constexpr const char* kConfigureMm7 = "MM7 Settings must be configured";
    static constexpr const char* kInvalidAddress = "Please enter a valid e-mail address";

    enum class MmsRoute { MmsIn, SmsCommands, Mm7, Email, PostUrl };
    enum class Focus { Users, Configure, Email };

    // `php` is where the PHP lookup looks (the process environment unless
    // a test hands in its own).
    explicit ReceivePage(Context& ctx, std::optional<nettest::PhpSearch> php = std::nullopt);

    std::string title() const override { return "2-Way"; }
    std::string template_name() const override { return "DIALOG_RECV"; }
    void created(PageSite& site) override;
    void shown() override;
    bool left() override;
    void apply() override;
    bool apply_succeeded() const override { return applied_; }
    bool cancel_requested() override { return confirm_cancel(); }
    std::optional<bool> unsaved_query() override { return ctx().unsaved_changes; }

    // Fields, top to bottom.
    const CheckBox& process_sms() const { return process_sms_; }
    const PushButton& view_sms() const { return view_sms_; }
    const RadioButton& route_to_user() const { return route_user_; }
    const DropDown& users() const { return users_; }
    const RadioButton& use_commands() const { return use_commands_; }
    const Label& table_label() const { return table_label_; }
    // The keyword rows, sorted; the selected row (-1: none).
    const std::vector<std::string>& rows() const { return rows_; }
    int selected_row() const { return selected_row_; }
    bool table_enabled() const { return table_enabled_; }
    const PushButton& add_button() const { return add_; }
    const PushButton& edit_button() const { return edit_; }
    const PushButton& remove_button() const { return remove_; }
    const Label& charset_label() const { return charset_label_; }
    const DropDown& charsets() const { return charsets_; }
    const CheckBox& process_mms() const { return process_mms_; }
    const RadioButton& mms_route(MmsRoute r) const { return mms_routes_[static_cast<size_t>(r)]; }
    const PushButton& view_mms() const { return view_mms_; }
    const PushButton& configure_button() const { return configure_; }
    const TextField& email() const { return email_; }
    const TextField& post_url() const { return post_url_; }
    const CheckBox& php_enable() const { return php_enable_; }
    const Label& php_location() const { return php_location_; }
    const CheckBox& php_remote() const { return php_remote_; }
    std::optional<Focus> focus() const { return focus_; }

    // User actions.
    void click_process_sms();
    void choose_sms_route(bool to_user);
    void select_user(int index);
    void select_charset(int index);
    void click_process_mms();
    void choose_mms_route(MmsRoute route);
    void set_email(std::string_view text);
    void set_post_url(std::string_view text);
    void click_php_enable();
    void click_php_remote();
    void select_row(int index);
    void press_add();
    void press_edit();
    void press_remove();
    void press_configure();
    void press_view(ViewerKind kind);

    // The section of the modem entry (empty when no modem is configured).
    const std::string& modem_section() const { return modem_section_; }

private:
    void load();
    void fill_users();
    void refill_rows(const std::string& select_entry);
    void apply_enable_rules();
    void show_php_location(bool on);
    bool php_available();
    void edit();   // an edit of a field: tracked unless loading

    std::optional<nettest::PhpSearch> php_;
    bool loading_ = false;
    bool applied_ = true;
    std::string modem_section_;
    CheckBox process_sms_{"Process received SMS Messages"};
    PushButton view_sms_{"View"};
    RadioButton route_user_{"Route SMS to local user"};
    DropDown users_;
    RadioButton use_commands_{"Use 2-way command processor"};
    Label table_label_{"Received SMS Command Table"};
    std::vector<std::string> rows_;
    int selected_row_ = -1;
    bool table_enabled_ = true;
    PushButton add_{"&Add"}, edit_{"&Edit"}, remove_{"&Remove"};
    Label charset_label_{"Command Character Set:"};
    DropDown charsets_;
    CheckBox process_mms_{"Process received MMS Messages"};
    std::array<RadioButton, 5> mms_routes_{RadioButton{"Receive to MMS-IN Directory"},
                                           RadioButton{"Use SMS 2-Way Commands"},
                                           RadioButton{"Route via MM7 or PHP Upload"},
                                           RadioButton{"Forward to E-Mail Address"},
                                           RadioButton{"HTTP File Upload POST URL"}};
    PushButton view_mms_{"View"};
    PushButton configure_{"Configure"};
    TextField email_, post_url_;
    CheckBox php_enable_{"Enable Local PHP Processing"};
    Label php_location_;
    CheckBox php_remote_{"Allow External Web Access to PHP Scripts"};
    std::optional<Focus> focus_;
};

}  // namespace ovr::pages
