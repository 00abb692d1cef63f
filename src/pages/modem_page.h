// The Modem page (DIALOG_MODEM): the modem the gateway uses, how it receives
// SMS and MMS, and how MMS leave through the operator. The modem itself is
// chosen by the wizard; this page shows it read-only and offers to go back.
// For sending MMS the page keeps the gateway's outbound MMS route: a route
// account of the MMSC, its folder VASPOUT/<route>/ with the route's VASP.INI,
// and DefaultOutboundRoute of MMSC.INI naming it.
//
// Apply writes each file once, under its lock and atomically (the route's
// VASP.INI first, then MMSC.INI pointing at it, then RIRER.INI), so the
// services never see a half-saved route.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gprs/connection_test.h"
#include "pages/fields.h"
#include "pages/page.h"

namespace ovr::pages {

// A field with its label, as the Modem page shows them.
struct LabelledField {
    std::string label;
    std::string text{};
    bool enabled = true;
    bool visible = true;
    bool secret = false;  // shown masked, never printed
};

struct LabelledDropDown {
    std::string label;
    std::vector<std::string> items{};
    int selected = -1;  // -1: none
    bool enabled = true;
    bool visible = true;
};

// What the operator connection test is handed (MODEMTEST.INI's keys).
using MmsTestSettings = gprs::TestSettings;

// Operator MMS settings offered as defaults.
struct OperatorMmsSettings {
    std::string apn, login, password, proxy, url;
};

// The page's ties to the rest of the gateway, injectable for tests. Unset
// members are wired to the real ones by the page's constructor.
struct ModemPageServices {
    // The items of "Network Connection:" (the GPRS library's list).
    std::function<std::vector<std::string>()> network_connections;
    // The operator connection test; true when it passed.
    std::function<bool(const MmsTestSettings&)> run_test;
    // A network device's MMS settings ("GET /init"); true when it gave a URL.
    std::function<bool(const std::string& identifier, std::string& url, std::string& proxy)> device_mms;
    // An operator's settings for the modem (Lookup); nothing when none was
    // found. Wired: a network device's own reply, else the operator
    // database for the network the modem's SIM is on.
    std::function<std::optional<OperatorMmsSettings>(const std::string& modem_entry)> choose_operator;
};

class ModemPage final : public PageModel {
public:
    enum class Field {
        Modem, ChangeModem, SmsAccess, ReceiveSms, Storage, SendMms, UseDefault, Lookup,
        Apn, ApnLogin, ApnPass, Proxy, Url, NonStandard, Connection, Test, ReceiveMms
    };
    enum class Access { Default, Gsm, Gprs };

    static constexpr const char* kWizardTitle = "OvrinSMS Lite Setup Wizard:  Modem Settings";
    // The route of every local modem.
    static constexpr const char* kLocalRoute = "ovrinsmslite";
    static constexpr const char* kRoutingSection = "Outbound MMS Routing";

    explicit ModemPage(Context& ctx, ModemPageServices services = {});

    std::string title() const override { return ctx().wizard_mode ? kWizardTitle : "Modem"; }
    std::string template_name() const override { return "DIALOG_MODEM"; }
    void created(PageSite& site) override;
    void shown() override;
    bool left() override;
    void apply() override;
    bool apply_succeeded() const override { return !refused_; }
    bool cancel_requested() override { return confirm_cancel(); }
    std::optional<bool> unsaved_query() override { return ctx().unsaved_changes; }
    bool wizard_next() override;

    // Fields, in screen order.
    const LabelledField& modem() const { return modem_; }
    const Label& modem_kind() const { return kind_; }
    const PushButton& change_modem() const { return change_modem_; }
    const Label& sms_access_label() const { return access_label_; }
    const RadioButton& sms_access(Access a) const { return access_[static_cast<size_t>(a)]; }
    const CheckBox& receive_sms() const { return receive_sms_; }
    const LabelledDropDown& storage() const { return storage_; }
    const CheckBox& send_mms() const { return send_mms_; }
    const CheckBox& use_default() const { return use_default_; }
    const PushButton& lookup() const { return lookup_; }
    const LabelledField& text(Field f) const;
    const CheckBox& non_standard() const { return non_standard_; }
    const LabelledDropDown& connection() const { return connection_; }
    const PushButton& test() const { return test_; }
    const CheckBox& receive_mms() const { return receive_mms_; }

    // Where the focus went after a refusal (the field concerned).
    std::optional<Field> focus() const { return focus_; }
    bool network_modem() const { return network_; }
    bool tested() const { return tested_; }
    // The route the current entry sends its MMS through.
    std::string route_name() const;

    // User actions.
    void press_change_modem();
    void click_sms_access(Access a);
    void click_receive_sms();
    void select_storage(int index);
    void click_send_mms();
    void click_use_default();
    void press_lookup();
    void edit(Field f, const std::string& text);
    void click_non_standard();
    void select_connection(int index);
    void press_test();
    void click_receive_mms();

    // Apply's writes; false when a check refused them (nothing written then).
    bool save();

private:
    void reload();
    void load_local(const std::string& section);
    void load_network(const std::string& section);
    void enable();
    void changed();
    void select_a_modem();
    bool test_connection();
    bool untested_question();
    bool fields_acceptable();
    void refuse(Field f, const std::string& message);
    LabelledField& text_field(Field f);
    MmsTestSettings test_settings() const;
    std::string chosen_profile() const;

    ModemPageServices services_;
    std::string entry_;
    bool network_ = false;
    bool loading_ = false;
    bool tested_ = false;
    bool changing_modem_ = false;   // Change Modem is moving the sheet away
    bool fresh_ = false;            // created and loaded, not yet shown
    bool refused_ = false;          // the last apply was refused
    std::string device_url_, device_proxy_;
    std::optional<Field> focus_;

    LabelledField modem_{"GSM/GPRS Modem:"};
    Label kind_;
    PushButton change_modem_{"Change &Modem"};
    Label access_label_{"SMS Access:"};
    std::array<RadioButton, 3> access_{{{"Default"}, {"GSM"}, {"GPRS"}}};
    CheckBox receive_sms_{"Receive SMS Messages"};
    LabelledDropDown storage_{"SMS Message Storage:"};
    CheckBox send_mms_{"Send MMS Messages"};
    CheckBox use_default_{"Use Default MMS Settings"};
    PushButton lookup_{"&Lookup Operator Settings"};
    LabelledField apn_{"MMS APN:"};
    LabelledField login_{"APN Login Name:"};
    LabelledField password_{"APN Password:"};
    LabelledField proxy_{"MMS Proxy Address:"};
    LabelledField url_{"MMS Server URL:"};
    CheckBox non_standard_{"Use non-standard data connection for MMS"};
    LabelledDropDown connection_{"Network Connection:"};
    PushButton test_{"&Test Connection"};
    CheckBox receive_mms_{"Receive MMS Messages"};
};

// A route name that may become a folder of VASPOUT and be deleted again:
// one plain name, no "." or "..", no "/", "\" or control characters.
bool plain_route_name(const std::string& name);
// A route name as the route account stores it (the account's name field).
std::string route_account_name(const std::string& name);
using gprs::dial_safe;

}  // namespace ovr::pages
