// The operator database: each mobile operator's published MMS settings (APN,
// login, password, MMS proxy, MMS server URL), from the mobile broadband
// provider list Debian ships as serviceproviders.xml. Looked up by the
// network a modem's SIM is on (MCC and MNC) or by country and operator name.
//
// The file is read with the project's bounded XML reader and parsed once per
// process and path; every lookup after that reads the index in memory.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "modem/channel.h"

namespace ovr::modem {

inline constexpr const char* kOperatorDatabasePath = "/usr/share/mobile-broadband-provider-info/serviceproviders.xml";
inline constexpr const char* kOperatorDatabasePackage = "mobile-broadband-provider-info";
// The database file's size bound: the real one is about 360 KB.
inline constexpr size_t kOperatorDatabaseMaxBytes = 8u << 20;

// One access point of an operator that carries MMS.
struct OperatorMms {
    std::string apn;        // the APN itself ("mms.t-d1.de")
    std::string title;      // its name in the list, may be empty
    std::string login, password;   // published, public values
    std::string proxy;      // "HOST:PORT", may be empty
    std::string url;        // the MMS server URL
};

struct Operator {
    std::string country;    // ISO 3166 code, lower case ("de")
    std::string country_name;
    std::string name;
    bool primary = false;   // the network's own operator, not a virtual one
    std::vector<std::string> networks;   // MCC followed by MNC ("26201")
    std::vector<OperatorMms> mms;

    // Whether the name holds part, in any case (an empty part: always).
    bool named_like(std::string_view part) const;
};

class OperatorDatabase {
public:
    // Nothing, with error set, when the text is no readable provider list.
    static std::shared_ptr<const OperatorDatabase> parse(std::string_view xml, std::string& error);

    const std::vector<Operator>& operators() const { return operators_; }
    // The operators of a network, each network's own operator first, then
    // in the file's order. network is MCC and MNC as one word of digits.
    std::vector<const Operator*> by_network(std::string_view network) const;
    // The operators of a country (its code in any case) whose name holds
    // name_part (any case; empty: all), in the file's order.
    std::vector<const Operator*> by_country(std::string_view country, std::string_view name_part = {}) const;

private:
    std::vector<Operator> operators_;
    // Sorted (network, index) pairs, for lookups without a scan.
    std::vector<std::pair<std::string, size_t>> networks_;
};

// The database at path, read and parsed on first use and kept for the
// process; safe from any thread. Nothing when the file is missing or
// unreadable, with error saying so (a failed read is tried again next time).
std::shared_ptr<const OperatorDatabase> operator_database(const std::string& path, std::string& error);
// The path in use: $OVRINSMS_OPERATOR_DB when set, else Debian's.
std::string operator_database_path();

// "MCC+MNC" as a user or a modem gives it: 5 or 6 digits, the MCC first.
bool valid_network(std::string_view network);
// The networks an IMSI (AT+CIMI) may belong to: MCC with a three-digit MNC,
// then with a two-digit one (the IMSI does not say which).
std::vector<std::string> networks_of_imsi(std::string_view imsi);
// The MCC+MNC of a "+COPS:" reply in numeric format ("+COPS: 0,2,\"26201\""),
// or "" when the reply names the operator otherwise or not at all.
std::string network_of_cops_reply(std::string_view reply);

// Asks a local modem which network its SIM belongs to: the IMSI
// ("AT+CIMI"), else the network it is registered on in numeric form
// ("AT+COPS=3,2", "AT+COPS?", then "AT+COPS=3,0" to leave the names the
// gateway reads as they were). The candidate networks, the likeliest first;
// none when the modem cannot be opened (the gateway service may hold it) or
// says nothing. Each wait is the channel's, a few seconds at most.
std::vector<std::string> ReadModemNetworks(ModemAccess& acc, const std::string& modem_name);

}  // namespace ovr::modem
