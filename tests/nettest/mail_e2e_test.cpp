// The mail tests against a real Dovecot (label mail-e2e): a throwaway
// instance from its own configuration in a scratch directory (dovecot -c),
// accounts in a passwd-file, IMAP, IMAPS, POP3 and POP3S on loopback with a
// fresh self-signed certificate. Nothing under /etc is read or touched
// beyond the programs. Needs root and "./run deps --mail"; skipped otherwise.
#include <arpa/inet.h>
#include <netinet/in.h>
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
    }
    void TearDown() override {
        set_mail_timeouts(MailTimeouts{});
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
    }
    std::string at(int i) const { return "127.0.0.1:" + std::to_string(ports[i]); }

    test::ScratchDir d;
    uint16_t ports[4] = {};   // imap, imaps, pop3, pop3s
    pid_t pid = -1;
};

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
