#include "nettest/mm7.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "config/inet.h"
#include "config/ini.h"
#include "config/settings.h"
#include "config/text.h"
#include "nettest/tls_library.h"
#include "platform/fs.h"

namespace ovr::nettest {
namespace ini = config::ini;

namespace {

constexpr const char* kSection = "VASP";
constexpr size_t kValueBuffer = 1024;

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && config::equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}

std::string address_text(const Mm7Target& t) { return t.host + ":" + std::to_string(t.port); }

}  // namespace

const std::vector<std::string>& mm7_variation_names() {
    static const std::vector<std::string> names = {"None - Use Standard MM7", "PHP Multipart File Upload", "Ericsson",
                                                   "LogicaCMG - PAP", "AnnyWay"};
    return names;
}

const std::vector<std::string>& mm7_versions() {
    static const std::vector<std::string> v = {"5.2.0", "5.3.0",  "5.4.0",  "5.5.0", "5.6.0", "5.7.0",
                                               "5.8.0", "5.9.0",  "5.10.0", "5.11.0", "6.0.0", "6.1.0",
                                               "6.2.0", "6.3.0",  "6.4.0",  "6.5.0", "6.6.0", "6.7.0"};
    return v;
}

const std::vector<std::string>& mm7_schemas() {
    static const std::vector<std::string> s = {"REL-5-MM7-1-0", "REL-5-MM7-1-1", "REL-5-MM7-1-2", "REL-5-MM7-1-3",
                                               "REL-5-MM7-1-4", "REL-5-MM7-1-5", "REL-6-MM7-1-0", "REL-6-MM7-1-1",
                                               "REL-6-MM7-1-2", "REL-6-MM7-1-3"};
    return s;
}

std::string mm7_vasp_ini(const std::string& program_data) {
    return program_data + "VASPOUT/" + kMm7Route + "/VASP.INI";
}

Mm7Settings load_mm7(const std::string& vasp_ini) {
    ini::Snapshot f = ini::snapshot(vasp_ini);
    auto read = [&](const char* key, const char* def = "") { return f.read_string(kSection, key, def, kValueBuffer); };
    auto yes = [&](const char* key) { return config::is_yes_value(read(key)); };
    Mm7Settings s;
    std::string protocol = read("Protocol");
    if (config::equal_ignoring_case(protocol, "MM7")) {
        if (yes("AnnyWay"))
            s.variation = Mm7Variation::AnnyWay;
        else if (yes("LogicaCMG"))
            s.variation = Mm7Variation::LogicaCmg;
        else if (yes("PHPMultipartPost"))
            s.variation = Mm7Variation::PhpMultipart;
    } else if (config::equal_ignoring_case(protocol, "EricssonMM7")) {
        s.variation = Mm7Variation::Ericsson;
    }
    s.server = read("Server");
    s.vasp_id = read("VASPID");
    s.vas_id = read("VASID");
    s.service_code = read("ServiceCode");
    s.user_name = read("UserName");
    s.password = read("Password");
    s.version = read("MM7Version");
    if (s.version.empty()) s.version = kDefaultMm7Version;
    std::string schema = read("MM7Schema");
    if (schema.empty()) schema = std::string(kMm7SchemaBase) + kDefaultMm7Schema;
    s.schema = kCustomSchema;
    if (starts_with_ignoring_case(schema, kMm7SchemaBase)) {
        std::string_view rest = std::string_view(schema).substr(std::string_view(kMm7SchemaBase).size());
        for (const auto& name : mm7_schemas())
            if (rest == name) s.schema = name;
    }
    s.strip_white_space = config::is_yes_value(read("StripWhiteSpace", "No"));
    return s;
}

bool save_mm7(const std::string& vasp_ini, const Mm7Settings& s) {
    if (!platform::fs::create_directories(platform::fs::parent_directory(vasp_ini))) return false;
    if (!platform::fs::exists(vasp_ini)) {
        int fd = ::open(vasp_ini.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0660);
        if (fd >= 0) {
            ::fchmod(fd, 0660);  // whatever the umask: the group of the services reads it
            ::close(fd);
        } else if (errno != EEXIST) {
            return false;
        }
    }
    auto text = [](const std::string& v) { return v.empty() ? std::nullopt : std::optional<std::string>(v); };
    auto flag = [](bool on) { return on ? std::optional<std::string>("Yes") : std::nullopt; };
    std::optional<std::string> schema;
    bool keep_schema = s.schema == kCustomSchema;
    if (s.schema != kDefaultMm7Schema) schema = std::string(kMm7SchemaBase) + s.schema;
    std::vector<ini::ProfileWrite> w = {
        {kSection, "Protocol", "MM7"},
        {kSection, "Server", text(s.server)},
        {kSection, "Domain", std::nullopt},
        {kSection, "VASPID", text(s.vasp_id)},
        {kSection, "VASID", text(s.vas_id)},
        {kSection, "ServiceCode", text(s.service_code)},
        {kSection, "mm7DeliverReq", "Yes"},
        {kSection, "UserName", text(s.user_name)},
        {kSection, "Password", text(s.password)},
        {kSection, "MM7Version", s.version == kDefaultMm7Version ? std::nullopt : text(s.version)},
    };
    if (!keep_schema) w.push_back({kSection, "MM7Schema", schema});
    w.push_back({kSection, "StripWhiteSpace", flag(s.strip_white_space)});
    if (s.variation == Mm7Variation::Ericsson) w.push_back({kSection, "Protocol", "EricssonMM7"});
    w.push_back({kSection, "AnnyWay", flag(s.variation == Mm7Variation::AnnyWay)});
    w.push_back({kSection, "LogicaCMG", flag(s.variation == Mm7Variation::LogicaCmg)});
    w.push_back({kSection, "PHPMultipartPost", flag(s.variation == Mm7Variation::PhpMultipart)});
    return ini::write_profiles(vasp_ini, w);
}

Mm7Target parse_mm7_url(std::string_view url) {
    Mm7Target t;
    if (starts_with_ignoring_case(url, "http://")) {
        url.remove_prefix(7);
    } else if (starts_with_ignoring_case(url, "https://")) {
        url.remove_prefix(8);
        t.tls = true;
    }
    t.port = t.tls ? 443 : 80;
    url = url.substr(0, url.find('/'));
    config::split_host_port(url, t.host, t.port);
    return t;
}

Mm7CheckResult check_mm7_server(const Mm7Target& target, const TlsLibrary* tls, int handshake_limit_ms) {
    Mm7CheckResult r;
    int sock = config::IPV6OpenSocket();
    if (sock < 0) {
        r.message = "General socket error";
        return r;
    }
    if (config::IPV6ConnectToINetServer(sock, target.host, target.port) != 0) {
        config::closesocket(sock);
        r.message = "Unable to connect to server " + address_text(target);
        return r;
    }
    if (target.tls && tls && tls->init_lib()) {
        if (tls->set_handshake_timeout) tls->set_handshake_timeout(handshake_limit_ms);
        std::string reason;
        TlsLibrary::Session session = tls->start_client(sock, reason);
        if (tls->set_handshake_timeout) tls->set_handshake_timeout(0);
        if (!session) {
            config::closesocket(sock);
            r.message = "Unable to negotiate SSL/TLS connection with server " + address_text(target) + "\r\n\r\n" + reason;
            return r;
        }
        tls->free_session(session);
        r.tls_used = true;
    }
    config::closesocket(sock);
    r.ok = true;
    return r;
}

}  // namespace ovr::nettest
