// ovrinsmsctl modem query / list --network: network modem devices, found in
// the simulated registry or typed as an address and port, asked "GET /init".
#include <algorithm>
#include <ostream>

#include "cli/console_ui.h"
#include "cli/netmodem.h"
#include "config/ini.h"
#include "config/modem_cache.h"
#include "config/text.h"
#include "modem/discovery.h"
#include "modem/entries.h"
#include "modem/network_device.h"
#include "pages/select_modem.h"
#include "platform/device_browser.h"
#include "platform/platform.h"

namespace ovr::cli {
namespace {

constexpr size_t kMaxSeconds = 3600;

bool take_seconds(Context& ctx, const Invocation& inv, const std::string& name, size_t& seconds, int& status) {
    if (inv.has(name) && (!parse_size(inv.value(name), seconds) || seconds > kMaxSeconds)) {
        status = usage_error(ctx, name + " takes a number of seconds (0 to 3600)");
        return false;
    }
    return true;
}

// "address:port" text: a host, a ':' and digits only.
bool has_port(std::string_view id) {
    std::string host;
    uint32_t port = 0;
    config::split_host_port(id, host, port, id.size() + 1);
    return !host.empty() && port > 0 && host.size() < id.size() && id.back() >= '0' && id.back() <= '9';
}

// The boxes of "modem choose" go to standard output with the Modem1 lines;
// the exchange, when asked for, to standard error.
class ChooseUi final : public ConsoleUi {
public:
    ChooseUi(std::ostream& out, std::ostream& err, bool transcript) : ConsoleUi(out, false), err_(err), transcript_(transcript) {}
    void progress(const std::string& line) override {
        if (transcript_) err_ << line << "\n";
    }

private:
    std::ostream& err_;
    bool transcript_;
};

// The device commands print their failures as "error: ...".
int device_error(Context& ctx, const std::string& message) {
    ctx.err << "error: " << message << "\n";
    return 1;
}

}  // namespace

int run_modem_list_network(Context& ctx, const Invocation& inv) {
    int status = 0;
    size_t wait = 3;
    if (!take_seconds(ctx, inv, "--wait", wait, status)) return status;
    bool addresses = inv.has("--addresses");
    platform::Platform p = platform::make_platform();
    std::string why;
    auto browser = platform::make_device_browser(p, why);
    if (inv.has("--all")) {
        // The Select Modem list: the local modems sorted ignoring case, then
        // the devices discovered, in discovery order.
        ConsoleUi ui(ctx.err, false);
        std::vector<std::string> list = modem::ListTapiModems(*p.tapi, ui);
        modem::sort_modem_names(list);
        if (browser) {
            config::set_modem_browser(std::move(browser));
            std::atomic<bool> keep_going{true};
            config::FindOvrinSMSModem(0, 0, static_cast<uint32_t>(wait), keep_going);
            modem::NetworkEntryMerger merger;
            merger.reset(list);
            merger.merge(list);
        }
        for (const auto& e : list) ctx.out << e << "\n";
        return 0;
    }
    if (!browser) return device_error(ctx, "network modem discovery unavailable: " + why);
    config::set_modem_browser(std::move(browser));
    std::atomic<bool> keep_going{true};
    if (config::FindOvrinSMSModem(0, 0, static_cast<uint32_t>(wait), keep_going, &why) ==
        platform::BrowseResult::Unavailable)
        return device_error(ctx, "network modem discovery unavailable: " + why);
    for (auto* r = config::OvrinsmsModemCacheHead(); r; r = r->link()) {
        ctx.out << modem::kNetworkModemPrefix << r->name;
        if (addresses) ctx.out << "\t" << config::cached_modem_address(r->name).value_or("");
        ctx.out << "\n";
    }
    return 0;
}

int run_modem_query(Context& ctx, const Invocation& inv) {
    int status = 0;
    size_t wait = 5, timeout = 120;
    bool mms = inv.has("--mms");
    bool transcript = inv.has("--transcript");
    if (!take_seconds(ctx, inv, "--wait", wait, status) || !take_seconds(ctx, inv, "--timeout", timeout, status))
        return status;
    std::string id(modem::device_identifier(inv.arg(0)));
    if (id.empty()) return usage_error(ctx, "modem query needs a device");

    platform::Platform p = platform::make_platform();
    if (!has_port(id)) {
        // A name: look for it among the devices discovered within the wait.
        std::string why;
        if (auto browser = platform::make_device_browser(p, why)) {
            std::atomic<bool> keep_going{true};
            browser->browse(static_cast<uint32_t>(wait), keep_going, [&](const platform::FoundDevice& d) {
                if (keep_going && config::equal_ignoring_case(d.name, id)) {
                    id = d.host_port();
                    keep_going = false;
                }
            }, why);
        }
    }
    ConsoleUi ui(ctx.err, false, transcript);
    modem::DeviceQueryOptions o;
    o.clock = p.clock.get();
    o.ui = &ui;
    o.limits.wait_ms = static_cast<uint32_t>(timeout * 1000);
    o.limits.idle_ms = std::min<uint32_t>(o.limits.idle_ms, o.limits.wait_ms + 1000);
    o.limits.overall_ms = std::min<uint32_t>(o.limits.overall_ms, o.limits.wait_ms + 1000);
    modem::DeviceInfo info;
    bool answered = modem::QueryNetworkModemInfo(id, info, o);
    bool ok = mms ? !info.mms_url.empty() : answered;
    if (!ok) return device_error(ctx, "Unable to connect to modem");
    ctx.out << "DeviceName: " << info.name << "\nDeviceID: " << info.id << "\nMMSURL: " << info.mms_url
            << "\nMMSProxy: " << info.mms_proxy << "\n";
    return 0;
}

int run_modem_choose(Context& ctx, const Invocation& inv) {
    int status = 0;
    size_t wait = 3;
    if (!take_seconds(ctx, inv, "--wait", wait, status)) return status;
    const std::string& text = inv.arg(0);
    if (text.empty()) return usage_error(ctx, "modem choose needs a modem name, a device entry or ADDRESS:PORT");

    platform::Platform p = platform::make_platform();
    std::string why;
    std::shared_ptr<platform::DeviceBrowser> browser = platform::make_device_browser(p, why);
    config::set_modem_browser(browser);
    std::string_view id = modem::device_identifier(text);
    if (browser && id.size() < text.size() && !has_port(id) && !config::cached_modem_address(id)) {
        // A discovered device's entry: find it first, as the page's list would.
        std::atomic<bool> keep_going{true};
        browser->browse(static_cast<uint32_t>(wait), keep_going, [&](const platform::FoundDevice& d) {
            config::cache_modem(d.name, d.host_port());
            if (config::equal_ignoring_case(d.name, id)) keep_going = false;
        }, why);
    }

    ChooseUi ui(ctx.out, ctx.err, inv.has("--transcript"));
    pages::Context pctx;
    pctx.dirs = ctx.dirs;
    pctx.ini = ctx.ini;
    pctx.ui = &ui;
    pctx.platform = &p;
    pages::SelectModemPage::Options options;
    options.discover = false;
    pages::SelectModemPage page(pctx, options);
    pages::NullPageSite site;
    page.created(site);
    page.set_text(text);
    if (!page.wizard_next()) return 1;
    const std::string& entry = pctx.current_modem;
    ctx.out << "Modem1: " << entry << "\n";
    if (modem::entry_kind(entry) == modem::EntryKind::NetworkDevice)
        ctx.out << "RouteName: "
                << config::ini::read_string(ctx.ini.rirer, modem::ModemSectionName(entry), "RouteName", "", 261) << "\n";
    return 0;
}

}  // namespace ovr::cli
