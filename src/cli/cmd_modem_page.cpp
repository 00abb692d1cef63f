// ovrinsmsctl modem settings|set|mms-test: the Modem page from a shell. The
// commands drive the page's own model, so they show what the page shows and
// write what its Apply writes, with the same checks and messages. The hidden
// "/MODEMTEST" is the elevated copy the operator test starts.
#include <iostream>
#include <ostream>

#include "cli/cli.h"
#include "cli/console_ui.h"
#include "cli/json_text.h"
#include "gprs/connection_test.h"
#include "pages/modem_page.h"
#include "platform/platform.h"

namespace ovr::cli {
namespace {

using pages::ModemPage;
using F = ModemPage::Field;

struct NullSite : pages::PageSite {
    void mark_changed(pages::PageModel&) override {}
    bool apply_all() override { return true; }
    bool query_unsaved() override { return false; }
    void set_wizard_buttons(pages::WizardButtons) override {}
    void press_button(pages::SheetButton) override {}
};

// The page, loaded as it would be on the main sheet.
struct PageRun {
    platform::Platform platform = platform::make_platform();
    ConsoleUi ui;
    pages::Context pctx;
    NullSite site;
    std::unique_ptr<ModemPage> page;
    PageRun(Context& ctx, bool yes) : ui(ctx.err, yes) {
        pctx.dirs = ctx.dirs;
        pctx.ini = ctx.ini;
        pctx.ui = &ui;
        pctx.platform = &platform;
        page = std::make_unique<ModemPage>(pctx);
        page->created(site);
    }
};

const char* kAccessWords[] = {"default", "gsm", "gprs"};
const char* kStorageWords[] = {"default", "device", "sim", "direct"};

struct Row {
    const char* key;
    std::string value;
    bool flag;  // a yes/no setting
    bool shown;
};

std::vector<Row> rows(const ModemPage& p) {
    auto yes = [](bool b) { return std::string(b ? "yes" : "no"); };
    int access = p.sms_access(ModemPage::Access::Gprs).selected ? 2 : p.sms_access(ModemPage::Access::Gsm).selected ? 1 : 0;
    int storage = std::max(0, std::min(p.storage().selected, 3));
    const auto& conn = p.connection();
    std::string connection = p.non_standard().checked && conn.selected >= 0 ? conn.items[static_cast<size_t>(conn.selected)] : "";
    bool local = !p.network_modem();
    return {
        {"modem", p.modem().text, false, true},
        {"kind", p.modem_kind().text, false, true},
        {"sms-access", kAccessWords[access], false, local},
        {"receive-sms", yes(p.receive_sms().checked), true, true},
        {"storage", kStorageWords[storage], false, local},
        {"send-mms", yes(p.send_mms().checked), true, true},
        {"use-default", yes(p.use_default().checked), true, !local},
        {"apn", p.text(F::Apn).text, false, local},
        {"apn-login", p.text(F::ApnLogin).text, false, local},
        // A stored password is never printed: only whether there is one.
        {"apn-password", p.text(F::ApnPass).text.empty() ? "" : "(set)", false, local},
        {"proxy", p.text(F::Proxy).text, false, true},
        {"url", p.text(F::Url).text, false, true},
        {"connection", connection, false, local},
        {"receive-mms", yes(p.receive_mms().checked), true, true},
        {"route", p.route_name(), false, !p.modem().text.empty()},
    };
}

int settings(Context& ctx, const Invocation& inv) {
    PageRun run(ctx, false);
    std::vector<Row> r = rows(*run.page);
    if (inv.has("--json")) {
        ctx.out << "{";
        bool first = true;
        for (const Row& row : r) {
            if (!row.shown) continue;
            ctx.out << (first ? "" : ", ") << json_quote(row.key) << ": ";
            if (row.flag)
                ctx.out << (row.value == "yes" ? "true" : "false");
            else
                ctx.out << json_quote(row.value);
            first = false;
        }
        ctx.out << "}\n";
        return 0;
    }
    for (const Row& row : r)
        if (row.shown) ctx.out << row.key << ": " << row.value << "\n";
    return 0;
}

int index_of(const char* const* words, size_t n, const std::string& w) {
    for (size_t i = 0; i < n; ++i)
        if (w == words[i]) return static_cast<int>(i);
    return -1;
}

// Sets one key on the page as a user would; an error text when refused.
std::string set_one(ModemPage& p, const std::string& key, const std::string& value) {
    auto flag = [&](const pages::CheckBox& box, void (ModemPage::*click)()) -> std::string {
        if (value != "yes" && value != "no") return key + " takes yes or no";
        if (!box.visible) return key + " does not apply to this modem";
        if ((value == "yes") != box.checked) {
            if (!box.enabled) return key + " cannot be changed now (see \"modem settings\")";
            (p.*click)();
        }
        return {};
    };
    auto text = [&](F f) -> std::string {
        const auto& t = p.text(f);
        if (!t.visible) return key + " does not apply to this modem";
        if (!t.enabled) return key + " cannot be changed now (see \"modem settings\")";
        p.edit(f, value);
        return {};
    };
    bool local = !p.network_modem();
    if (key == "sms-access") {
        int i = index_of(kAccessWords, 3, value);
        if (i < 0) return "sms-access takes default, gsm or gprs";
        if (!local) return key + " does not apply to this modem";
        p.click_sms_access(static_cast<ModemPage::Access>(i));
        return {};
    }
    if (key == "storage") {
        int i = index_of(kStorageWords, 4, value);
        if (i < 0) return "storage takes default, device, sim or direct";
        if (!local) return key + " does not apply to this modem";
        if (!p.storage().enabled) return key + " cannot be changed now (see \"modem settings\")";
        p.select_storage(i);
        return {};
    }
    if (key == "receive-sms") return flag(p.receive_sms(), &ModemPage::click_receive_sms);
    if (key == "send-mms") return flag(p.send_mms(), &ModemPage::click_send_mms);
    if (key == "use-default") return flag(p.use_default(), &ModemPage::click_use_default);
    if (key == "receive-mms") return flag(p.receive_mms(), &ModemPage::click_receive_mms);
    if (key == "apn") return text(F::Apn);
    if (key == "apn-login") return text(F::ApnLogin);
    if (key == "proxy") return text(F::Proxy);
    if (key == "url") return text(F::Url);
    if (key == "connection") {
        if (!local) return key + " does not apply to this modem";
        if (value.empty()) {
            if (p.non_standard().checked) p.click_non_standard();
            return {};
        }
        const auto& items = p.connection().items;
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i] != value) continue;
            if (!p.non_standard().checked) p.click_non_standard();
            p.select_connection(static_cast<int>(i));
            return {};
        }
        return "no network connection \"" + value + "\" on this machine";
    }
    return "unknown setting \"" + key + "\"";
}

bool read_password(std::string& out) {
    if (!std::getline(std::cin, out) && out.empty()) return false;
    if (!out.empty() && out.back() == '\r') out.pop_back();
    return true;
}

int set(Context& ctx, const Invocation& inv) {
    if (inv.size() % 2 != 0) return usage_error(ctx, "settings come in KEY VALUE pairs");
    PageRun run(ctx, false);
    ModemPage& p = *run.page;
    if (p.modem().text.empty()) return failure(ctx, "no modem is configured (run the wizard or set RIRER Modem1)");
    for (size_t i = 0; i < inv.size(); i += 2) {
        std::string refused = set_one(p, inv.arg(i), inv.arg(i + 1));
        if (!refused.empty()) return usage_error(ctx, refused);
    }
    if (inv.has("--password-stdin")) {
        std::string pw;
        if (!read_password(pw)) return failure(ctx, "no password on standard input");
        if (!p.text(F::ApnPass).visible) return usage_error(ctx, "apn-password does not apply to this modem");
        p.edit(F::ApnPass, pw);
    }
    // A shell has no one to ask: the settings are saved untested, as when
    // the page's question is answered No ("modem mms-test" tests them).
    return p.save() ? 0 : 1;
}

int mms_test(Context& ctx, const Invocation& inv) {
    PageRun run(ctx, inv.has("--yes"));
    ModemPage& p = *run.page;
    if (!p.test().visible) return failure(ctx, "a network modem device is not tested here");
    const std::pair<const char*, F> given[] = {
        {"--apn", F::Apn}, {"--user", F::ApnLogin}, {"--proxy", F::Proxy}, {"--mmsc", F::Url}};
    for (const auto& [opt, f] : given)
        if (inv.has(opt)) p.edit(f, inv.value(opt));
    if (inv.has("--password-stdin")) {
        std::string pw;
        if (!read_password(pw)) return failure(ctx, "no password on standard input");
        p.edit(F::ApnPass, pw);
    }
    p.press_test();
    return p.tested() ? 0 : 1;
}

int modem_test_switch(Context& ctx, const Invocation&) {
    platform::Platform plat = platform::make_platform();
    ConsoleUi ui(ctx.err, false);
    gprs::TestEnv env;
    env.dirs = ctx.dirs;
    env.ui = &ui;
    env.platform = &plat;
    gprs::RunModemTestSwitch(env, gprs::GprsLibrary::instance(&plat));
    return 0;
}

Registrar reg({
    "modem",
    "the local modems and the modem test",
    {
        {"settings", "", "print what the Modem page shows",
         {{"--json", nullptr, "one JSON object: the keys below, yes/no settings as true/false"}},
         &settings,
         "Keys: modem, kind, sms-access, receive-sms, storage, send-mms, use-default\n"
         "(network devices), apn, apn-login, apn-password (\"(set)\" when one is stored,\n"
         "never the password), proxy, url, connection, receive-mms, route.\n"},
        {"set", "[SETTING...]", "change the Modem page's settings and apply them",
         {{"--password-stdin", nullptr, "read the APN password from the first line of standard input"}},
         &set,
         "SETTING is KEY VALUE, KEY one of sms-access (default|gsm|gprs), receive-sms, send-mms, use-default,\n"
         "receive-mms (yes|no), storage (default|device|sim|direct), apn, apn-login, proxy,\n"
         "url, connection (a name from the machine's list; \"\" for the modem itself).\n"
         "The page's rules apply: a setting the page disables cannot be set. Apply's\n"
         "checks refuse with the page's message (exit 1); the settings are saved\n"
         "untested, as when the page's question is answered No.\n"},
        {"mms-test", "", "test the operator MMS settings with a real data connection",
         {{"--apn", "A", "the MMS APN (default: the stored one)"},
          {"--mmsc", "URL", "the MMS server URL"},
          {"--proxy", "HOST:PORT", "the MMS proxy (WAP gateway)"},
          {"--user", "U", "the APN login name"},
          {"--password-stdin", nullptr, "read the APN password from the first line of standard input"},
          {"--yes", nullptr, "answer Yes to the questions (elevation, reboot)"}},
         &mms_test,
         "Every message of the test is printed on standard error; exit 0 when the\n"
         "verdict is \"Connection Test OK!\". Nothing is saved.\n"},
    },
});

Registrar reg_switch({"/MODEMTEST", "", {{"", "", "the elevated operator test", {}, &modem_test_switch}}, nullptr, true});

}  // namespace
}  // namespace ovr::cli
