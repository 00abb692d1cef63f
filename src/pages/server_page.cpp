#include "pages/server_page.h"

#include "config/ini.h"
#include "config/settings.h"
#include "pages/status_page.h"
#include "service/control.h"
#include "service/status.h"

namespace ovr::pages {
namespace {

constexpr uint32_t kMaxPort = 65535;

uint32_t stored_port(const std::string& path, const char* section, const char* key) {
    return port_value(config::ini::read_string(path, section, key, "", 1024));
}

std::string port_text(uint32_t port) { return port ? std::to_string(port) : std::string(); }

bool set_text(TextField& f, const std::string& text) {
    if (f.text == text) return false;
    f.text = text;
    return true;
}

}  // namespace

uint32_t port_value(std::string_view text) {
    uint64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        n = n * 10 + static_cast<uint64_t>(c - '0');
        // "%u" stores any number: whatever is beyond the port range is as
        // unusable as 0, however many digits follow.
        if (n > kMaxPort) return 0;
    }
    return static_cast<uint32_t>(n);
}

ServerPorts load_server_ports(const config::IniPaths& ini) {
    ServerPorts p;
    p.web = stored_port(ini.rirer, "RIRER", "WebPort");
    if (p.web == 0) p.web = kDefaultWebPort;
    p.smpp = stored_port(ini.rirer, "RIRER", "SMPPPort");
    p.mm7 = stored_port(ini.mmsc, "MMSC", "WebPort");
    return p;
}

bool save_server_ports(const config::IniPaths& ini, const ServerPorts& p) {
    bool ok = config::write_number(ini.rirer, "RIRER", "WebPort", p.web ? p.web : kDefaultWebPort);
    ok = config::write_setting(ini.rirer, "RIRER", "SMPPPort", port_text(p.smpp)) && ok;
    ok = config::write_setting(ini.mmsc, "MMSC", "WebPort", port_text(p.mm7)) && ok;
    return ok;
}

std::optional<PortConflict> find_port_conflict(const ServerPorts& p) {
    if (p.smpp && p.smpp == p.web) return PortConflict{PortField::Smpp, p.smpp};
    if (p.mm7 && (p.mm7 == p.web || p.mm7 == p.smpp)) return PortConflict{PortField::Mm7, p.mm7};
    return std::nullopt;
}

std::string port_conflict_message(uint32_t port) {
    return "Port " + std::to_string(port) +
           " is used twice: the web interface, SMPP and MM7/EAIF ports must differ.";
}

std::string web_interface_url(const config::IniPaths& ini) {
    uint32_t port = stored_port(ini.rirer, "RIRER", "WebPort");
    if (port == 0) port = kDefaultWebPort;
    std::string host = config::ini::read_string(ini.rirer, "RIRER", "IPAddress", "", 500);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (host.empty() || host == "0.0.0.0") host = "127.0.0.1";
    else if (host == "::") host = "::1";
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    return "http://" + host + ":" + std::to_string(port) + "/";
}

ServerPage::ServerPage(Context& ctx, bool wizard, std::string console_dir)
    : PageModel(ctx), wizard_(wizard), console_dir_(std::move(console_dir)) {}

std::string ServerPage::title() const {
    return wizard_ ? "OvrinSMS Lite Setup Wizard:  Server Settings" : "Server";
}

void ServerPage::created(PageSite& site) {
    PageModel::created(site);
    load();
    refresh_status();
    touched();
}

void ServerPage::shown() {
    if (wizard_ && site()) site()->set_wizard_buttons(WizardButtons::BackNext);
}

void ServerPage::load() {
    loading_ = true;
    ServerPorts p = load_server_ports(ctx().ini);
    web_.text = std::to_string(p.web);
    smpp_.text = port_text(p.smpp);
    smpp_enable_.checked = p.smpp != 0;
    mm7_.text = port_text(p.mm7);
    mm7_enable_.checked = p.mm7 != 0;
    update_enabled();
    loading_ = false;
}

void ServerPage::update_enabled() {
    smpp_.enabled = smpp_label_.enabled = smpp_enable_.checked;
    mm7_.enabled = mm7_label_.enabled = mm7_enable_.checked;
}

ServerPorts ServerPage::ports() const {
    ServerPorts p;
    p.web = port_value(web_.text);
    if (p.web == 0) p.web = kDefaultWebPort;
    p.smpp = smpp_enable_.checked ? port_value(smpp_.text) : 0;
    p.mm7 = mm7_enable_.checked ? port_value(mm7_.text) : 0;
    return p;
}

void ServerPage::set_port_text(PortField field, const std::string& text) {
    TextField& f = field == PortField::Web ? web_ : field == PortField::Smpp ? smpp_ : mm7_;
    if (!set_text(f, text)) return;
    touched();
    if (!loading_) edited();
}

void ServerPage::click_enable(PortField field) {
    if (field == PortField::Web) return;
    CheckBox& box = field == PortField::Smpp ? smpp_enable_ : mm7_enable_;
    box.checked = !box.checked;
    update_enabled();
    touched();
    if (!loading_) edited();
}

bool ServerPage::ports_usable() {
    auto conflict = find_port_conflict(ports());
    if (!conflict) return true;
    ui().error(port_conflict_message(conflict->port));
    focus_ = conflict->field;
    touched();
    return false;
}

void ServerPage::apply() {
    // The fields keep what was typed; only the stored values follow the rules.
    saved_ = save_server_ports(ctx().ini, ports());
    if (!saved_) ui().error("The ports could not be saved in " + ctx().ini.rirer + " and " + ctx().ini.mmsc + ".");
    else
        ctx().unsaved_changes = false;
}

void ServerPage::refresh_status() {
    if (busy_ || !ctx().platform) return;
    platform::Platform& p = *ctx().platform;
    bool running = service::sms_service_running(p) || service::mmsc_service_running(p);
    bool installed = service::sms_service_installed(p) && service::mmsc_service_installed(p);
    bool changed = update_label(status_, running ? "Active" : "Not Active", false);
    const char* label = running ? "Stop Service" : installed ? "Start Service" : "Install Service";
    if (button_.label != label) {
        button_.label = label;
        changed = true;
    }
    if (changed) touched();
}

void ServerPage::run_service_operation(const char* what, bool stop) {
    busy_ = true;
    auto work = [&] {
        BusyScope scope(ui(), what);
        service::ServiceControl control(*ctx().platform, ui(), console_dir_);
        if (stop)
            control.stop(false);
        else
            control.install_and_start(false);
    };
    if (ctx().run_busy)
        ctx().run_busy("Please wait...", what, work);
    else
        work();
    busy_ = false;
}

void ServerPage::press_service_button() {
    if (busy_ || !ctx().platform) return;
    platform::Platform& p = *ctx().platform;
    if (service::sms_service_running(p) || service::mmsc_service_running(p)) {
        run_service_operation("Stopping Services...", true);
    } else {
        if (ctx().unsaved_changes) {
            Answer a = ui().ask_yes_no_cancel(kSaveQuestion);
            // Cancel means the user thought better of it: nothing happens.
            if (a == Answer::Cancel) return;
            if (a == Answer::Yes) {
                if (!site() || !site()->apply_all()) return;
                ctx().unsaved_changes = false;
            }
        }
        run_service_operation("Installing Services...", false);
    }
    refresh_status();
}

bool ServerPage::wizard_next() {
    if (!ports_usable()) return false;
    apply();
    if (ctx().platform) run_service_operation("Installing Services...", false);
    // The install's own messages were the user's news; the wizard goes on.
    return true;
}

}  // namespace ovr::pages
