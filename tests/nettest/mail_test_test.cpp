// The mail server tests against the mail simulator in-process: real sockets,
// real TLS through libsmsssl, time-outs scaled down. What matters is what
// the user sees (the boxes) and what the server got (the bytes).
#include "nettest/mail_test.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "mail_sim.h"
#include "platform/network.h"
#include "smsssl.h"

namespace ovr::nettest {
namespace {

using mailsim::Profile;
using mailsim::Protocol;
using mailsim::Security;
using Steady = std::chrono::steady_clock;

// Short enough to keep the suite quick, long enough for a loaded machine
// to answer within the probe.
MailTimeouts fast_timeouts() {
    MailTimeouts t;
    t.probe = 1000;
    t.upgrade = 3000;
    t.greeting = 600;
    t.smtp_reply = 3000;
    t.smtp_quit = 500;
    t.pop3_reply = 3000;
    t.imap_wait = 100;
    t.imap_idle = 600;
    t.imap_total = 5000;
    return t;
}

class MailTest : public ::testing::Test {
protected:
    void SetUp() override {
        static bool network = platform::start_network();
        ASSERT_TRUE(network);
        ASSERT_NE(TlsLibrary::instance(), nullptr) << "libsmsssl.so not found beside the test";
        set_mail_timeouts(fast_timeouts());
        sslSetHandshakeTimeout(1500);
    }
    void TearDown() override {
        set_mail_timeouts(MailTimeouts{});
        sslSetHandshakeTimeout(30000);
        reset_tls_library_for_tests();
    }

    mailsim::Server& serve(Protocol p, Security s = Security::Plain, Profile f = Profile::Normal,
                           uint64_t flood = 8u << 20) {
        mailsim::Options o;
        o.protocol = p;
        o.security = s;
        o.profile = f;
        o.user = "demo";
        o.password = "demo";
        o.flood_bytes = flood;
        servers_.push_back(std::make_unique<mailsim::Server>(o));
        std::string error;
        EXPECT_TRUE(servers_.back()->start(error)) << error;
        return *servers_.back();
    }
    static std::string at(const mailsim::Server& s) { return "127.0.0.1:" + std::to_string(s.port()); }
    using TestFn = bool (*)(Ui*, const std::string&, bool, const std::string&, const std::string&);
    static TestFn fn(Protocol p) { return p == Protocol::Smtp ? &test_smtp : p == Protocol::Imap ? &test_imap : &test_pop3; }

    ScriptedUi ui;
    std::vector<std::unique_ptr<mailsim::Server>> servers_;
};

const Protocol kAll[] = {Protocol::Smtp, Protocol::Imap, Protocol::Pop3};
const char* name(Protocol p) { return mailsim::protocol_name(p); }
std::string upper(Protocol p) {
    std::string n = name(p);
    for (char& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return n;
}

// Each expectation of the box the user sees, or none for a pass.
struct Case {
    Protocol protocol;
    Security security;
    Profile profile;
    bool tls;
    std::string user, password;
    std::string box;   // "" for a silent pass; a trailing "*" matches a prefix
};

void expect_case(const Case& c, bool passed, const ScriptedUi& ui, const std::string& where) {
    SCOPED_TRACE(where);
    if (c.box.empty()) {
        EXPECT_TRUE(passed);
        EXPECT_TRUE(ui.boxes.empty()) << ::testing::PrintToString(ui.texts());
        return;
    }
    EXPECT_FALSE(passed);
    ASSERT_EQ(ui.boxes.size(), 1u) << ::testing::PrintToString(ui.texts());   // the first failure only
    EXPECT_EQ(ui.boxes[0].icon, Icon::Error);
    EXPECT_EQ(ui.boxes[0].caption, kProgramTitle);
    if (c.box.back() == '*')
        EXPECT_EQ(ui.boxes[0].text.rfind(c.box.substr(0, c.box.size() - 1), 0), 0u) << ui.boxes[0].text;
    else
        EXPECT_EQ(ui.boxes[0].text, c.box);
}

TEST_F(MailTest, EveryProtocolLogsInPlainUpgradedAndImplicitWithoutShowingThePassword) {
    for (Protocol p : kAll)
        for (Security s : {Security::Plain, Security::Upgrade, Security::Implicit}) {
            mailsim::Options o;
            o.protocol = p;
            o.security = s;
            o.password = "s3cret";
            mailsim::Server srv(o);
            std::string error;
            ASSERT_TRUE(srv.start(error)) << error;
            ScriptedUi u;
            bool ok = fn(p)(&u, at(srv), s != Security::Plain, "demo", "s3cret");
            expect_case({p, s, Profile::Normal, s != Security::Plain, "demo", "s3cret", ""}, ok, u,
                        std::string(name(p)) + " security " + std::to_string(static_cast<int>(s)));
            EXPECT_EQ(srv.connections(), 1);
            bool masked = false;
            for (const auto& l : u.progress_lines) {
                EXPECT_EQ(l.find("s3cret"), std::string::npos) << l;
                EXPECT_EQ(l.find(base64("s3cret")), std::string::npos) << l;
                masked = masked || l.find("********") != std::string::npos;
            }
            EXPECT_TRUE(masked);
            if (s != Security::Plain) {
                auto tls_line = std::find_if(u.progress_lines.begin(), u.progress_lines.end(),
                                             [](const std::string& l) { return l.rfind("TLS: ", 0) == 0; });
                EXPECT_NE(tls_line, u.progress_lines.end()) << "the certificate's verdict is shown";
            }
        }
}

TEST_F(MailTest, TheServerGetsExactlyTheDialogue) {
    auto& smtp = serve(Protocol::Smtp);
    ASSERT_TRUE(test_smtp(&ui, at(smtp), false, "demo", "demo"));
    EXPECT_EQ(smtp.received(), (std::vector<std::string>{"EHLO clienttest", "AUTH LOGIN", "ZGVtbw==", "ZGVtbw==", "QUIT"}));

    // No user name: HELO and no AUTH LOGIN.
    auto& helo = serve(Protocol::Smtp);
    ASSERT_TRUE(test_smtp(&ui, at(helo), false, "", ""));
    EXPECT_EQ(helo.received(), (std::vector<std::string>{"HELO clienttest", "QUIT"}));

    // STARTTLS: the greeting command twice, once plain and once secured.
    auto& up = serve(Protocol::Smtp, Security::Upgrade);
    ASSERT_TRUE(test_smtp(&ui, at(up), true, "demo", "demo"));
    EXPECT_EQ(up.received(),
              (std::vector<std::string>{"EHLO clienttest", "STARTTLS", "EHLO clienttest", "AUTH LOGIN", "ZGVtbw==",
                                        "ZGVtbw==", "QUIT"}));

    auto& pop = serve(Protocol::Pop3, Security::Upgrade);
    ASSERT_TRUE(test_pop3(&ui, at(pop), true, "demo", "demo"));
    EXPECT_EQ(pop.received(), (std::vector<std::string>{"STLS", "USER demo", "PASS demo", "QUIT"}));
    EXPECT_TRUE(ui.boxes.empty()) << ::testing::PrintToString(ui.texts());
}

TEST_F(MailTest, ImapTagsRiseOverEveryCommandOfTheProcess) {
    auto& a = serve(Protocol::Imap, Security::Upgrade);
    auto& b = serve(Protocol::Imap);
    ASSERT_TRUE(test_imap(&ui, at(a), true, "demo", "demo"));
    ASSERT_TRUE(test_imap(&ui, at(b), false, "demo", "demo"));
    auto ra = a.received(), rb = b.received();
    ASSERT_EQ(ra.size(), 3u);
    ASSERT_EQ(rb.size(), 2u);
    int first = std::stoi(ra[0].substr(1, 4));
    char want[64];
    std::snprintf(want, sizeof want, "A%04d STARTTLS", first);
    EXPECT_EQ(ra[0], want);
    std::snprintf(want, sizeof want, "A%04d LOGIN \"demo\" \"demo\"", first + 1);
    EXPECT_EQ(ra[1], want);
    std::snprintf(want, sizeof want, "A%04d LOGOUT", first + 2);
    EXPECT_EQ(ra[2], want);
    std::snprintf(want, sizeof want, "A%04d LOGIN \"demo\" \"demo\"", first + 3);
    EXPECT_EQ(rb[0], want);
    std::snprintf(want, sizeof want, "A%04d LOGOUT", first + 4);
    EXPECT_EQ(rb[1], want);
}

TEST_F(MailTest, QuotesAndBackslashesAreEscapedInsideImapLogin) {
    mailsim::Options o;
    o.protocol = Protocol::Imap;
    o.user = "we\"ird";
    o.password = "p\\a\"ss";
    mailsim::Server srv(o);
    std::string error;
    ASSERT_TRUE(srv.start(error)) << error;
    EXPECT_TRUE(test_imap(&ui, at(srv), false, o.user, o.password)) << ::testing::PrintToString(ui.texts());
    ASSERT_FALSE(srv.received().empty());
    EXPECT_NE(srv.received()[0].find(" LOGIN \"we\\\"ird\" \"p\\\\a\\\"ss\""), std::string::npos) << srv.received()[0];
    // A bad password with the same characters still fails: nothing breaks out of the quotes.
    ScriptedUi u;
    EXPECT_FALSE(test_imap(&u, at(srv), false, o.user, "p\\a\""));
    EXPECT_EQ(u.texts(), std::vector<std::string>{"IMAP login failed - Invalid username and/or password?"});
}

TEST_F(MailTest, LineBreaksOrNulInCredentialsFailBeforeAnyConnection) {
    for (Protocol p : kAll) {
        auto& srv = serve(p);
        const std::string box = upper(p) + " login failed - Invalid username and/or password?";
        for (auto [user, password] : std::vector<std::pair<std::string, std::string>>{
                 {"demo", "demo\r\nDELE 1"}, {"demo\nA1 LOGOUT", "demo"}, {"demo", std::string("de\0mo", 5)}}) {
            ScriptedUi u;
            EXPECT_FALSE(fn(p)(&u, at(srv), false, user, password));
            EXPECT_EQ(u.texts(), std::vector<std::string>{box});
        }
        EXPECT_EQ(srv.connections(), 0) << name(p);
    }
}

TEST_F(MailTest, EachHostileProfileGivesItsOneBox) {
    const std::string smtp_login = "SMTP login failed - Invalid username and/or password?";
    const std::string imap_login = "IMAP login failed - Invalid username and/or password?";
    const std::string pop3_login = "POP3 login failed - Invalid username and/or password?";
    const std::vector<Case> cases = {
        {Protocol::Smtp, Security::Plain, Profile::Normal, false, "demo", "wrong", smtp_login},
        {Protocol::Smtp, Security::Plain, Profile::Code421, false, "demo", "demo",
         "Timeout Waiting for SMTP - 421 mailsim busy, try later\r\n"},
        {Protocol::Smtp, Security::Plain, Profile::MultiLineGreeting, false, "demo", "demo", ""},
        {Protocol::Smtp, Security::Plain, Profile::BareLf, false, "demo", "demo", ""},
        {Protocol::Smtp, Security::Plain, Profile::HeloOnly, false, "demo", "demo",
         "Timeout Waiting for SMTP EHLO response - 502 Command not implemented\r\n"},
        {Protocol::Smtp, Security::Plain, Profile::HeloOnly, false, "", "", ""},
        {Protocol::Smtp, Security::Plain, Profile::Silent, false, "demo", "demo", "Timeout Waiting for SMTP - "},
        {Protocol::Smtp, Security::Plain, Profile::CloseAfterCommand, false, "demo", "demo",
         "Timeout Waiting for SMTP EHLO response - "},
        {Protocol::Smtp, Security::Implicit, Profile::TlsSilent, true, "demo", "demo", "Timeout Waiting for SMTP - "},
        {Protocol::Smtp, Security::Implicit, Profile::TlsHalfRecord, true, "demo", "demo",
         "Timeout Waiting for SMTP - "},
        {Protocol::Imap, Security::Plain, Profile::ImapNo, false, "demo", "demo", imap_login},
        {Protocol::Imap, Security::Plain, Profile::ImapLowerOk, false, "demo", "demo", ""},
        {Protocol::Imap, Security::Plain, Profile::ImapSplit, false, "demo", "demo", ""},
        {Protocol::Imap, Security::Plain, Profile::ImapLongTagged, false, "demo", "demo", ""},
        {Protocol::Imap, Security::Implicit, Profile::ImapLongTagged, true, "demo", "demo", ""},
        {Protocol::Imap, Security::Plain, Profile::BareLf, false, "demo", "demo", ""},
        {Protocol::Imap, Security::Plain, Profile::Silent, false, "demo", "demo", imap_login},
        {Protocol::Imap, Security::Implicit, Profile::TlsHalfRecord, true, "demo", "demo", imap_login},
        {Protocol::Pop3, Security::Plain, Profile::Pop3Err, false, "demo", "demo", ""},
        {Protocol::Pop3, Security::Plain, Profile::Normal, false, "demo", "wrong", pop3_login},
        {Protocol::Pop3, Security::Plain, Profile::BareLf, false, "demo", "demo", ""},
        {Protocol::Pop3, Security::Plain, Profile::Silent, false, "demo", "demo", pop3_login},
        {Protocol::Pop3, Security::Implicit, Profile::TlsSilent, true, "demo", "demo", pop3_login},
        {Protocol::Pop3, Security::Plain, Profile::CloseAfterCommand, false, "demo", "demo", pop3_login},
    };
    for (const Case& c : cases) {
        auto& srv = serve(c.protocol, c.security, c.profile);
        ScriptedUi u;
        bool ok = fn(c.protocol)(&u, at(srv), c.tls, c.user, c.password);
        expect_case(c, ok, u, std::string(name(c.protocol)) + " " + mailsim::profile_name(c.profile));
    }
}

TEST_F(MailTest, ARefusedUpgradeStillTriesTlsAndSaysWhy) {
    for (Protocol p : kAll) {
        auto& srv = serve(p, Security::Plain, Profile::UpgradeRefused);
        ScriptedUi u;
        EXPECT_FALSE(fn(p)(&u, at(srv), true, "demo", "demo"));
        ASSERT_EQ(u.boxes.size(), 1u) << ::testing::PrintToString(u.texts());
        const std::string& box = u.boxes[0].text;
        std::string head = "SSL Connection failed for " + upper(p) + " server - ";
        if (p == Protocol::Smtp) head += at(srv) + " ";
        EXPECT_EQ(box.rfind(head, 0), 0u) << box;
        EXPECT_GT(box.size(), head.size() + 1) << "the library's reason follows";
        if (p == Protocol::Smtp) {
            EXPECT_EQ(box.back(), ')');
        }
        auto r = srv.received();
        const std::string upgrade = p == Protocol::Pop3 ? "STLS" : "STARTTLS";
        EXPECT_TRUE(std::any_of(r.begin(), r.end(), [&](const std::string& l) {
            return l.size() >= upgrade.size() && l.compare(l.size() - upgrade.size(), upgrade.size(), upgrade) == 0;
        })) << "the upgrade was asked for";
    }
}

TEST_F(MailTest, TlsWantedWithoutAReadyLibraryFailsBeforeConnecting) {
    auto init_zero = TlsLibrary::load(std::string(OVR_BIN_DIR) + "/libsmsssl_init_zero.so");
    ASSERT_NE(init_zero, nullptr);
    for (const TlsLibrary* lib : {static_cast<const TlsLibrary*>(nullptr), static_cast<const TlsLibrary*>(init_zero.get())}) {
        set_tls_library_for_tests(lib);
        for (Protocol p : kAll) {
            auto& srv = serve(p);
            ScriptedUi u;
            EXPECT_FALSE(fn(p)(&u, at(srv), true, "demo", "demo"));
            std::string want = "SSL Connection failed for " + upper(p) + " server - " +
                               (p == Protocol::Smtp ? at(srv) + " TLS library not available)" : "TLS library not available");
            EXPECT_EQ(u.texts(), std::vector<std::string>{want});
            EXPECT_EQ(srv.connections(), 0);
            // Without TLS the test goes on as usual.
            EXPECT_TRUE(fn(p)(&u, at(srv), false, "demo", "demo"));
        }
    }
}

TEST_F(MailTest, AClosedPeerEndsTheImapReadAtOnce) {
    auto& srv = serve(Protocol::Imap, Security::Plain, Profile::CloseAfterCommand);
    MailTimeouts t = fast_timeouts();
    t.imap_idle = 20000;   // would be the wait if the close went unnoticed
    set_mail_timeouts(t);
    auto start = Steady::now();
    EXPECT_FALSE(test_imap(&ui, at(srv), false, "demo", "demo"));
    EXPECT_LT(Steady::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"IMAP login failed - Invalid username and/or password?"});
}

TEST_F(MailTest, AFloodWithoutLineEndsIsCutAtTheReplyLimit) {
    for (Protocol p : kAll)
        for (Security s : {Security::Plain, Security::Implicit}) {
            auto& srv = serve(p, s, Profile::Flood, 8u << 20);
            MailTimeouts t = fast_timeouts();
            t.greeting = t.imap_idle = t.smtp_reply = 20000;
            set_mail_timeouts(t);
            ScriptedUi u;
            auto start = Steady::now();
            EXPECT_FALSE(fn(p)(&u, at(srv), s == Security::Implicit, "demo", "demo"));
            EXPECT_LT(Steady::now() - start, std::chrono::seconds(10)) << name(p);
            ASSERT_EQ(u.boxes.size(), 1u);
            if (p == Protocol::Smtp) {
                const std::string head = "Timeout Waiting for SMTP - ";
                EXPECT_EQ(u.boxes[0].text.rfind(head + "xxxx", 0), 0u);
                EXPECT_GE(u.boxes[0].text.size(), head.size() + kReplyLimit);
                EXPECT_LE(u.boxes[0].text.size(), head.size() + kReplyLimit + kReadLimit);
            }
            // The transcript shows a cut line, not a megabyte.
            for (const auto& l : u.progress_lines) EXPECT_LT(l.size(), 300u);
        }
}

TEST_F(MailTest, NoParentShowsNothingAndStillFails) {
    auto& srv = serve(Protocol::Pop3);
    EXPECT_FALSE(test_pop3(nullptr, at(srv), false, "demo", "wrong"));
    EXPECT_TRUE(test_pop3(nullptr, at(srv), false, "demo", "demo"));
    // Nothing listens on the port of a closed listener.
    int l = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(l, reinterpret_cast<sockaddr*>(&a), len), 0);
    ::getsockname(l, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(l);
    const std::string dead = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    EXPECT_FALSE(test_smtp(nullptr, dead, false, "", ""));
    EXPECT_FALSE(test_smtp(&ui, dead, false, "", ""));
    EXPECT_FALSE(test_imap(&ui, "[::1]:" + dead.substr(10), false, "", ""));
    EXPECT_EQ(ui.texts(), (std::vector<std::string>{"Connection failed for SMTP server (" + dead + ")",
                                                    "Connection failed for IMAP server ([::1]:" + dead.substr(10) + ")"}));
}

// A listener that accepts and never speaks, neither plain nor TLS.
struct SilentListener {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    uint16_t port = 0;
    SilentListener() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), len), 0);
        EXPECT_EQ(::listen(fd, 4), 0);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~SilentListener() { ::close(fd); }
    std::string at() const { return "127.0.0.1:" + std::to_string(port); }
};

TEST_F(MailTest, ASilentTlsPeerEndsTheHandshakeAtItsLimit) {
    SilentListener l;   // the kernel completes the connection; nobody answers
    auto start = Steady::now();
    EXPECT_FALSE(test_smtp(&ui, l.at(), true, "demo", "demo"));
    EXPECT_LT(Steady::now() - start, std::chrono::seconds(8));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("SSL Connection failed for SMTP server - " + l.at() + " ", 0), 0u)
        << ui.boxes[0].text;
    EXPECT_NE(ui.boxes[0].text.find("time"), std::string::npos) << "the reason says it gave up waiting";
}

// The one real wait of the whole handshake limit (label slow).
TEST_F(MailTest, SlowSilentTlsPeerGivesUpAfterThirtySeconds) {
    sslSetHandshakeTimeout(30000);
    set_mail_timeouts(MailTimeouts{});
    SilentListener l;
    auto start = Steady::now();
    EXPECT_FALSE(test_smtp(&ui, l.at(), true, "demo", "demo"));
    auto took = Steady::now() - start;
    EXPECT_GE(took, std::chrono::seconds(32));   // the 3 s probe, then 30 s of handshake
    EXPECT_LT(took, std::chrono::seconds(35));
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST(MailText, Base64IsRfc4648) {
    const std::pair<const char*, const char*> vectors[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (auto [in, out] : vectors) EXPECT_EQ(base64(in), out);
    EXPECT_EQ(base64("\xff\xfe\x80"), "//6A");
    EXPECT_EQ(base64(std::string(100, 'a')).find('\n'), std::string::npos);
}

TEST(MailText, RepliesAreJudgedByTheirFirstFinalLine) {
    EXPECT_FALSE(smtp_reply_complete("220-first\r\n220-second\r\n"));
    EXPECT_TRUE(smtp_reply_complete("220-first\r\n220 last\r\n"));
    EXPECT_FALSE(smtp_reply_complete("220 no line end yet"));
    EXPECT_TRUE(smtp_reply_good("220-x\r\n250 ok\r\n"));
    EXPECT_TRUE(smtp_reply_good("334 VXNlcm5hbWU6\n"));
    EXPECT_TRUE(smtp_reply_good("050 odd but good\r\n"));
    EXPECT_FALSE(smtp_reply_good("421 busy\r\n250 ok\r\n"));
    EXPECT_FALSE(smtp_reply_good("22 short\r\n"));
    EXPECT_FALSE(smtp_reply_good(""));
    EXPECT_TRUE(pop3_reply_good("  +ok fine\r\n"));
    EXPECT_FALSE(pop3_reply_good("-ERR no\r\n"));
    EXPECT_FALSE(pop3_reply_good("+O"));
    EXPECT_EQ(imap_quoted("a\"b\\c"), "a\\\"b\\\\c");
}

TEST(MailText, TheImapTagIsFoundWhereverTheReadsCutIt) {
    // Split inside the tag, after a long untagged line, and a tag that is
    // only text inside another line.
    const std::string reply = "* OK " + std::string(2000, 'x') + " A0007 OK not the tag\r\n" +
                              "A0007 OK [CAPABILITY " + std::string(700, 'C') + "] done\r\n";
    for (size_t step : {1u, 3u, 511u, 4096u}) {
        ImapTagScanner s("A0007 ");
        ImapTagScanner::Verdict v = ImapTagScanner::Verdict::Open;
        size_t n = 0;
        while (v == ImapTagScanner::Verdict::Open && n < reply.size()) {
            n = std::min(reply.size(), n + step);
            v = s.scan(std::string_view(reply).substr(0, n));
        }
        EXPECT_EQ(v, ImapTagScanner::Verdict::Ok) << step;
        EXPECT_EQ(n, reply.size()) << "decided only once its line is complete";
    }
    ImapTagScanner no("A0008 ");
    EXPECT_EQ(no.scan("A0008   no way\n"), ImapTagScanner::Verdict::Failed);
    ImapTagScanner lower("A0009 ");
    EXPECT_EQ(lower.scan("* BYE\r\n\tA0009 ok\n"), ImapTagScanner::Verdict::Ok);
}

}  // namespace
}  // namespace ovr::nettest
