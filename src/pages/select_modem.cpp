#include "pages/select_modem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "config/ini.h"
#include "config/text.h"
#include "modem/channel.h"
#include "modem/entries.h"
#include "modem/sequences.h"

namespace ovr::pages {

namespace {

bool has_device_prefix(std::string_view text) {
    return text.size() >= modem::kNetworkModemPrefix.size() &&
           config::equal_ignoring_case(text.substr(0, modem::kNetworkModemPrefix.size()), modem::kNetworkModemPrefix);
}

}  // namespace

SelectModemPage::SelectModemPage(Context& ctx, Options options) : PageModel(ctx), options_(options) {
    test_and_add_.visible = false;
    cancel_.visible = false;
}

SelectModemPage::~SelectModemPage() { worker_.reset(); }

void SelectModemPage::created(PageSite& site) {
    PageModel::created(site);
    if (options_.discover && ctx().platform) {
        worker_ = std::make_unique<modem::DiscoveryWorker>(ctx().platform->clock, options_.pass_seconds,
                                                           options_.pause_ms, [this] { device_appended(); });
        worker_->start();
    }
    fill(true);
    std::string modem1 = config::ini::read_string(ctx().ini.rirer, "RIRER", "Modem1", "", 261);
    select_text(std::string(modem::cut_at_character(modem1, kMaxEntry)));
    touched();
}

void SelectModemPage::shown() {
    if (site()) site()->set_wizard_buttons(WizardButtons::Next);
}

void SelectModemPage::fill(bool show_failure) {
    items_.clear();
    selected_.reset();
    if (ctx().platform) {
        // A refill happens each time the window comes back; a box there would
        // bring it back again when closed, so only the first fill may show one.
        ScriptedUi quiet;
        items_ = modem::ListTapiModems(*ctx().platform->tapi, show_failure ? ui() : quiet);
    }
    modem::sort_modem_names(items_);
    merger_.reset(items_);
    merger_.merge(items_);
}

void SelectModemPage::select_text(const std::string& entry) {
    if (entry.empty()) return;
    auto it = std::find(items_.begin(), items_.end(), entry);
    if (it == items_.end()) return;
    selected_ = static_cast<size_t>(it - items_.begin());
    text_ = entry;
}

void SelectModemPage::set_discovery_wake(std::function<void()> wake) {
    std::lock_guard lock(wake_mu_);
    wake_ = std::move(wake);
}

void SelectModemPage::device_appended() {
    std::lock_guard lock(wake_mu_);
    // acq_rel on both sides: a tick that clears the flag sees every record
    // appended before the wake that set it.
    if (wake_ && !wake_pending_.exchange(true, std::memory_order_acq_rel)) wake_();
}

void SelectModemPage::tick() {
    wake_pending_.exchange(false, std::memory_order_acq_rel);
    if (busy_) return;
    if (merger_.merge(items_) > 0) touched();
}

void SelectModemPage::window_activated() {
    if (busy_) return;
    std::optional<std::string> remembered;
    if (selected_) remembered = items_[*selected_];
    fill(false);
    if (remembered) select_text(*remembered);
    touched();
}

void SelectModemPage::click_item(size_t i) {
    if (busy_ || i >= items_.size()) return;
    selected_ = i;
    text_ = std::string(modem::cut_at_character(items_[i], kMaxEntry));
    touched();
}

void SelectModemPage::set_text(const std::string& text) {
    if (busy_) return;
    text_ = std::string(modem::cut_at_character(text, kMaxEntry));
    touched();
}

void SelectModemPage::run_busy(const std::string& text, const std::function<void()>& work) {
    busy_ = true;
    if (ctx().run_busy)
        ctx().run_busy("Please wait...", text, work);
    else
        work();
    busy_ = false;
}

bool SelectModemPage::query_device(const std::string& identifier) {
    modem::DeviceQueryOptions o;
    o.clock = ctx().platform ? ctx().platform->clock.get() : nullptr;
    o.ui = &ui();
    o.limits = options_.limits;
    o.connect_timeout_ms = options_.connect_timeout_ms;
    bool ok = false;
    run_busy("Connecting to modem...", [&] {
        {
            BusyScope scope(ui(), "Connecting to modem...");
            ok = modem::QueryNetworkModem(identifier, o);
        }
        // Shown over the exchange, which stays readable behind it.
        if (!ok) ui().error(kUnableToConnect);
    });
    return ok;
}

bool SelectModemPage::test_local_modem(const std::string& name) {
    if (!ctx().platform) return false;
    platform::Platform& p = *ctx().platform;
    modem::ModemAccess acc{*p.comm_ports, *p.tapi, *p.registry, *p.clock, ui(), ctx().ini.rirer};
    bool ok = false;
    run_busy("Testing modem...", [&] { ok = modem::TestModem(acc, name, ""); });
    return ok;
}

bool SelectModemPage::store(const std::string& entry, const char* key, std::optional<std::string> value) {
    const std::string& ini = ctx().ini.rirer;
    std::string section = modem::ModemSectionName(entry);
    // The section's key first: when anything fails, Modem1 still names the
    // modem it named before, whose settings are untouched.
    errno = 0;
    bool ok = value ? config::ini::write_string(ini, section, key, *value) : config::ini::remove_key(ini, section, key);
    if (ok) ok = config::ini::write_string(ini, "RIRER", "Modem1", entry);
    if (!ok) {
        int e = errno;
        ui().error("Unable to save the modem in " + ini + ":  " +
                   (e ? std::string(std::strerror(e)) : std::string("the file could not be written")));
        return false;
    }
    ctx().current_modem = entry;
    return true;
}

bool SelectModemPage::wizard_next() {
    if (busy_ || text_.empty()) return false;
    const std::string text = text_;
    if (has_device_prefix(text)) {
        std::string id(modem::device_identifier(text));
        if (!query_device(id)) return false;
        return store(text, "RouteName", id);
    }
    if (std::find(items_.begin(), items_.end(), text) == items_.end()) {
        // An address and port typed in.
        if (modem::kNetworkModemPrefix.size() + text.size() > kMaxEntry) {
            ui().error(kUnableToConnect);
            return false;
        }
        if (!query_device(text)) return false;
        return store(std::string(modem::kNetworkModemPrefix) + text, "RouteName", modem::device_route_name(text));
    }
    if (!test_local_modem(text)) return false;
    return store(text, "PIN", std::nullopt);
}

}  // namespace ovr::pages
