#include "pages/modem_page.h"

#include "config/ini.h"
#include "config/records.h"
#include "config/settings.h"
#include "config/support.h"
#include "config/text.h"
#include "modem/entries.h"
#include "modem/network_device.h"
#include "pages/modem_page_wiring.h"
#include "platform/fs.h"

namespace ovr::pages {
namespace {

namespace ini = config::ini;
namespace fs = platform::fs;
using config::equal_ignoring_case;

constexpr size_t kEntryChars = 249;
constexpr size_t kFieldBuffer = 501;
constexpr const char* kModemPrefix = "Modem: ";
constexpr const char* kTestQuestion =
    "MMS configuration settings have not been tested.\r\n\r\n"
    "Do you wish to test these settings before saving configuration changes?";

bool starts_with_ci(const std::string& s, std::string_view prefix) {
    return s.size() >= prefix.size() && equal_ignoring_case(std::string_view(s).substr(0, prefix.size()), prefix);
}

// Link entries (SMPP, HTTP, UCP, CIMD) are not modems: the page shows none.
std::string shown_entry(const std::string& modem1) {
    for (const char* p : {"SMPP - ", "HTTP - ", "UCP - ", "CIMD - "})
        if (starts_with_ci(modem1, p)) return {};
    return modem1;
}

// Its label without the colon and the accelerator, for messages.
std::string field_name(const std::string& label) {
    std::string out;
    for (char c : label)
        if (c != '&' && c != ':') out += c;
    return out;
}

// The route's files, each below the program data directory.
std::string route_dir(const Context& ctx, const std::string& route) { return ctx.data_file("VASPOUT/" + route); }
std::string vasp_ini(const Context& ctx, const std::string& route) { return route_dir(ctx, route) + "/VASP.INI"; }

// A value for a batch: empty removes the key.
ini::ProfileWrite setting(const std::string& section, const std::string& key, const std::string& value) {
    if (value.empty()) return {section, key, std::nullopt};
    return {section, key, value};
}

void delete_route(const Context& ctx, const std::string& route) {
    fs::recursive_delete(route_dir(ctx, route));
    config::VASPOutDeleteUser(route_account_name(route));
}

}  // namespace

bool plain_route_name(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c == '/' || c == '\\' || c < 0x20 || c == 0x7f) return false;
    return true;
}

std::string route_account_name(const std::string& name) {
    return name.substr(0, std::min(name.size(), config::kRecordNameWidth - 1));
}

ModemPage::ModemPage(Context& ctx, ModemPageServices services) : PageModel(ctx), services_(std::move(services)) {
    wire_modem_page_services(ctx, services_);
    storage_.items = {"Default", "Device Memory", "SIM Card", "Direct to Modem"};
    storage_.selected = 0;
    password_.secret = true;
}

void ModemPage::created(PageSite& site) {
    PageModel::created(site);
    loading_ = true;
    if (services_.network_connections) connection_.items = services_.network_connections();
    use_default_.checked = false;
    reload();
    loading_ = false;
    fresh_ = true;
}

void ModemPage::shown() {
    if (site() && ctx().wizard_mode) site()->set_wizard_buttons(WizardButtons::BackNext);
    // The page was filled a moment ago when it was created.
    if (fresh_) {
        fresh_ = false;
        return;
    }
    loading_ = true;
    reload();
    loading_ = false;
}

void ModemPage::reload() {
    std::string modem1 = ini::read_string(ctx().ini.rirer, "RIRER", "Modem1", "", 261);
    entry_ = shown_entry(modem1.substr(0, std::min(modem1.size(), kEntryChars)));
    modem_.text = entry_;
    network_ = modem::entry_kind(entry_) == modem::EntryKind::NetworkDevice;
    kind_.text = entry_.empty() ? "" : network_ ? "Network modem device" : "Local GSM modem";
    focus_.reset();
    std::string section = modem::ModemSectionName(entry_);
    const std::string& rirer = ctx().ini.rirer;
    if (!entry_.empty()) {
        if (network_)
            load_network(section);
        else
            load_local(section);
        receive_sms_.checked = config::read_yes(rirer, section, "ReceiveSMS", "Yes");
    }
    bool receive_absent = !ini::read_value(rirer, section, "ReceiveMMS").has_value();
    std::string route = route_name();
    send_mms_.checked = (plain_route_name(route) && fs::regular_file_exists(vasp_ini(ctx(), route))) ||
                        (receive_absent && receive_sms_.checked);
    receive_mms_.checked = config::read_yes(rirer, section, "ReceiveMMS") || (receive_absent && receive_sms_.checked);
    enable();
    touched();
}

void ModemPage::load_local(const std::string& section) {
    const std::string& rirer = ctx().ini.rirer;
    std::string to = ini::read_string(rirer, section, "ReceiveTo", "", kFieldBuffer);
    storage_.selected = equal_ignoring_case(to, "ME") ? 1 : equal_ignoring_case(to, "SM") ? 2
                        : equal_ignoring_case(to, "Direct")                            ? 3
                                                                                       : 0;
    std::string access = ini::read_string(rirer, section, "SMSAccess", "", kFieldBuffer);
    Access a = equal_ignoring_case(access, "GPRS") ? Access::Gprs
               : equal_ignoring_case(access, "GSM") ? Access::Gsm
                                                    : Access::Default;
    for (size_t i = 0; i < access_.size(); ++i) access_[i].selected = i == static_cast<size_t>(a);
    apn_.text = ini::read_string(rirer, section, "APN", "", kFieldBuffer);
    login_.text = ini::read_string(rirer, section, "APNLogin", "", kFieldBuffer);
    password_.text = ini::read_string(rirer, section, "APNPass", "", kFieldBuffer);
    proxy_.text = ini::read_string(rirer, section, "WAPGatewayIP", "", kFieldBuffer);
    url_.text = ini::read_string(rirer, section, "MMSURL", "", kFieldBuffer);
    std::string profile = ini::read_string(rirer, section, "DialUpProfile", "", kFieldBuffer);
    non_standard_.checked = false;
    connection_.selected = -1;
    if (!profile.empty() && !equal_ignoring_case(profile, kModemPrefix + entry_)) {
        for (size_t i = 0; i < connection_.items.size(); ++i) {
            if (equal_ignoring_case(connection_.items[i], profile)) {
                non_standard_.checked = true;
                connection_.selected = static_cast<int>(i);
                break;
            }
        }
    }
}

void ModemPage::load_network(const std::string& section) {
    const std::string& rirer = ctx().ini.rirer;
    device_url_.clear();
    device_proxy_.clear();
    bool gave_url = services_.device_mms &&
                    services_.device_mms(std::string(modem::device_identifier(entry_)), device_url_, device_proxy_);
    url_.text = ini::read_string(rirer, section, "OvrinsmsModemMMSURL", "", kFieldBuffer);
    proxy_.text = ini::read_string(rirer, section, "OvrinsmsModemMMSProxy", "", kFieldBuffer);
    if (url_.text.empty()) url_.text = device_url_;
    if (proxy_.text.empty()) proxy_.text = device_proxy_;
    use_default_.checked = gave_url && equal_ignoring_case(url_.text, device_url_) &&
                           equal_ignoring_case(proxy_.text, device_proxy_);
}

void ModemPage::enable() {
    storage_.enabled = receive_sms_.checked;
    bool mms = send_mms_.checked && !(network_ && use_default_.checked);
    for (LabelledField* f : {&apn_, &login_, &password_, &proxy_, &url_}) f->enabled = mms;
    lookup_.enabled = mms;
    test_.enabled = mms;
    receive_mms_.enabled = send_mms_.checked && receive_sms_.checked;
    if (!receive_mms_.enabled) receive_mms_.checked = false;
    connection_.enabled = non_standard_.checked;
    // A network device dials nothing itself: its data settings stay hidden.
    bool local = !network_;
    access_label_.visible = local;
    for (RadioButton& r : access_) r.visible = local;
    storage_.visible = local;
    for (LabelledField* f : {&apn_, &login_, &password_}) f->visible = local;
    non_standard_.visible = local;
    connection_.visible = local;
    test_.visible = local;
    use_default_.visible = network_;
}

void ModemPage::changed() {
    focus_.reset();
    edited();
    touched();
}

const LabelledField& ModemPage::text(Field f) const { return const_cast<ModemPage*>(this)->text_field(f); }

LabelledField& ModemPage::text_field(Field f) {
    switch (f) {
        case Field::Apn: return apn_;
        case Field::ApnLogin: return login_;
        case Field::ApnPass: return password_;
        case Field::Proxy: return proxy_;
        case Field::Url: return url_;
        default: return modem_;
    }
}

std::string ModemPage::route_name() const {
    std::string route = network_ && !entry_.empty() ? modem::device_route_name(modem::device_identifier(entry_))
                                                    : std::string(kLocalRoute);
    // The route account keeps only so many characters of a name; the folder
    // and MMSC.INI use the same cut, so what is created can be deleted again.
    return route_account_name(route);
}

void ModemPage::click_sms_access(Access a) {
    if (loading_) return;
    for (size_t i = 0; i < access_.size(); ++i) access_[i].selected = i == static_cast<size_t>(a);
    changed();
}

void ModemPage::click_receive_sms() {
    if (loading_) return;
    receive_sms_.checked = !receive_sms_.checked;
    enable();
    changed();
}

void ModemPage::select_storage(int index) {
    if (loading_ || index < 0 || index >= static_cast<int>(storage_.items.size())) return;
    storage_.selected = index;
    changed();
}

void ModemPage::click_send_mms() {
    if (loading_) return;
    send_mms_.checked = !send_mms_.checked;
    enable();
    changed();
}

void ModemPage::click_use_default() {
    if (loading_) return;
    use_default_.checked = !use_default_.checked;
    // Going back to the device's settings shows (and saves) them, not what
    // was typed over them.
    if (use_default_.checked && !device_url_.empty() &&
        (url_.text != device_url_ || proxy_.text != device_proxy_)) {
        url_.text = device_url_;
        proxy_.text = device_proxy_;
        edited();
    }
    enable();
    touched();
}

void ModemPage::edit(Field f, const std::string& value) {
    if (loading_) return;
    LabelledField& t = text_field(f);
    if (&t == &modem_ || t.text == value) return;
    t.text = value;
    if (f != Field::Url) tested_ = false;  // the URL is not part of the connection test
    changed();
}

void ModemPage::click_non_standard() {
    if (loading_) return;
    non_standard_.checked = !non_standard_.checked;
    connection_.enabled = non_standard_.checked;
    if (non_standard_.checked) {
        for (size_t i = 0; i < connection_.items.size(); ++i)
            if (equal_ignoring_case(connection_.items[i], kModemPrefix + entry_)) connection_.selected = static_cast<int>(i);
    }
    changed();
}

void ModemPage::select_connection(int index) {
    if (loading_ || index < 0 || index >= static_cast<int>(connection_.items.size())) return;
    connection_.selected = index;
    changed();
}

void ModemPage::click_receive_mms() {
    if (loading_ || !receive_mms_.enabled) return;
    receive_mms_.checked = !receive_mms_.checked;
    enable();
    changed();
}

void ModemPage::refuse(Field f, const std::string& message) {
    ui().error(message);
    focus_ = f;
    touched();
}

void ModemPage::press_change_modem() {
    if (!ui().ask_yes_no("Start the installation wizard to select a different modem?")) return;
    changing_modem_ = true;
    if (ctx().wizard_mode) {
        if (site()) site()->press_button(SheetButton::Back);
    } else {
        ctx().rerun_wizard = true;
        if (site()) site()->press_button(SheetButton::Ok);
    }
    changing_modem_ = false;
}

void ModemPage::select_a_modem() {
    refuse(Field::ChangeModem, "Please select a modem");
    press_change_modem();
}

void ModemPage::press_lookup() {
    if (!services_.choose_operator) return;
    std::optional<OperatorMmsSettings> s = services_.choose_operator(entry_);
    if (!s) return;
    auto put = [&](LabelledField& f, const std::string& v, bool tested_field) {
        if (f.text == v) return;
        f.text = v;
        if (tested_field) tested_ = false;
        edited();
    };
    if (!network_) {
        put(apn_, s->apn, true);
        put(login_, s->login, true);
        put(password_, s->password, true);
    }
    put(proxy_, s->proxy, true);
    put(url_, s->url, false);
    touched();
}

// The settings that reach the modem's dialogue and the data connection must
// not carry quotes, backslashes or control characters; every stored field
// must stay one INI line.
bool ModemPage::fields_acceptable() {
    for (Field f : {Field::Apn, Field::ApnLogin, Field::ApnPass, Field::Proxy}) {
        const LabelledField& t = text(f);
        if (t.visible && !dial_safe(t.text)) {
            refuse(f, field_name(t.label) + " must not contain quotes, backslashes or control characters.");
            return false;
        }
    }
    for (unsigned char c : url_.text) {
        if (c < 0x20 || c == 0x7f) {
            refuse(Field::Url, field_name(url_.label) + " must not contain control characters.");
            return false;
        }
    }
    return true;
}

std::string ModemPage::chosen_profile() const {
    if (non_standard_.checked && connection_.selected >= 0 &&
        connection_.selected < static_cast<int>(connection_.items.size())) {
        const std::string& item = connection_.items[static_cast<size_t>(connection_.selected)];
        if (!equal_ignoring_case(item, kModemPrefix + entry_)) return item;
    }
    return {};
}

MmsTestSettings ModemPage::test_settings() const {
    MmsTestSettings s{proxy_.text, apn_.text, login_.text, password_.text, entry_, std::nullopt};
    std::string profile = chosen_profile();
    if (!profile.empty()) s.dial_up_profile = profile;
    return s;
}

bool ModemPage::test_connection() {
    if (url_.text.empty()) {
        refuse(Field::Url, "MMS Server URL is Required!");
        return false;
    }
    if (modem_.text.empty()) {
        select_a_modem();
        return false;
    }
    if (proxy_.text.empty()) {
        refuse(Field::Proxy, "MMS Proxy Address is Required!");
        return false;
    }
    if (!fields_acceptable()) return false;
    bool passed = services_.run_test && services_.run_test(test_settings());
    if (passed) tested_ = true;
    touched();
    return passed;
}

void ModemPage::press_test() { test_connection(); }

// False when the user cancelled.
bool ModemPage::untested_question() {
    if (network_ || !send_mms_.checked || tested_) return true;
    switch (ui().ask_yes_no_cancel(kTestQuestion)) {
        case Answer::Yes: test_connection(); return true;
        case Answer::No: tested_ = true; return true;
        default: return false;
    }
}

bool ModemPage::left() {
    if (changing_modem_) return true;
    if (modem_.text.empty()) {
        select_a_modem();
        return false;
    }
    // In the wizard, Next runs the test itself.
    if (ctx().wizard_mode) return true;
    return untested_question();
}

bool ModemPage::wizard_next() {
    if (modem_.text.empty()) {
        select_a_modem();
        return false;
    }
    if (url_.text.empty()) {
        refuse(Field::Url, "MMS Server URL is Required!");
        return false;
    }
    if (!send_mms_.checked || network_) return save();
    tested_ = false;
    if (!test_connection()) return false;
    return save();
}

void ModemPage::apply() {
    refused_ = false;
    if (!untested_question() || !save()) refused_ = true;
}

bool ModemPage::save() {
    Context& c = ctx();
    if (modem_.text.empty()) {
        c.unsaved_changes = false;
        return true;
    }
    entry_ = modem_.text;
    std::string route = route_name();
    std::string section = modem::ModemSectionName(entry_);
    std::string old_route = ini::read_string(c.ini.mmsc, "MMSC", "DefaultOutboundRoute", "", kFieldBuffer);
    bool renamed = !old_route.empty() && !equal_ignoring_case(old_route, route);
    // Only a plain name may become a folder of VASPOUT or be deleted there.
    for (const std::string* r : {&route, &old_route}) {
        if (!r->empty() && !plain_route_name(*r)) {
            refuse(Field::Modem, "The MMS route name \"" + *r +
                                     "\" is not a plain name: it can be neither created nor deleted.");
            return false;
        }
    }
    if (!fields_acceptable()) return false;
    c.unsaved_changes = false;

    std::vector<ini::ProfileWrite> rirer{{"RIRER", "Modem1", entry_}};
    if (!network_) {
        static const char* const kTo[] = {"", "ME", "SM", "Direct"};
        rirer.push_back(setting(section, "ReceiveTo", kTo[std::max(0, std::min(storage_.selected, 3))]));
    }
    rirer.push_back({section, "ReceiveSMS", receive_sms_.checked ? "Yes" : "No"});
    if (!network_) {
        const char* access = access_[2].selected ? "GPRS" : access_[1].selected ? "GSM" : "";
        rirer.push_back(setting(section, "SMSAccess", access));
    }
    bool receive_mms = send_mms_.checked && receive_mms_.checked;
    rirer.push_back({section, "ReceiveMMS", receive_mms ? "Yes" : "No"});
    if (receive_mms) rirer.push_back({"RIRER", "ReceiveSMS", "Yes"});

    std::vector<ini::ProfileWrite> mmsc;
    if (renamed) {
        // The old route goes entirely: its routing key too, so no orphan
        // route stays live.
        mmsc.push_back({kRoutingSection, route, std::nullopt});
        mmsc.push_back({kRoutingSection, route_account_name(old_route), std::nullopt});
        if (route_account_name(old_route) != old_route) mmsc.push_back({kRoutingSection, old_route, std::nullopt});
    }
    if (send_mms_.checked) {
        std::vector<ini::ProfileWrite> vasp{{"VASP", "Protocol", "MM1"}, {"VASP", "ForceSenderAddress", "Yes"}};
        std::string use_dial = network_ ? "" : "Yes";
        rirer.push_back(setting(section, "UseDial", use_dial));
        vasp.push_back(setting("VASP", "UseDial", use_dial));
        auto both = [&](const std::string& key, const std::string& value) {
            rirer.push_back(setting(section, key, value));
            vasp.push_back(setting("VASP", key, value));
        };
        std::string vasp_path = vasp_ini(c, route);
        if (network_) {
            vasp.push_back({"VASP", "Server", "ovrinsmsmodem_" + std::string(modem::device_identifier(entry_))});
            if (ini::read_string(vasp_path, "VASP", "MMSVersion").empty()) vasp.push_back({"VASP", "MMSVersion", "1.2"});
            both("OvrinsmsModemMMSURL", url_.text);
            both("OvrinsmsModemMMSProxy", proxy_.text);
        } else {
            std::string profile = chosen_profile();
            if (!profile.empty()) {
                both("UseModem", starts_with_ci(profile, kModemPrefix) ? profile.substr(7) : "");
                both("DialUpProfile", profile);
            } else {
                both("UseModem", entry_);
                both("DialUpProfile", kModemPrefix + entry_);
            }
            both("APN", apn_.text);
            both("APNLogin", login_.text);
            both("APNPass", password_.text);
            both("WAPGatewayIP", proxy_.text);
            rirer.push_back(setting(section, "MMSURL", url_.text));
            vasp.push_back(setting("VASP", "Server", url_.text));
        }
        // The route is complete before MMSC.INI names it.
        fs::create_directories(route_dir(c, route));
        ini::write_profiles(vasp_path, vasp);
        config::RouteRecord account;
        account.set_name(route);
        config::VASPOutAddUser(account);
        mmsc.push_back({"MMSC", "DefaultOutboundRoute", route});
        ini::write_profiles(c.ini.mmsc, mmsc);
        if (renamed) delete_route(c, old_route);
    } else {
        // No route is left named once its files are gone.
        mmsc.push_back({kRoutingSection, std::nullopt, std::nullopt});
        if (!old_route.empty()) mmsc.push_back({"MMSC", "DefaultOutboundRoute", std::nullopt});
        ini::write_profiles(c.ini.mmsc, mmsc);
        delete_route(c, route);
        if (renamed) delete_route(c, old_route);
    }
    ini::write_profiles(c.ini.rirer, rirer);
    c.current_modem = entry_;
    return true;
}

}  // namespace ovr::pages
