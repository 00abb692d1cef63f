// ovrinsmsctl mm7 ...: the MM7 / PHP receiver of received MMS, as the
// "Configure MM7 or PHP Receiver" dialog edits and checks it.
#include <iostream>
#include <ostream>

#include "cli/cli.h"
#include "cli/diagnose.h"
#include "cli/dialog_twin.h"
#include "cli/json_text.h"
#include "nettest/mm7.h"
#include "nettest/tls_library.h"
#include "pages/mm7_dialog.h"
#include "platform/network.h"

namespace ovr::cli {
namespace {

using Dialog = pages::Mm7Dialog;
namespace nt = nettest;

// The words of the variation list, in its order.
const char* const kVariationWords[] = {"standard", "php", "ericsson", "logicacmg", "annyway"};

const nt::TlsLibrary* tls_library() {
    platform::start_network();
    return nt::TlsLibrary::instance();
}

int show(Context& ctx, const Invocation& inv) {
    OneLineUi ui(ctx.err);
    TwinContext tc(ctx, nullptr, ui);
    Dialog d(tc.pages, nullptr);
    nt::Mm7Settings s = d.settings();
    const Field rows[] = {
        {"variation", kVariationWords[static_cast<int>(s.variation)]},
        {"server", s.server},
        {"user", s.user_name},
        {"password", s.password.empty() ? "" : "(set)"},   // never printed
        {"vasp-id", s.vasp_id},
        {"vas-id", s.vas_id},
        {"service-code", s.service_code},
        {"version", s.version},
        {"schema", s.schema},
        {"strip-white-space", s.strip_white_space ? "yes" : "no"},
    };
    print_fields(ctx.out, rows, inv.has("--json"));
    return 0;
}

int test(Context& ctx, const Invocation& inv) {
    nt::Mm7Target target = nt::parse_mm7_url(inv.arg(0));
    nt::Mm7CheckResult r = nt::check_mm7_server(target, tls_library());
    if (!r.ok) {
        ctx.err << "error: " << one_line(r.message) << "\n";
        return 1;
    }
    ctx.out << "Connected to server " << target.host << ":" << target.port << (r.tls_used ? " using SSL/TLS" : "")
            << "\n";
    return 0;
}

int set(Context& ctx, const Invocation& inv) {
    if (int rc = ensure_data_directory(ctx)) return rc;
    OneLineUi ui(ctx.err);
    TwinContext tc(ctx, nullptr, ui);
    Dialog d(tc.pages, tls_library());
    if (inv.has("--variation")) {
        for (int i = 0; i < 5; ++i)
            if (inv.value("--variation") == kVariationWords[i]) d.select_variation(i);
    }
    const std::pair<const char*, Dialog::Text> texts[] = {{"--server", Dialog::Text::Server},
                                                          {"--user", Dialog::Text::UserName},
                                                          {"--vasp-id", Dialog::Text::VaspId},
                                                          {"--vas-id", Dialog::Text::VasId},
                                                          {"--service-code", Dialog::Text::ServiceCode}};
    for (const auto& [option, field] : texts)
        if (inv.has(option)) d.set_text(field, inv.value(option));
    if (inv.has("--password-stdin")) {
        std::string line;
        std::getline(std::cin, line);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        d.set_text(Dialog::Text::Password, line);
    }
    auto pick = [&](const char* option, const pages::DropDown& list, void (Dialog::*select)(int)) {
        if (!inv.has(option)) return true;
        int i = list.find(inv.value(option));
        if (i < 0) return false;
        (d.*select)(i);
        return true;
    };
    if (!pick("--version", d.versions(), &Dialog::select_version))
        return usage_error(ctx, "--version is one of " + [&] {
            std::string all;
            for (const auto& v : d.versions().items) all += (all.empty() ? "" : ", ") + v;
            return all;
        }());
    if (!pick("--schema", d.schemas(), &Dialog::select_schema))
        return usage_error(ctx, "--schema is one of " + [&] {
            std::string all;
            for (const auto& v : d.schemas().items) all += (all.empty() ? "" : ", ") + v;
            return all;
        }());
    if (inv.has("--strip-white-space")) d.set_strip_white_space(inv.value("--strip-white-space") == "yes");
    return d.ok() ? 0 : 1;
}

Registrar reg({
    "mm7",
    "the MM7 or PHP receiver of received MMS",
    {
        {"show", "", "print the receiver's settings", {{"--json", nullptr, "print one JSON object"}}, &show,
         "Prints name: value lines; a password shows as (set), never in clear.\n"},
        {"test", "URL", "connect to a receiver (and shake hands for https://) without sending anything", {}, &test,
         "Prints \"Connected to server HOST:PORT\", with \" using SSL/TLS\" after a handshake.\n"},
        {"set", "", "change the receiver's settings, as the dialog's OK does (the server is checked first)",
         {{"--variation", "standard|php|ericsson|logicacmg|annyway", "the MM7 protocol variation"},
          {"--server", "URL", "the receiver's URL"},
          {"--user", "U", "the HTTP authentication user name"},
          {"--password-stdin", nullptr, "read the HTTP authentication password from the first line of stdin"},
          {"--vasp-id", "X", "the VASP ID (optional)"},
          {"--vas-id", "X", "the VAS ID (optional)"},
          {"--service-code", "X", "the service code (optional)"},
          {"--version", "V", "the 3GPP MMS version (5.2.0 ... 6.7.0)"},
          {"--schema", "S", "the MM7 schema (REL-5-MM7-1-0 ... REL-6-MM7-1-3)"},
          {"--strip-white-space", "yes|no", "remove white space from the MM7 XML"}},
         &set,
         "A refusal prints \"error: \" and the dialog's message; nothing is written then.\n"},
    },
});

}  // namespace
}  // namespace ovr::cli
