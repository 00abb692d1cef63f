// ovrinsmsctl operators ...: the operator database behind the Modem page's
// "Lookup Operator Settings".
#include <cctype>
#include <ostream>

#include "cli/cli.h"
#include "cli/json_text.h"
#include "modem/operators.h"
#include "platform/platform.h"
#include "platform/ui.h"

namespace ovr::cli {
namespace {

using modem::Operator;
using modem::OperatorMms;

bool country_code(const std::string& s) {
    return s.size() == 2 && std::isalpha(static_cast<unsigned char>(s[0])) &&
           std::isalpha(static_cast<unsigned char>(s[1]));
}

std::string joined(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

void print_json(std::ostream& os, const Operator& op, const OperatorMms& m) {
    os << "{\"operator\": " << json_quote(op.name) << ", \"country\": " << json_quote(op.country)
       << ", \"country_name\": " << json_quote(op.country_name) << ", \"primary\": " << (op.primary ? "true" : "false")
       << ", \"networks\": [";
    for (size_t i = 0; i < op.networks.size(); ++i) os << (i ? ", " : "") << json_quote(op.networks[i]);
    os << "], \"apn\": " << json_quote(m.apn) << ", \"apn_name\": " << json_quote(m.title)
       << ", \"login\": " << json_quote(m.login) << ", \"password\": " << json_quote(m.password)
       << ", \"proxy\": " << json_quote(m.proxy) << ", \"mmsc\": " << json_quote(m.url) << "}";
}

void print_text(std::ostream& os, const Operator& op, const OperatorMms& m) {
    std::string country = op.country + (op.country_name.empty() ? "" : " (" + op.country_name + ")");
    const Field fields[] = {
        {"operator", op.name + (op.primary ? " (the network's own operator)" : "")},
        {"country", country},
        {"networks", joined(op.networks)},
        {"apn", m.apn + (m.title.empty() ? "" : " (" + m.title + ")")},
        {"login", m.login},
        {"password", m.password},
        {"proxy", m.proxy},
        {"mmsc", m.url},
    };
    print_fields(os, fields, false);
}

int lookup(Context& ctx, const Invocation& inv) {
    const std::string& country = inv.value("--country");
    const std::string& modem_name = inv.value("--modem");
    if (inv.size() + inv.has("--country") + inv.has("--modem") != 1)
        return usage_error(ctx, "give one of MCCMNC, --country CC and --modem NAME");
    if (inv.size() == 1 && !modem::valid_network(inv.arg(0)))
        return usage_error(ctx, "not a network: \"" + inv.arg(0) + "\" (MCC and MNC: 5 or 6 digits, as 26201)");
    if (inv.has("--country") && !country_code(country))
        return usage_error(ctx, "not a country code: \"" + country + "\" (two letters, as de)");
    if (inv.has("--modem") && modem_name.empty()) return usage_error(ctx, "--modem: the modem name is empty");

    std::string path = modem::operator_database_path();
    std::string error;
    auto db = modem::operator_database(path, error);
    if (!db) return failure(ctx, error);

    std::vector<std::string> networks;
    if (inv.size() == 1) {
        networks.push_back(inv.arg(0));
    } else if (inv.has("--modem")) {
        // As the Modem page's Lookup asks it; the channel's boxes stay quiet.
        platform::Platform p = platform::make_platform();
        ScriptedUi quiet;
        modem::ModemAccess acc{*p.comm_ports, *p.tapi, *p.registry, *p.clock, quiet, ctx.ini.rirer};
        networks = modem::ReadModemNetworks(acc, modem_name);
        if (networks.empty())
            return failure(ctx, "the modem " + modem_name +
                                    " did not say which network its SIM card belongs to (it may be in use by the "
                                    "OvrinSMS service, or not answer)");
    }
    const std::string& name = inv.value("--name");
    std::vector<const Operator*> found;
    std::string what;
    if (networks.empty()) {
        found = db->by_country(country, name);
        what = "country " + country;
    } else {
        // An IMSI's three-digit MNC before its two-digit one.
        for (const std::string& n : networks) {
            what += (what.empty() ? "network " : " or ") + n;
            for (const Operator* op : db->by_network(n))
                if (op->named_like(name)) found.push_back(op);
            if (!found.empty()) {
                what = "network " + n;
                break;
            }
        }
    }
    if (!name.empty()) what += " named like \"" + name + "\"";
    if (found.empty()) return failure(ctx, "no operator of the " + what + " in " + path);

    std::vector<std::pair<const Operator*, const OperatorMms*>> points;
    for (const Operator* op : found)
        for (const OperatorMms& m : op->mms) points.emplace_back(op, &m);
    if (points.empty()) {
        std::string ops;
        for (const Operator* op : found) ops += (ops.empty() ? "" : ", ") + op->name;
        return failure(ctx, "no MMS settings published for the " + what + " (" + ops + ")");
    }
    bool json = inv.has("--json");
    if (json) ctx.out << "[";
    for (size_t i = 0; i < points.size(); ++i) {
        if (json) {
            ctx.out << (i ? ",\n " : "");
            print_json(ctx.out, *points[i].first, *points[i].second);
        } else {
            if (i) ctx.out << "\n";
            print_text(ctx.out, *points[i].first, *points[i].second);
        }
    }
    if (json) ctx.out << "]\n";
    return 0;
}

Registrar reg({
    "operators",
    "operators' published MMS settings (the Modem page's Lookup)",
    {
        {"lookup", "[MCCMNC]", "an operator's MMS settings by network or by country",
         {{"--country", "CC", "the operators of this country (ISO code, as de) instead of a network"},
          {"--modem", "NAME", "the network the SIM card of this local modem belongs to, as Lookup asks it"},
          {"--name", "TEXT", "only the operators whose name holds TEXT (any case)"},
          {"--json", nullptr,
           "print one JSON array of objects: operator, country, country_name, primary, networks, apn, "
           "apn_name, login, password, proxy, mmsc"}},
         &lookup,
         "MCCMNC is the network's MCC and MNC as one word (26201, 310260): each access\n"
         "point of its operators that carries MMS is printed, the network's own\n"
         "operator first. The login and password printed are the operator's published\n"
         "ones, never a password stored in the configuration.\n"
         "--modem asks the modem (\"COM7:\" or a line device's name) for its IMSI\n"
         "(AT+CIMI), else for the network it is registered on (AT+COPS).\n"
         "Reads $OVRINSMS_OPERATOR_DB, else\n"
         "/usr/share/mobile-broadband-provider-info/serviceproviders.xml (Debian's\n"
         "mobile-broadband-provider-info). Exit 1 when the file is missing or damaged,\n"
         "or nothing is found; 2 for a malformed MCCMNC or country code.\n"},
    },
});

}  // namespace
}  // namespace ovr::cli
