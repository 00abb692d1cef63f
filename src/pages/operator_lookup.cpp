#include "pages/operator_lookup.h"

#include <cctype>

#include "modem/operators.h"

namespace ovr::pages {

std::optional<OperatorMmsSettings> LookupOperatorSettings(Ui& ui, const std::string& database,
                                                          const std::vector<std::string>& networks) {
    std::string error;
    auto db = modem::operator_database(database, error);
    if (!db) {
        // The reader's text starts in lower case for the command line.
        if (!error.empty()) error[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(error[0])));
        ui.error("No operator settings can be looked up:\r\n\r\n" + error + ".");
        return std::nullopt;
    }
    if (networks.empty()) {
        ui.error("The modem did not say which network its SIM card belongs to, so no operator settings can be "
                 "looked up.\r\n\r\nIt may be in use by the OvrinSMS service, or not answer.");
        return std::nullopt;
    }
    for (const std::string& network : networks) {
        std::vector<const modem::Operator*> ops = db->by_network(network);
        const modem::Operator* chosen = nullptr;
        std::string others;
        for (const modem::Operator* op : ops) {
            if (op->mms.empty()) continue;
            if (!chosen) chosen = op;
            else others += "\r\n" + op->name + ": " + op->mms.front().apn;
        }
        if (!chosen) {
            if (ops.empty()) continue;   // a shorter MNC may still match
            ui.information("The operator of the network " + network + " (" + ops.front()->name +
                           ") publishes no MMS settings.");
            return std::nullopt;
        }
        const modem::OperatorMms& m = chosen->mms.front();
        if (!others.empty())
            ui.information("The settings of " + chosen->name + " were filled in. Other operators on the network " +
                           network + ":" + others);
        return OperatorMmsSettings{m.apn, m.login, m.password, m.proxy, m.url};
    }
    std::string named;
    for (const std::string& n : networks) named += (named.empty() ? "" : " or ") + n;
    ui.information("No operator of the network " + named + " is in the operator database.");
    return std::nullopt;
}

}  // namespace ovr::pages
