// ovrinsmsctl receive ...: what the gateway does with received SMS and MMS,
// as the 2-Way page loads, checks and applies it.
#include <ostream>

#include "cli/cli.h"
#include "cli/diagnose.h"
#include "cli/dialog_twin.h"
#include "cli/json_text.h"
#include "pages/receive_page.h"

namespace ovr::cli {
namespace {

using Page = pages::ReceivePage;
using Route = Page::MmsRoute;

// The page runs in no sheet here.
struct NoSheet : pages::PageSite {
    void mark_changed(pages::PageModel&) override {}
    bool apply_all() override { return true; }
    bool query_unsaved() override { return false; }
    void set_wizard_buttons(pages::WizardButtons) override {}
    void press_button(pages::SheetButton) override {}
};

struct Twin {
    explicit Twin(Context& ctx) : platform(platform::make_platform()), ui(ctx.err), tc(ctx, &platform, ui), page(tc.pages) {
        page.created(site);
    }
    platform::Platform platform;
    OneLineUi ui;
    TwinContext tc;
    NoSheet site;
    Page page;
};

std::string mms_route_text(const Page& p) {
    if (p.mms_route(Route::SmsCommands).selected) return "sms-commands";
    if (p.mms_route(Route::Mm7).selected) return "mm7";
    if (p.mms_route(Route::Email).selected) return "email:" + p.email().text;
    if (p.mms_route(Route::PostUrl).selected) return "post:" + p.post_url().text;
    return "mms-in";
}

int get(Context& ctx, const Invocation& inv) {
    Twin t(ctx);
    const Page& p = t.page;
    const char* yn[] = {"no", "yes"};
    const Field rows[] = {
        {"sms", yn[p.process_sms().checked]},
        {"route", p.route_to_user().selected ? "user:" + p.users().current() : "commands"},
        {"charset", p.charsets().selected > 0 ? p.charsets().current() : "default"},
        {"mms", yn[p.process_mms().checked]},
        {"mms-route", mms_route_text(p)},
        {"php", yn[p.php_enable().checked]},
        {"php-remote", yn[p.php_remote().checked]},
        {"php-location", p.php_location().text},
    };
    print_fields(ctx.out, rows, inv.has("--json"));
    return 0;
}

int charsets(Context& ctx, const Invocation& inv) {
    Twin t(ctx);
    const auto& items = t.page.charsets().items;
    if (inv.has("--json")) {
        ctx.out << "[";
        for (size_t i = 0; i < items.size(); ++i) ctx.out << (i ? ", " : "") << json_quote(items[i]);
        ctx.out << "]\n";
        return 0;
    }
    for (const auto& c : items) ctx.out << c << "\n";
    return 0;
}

int set(Context& ctx, const Invocation& inv) {
    std::string route = inv.value("--route"), mms_route = inv.value("--mms-route");
    bool to_user = route.rfind("user:", 0) == 0;
    if (inv.has("--route") && route != "commands" && !to_user)
        return usage_error(ctx, "--route is commands or user:NAME, not \"" + route + "\"");
    const std::pair<const char*, Route> fixed[] = {
        {"mms-in", Route::MmsIn}, {"sms-commands", Route::SmsCommands}, {"mm7", Route::Mm7}};
    std::optional<Route> chosen;
    for (const auto& [word, r] : fixed)
        if (mms_route == word) chosen = r;
    if (mms_route.rfind("email:", 0) == 0) chosen = Route::Email;
    if (mms_route.rfind("post:", 0) == 0) chosen = Route::PostUrl;
    if (inv.has("--mms-route") && !chosen)
        return usage_error(ctx, "--mms-route is mms-in, sms-commands, mm7, email:ADDR or post:URL, not \"" +
                                    mms_route + "\"");
    if (int rc = ensure_data_directory(ctx)) return rc;

    Twin t(ctx);
    Page& p = t.page;
    auto want = [&](const char* option, bool now) {
        return inv.has(option) && (inv.value(option) == "yes") != now;
    };
    if (want("--sms", p.process_sms().checked)) p.click_process_sms();
    if (inv.has("--route")) {
        p.choose_sms_route(to_user);
        if (to_user) {
            std::string name = route.substr(5);
            int i = name.empty() ? 0 : p.users().find(name);
            if (i < 0) {
                ctx.err << "error: \"" << name << "\" is no user account that accepts received messages\n";
                return 1;
            }
            p.select_user(i);
        }
    }
    if (inv.has("--charset")) {
        std::string cs = inv.value("--charset");
        int i = cs == "default" ? 0 : p.charsets().find(cs);
        if (i <= 0 && cs != "default")
            return usage_error(ctx, "\"" + cs + "\" is not a character set of this system (see receive charsets)");
        p.select_charset(i);
    }
    if (want("--mms", p.process_mms().checked)) p.click_process_mms();
    if (chosen) {
        p.choose_mms_route(*chosen);
        if (*chosen == Route::Email) p.set_email(mms_route.substr(6));
        if (*chosen == Route::PostUrl) p.set_post_url(mms_route.substr(5));
    }
    if (want("--php", p.php_enable().checked)) {
        p.click_php_enable();
        if (t.ui.refused()) return 1;
    }
    if (want("--php-remote", p.php_remote().checked)) p.click_php_remote();
    if (!p.left()) return 1;
    // The routes live in the modem's section, which needs a modem.
    if (p.modem_section().empty() && (inv.has("--route") || inv.has("--mms-route")))
        ctx.err << "warning: no modem is configured (Modem1): the SMS and MMS routes are not saved\n";
    p.apply();
    return p.apply_succeeded() ? 0 : 1;
}

Registrar reg({
    "receive",
    "what the gateway does with received SMS and MMS (the 2-Way page)",
    {
        {"get", "", "print the page's settings", {{"--json", nullptr, "print one JSON object"}}, &get,
         "Prints name: value lines: sms, route, charset, mms, mms-route, php, php-remote,\n"
         "php-location.\n"},
        {"charsets", "", "list the command character sets the page offers",
         {{"--json", nullptr, "print one JSON array"}}, &charsets},
        {"set", "", "change the settings, then leave and apply the page",
         {{"--sms", "yes|no", "process received SMS"},
          {"--route", "ROUTE", "commands (the keyword table) or user:NAME (one local user)"},
          {"--charset", "NAME", "the command character set, or default"},
          {"--mms", "yes|no", "process received MMS"},
          {"--mms-route", "ROUTE", "mms-in, sms-commands, mm7, email:ADDR or post:URL"},
          {"--php", "yes|no", "local PHP processing (needs php-cgi)"},
          {"--php-remote", "yes|no", "allow external web access to the PHP scripts"}},
         &set, "A refusal prints \"error: \" and the page's message; nothing is written then.\n"},
    },
});

}  // namespace
}  // namespace ovr::cli
