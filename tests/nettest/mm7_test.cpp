// The MM7 receiver's settings and its server check, against real loopback
// servers: plain, TLS, a closed port, a silent peer, and a plain server
// behind "https://".
#include "nettest/mm7.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "config/ini.h"
#include "nettest/tls_library.h"
#include "platform/network.h"
#include "loopback.h"
#include "support/scratch.h"

namespace ovr::nettest {
namespace {
namespace ini = config::ini;
using test::read_text;
using test::ScratchDir;
using test::write_text;

const TlsLibrary* tls() {
    static bool network = platform::start_network();
    (void)network;
    return TlsLibrary::instance();
}

TEST(Mm7Url, SchemesPortsPathsAndAddresses) {
    struct Case {
        const char* url;
        const char* host;
        uint32_t port;
        bool tls;
    } cases[] = {
        {"https://mm7.example.com:8443/vasp/receive?x=1", "mm7.example.com", 8443, true},
        {"HTTPS://secure.example.com/x", "secure.example.com", 443, true},
        {"http://plain.example.com/php/upload.php", "plain.example.com", 80, false},
        {"receiver.example.com:8080/path", "receiver.example.com", 8080, false},
        {"receiver.example.com", "receiver.example.com", 80, false},
        {"http://[::1]:9000/mm7", "[::1]", 9000, false},
        {"https://[::1]", "[::1]", 443, true},
    };
    for (const Case& c : cases) {
        Mm7Target t = parse_mm7_url(c.url);
        EXPECT_EQ(t.host, c.host) << c.url;
        EXPECT_EQ(t.port, c.port) << c.url;
        EXPECT_EQ(t.tls, c.tls) << c.url;
    }
}

TEST(Mm7Check, EachOutcomeHasItsMessage) {
    {
        Listener plain(Listener::Kind::Plain);
        Mm7CheckResult r = check_mm7_server(parse_mm7_url("http://127.0.0.1:" + std::to_string(plain.port()) + "/"),
                                            tls());
        EXPECT_TRUE(r.ok) << r.message;
        EXPECT_FALSE(r.tls_used);
    }
    {
        uint32_t port = closed_port();
        Mm7CheckResult r = check_mm7_server(parse_mm7_url("127.0.0.1:" + std::to_string(port)), tls());
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, "Unable to connect to server 127.0.0.1:" + std::to_string(port));
    }
    if (!tls()) GTEST_SKIP() << "libsmsssl.so not beside the test";
    {
        Listener secure(Listener::Kind::Tls);
        Mm7CheckResult r =
            check_mm7_server(parse_mm7_url("https://127.0.0.1:" + std::to_string(secure.port()) + "/mm7"), tls());
        EXPECT_TRUE(r.ok) << r.message;
        EXPECT_TRUE(r.tls_used);
    }
    {
        Listener plain(Listener::Kind::PlainReply);
        Mm7Target t = parse_mm7_url("https://127.0.0.1:" + std::to_string(plain.port()));
        Mm7CheckResult r = check_mm7_server(t, tls());
        EXPECT_FALSE(r.ok);
        const std::string head = "Unable to negotiate SSL/TLS connection with server 127.0.0.1:" +
                                 std::to_string(plain.port()) + "\r\n\r\n";
        EXPECT_EQ(r.message.substr(0, head.size()), head);
        EXPECT_GT(r.message.size(), head.size()) << "the library's reason follows";
    }
    {
        Listener silent(Listener::Kind::Silent);
        auto start = std::chrono::steady_clock::now();
        Mm7CheckResult r =
            check_mm7_server(parse_mm7_url("https://127.0.0.1:" + std::to_string(silent.port())), tls(), 200);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.message.find("\r\n\r\nTLS handshake timed out after 200 ms"), std::string::npos) << r.message;
    }
}

TEST(Mm7Settings, DefaultsAndEachVariationRoundTrip) {
    ScratchDir d;
    std::string f = mm7_vasp_ini(d.path());
    EXPECT_EQ(f, d.path() + "VASPOUT/ovrinsmslitemm7/VASP.INI");
    Mm7Settings s = load_mm7(f);
    EXPECT_EQ(s.variation, Mm7Variation::Standard);
    EXPECT_EQ(s.version, "5.3.0");
    EXPECT_EQ(s.schema, "REL-5-MM7-1-2");
    EXPECT_FALSE(s.strip_white_space);

    s.server = "https://mm7.example.com:8443/in";
    s.password = "secret";
    ASSERT_TRUE(save_mm7(f, s));
    struct stat st {};
    ASSERT_EQ(::stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0660u);
    EXPECT_EQ(read_text(f),
              "[VASP]\nProtocol=MM7\nServer=https://mm7.example.com:8443/in\nmm7DeliverReq=Yes\nPassword=secret\n");

    for (Mm7Variation v : {Mm7Variation::PhpMultipart, Mm7Variation::Ericsson, Mm7Variation::LogicaCmg,
                           Mm7Variation::AnnyWay, Mm7Variation::Standard}) {
        s.variation = v;
        ASSERT_TRUE(save_mm7(f, s));
        EXPECT_EQ(load_mm7(f).variation, v);
        int keys = !!ini::read_value(f, "VASP", "AnnyWay") + !!ini::read_value(f, "VASP", "LogicaCMG") +
                   !!ini::read_value(f, "VASP", "PHPMultipartPost");
        bool marked = v == Mm7Variation::PhpMultipart || v == Mm7Variation::LogicaCmg || v == Mm7Variation::AnnyWay;
        EXPECT_EQ(keys, marked ? 1 : 0);
        EXPECT_EQ(ini::read_string(f, "VASP", "Protocol"), v == Mm7Variation::Ericsson ? "EricssonMM7" : "MM7");
    }
}

TEST(Mm7Settings, UnknownVersionCustomSchemaAndTheKeysNotEditedHere) {
    ScratchDir d;
    std::string f = d.file("VASP.INI");
    write_text(f,
               "[VASP]\nProtocol=mm7\nDomain=old.example\nMM7Version=5.12.0\n"
               "MM7Schema=http://example.com/my-own-schema\nStripWhiteSpace=1\nAnnyWay=yes\nLogicaCMG=yes\n"
               "Other=kept\n");
    Mm7Settings s = load_mm7(f);
    EXPECT_EQ(s.variation, Mm7Variation::AnnyWay);  // AnnyWay wins over LogicaCMG
    EXPECT_EQ(s.version, "5.12.0");
    EXPECT_EQ(s.schema, kCustomSchema);
    EXPECT_TRUE(s.strip_white_space);
    ASSERT_TRUE(save_mm7(f, s));
    EXPECT_EQ(read_text(f),
              "[VASP]\nProtocol=MM7\nMM7Version=5.12.0\nMM7Schema=http://example.com/my-own-schema\n"
              "StripWhiteSpace=Yes\nAnnyWay=Yes\nOther=kept\nmm7DeliverReq=Yes\n");

    // A schema of the list under the base, in any letter case, is that entry.
    write_text(f, "[VASP]\nMM7Schema=HTTP://WWW.3GPP.ORG/ftp/Specs/archive/23_series/23.140/schema/REL-6-MM7-1-3\n");
    s = load_mm7(f);
    EXPECT_EQ(s.schema, "REL-6-MM7-1-3");
    ASSERT_TRUE(save_mm7(f, s));
    EXPECT_EQ(ini::read_string(f, "VASP", "MM7Schema"), std::string(kMm7SchemaBase) + "REL-6-MM7-1-3");
    s.schema = "REL-5-MM7-1-2";
    s.version = "5.3.0";
    ASSERT_TRUE(save_mm7(f, s));
    EXPECT_FALSE(ini::read_value(f, "VASP", "MM7Schema"));
    EXPECT_FALSE(ini::read_value(f, "VASP", "MM7Version"));
}

TEST(Mm7Settings, NothingIsWrittenWhenAValueCannotBeStored) {
    ScratchDir d;
    std::string f = d.file("VASP.INI");
    write_text(f, "[VASP]\nProtocol=EricssonMM7\n");
    Mm7Settings s = load_mm7(f);
    s.server = "http://x\ny";
    EXPECT_FALSE(save_mm7(f, s));
    EXPECT_EQ(read_text(f), "[VASP]\nProtocol=EricssonMM7\n");
}

}  // namespace
}  // namespace ovr::nettest
