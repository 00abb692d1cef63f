// The mail tests against a real Dovecot and Postfix (label mail-e2e):
// throwaway instances from their own configurations in a scratch directory
// (dovecot -c, postfix -c), accounts in a passwd-file, IMAP, IMAPS, POP3,
// POP3S and SMTP with STARTTLS or implicit TLS on loopback, a fresh
// self-signed certificate. Nothing under /etc is written. Needs root and
// "./run deps --mail"; skipped otherwise, saying why.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "nettest/mail_test.h"
#include "platform/network.h"
#include "support/scratch.h"

namespace ovr::nettest {
namespace {

constexpr const char* kDovecot = "/usr/sbin/dovecot";
constexpr const char* kOpenssl = "/usr/bin/openssl";
constexpr const char* kPostfix = "/usr/sbin/postfix";
const std::string kOddPassword = "pa\"ss\\word";

uint16_t free_port() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), len);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

bool accepts(uint16_t port) {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

class MailE2e : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0 || ::access(kDovecot, X_OK) != 0 || ::access(kOpenssl, X_OK) != 0)
            GTEST_SKIP() << "needs root, " << kDovecot << " and " << kOpenssl << " (./run deps --mail)";
        platform::start_network();
        // Only the wait for a plain greeting is shortened: loopback answers fast.
        MailTimeouts t;
        t.probe = 1000;
        set_mail_timeouts(t);
        const std::string dir = d.path();
        ::chmod(dir.c_str(), 0755);   // the login processes run as dovenull
        auto r = test::run_program(kOpenssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                                              "/CN=localhost", "-keyout", dir + "key.pem", "-out", dir + "cert.pem"});
        ASSERT_EQ(r.status, 0) << r.err;
        test::write_text(dir + "users", "demo:{PLAIN}demo::::::\nodd:{PLAIN}" + kOddPassword + "::::::\n");
        ::mkdir((dir + "home").c_str(), 0777);
        ::chmod((dir + "home").c_str(), 0777);
        for (uint16_t& p : ports) p = free_port();
        test::write_text(dir + "dovecot.conf",
                         "base_dir = " + dir + "run\n"
                         "state_dir = " + dir + "state\n"
                         "log_path = " + dir + "dovecot.log\n"
                         "protocols = imap pop3\n"
                         "listen = 127.0.0.1\n"
                         "ssl = yes\n"
                         "ssl_cert = <" + dir + "cert.pem\n"
                         "ssl_key = <" + dir + "key.pem\n"
                         "disable_plaintext_auth = no\n"
                         "auth_mechanisms = plain login\n"
                         "auth_failure_delay = 0\n"
                         "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " + dir + "users\n}\n"
                         "userdb {\n  driver = static\n  args = uid=65534 gid=65534 home=" + dir + "home/%u\n}\n"
                         "mail_location = maildir:" + dir + "home/%u/Maildir\n"
                         "default_internal_user = dovecot\n"
                         "default_login_user = dovenull\n"
                         "service imap-login {\n"
                         "  inet_listener imap {\n    port = " + std::to_string(ports[0]) + "\n  }\n"
                         "  inet_listener imaps {\n    port = " + std::to_string(ports[1]) + "\n    ssl = yes\n  }\n}\n"
                         "service auth {\n  unix_listener auth-client {\n    mode = 0666\n  }\n}\n"
                         "service pop3-login {\n"
                         "  inet_listener pop3 {\n    port = " + std::to_string(ports[2]) + "\n  }\n"
                         "  inet_listener pop3s {\n    port = " + std::to_string(ports[3]) + "\n    ssl = yes\n  }\n}\n");
        pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const std::string conf = dir + "dovecot.conf";
            ::execl(kDovecot, kDovecot, "-F", "-c", conf.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 100 && !(accepts(ports[0]) && accepts(ports[3])); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_TRUE(accepts(ports[0]) && accepts(ports[3])) << test::read_text(dir + "dovecot.log");
        if (::access(kPostfix, X_OK) == 0) start_postfix();
    }

    // A private Postfix (postfix -c DIR) on two loopback ports, STARTTLS and
    // implicit TLS, authenticating through the Dovecot above, every
    // recipient refused.
    void start_postfix() {
        const std::string dir = d.path(), pf = dir + "postfix/";
        struct passwd* owner = ::getpwnam("postfix");
        ASSERT_NE(owner, nullptr);
        ::mkdir(pf.c_str(), 0755);
        ::mkdir((pf + "queue").c_str(), 0755);
        ::mkdir((pf + "data").c_str(), 0700);
        ASSERT_EQ(::chown((pf + "data").c_str(), owner->pw_uid, owner->pw_gid), 0);
        smtp_ports[0] = free_port();
        smtp_ports[1] = free_port();
        test::write_text(pf + "main.cf",
                         "compatibility_level = 3.6\n"
                         "queue_directory = " + pf + "queue\n"
                         "data_directory = " + pf + "data\n"
                         "meta_directory = /etc/postfix\n"
                         "mail_owner = postfix\n"
                         "setgid_group = postdrop\n"
                         "inet_interfaces = 127.0.0.1\n"
                         "inet_protocols = ipv4\n"
                         "myhostname = localhost\n"
                         "mydestination =\n"
                         "alias_maps =\n"
                         "alias_database =\n"
                         "maillog_file = " + pf + "maillog\n"
                         "maillog_file_prefixes = " + dir + "\n"
                         "smtpd_tls_cert_file = " + dir + "cert.pem\n"
                         "smtpd_tls_key_file = " + dir + "key.pem\n"
                         "smtpd_tls_security_level = may\n"
                         "smtpd_sasl_auth_enable = yes\n"
                         "smtpd_sasl_type = dovecot\n"
                         "smtpd_sasl_path = " + dir + "run/auth-client\n"
                         "smtpd_recipient_restrictions = reject\n"
                         "smtpd_relay_restrictions = reject\n");
        const std::string a = "127.0.0.1:" + std::to_string(smtp_ports[0]),
                          b = "127.0.0.1:" + std::to_string(smtp_ports[1]);
        test::write_text(pf + "master.cf",
                         a + " inet n - n - - smtpd\n" +
                         b + " inet n - n - - smtpd -o smtpd_tls_wrappermode=yes\n"
                         "cleanup unix n - n - 0 cleanup\n"
                         "qmgr unix n - n 300 1 qmgr\n"
                         "tlsmgr unix - - n 1000? 1 tlsmgr\n"
                         "rewrite unix - - n - - trivial-rewrite\n"
                         "bounce unix - - n - 0 bounce\n"
                         "defer unix - - n - 0 bounce\n"
                         "trace unix - - n - 0 bounce\n"
                         "verify unix - - n - 1 verify\n"
                         "flush unix n - n 1000? 0 flush\n"
                         "proxymap unix - - n - - proxymap\n"
                         "anvil unix - - n - 1 anvil\n"
                         "scache unix - - n - 1 scache\n"
                         "postlog unix-dgram n - n - 1 postlogd\n");
        auto r = test::run_program(kPostfix, {"-c", pf, "start"});
        ASSERT_EQ(r.status, 0) << r.err << test::read_text(pf + "maillog");
        postfix_dir = pf;
        for (int i = 0; i < 100 && !(accepts(smtp_ports[0]) && accepts(smtp_ports[1])); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_TRUE(accepts(smtp_ports[0]) && accepts(smtp_ports[1])) << test::read_text(pf + "maillog");
    }
    void TearDown() override {
        set_mail_timeouts(MailTimeouts{});
        if (!postfix_dir.empty()) test::run_program(kPostfix, {"-c", postfix_dir, "stop"});
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
    }
    std::string at(int i) const { return "127.0.0.1:" + std::to_string(ports[i]); }

    test::ScratchDir d;
    uint16_t ports[4] = {};   // imap, imaps, pop3, pop3s
    uint16_t smtp_ports[2] = {};   // STARTTLS, implicit TLS
    std::string postfix_dir;
    pid_t pid = -1;
};

TEST_F(MailE2e, SmtpUpgradedAndImplicitAgainstPostfix) {
    if (postfix_dir.empty()) GTEST_SKIP() << kPostfix << " is not installed (./run deps --mail)";
    const std::string upgrade = "127.0.0.1:" + std::to_string(smtp_ports[0]),
                      implicit = "127.0.0.1:" + std::to_string(smtp_ports[1]);
    for (const std::string& server : {upgrade, implicit}) {
        SCOPED_TRACE(server);
        ScriptedUi good, odd, bad;
        EXPECT_TRUE(test_smtp(&good, server, true, "demo", "demo")) << ::testing::PrintToString(good.texts());
        EXPECT_TRUE(test_smtp(&odd, server, true, "odd", kOddPassword)) << ::testing::PrintToString(odd.texts());
        EXPECT_FALSE(test_smtp(&bad, server, true, "demo", "wrong"));
        EXPECT_EQ(bad.texts(), std::vector<std::string>{"SMTP login failed - Invalid username and/or password?"});
    }
    ScriptedUi plain;
    EXPECT_TRUE(test_smtp(&plain, upgrade, false, "", "")) << "HELO, no login";
    EXPECT_TRUE(plain.boxes.empty()) << ::testing::PrintToString(plain.texts());
}

TEST_F(MailE2e, ImapAndPop3PlainUpgradedAndImplicitAgainstDovecot) {
    struct Try {
        bool (*fn)(Ui*, const std::string&, bool, const std::string&, const std::string&);
        int port;
        bool tls;
        const char* what;
    };
    const Try tries[] = {{&test_imap, 0, false, "IMAP"}, {&test_imap, 0, true, "IMAP STARTTLS"},
                         {&test_imap, 1, true, "IMAPS"}, {&test_pop3, 2, false, "POP3"},
                         {&test_pop3, 2, true, "POP3 STLS"}, {&test_pop3, 3, true, "POP3S"}};
    for (const Try& t : tries) {
        SCOPED_TRACE(t.what);
        ScriptedUi good, odd, bad;
        EXPECT_TRUE(t.fn(&good, at(t.port), t.tls, "demo", "demo")) << ::testing::PrintToString(good.texts());
        EXPECT_TRUE(t.fn(&odd, at(t.port), t.tls, "odd", kOddPassword)) << ::testing::PrintToString(odd.texts());
        EXPECT_FALSE(t.fn(&bad, at(t.port), t.tls, "demo", "wrong"));
        const std::string proto = t.fn == &test_imap ? "IMAP" : "POP3";
        EXPECT_EQ(bad.texts(), std::vector<std::string>{proto + " login failed - Invalid username and/or password?"});
    }
}

TEST_F(MailE2e, TheCommandLineAgainstDovecot) {
    auto ctl = [&](std::vector<std::string> args, const std::string& password) {
        args.push_back("--password-stdin");
        return test::run_program("ovrinsmsctl", args, {{"OVRINSMS_DATA_DIR", d.file("data/")}}, password + "\n");
    };
    auto r = ctl({"mail", "test", "imap", at(1), "--tls", "--user", "odd"}, kOddPassword);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = ctl({"mail", "test", "pop3", at(3), "--tls", "--user", "demo"}, "wrong");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: POP3 login failed - Invalid username and/or password?\n");
}

}  // namespace
}  // namespace ovr::nettest
