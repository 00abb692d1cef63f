// ovrinsmsctl mail test against the mail simulator: exit codes, one line per
// box, nothing on success, and the password only from standard input.
#include <gtest/gtest.h>

#include <memory>

#include "mail_sim.h"
#include "platform/network.h"
#include "support/scratch.h"

using ovr::test::run_program;
using ovr::test::RunResult;

namespace {

namespace ms = ovr::mailsim;

class MailCli : public ::testing::Test {
protected:
    void SetUp() override { ovr::platform::start_network(); }
    std::string serve(ms::Protocol p, ms::Security s = ms::Security::Plain, ms::Profile f = ms::Profile::Normal) {
        ms::Options o;
        o.protocol = p;
        o.security = s;
        o.profile = f;
        o.password = "pa\"ss\\word";
        servers.push_back(std::make_unique<ms::Server>(o));
        std::string error;
        EXPECT_TRUE(servers.back()->start(error)) << error;
        return "127.0.0.1:" + std::to_string(servers.back()->port());
    }
    RunResult mail(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {"mail", "test"});
        return run_program("ovrinsmsctl", args, {{"OVRINSMS_DATA_DIR", d.file("data/")}}, input);
    }
    ovr::test::ScratchDir d;
    std::vector<std::unique_ptr<ms::Server>> servers;
};

TEST_F(MailCli, APassIsSilentAndAFailureIsOneLinePerBox) {
    std::string imaps = serve(ms::Protocol::Imap, ms::Security::Implicit);
    RunResult r = mail({"imap", imaps, "--tls", "--user", "demo", "--password-stdin"}, "pa\"ss\\word\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");

    r = mail({"imap", imaps, "--tls", "--user", "demo", "--password-stdin"}, "wrong\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "error: IMAP login failed - Invalid username and/or password?\n");

    // The server's CR LF neither ends the line nor adds one.
    r = mail({"smtp", serve(ms::Protocol::Smtp, ms::Security::Plain, ms::Profile::Code421)});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: Timeout Waiting for SMTP - 421 mailsim busy, try later\n");

    std::string pop3 = serve(ms::Protocol::Pop3, ms::Security::Upgrade);
    r = mail({"pop3", pop3, "--tls", "--user", "demo", "--password-stdin"}, "pa\"ss\\word\r\n");
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(MailCli, ALineBreakInThePasswordFailsWithoutConnecting) {
    std::string pop3 = serve(ms::Protocol::Pop3);
    RunResult r = mail({"pop3", pop3, "--user", "demo", "--password-stdin"}, "demo\rDELE 1\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: POP3 login failed - Invalid username and/or password?\n");
    EXPECT_EQ(servers.back()->connections(), 0);
}

TEST_F(MailCli, TheTranscriptMasksThePassword) {
    std::string smtp = serve(ms::Protocol::Smtp, ms::Security::Upgrade);
    RunResult r = mail({"smtp", smtp, "--tls", "--user", "demo", "--password-stdin", "--transcript"}, "pa\"ss\\word\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("> STARTTLS\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("> ********\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("pa\"ss"), std::string::npos);
}

TEST_F(MailCli, BadUsageIsTwoWithTheReason) {
    RunResult r = mail({"imap", "127.0.0.1:1", "--password", "demo"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("ovrinsmsctl: a password on the command line shows in the process list", 0), 0u) << r.err;
    r = mail({"smtps", "127.0.0.1:1"});
    EXPECT_EQ(r.status, 2);
    r = mail({"imap", "127.0.0.1:1", "--password-stdin"}, "");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("ovrinsmsctl: no password on standard input\n", 0), 0u) << r.err;
}

}  // namespace

namespace {

// The page's twin commands: what one command saves, the others show.
class MailboxesCli : public MailCli {
protected:
    RunResult ctl(const std::vector<std::string>& args, const std::string& input = {}) {
        return run_program("ovrinsmsctl", args, env, input);
    }
    std::map<std::string, std::string> env{{"OVRINSMS_DATA_DIR", d.file("data/")},
                                           {"OVRINSMS_PRIVATE_DIR", d.file("data/private/")}};
};

TEST_F(MailboxesCli, AMailboxSavedAfterBothTestsReadsBackAsTheDialogShowsIt) {
    std::string imap = serve(ms::Protocol::Imap, ms::Security::Upgrade);
    std::string smtp = serve(ms::Protocol::Smtp, ms::Security::Upgrade);
    RunResult r = ctl({"mailboxes", "list", "--json"});
    EXPECT_EQ(r.out, "[]\n");
    const std::vector<std::string> add = {"mailboxes", "add", "sms", "--address", "sms@demo.test", "--user",
                                          "demo", "--password-stdin", "--imap", imap, "--smtp", smtp, "--tls"};
    r = ctl(add, "wrong\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: IMAP login failed - Invalid username and/or password?\n");
    EXPECT_EQ(ctl({"mailboxes", "list"}).out, "") << "nothing saved after a failed test";

    r = ctl(add, "pa\"ss\\word\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = ctl({"mailboxes", "list", "--json"});
    EXPECT_EQ(r.out, "[{\"kind\": \"sms\", \"address\": \"sms@demo.test\", \"name\": \"\", \"user\": \"demo\", "
                     "\"server_type\": \"imap\", \"receive_server\": \"" + imap + "\", \"smtp_server\": \"" + smtp +
                     "\", \"tls\": true, \"poll\": \"120\"}]\n");
    r = ctl({"mailboxes", "show", "sms"});
    EXPECT_NE(r.out.find("Password:\t********\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("pa\"ss"), std::string::npos);
    EXPECT_EQ(ctl({"mail", "settings"}).out.rfind("sms-mailbox\tsms@demo.test\n", 0), 0u);

    // Edit starts from the stored fields: only the name changes, both servers are tested again.
    r = ctl({"mailboxes", "edit", "sms", "--name", "Demo"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ctl({"mailboxes", "list", "--json"}).out.find("\"name\": \"Demo\""), std::string::npos);
    r = ctl({"mailboxes", "edit", "sms", "--name", "Demo", "--smtp", "127.0.0.1:1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: Connection failed for SMTP server (127.0.0.1:1)\n");
    EXPECT_EQ(ctl({"mailboxes", "add", "sms", "--user", "x"}).status, 1) << "add does not replace";

    r = ctl({"mailboxes", "remove", "sms"});
    EXPECT_EQ(r.status, 1) << "not confirmed";
    EXPECT_EQ(ctl({"mailboxes", "remove", "sms", "--yes"}).status, 0);
    EXPECT_EQ(ctl({"mailboxes", "list"}).out, "");
    EXPECT_EQ(ctl({"mailboxes", "show", "sms"}).status, 1);
    EXPECT_EQ(ctl({"mailboxes", "add", "sms", "--password", "x"}).status, 2);
}

TEST_F(MailboxesCli, TheRequiredFieldsAreRefusedInOrder) {
    RunResult r = ctl({"mailboxes", "add", "sms", "--user", "demo"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: Field is required!\n");
    EXPECT_EQ(ctl({"mailboxes", "list"}).out, "");
}

TEST_F(MailboxesCli, SettingsAndSendersRoundTrip) {
    RunResult r = ctl({"mail", "set", "--max-sms", "3", "--route-replies", "yes", "--delivery-reports", "yes",
                       "--template", "@@Text@@"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = ctl({"mail", "settings", "--json"});
    EXPECT_EQ(r.out, "{\"sms_mailbox\": \"(Not Configured)\", \"max_sms\": 3, \"use_mms\": false, \"force_mms\": false, "
                     "\"route_replies\": true, \"delivery_reports\": true, \"template\": \"@@Text@@\"}\n");
    EXPECT_EQ(ctl({"config", "get", "RIRER", "RIRER", "ReceiveSMS"}).out, "Yes\n");
    EXPECT_EQ(ctl({"mail", "set", "--route-replies", "no", "--delivery-reports", "yes"}).status, 2);
    EXPECT_EQ(ctl({"mail", "set", "--max-sms", "0"}).status, 2);

    ASSERT_EQ(ctl({"senders", "add", "Bob@x.org,Bob"}).status, 0);
    ASSERT_EQ(ctl({"senders", "add", "ann@x.org"}).status, 0);
    ASSERT_EQ(ctl({"senders", "add", "BOB@X.ORG,Robert"}).status, 0);
    EXPECT_EQ(ctl({"senders", "list", "--json"}).out, "[\"ann@x.org\", \"BOB@X.ORG,Robert\"]\n");
    EXPECT_EQ(ctl({"senders", "remove", "bob@x.org"}).status, 0);
    EXPECT_EQ(ctl({"senders", "list"}).out, "ann@x.org\n");
    EXPECT_EQ(ctl({"senders", "remove", "bob@x.org"}).status, 1);
}

}  // namespace
