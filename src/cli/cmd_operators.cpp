// ovrinsmsctl operators ...: the operator database behind the Modem page's
// "Lookup Operator Settings".
#include <cctype>
#include <ostream>

#include "cli/cli.h"
#include "cli/json_text.h"
#include "modem/operators.h"

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
    bool by_network = inv.size() == 1;
    const std::string& country = inv.value("--country");
    if (by_network == inv.has("--country")) return usage_error(ctx, "give either MCCMNC or --country CC");
    if (by_network && !modem::valid_network(inv.arg(0)))
        return usage_error(ctx, "not a network: \"" + inv.arg(0) + "\" (MCC and MNC: 5 or 6 digits, as 26201)");
    if (!by_network && !country_code(country))
        return usage_error(ctx, "not a country code: \"" + country + "\" (two letters, as de)");

    std::string path = modem::operator_database_path();
    std::string error;
    auto db = modem::operator_database(path, error);
    if (!db) return failure(ctx, error);

    const std::string& name = inv.value("--name");
    std::vector<const Operator*> found;
    if (by_network) {
        for (const Operator* op : db->by_network(inv.arg(0)))
            if (op->named_like(name)) found.push_back(op);
    } else {
        found = db->by_country(country, name);
    }
    std::string what = by_network ? "network " + inv.arg(0) : "country " + country;
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
          {"--name", "TEXT", "only the operators whose name holds TEXT (any case)"},
          {"--json", nullptr,
           "print one JSON array of objects: operator, country, country_name, primary, networks, apn, "
           "apn_name, login, password, proxy, mmsc"}},
         &lookup,
         "MCCMNC is the network's MCC and MNC as one word (26201, 310260): each access\n"
         "point of its operators that carries MMS is printed, the network's own\n"
         "operator first. The login and password printed are the operator's published\n"
         "ones, never a password stored in the configuration.\n"
         "Reads $OVRINSMS_OPERATOR_DB, else\n"
         "/usr/share/mobile-broadband-provider-info/serviceproviders.xml (Debian's\n"
         "mobile-broadband-provider-info). Exit 1 when the file is missing or damaged,\n"
         "or nothing is found; 2 for a malformed MCCMNC or country code.\n"},
    },
});

}  // namespace
}  // namespace ovr::cli
