// The MM7 / PHP receiver of received MMS: the settings of the route
// "ovrinsmslitemm7" in its own VASP.INI, and the check that its server can be
// reached (a connection, and a TLS handshake for "https://"; no request).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovr::nettest {

class TlsLibrary;

inline constexpr const char* kMm7Route = "ovrinsmslitemm7";
// Where the 3GPP archive keeps the MM7 schemas; a schema is stored as this
// base followed by its name.
inline constexpr const char* kMm7SchemaBase = "http://www.3gpp.org/ftp/Specs/archive/23_series/23.140/schema/";
inline constexpr const char* kDefaultMm7Version = "5.3.0";
inline constexpr const char* kDefaultMm7Schema = "REL-5-MM7-1-2";
inline constexpr const char* kCustomSchema = "(Custom)";
// A peer that never answers the handshake is given up after this long.
inline constexpr int kMm7HandshakeLimitMs = 10000;

enum class Mm7Variation { Standard, PhpMultipart, Ericsson, LogicaCmg, AnnyWay };
// The list "MM7 Protocol Variations:", in the order of Mm7Variation.
const std::vector<std::string>& mm7_variation_names();
const std::vector<std::string>& mm7_versions();
const std::vector<std::string>& mm7_schemas();

// Program data + "VASPOUT/ovrinsmslitemm7/VASP.INI".
std::string mm7_vasp_ini(const std::string& program_data);

struct Mm7Settings {
    Mm7Variation variation = Mm7Variation::Standard;
    std::string server;
    std::string user_name;
    std::string password;
    std::string vasp_id;
    std::string vas_id;
    std::string service_code;
    std::string version = kDefaultMm7Version;   // may be one the list does not know
    std::string schema = kDefaultMm7Schema;     // a schema of the list, or "(Custom)"
    bool strip_white_space = false;
};

Mm7Settings load_mm7(const std::string& vasp_ini);
// Creates the route's directories and, mode 0660 (it holds a password), an
// empty VASP.INI when missing; then writes every key in one transaction.
// False when anything could not be written; then the file is as it was.
bool save_mm7(const std::string& vasp_ini, const Mm7Settings& settings);

// The server URL as the check reads it: a leading "http://" or "https://"
// (TLS) dropped, everything from the first "/" on dropped, host and port
// split (443 with TLS, 80 without, by default).
struct Mm7Target {
    std::string host;
    uint32_t port = 80;
    bool tls = false;
};
Mm7Target parse_mm7_url(std::string_view url);

struct Mm7CheckResult {
    bool ok = false;
    bool tls_used = false;    // a handshake was made
    std::string message;      // the refusal, when not ok
};
// Connects (and shakes hands when TLS is wanted and the library is there,
// within `handshake_limit_ms`), then closes. Sends nothing.
Mm7CheckResult check_mm7_server(const Mm7Target& target, const TlsLibrary* tls,
                                int handshake_limit_ms = kMm7HandshakeLimitMs);

}  // namespace ovr::nettest
