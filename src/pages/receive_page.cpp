#include "pages/receive_page.h"

#include <algorithm>

#include "config/ini.h"
#include "config/records.h"
#include "config/settings.h"
#include "config/support.h"
#include "config/text.h"
#include "keywords/editing.h"
#include "keywords/table.h"
#include "modem/entries.h"
#include "nettest/mm7.h"
#include "nettest/tls_library.h"
#include "pages/keyword_dialog.h"
#include "pages/mm7_dialog.h"
#include "platform/fs.h"

namespace ovr::pages {
namespace ini = config::ini;

namespace {

constexpr const char* kRirer = "RIRER";

bool less_ignoring_case(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return config::lower_char(x) < config::lower_char(y); });
}

// The row of an entry: the entry alone, or followed by its actions.
bool row_of(const std::string& row, const std::string& entry) {
    size_t tab = row.find('\t');
    return config::equal_ignoring_case(std::string_view(row).substr(0, tab), entry);
}

std::string entry_of(const std::string& row) { return row.substr(0, row.find('\t')); }

// The users who take received messages, sorted by name.
std::vector<std::string> receiving_users(const std::string& program_data) {
    std::vector<std::string> names;
    config::UserFileHandle file;
    if (!config::open_user_file(program_data, config::kGenericRead, file)) return names;
    config::UserRecord r;
    for (uint32_t i = 0; config::SMSGetUserRecord(file, i, r); ++i)
        if (r.accept_received() && !r.name().empty()) names.push_back(r.name());
    config::SMSCloseUserFile(file);
    std::sort(names.begin(), names.end(), less_ignoring_case);
    return names;
}

}  // namespace

ReceivePage::ReceivePage(Context& ctx, std::optional<nettest::PhpSearch> php) : PageModel(ctx), php_(std::move(php)) {}

void ReceivePage::created(PageSite& site) {
    PageModel::created(site);
    load();
}

void ReceivePage::edit() {
    if (loading_) return;
    edited();
}

bool ReceivePage::php_available() {
    nettest::PhpSearch search = php_ ? *php_ : nettest::php_search_from_environment();
    return nettest::find_php(ctx().ini.rirer, search).has_value();
}

void ReceivePage::show_php_location(bool on) {
    if (!on) {
        php_location_.text.clear();
        return;
    }
    std::string dir = nettest::php_directory(ctx().ini.rirer, ctx().dirs.program_data);
    platform::fs::create_directories(dir);
    php_location_.text = std::string("http://") + kPhpPseudoHost + "/php resolves to " + dir;
}

void ReceivePage::fill_users() {
    for (const std::string& name : receiving_users(ctx().dirs.program_data)) {
        if (users_.find(name) >= 0) continue;
        std::string keep = users_.current();
        auto at = std::upper_bound(users_.items.begin() + 1, users_.items.end(), name, less_ignoring_case);
        users_.items.insert(at, name);
        if (users_.selected >= 0) users_.selected = users_.find(keep);
    }
}

void ReceivePage::load() {
    loading_ = true;
    const std::string& rirer = ctx().ini.rirer;
    ini::Snapshot f = ini::snapshot(rirer);
    auto yes = [&](const std::string& section, const char* key) {
        return config::is_yes_value(f.read_string(section, key, "", 1024));
    };
    std::string modem = f.read_string(kRirer, "Modem1", "", 250);
    modem_section_ = modem.empty() ? std::string() : modem::ModemSectionName(modem);

    // 1-3
    post_url_.visible = mms_routes_[static_cast<size_t>(MmsRoute::PostUrl)].visible = false;
    process_sms_.checked = yes(kRirer, "ReceiveSMS");
    users_.items = {""};
    users_.selected = 0;
    fill_users();
    // 4-5
    bool post = false;
    if (!modem_section_.empty()) {
        std::string user = f.read_string(modem_section_, "RouteLocal", "", 1024);
        int i = user.empty() ? -1 : users_.find(user);
        if (i > 0) {
            users_.selected = i;
            route_user_.selected = true;
            process_sms_.checked = true;
        }
        std::string routing = f.read_string(modem_section_, "MMSRouting", "", 1024);
        if (routing.empty()) {
            mms_routes_[static_cast<size_t>(MmsRoute::SmsCommands)].selected = yes(kRirer, "2WayMMSToSMS");
            if (!mms_routes_[static_cast<size_t>(MmsRoute::SmsCommands)].selected) {
                std::string url = f.read_string(kRirer, "2WayMMSPostURL", "", 1024);
                if (!url.empty()) {
                    post = true;
                    mms_routes_[static_cast<size_t>(MmsRoute::PostUrl)].selected = true;
                    post_url_.text = url;
                }
            }
        } else if (config::equal_ignoring_case(routing, nettest::kMm7Route)) {
            mms_routes_[static_cast<size_t>(MmsRoute::Mm7)].selected = true;
        } else if (routing.find('@') != std::string::npos) {
            mms_routes_[static_cast<size_t>(MmsRoute::Email)].selected = true;
            email_.text = routing;
        }
    }
    if (post) post_url_.visible = mms_routes_[static_cast<size_t>(MmsRoute::PostUrl)].visible = true;
    // 6-7
    if (!route_user_.selected) use_commands_.selected = true;
    bool any = false;
    for (size_t r = 1; r < mms_routes_.size(); ++r) any = any || mms_routes_[r].selected;
    if (!any) mms_routes_[static_cast<size_t>(MmsRoute::MmsIn)].selected = true;
    // 8-9
    charsets_.items = {kDefaultCharset};
    if (ctx().platform && ctx().platform->registry)
        for (auto& name : ctx().platform->registry->mime_charsets()) charsets_.items.push_back(std::move(name));
    if (!charsets_.select(f.read_string(kRirer, "ReceiveSMSCharset", "utf-8", 1024))) charsets_.selected = 0;
    // 10-11
    refill_rows({});
    selected_row_ = rows_.empty() ? -1 : 0;
    if (process_sms_.checked) process_mms_.checked = yes(kRirer, "ReceiveMMS");
    // 12-14
    apply_enable_rules();
    php_enable_.checked = yes(kRirer, "PHPEnable") && php_available();
    php_remote_.enabled = php_enable_.checked;
    show_php_location(php_enable_.checked);
    php_remote_.checked = yes(kRirer, "PHPAllowRemote");
    loading_ = false;
    touched();
}

void ReceivePage::apply_enable_rules() {
    bool sms = process_sms_.checked;
    route_user_.enabled = use_commands_.enabled = sms;
    users_.enabled = sms && route_user_.selected;
    table_enabled_ = sms && use_commands_.selected;
    table_label_.visible = true;
    add_.enabled = edit_.enabled = remove_.enabled = charsets_.enabled = table_enabled_;
    process_mms_.enabled = sms;
    bool mms = sms && process_mms_.checked;
    for (auto& r : mms_routes_) r.enabled = mms;
    configure_.enabled = mms && mms_routes_[static_cast<size_t>(MmsRoute::Mm7)].selected;
    email_.enabled = mms && mms_routes_[static_cast<size_t>(MmsRoute::Email)].selected;
    post_url_.enabled = mms && mms_routes_[static_cast<size_t>(MmsRoute::PostUrl)].selected;
    view_sms_.enabled = view_mms_.enabled = true;
    touched();
}

void ReceivePage::refill_rows(const std::string& select_entry) {
    ini::Snapshot f = ini::snapshot(ctx().ini.rirer);
    rows_.clear();
    for (const std::string& entry : keywords::enumerate(f)) rows_.push_back(keywords::row_text(f, entry));
    std::stable_sort(rows_.begin(), rows_.end(), less_ignoring_case);
    if (!select_entry.empty()) {
        selected_row_ = -1;
        for (size_t i = 0; i < rows_.size(); ++i)
            if (row_of(rows_[i], select_entry)) {
                selected_row_ = static_cast<int>(i);
                break;
            }
    }
    touched();
}

void ReceivePage::shown() {
    // Users who now take received messages join the list; none leave it
    // while the sheet is open.
    fill_users();
    touched();
}

void ReceivePage::click_process_sms() {
    process_sms_.checked = !process_sms_.checked;
    apply_enable_rules();
    edit();
}

void ReceivePage::choose_sms_route(bool to_user) {
    route_user_.selected = to_user;
    use_commands_.selected = !to_user;
    apply_enable_rules();
    edit();
}

void ReceivePage::select_user(int index) {
    if (index < 0 || static_cast<size_t>(index) >= users_.items.size()) return;
    users_.selected = index;
    touched();
    edit();
}

void ReceivePage::select_charset(int index) {
    if (index < 0 || static_cast<size_t>(index) >= charsets_.items.size()) return;
    charsets_.selected = index;
    touched();
    edit();
}

void ReceivePage::click_process_mms() {
    process_mms_.checked = !process_mms_.checked;
    apply_enable_rules();
    edit();
}

void ReceivePage::choose_mms_route(MmsRoute route) {
    for (size_t r = 0; r < mms_routes_.size(); ++r) mms_routes_[r].selected = r == static_cast<size_t>(route);
    apply_enable_rules();
    edit();
}

void ReceivePage::set_email(std::string_view text) {
    email_.text = cut_at_character(text, 1023);
    touched();
    edit();
}

void ReceivePage::set_post_url(std::string_view text) {
    post_url_.text = cut_at_character(text, 1023);
    touched();
    edit();
}

void ReceivePage::click_php_enable() {
    php_enable_.checked = !php_enable_.checked;
    if (php_enable_.checked && !php_available()) {
        php_enable_.checked = false;
        touched();
        ui().error(nettest::kPhpUnavailable);
    }
    php_remote_.enabled = php_enable_.checked;
    show_php_location(php_enable_.checked);
    touched();
    edit();
}

void ReceivePage::click_php_remote() {
    php_remote_.checked = !php_remote_.checked;
    touched();
    edit();
}

void ReceivePage::select_row(int index) {
    selected_row_ = (index >= 0 && static_cast<size_t>(index) < rows_.size()) ? index : -1;
    touched();
}

void ReceivePage::press_add() {
    if (!ctx().windows) return;
    KeywordDialog d(ctx(), "");
    if (!ctx().windows->run_keyword_dialog(d)) return;
    refill_rows(d.entry());
}

void ReceivePage::press_edit() {
    if (selected_row_ < 0 || !ctx().windows) return;
    KeywordDialog d(ctx(), entry_of(rows_[static_cast<size_t>(selected_row_)]));
    if (!ctx().windows->run_keyword_dialog(d)) return;
    refill_rows(d.entry());
}

void ReceivePage::press_remove() {
    if (selected_row_ < 0) return;
    int at = selected_row_;
    std::string entry = entry_of(rows_[static_cast<size_t>(at)]);
    // An entry that is gone already only leaves the list.
    if (!keywords::remove_entry(ctx().ini.rirer, entry) &&
        keywords::find_entry(ini::snapshot(ctx().ini.rirer), entry))
        ui().error("Unable to write " + ctx().ini.rirer);
    refill_rows({});
    selected_row_ = rows_.empty() ? -1 : std::min(at, static_cast<int>(rows_.size()) - 1);
    touched();
}

void ReceivePage::press_configure() {
    if (!ctx().windows) return;
    Mm7Dialog d(ctx(), nettest::TlsLibrary::instance());
    ctx().windows->run_mm7_dialog(d);
}

void ReceivePage::press_view(ViewerKind kind) {
    if (ctx().windows) ctx().windows->open_queue_viewer(kind);
}

bool ReceivePage::left() {
    focus_.reset();
    if (!process_sms_.checked) return true;
    auto refuse = [&](const char* message, Focus f) {
        focus_ = f;
        touched();
        ui().error(message);
        return false;
    };
    if (route_user_.selected && users_.selected <= 0) return refuse(kSelectUser, Focus::Users);
    if (!process_mms_.checked) return true;
    if (mms_routes_[static_cast<size_t>(MmsRoute::Mm7)].selected &&
        ini::read_string(nettest::mm7_vasp_ini(ctx().dirs.program_data), "VASP", "Server", "", 1024).empty())
        return refuse(kConfigureMm7, Focus::Configure);
    // Apply would drop an address without "@" unseen.
    if (mms_routes_[static_cast<size_t>(MmsRoute::Email)].selected && email_.text.find('@') == std::string::npos)
        return refuse(kInvalidAddress, Focus::Email);
    return true;
}

void ReceivePage::apply() {
    using W = ini::ProfileWrite;
    auto yes_no = [](bool on) { return std::optional<std::string>(config::yes_no(on)); };
    auto text = [](std::string v) { return v.empty() ? std::nullopt : std::optional<std::string>(std::move(v)); };
    const bool modem = !modem_section_.empty();
    std::vector<W> w;
    w.push_back({kRirer, "ReceiveSMS", yes_no(process_sms_.checked)});
    w.push_back({kRirer, "ReceiveMMS", yes_no(process_sms_.checked && process_mms_.checked)});
    w.push_back({kRirer, "PHPEnable", yes_no(php_enable_.checked)});
    w.push_back({kRirer, "PHPAllowRemote", yes_no(php_remote_.checked)});
    if (modem)
        w.push_back({modem_section_, "RouteLocal",
                     route_user_.selected && users_.selected > 0 ? text(users_.current()) : std::nullopt});
    w.push_back({kRirer, "ReceiveSMSCharset", charsets_.selected > 0 ? text(charsets_.current()) : std::nullopt});
    if (modem) {
        auto route = [&](MmsRoute r) { return mms_routes_[static_cast<size_t>(r)].selected; };
        std::optional<std::string> routing;
        if (route(MmsRoute::Mm7))
            routing = nettest::kMm7Route;
        else if (route(MmsRoute::Email) && email_.text.find('@') != std::string::npos)
            routing = email_.text;
        w.push_back({modem_section_, "MMSRouting", routing});
        w.push_back({kRirer, "2WayMMSToSMS", route(MmsRoute::SmsCommands) ? yes_no(true) : std::nullopt});
        std::optional<std::string> url;
        if (route(MmsRoute::PostUrl) && !post_url_.text.empty()) {
            if (post_url_.text.find("://") == std::string::npos) post_url_.text = "http://" + post_url_.text;
            url = post_url_.text;
        }
        w.push_back({kRirer, "2WayMMSPostURL", url});
    }
    applied_ = ini::write_profiles(ctx().ini.rirer, w);
    touched();
    if (!applied_) {
        ui().error("Unable to write " + ctx().ini.rirer);
        return;
    }
    ctx().unsaved_changes = false;
}

}  // namespace ovr::pages
