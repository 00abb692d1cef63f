// The E-mail page, the mailbox dialog and the senders dialog against real
// INI files; the mail tests are stand-ins that record what they were asked.
#include "pages/email_page.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "config/ini.h"
#include "support/page_site.h"
#include "support/scratch.h"

using namespace ovr;
using pages::EmailPage;
using pages::MailboxDialog;
using pages::MailboxKind;
using pages::SendersDialog;
using Field = MailboxDialog::Field;
using test::read_text;
using test::write_text;

namespace {

// The stand-in mail tests: each call is recorded; results are set per test.
std::vector<std::string> g_calls;
bool g_receive_passes = true, g_smtp_passes = true;
bool record(const char* what, bool result, const std::string& server, bool tls, const std::string& user,
            const std::string& password) {
    g_calls.push_back(std::string(what) + " " + server + (tls ? " tls " : " plain ") + user + " " + password);
    return result;
}
pages::MailTests fake_tests() {
    return {[](Ui*, const std::string& s, bool t, const std::string& u, const std::string& p) {
                return record("smtp", g_smtp_passes, s, t, u, p);
            },
            [](Ui*, const std::string& s, bool t, const std::string& u, const std::string& p) {
                return record("imap", g_receive_passes, s, t, u, p);
            },
            [](Ui*, const std::string& s, bool t, const std::string& u, const std::string& p) {
                return record("pop3", g_receive_passes, s, t, u, p);
            }};
}

struct DialogWindows : pages::Windows {
    int mailbox_result = 0, senders_result = 0;
    std::vector<int> kinds;
    void open_queue_viewer(pages::ViewerKind) override {}
    void open_event_log_viewer() override {}
    int edit_mailbox(int kind) override {
        kinds.push_back(kind);
        return mailbox_result;
    }
    int edit_senders() override { return senders_result; }
};

class EmailTest : public ::testing::Test {
protected:
    EmailTest() {
        g_calls.clear();
        g_receive_passes = g_smtp_passes = true;
        ctx.dirs = {d.path(), d.path() + "private/", d.path()};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        write_text(ctx.ini.rirer, "");
        write_text(ctx.ini.mmsc, "");
        ctx.ui = &ui;
        ctx.windows = &windows;
        ctx.run_busy = [this](const std::string&, const std::string& text, const std::function<void()>& work) {
            busy.push_back(text);
            work();
        };
    }
    std::string mmsc(const std::string& section, const std::string& key) {
        return config::ini::read_value(ctx.ini.mmsc, section, key).value_or("<none>");
    }
    std::unique_ptr<EmailPage> open() {
        auto p = std::make_unique<EmailPage>(ctx);
        p->created(site);
        return p;
    }
    MailboxDialog dialog(MailboxKind k = MailboxKind::Sms) { return MailboxDialog(ctx, k, fake_tests()); }
    void fill(MailboxDialog& m, const std::string& address = "sms@example.com") {
        m.set_text(Field::Address, address);
        m.set_text(Field::User, "joe");
        m.set_text(Field::Password, "pw");
        m.set_text(Field::ReceiveHost, "imap.example.com");
        m.set_text(Field::SmtpHost, "smtp.example.com");
    }

    test::ScratchDir d;
    pages::Context ctx;
    ScriptedUi ui;
    DialogWindows windows;
    ovr::test::CountingSite site;
    std::vector<std::string> busy;
};

TEST_F(EmailTest, AnEmptyPageAppliesTheDefaultsAndNoMailbox) {
    auto p = open();
    EXPECT_EQ(p->sms_mailbox_label().text, "(Not Configured)");
    EXPECT_FALSE(p->mms_mailbox_button().visible);
    EXPECT_FALSE(p->mms_mailbox_label().visible);
    EXPECT_EQ(p->max_sms(), "1");
    EXPECT_EQ(p->template_text(), pages::kDefaultEmailTemplate);
    EXPECT_EQ(p->template_choices(),
              (std::vector<std::string>{"@@FromAddress@@ /@@Subject@@ /@@Text@@", "@@Subject@@ /@@Text@@", "@@Text@@"}));
    EXPECT_FALSE(p->delivery_reports().enabled);
    EXPECT_FALSE(p->changed());
    p->apply();
    EXPECT_EQ(mmsc("MMSC", "SMSEMail"), "No");
    EXPECT_EQ(mmsc("MMSC", "SMSPerEMail"), "1");
    EXPECT_EQ(mmsc("MMSC", "SMSEMailTemplate"), "<none>");
    EXPECT_EQ(mmsc("MMSC", "SMSEMailTrackSender"), "<none>");
    EXPECT_EQ(config::ini::read_value(ctx.ini.rirer, "RIRER", "ReceiveSMS"), std::nullopt);
}

TEST_F(EmailTest, ApplyNormalisesWhatWasTyped) {
    for (std::string typed : {"0", "abc", "", "7x"}) {
        auto p = open();
        p->set_max_sms(typed);
        p->apply();
        EXPECT_EQ(mmsc("MMSC", "SMSPerEMail"), typed == "7x" ? "7" : "1") << typed;
    }
    // The default template in any letter case is no template.
    write_text(ctx.ini.mmsc, "[MMSC]\nSMSEMailTemplate=@@Text@@\n");
    auto p = open();
    EXPECT_EQ(p->template_text(), "@@Text@@");
    p->type_template("@@fromaddress@@ /@@SUBJECT@@ /@@text@@");
    p->apply();
    EXPECT_EQ(mmsc("MMSC", "SMSEMailTemplate"), "<none>");
    p->type_template("");
    p->apply();
    EXPECT_EQ(mmsc("MMSC", "SMSEMailTemplate"), "<none>");
    p->type_template("@@Subject@@");
    p->apply();
    EXPECT_EQ(mmsc("MMSC", "SMSEMailTemplate"), "@@Subject@@");
}

TEST_F(EmailTest, DeliveryReportsFollowTheRouteRepliesBox) {
    write_text(ctx.ini.mmsc, "[MMSC]\nSMSEMailReceiptRequested=Yes\n");
    auto p = open();
    EXPECT_FALSE(p->delivery_reports().checked) << "read only while replies are routed";
    p->click_delivery_reports();
    EXPECT_FALSE(p->delivery_reports().checked) << "a disabled box does not toggle";
    p->click_track_sender();
    EXPECT_TRUE(p->delivery_reports().enabled);
    p->click_delivery_reports();
    p->apply();
    EXPECT_EQ(mmsc("MMSC", "SMSEMailTrackSender"), "Yes");
    EXPECT_EQ(mmsc("MMSC", "SMSEMailReceiptRequested"), "Yes");
    EXPECT_EQ(config::ini::read_value(ctx.ini.rirer, "RIRER", "ReceiveSMS"), "Yes");
    p->click_track_sender();
    EXPECT_FALSE(p->delivery_reports().enabled);
    EXPECT_TRUE(p->delivery_reports().checked);
    p->apply();
    EXPECT_EQ(mmsc("MMSC", "SMSEMailTrackSender"), "<none>");
    EXPECT_EQ(mmsc("MMSC", "SMSEMailReceiptRequested"), "<none>");
    // Reopened, the boxes read back what was applied.
    write_text(ctx.ini.mmsc, "[MMSC]\nSMSEMailTrackSender=yes\nSMSEMailReceiptRequested=1\nSMSEMailUseMMS=TRUE\n");
    auto q = open();
    EXPECT_TRUE(q->track_sender().checked);
    EXPECT_TRUE(q->delivery_reports().checked);
    EXPECT_TRUE(q->delivery_reports().enabled);
    EXPECT_TRUE(q->use_mms().checked);
    EXPECT_FALSE(q->force_mms().checked);
}

TEST_F(EmailTest, ChangesAreTrackedAndDialogsThatSavedCount) {
    auto p = open();
    p->type_template("@@Text@@ typed");
    EXPECT_FALSE(p->changed()) << "typing in the template is not a change";
    EXPECT_FALSE(ctx.unsaved_changes);
    p->press_senders();
    EXPECT_FALSE(p->changed()) << "a cancelled dialog";
    p->select_template(2);
    EXPECT_TRUE(p->changed());
    EXPECT_TRUE(ctx.unsaved_changes) << "Cancel from another tab must know";
    EXPECT_EQ(p->unsaved_query(), std::optional<bool>(true));
    p->apply();
    EXPECT_FALSE(p->changed());

    // A saved mailbox dialog marks the page, and Apply then follows it.
    windows.mailbox_result = 1;
    write_text(ctx.ini.mmsc, "[MMSC]\nSMSMailbox=a@b.c\n[Mailbox-a@b.c]\nEMailAddress=a@b.c\n");
    p->press_sms_mailbox();
    EXPECT_EQ(windows.kinds, std::vector<int>{1});
    EXPECT_EQ(p->sms_mailbox_label().text, "a@b.c");
    EXPECT_TRUE(p->changed());
    p->apply();
    EXPECT_EQ(mmsc("MMSC", "SMSEMail"), "Yes");
    EXPECT_GE(site.changed, 2);

    // Cancel asks while anything is pending.
    p->click_force_mms();
    ui.script({Answer::No});
    EXPECT_FALSE(p->cancel_requested());
    EXPECT_EQ(ui.texts().back(), "Exit without saving configuration changes?");
}

TEST_F(EmailTest, TheMailboxDialogLoadsByItsRules) {
    MailboxDialog empty = dialog();
    EXPECT_TRUE(empty.imap().selected);
    EXPECT_EQ(empty.field(Field::ReceivePort).text, "143");
    EXPECT_EQ(empty.field(Field::SmtpPort).text, "25");
    EXPECT_EQ(empty.field(Field::Poll).text, "120");
    EXPECT_TRUE(empty.field(Field::Password).masked);

    write_text(ctx.ini.mmsc,
               "[MMSC]\nSMSMailbox=box@x.org\n[Mailbox-box@x.org]\nEMailAddress=box@x.org\nUsername=u\nPassword=p\n"
               "POP3Server=pop.x.org:1110\nIMAPServer=[::1]:0\nUseSSL=Yes\nSMTPServer=smtp.x.org\nPollInterval=0\n");
    MailboxDialog m = dialog();
    EXPECT_TRUE(m.imap().selected) << "IMAP wins when both are stored";
    EXPECT_FALSE(m.pop3().selected);
    EXPECT_EQ(m.field(Field::ReceiveHost).text, "[::1]");
    EXPECT_EQ(m.field(Field::ReceivePort).text, "993") << "port 0 takes the TLS default";
    EXPECT_EQ(m.field(Field::SmtpHost).text, "smtp.x.org");
    EXPECT_EQ(m.field(Field::SmtpPort).text, "587");
    EXPECT_EQ(m.field(Field::Poll).text, "120");
    EXPECT_TRUE(m.tls().checked);

    m.click_pop3();
    EXPECT_EQ(m.field(Field::ReceivePort).text, "995");
    m.click_tls();
    EXPECT_EQ(m.field(Field::ReceivePort).text, "110");
    EXPECT_EQ(m.field(Field::SmtpPort).text, "25");
    m.click_imap();
    EXPECT_EQ(m.field(Field::ReceivePort).text, "143");
    m.set_text(Field::SmtpPort, "5a8-7");
    EXPECT_EQ(m.field(Field::SmtpPort).text, "587") << "ports take digits only";
}

TEST_F(EmailTest, OkChecksTheFieldsInOrderThenBothServersThenSaves) {
    MailboxDialog m = dialog();
    const Field order[] = {Field::Address, Field::User, Field::Password, Field::ReceiveHost, Field::SmtpHost};
    for (size_t i = 0; i < std::size(order); ++i) {
        fill(m);
        for (size_t k = 0; k <= i; ++k) m.set_text(order[k], "");
        ui.boxes.clear();
        EXPECT_FALSE(m.ok());
        EXPECT_EQ(ui.texts(), std::vector<std::string>{"Field is required!"});
        EXPECT_EQ(m.focus(), order[0]) << "the first empty field has the focus";
    }
    fill(m);
    m.set_text(Field::User, "");
    EXPECT_FALSE(m.ok());
    EXPECT_EQ(m.focus(), Field::User);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(read_text(ctx.ini.mmsc), "");

    fill(m);
    g_receive_passes = false;
    EXPECT_FALSE(m.ok());
    EXPECT_EQ(m.focus(), Field::ReceiveHost);
    EXPECT_EQ(g_calls, std::vector<std::string>{"imap imap.example.com:143 plain joe pw"});
    EXPECT_EQ(read_text(ctx.ini.mmsc), "") << "nothing written after a failed test";

    g_calls.clear();
    g_receive_passes = true;
    g_smtp_passes = false;
    m.click_pop3();
    m.click_tls();
    EXPECT_FALSE(m.ok());
    EXPECT_EQ(m.focus(), Field::SmtpHost);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"pop3 imap.example.com:995 tls joe pw",
                                                 "smtp smtp.example.com:587 tls joe pw"}));
    EXPECT_EQ(read_text(ctx.ini.mmsc), "");
    EXPECT_EQ(busy.size(), 3u) << "each test runs behind the wait window";

    g_smtp_passes = true;
    m.set_text(Field::Poll, "");
    EXPECT_TRUE(m.ok());
    EXPECT_EQ(mmsc("MMSC", "SMSMailbox"), "sms@example.com");
    const std::string s = "Mailbox-sms@example.com";
    EXPECT_EQ(mmsc(s, "POP3Server"), "imap.example.com:995");
    EXPECT_EQ(mmsc(s, "IMAPServer"), "<none>");
    EXPECT_EQ(mmsc(s, "UseSSL"), "Yes");
    EXPECT_EQ(mmsc(s, "SMTPServer"), "smtp.example.com:587");
    EXPECT_EQ(mmsc(s, "PollInterval"), "<none>");
    EXPECT_EQ(mmsc(s, "Password"), "pw");
    struct stat st;
    ASSERT_EQ(::stat(ctx.ini.mmsc.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << "a file holding a password is the owner's only";
}

TEST_F(EmailTest, SavingRenamesReplacesTheOtherServerAndKeepsIpv6Whole) {
    ::chmod(ctx.ini.mmsc.c_str(), 0640);
    write_text(ctx.ini.mmsc, "[MMSC]\nSMSMailbox=old@x.org\nMMSMailbox=mms@x.org\n"
                             "[Mailbox-old@x.org]\nEMailAddress=old@x.org\nUsername=u\nPassword=p\n"
                             "IMAPServer=[::1]:1993\nPOP3Server=pop:1\nSMTPServer=[fe80::1]:2525\n"
                             "[Mailbox-mms@x.org]\nEMailAddress=mms@x.org\n");
    MailboxDialog m = dialog();
    EXPECT_EQ(m.field(Field::ReceiveHost).text, "[::1]");
    EXPECT_EQ(m.field(Field::ReceivePort).text, "1993");
    m.set_text(Field::Address, "new@x.org");
    ASSERT_TRUE(m.ok());
    EXPECT_EQ(g_calls, (std::vector<std::string>{"imap [::1]:1993 plain u p", "smtp [fe80::1]:2525 plain u p"}));
    auto sections = config::ini::read_section_names(ctx.ini.mmsc);
    EXPECT_EQ(sections, (std::vector<std::string>{"MMSC", "Mailbox-mms@x.org", "Mailbox-new@x.org"}));
    EXPECT_EQ(mmsc("Mailbox-new@x.org", "IMAPServer"), "[::1]:1993");
    EXPECT_EQ(mmsc("Mailbox-new@x.org", "POP3Server"), "<none>");
    EXPECT_EQ(mmsc("Mailbox-new@x.org", "SMTPServer"), "[fe80::1]:2525");
    EXPECT_EQ(mmsc("MMSC", "MMSMailbox"), "mms@x.org");

    // A bare IPv6 address typed in the host field keeps its port apart.
    m.set_text(Field::ReceiveHost, "::1");
    ASSERT_TRUE(m.ok());
    EXPECT_EQ(mmsc("Mailbox-new@x.org", "IMAPServer"), "[::1]:1993");

    // An address the file cannot hold is refused and the dialog stays.
    m.set_text(Field::Address, "bad]@x.org");
    ui.boxes.clear();
    EXPECT_FALSE(m.ok());
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Unable to save the settings in " + ctx.ini.mmsc + "."});
    EXPECT_EQ(mmsc("MMSC", "SMSMailbox"), "new@x.org");
}

TEST_F(EmailTest, RemoveAsksAndDeletesOnlyOnYes) {
    write_text(ctx.ini.mmsc, "[MMSC]\nSMSMailbox=a@x.org\n[Mailbox-a@x.org]\nEMailAddress=a@x.org\n");
    MailboxDialog m = dialog();
    ui.script({Answer::No, Answer::Cancel, Answer::Yes});
    EXPECT_FALSE(m.remove());
    EXPECT_FALSE(m.remove());
    EXPECT_EQ(mmsc("MMSC", "SMSMailbox"), "a@x.org");
    EXPECT_TRUE(m.remove());
    EXPECT_EQ(ui.boxes[0].text, "All Mailbox Settings will be removed.\r\n\r\nAre you sure?");
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(mmsc("MMSC", "SMSMailbox"), "<none>");
    EXPECT_TRUE(config::ini::read_section(ctx.ini.mmsc, "Mailbox-a@x.org").empty());
    MailboxDialog none = dialog();
    EXPECT_TRUE(none.remove()) << "closes with 1 also when nothing was configured";
}

TEST_F(EmailTest, LongAccountTextsAreCutOnACharacterBoundary) {
    MailboxDialog m = dialog();
    std::string user = std::string(248, 'u') + "\xc3\xa9";   // 250 bytes, the last character two of them
    m.set_text(Field::User, user);
    EXPECT_EQ(m.field(Field::User).text, std::string(248, 'u'));
    m.set_text(Field::Password, std::string(300, 'p'));
    EXPECT_EQ(m.field(Field::Password).text.size(), 249u);
}

TEST_F(EmailTest, SendersLoadByTheFiftyEmptyRuleAndReplaceByKey) {
    write_text(ctx.ini.mmsc, "[AuthEMailSMS]\nUser1=bob@x.org,Bob\nUser3=Ann@x.org\nUser60=late@x.org\n");
    SendersDialog s(ctx);
    EXPECT_EQ(s.entries(), (std::vector<std::string>{"Ann@x.org", "bob@x.org,Bob"}));
    s.set_text("BOB@X.ORG,Robert");
    s.add();
    EXPECT_EQ(s.text(), "");
    EXPECT_EQ(s.entries(), (std::vector<std::string>{"Ann@x.org", "BOB@X.ORG,Robert"}));
    EXPECT_EQ(s.selected(), 1);
    s.add();   // nothing to add
    EXPECT_EQ(s.entries().size(), 2u);
    s.set_text("carl@x.org");
    EXPECT_FALSE(s.ok()) << "text still in the field is added first";
    EXPECT_EQ(s.entries().size(), 3u);
    s.select(0);
    s.remove();
    EXPECT_EQ(s.selected(), 0);
    EXPECT_EQ(s.entries(), (std::vector<std::string>{"BOB@X.ORG,Robert", "carl@x.org"}));
    ASSERT_TRUE(s.ok());
    EXPECT_EQ(mmsc("AuthEMailSMS", "User1"), "BOB@X.ORG,Robert");
    EXPECT_EQ(mmsc("AuthEMailSMS", "User2"), "carl@x.org");
    EXPECT_EQ(mmsc("AuthEMailSMS", "User3"), "<none>");
    EXPECT_EQ(mmsc("AuthEMailSMS", "User60"), "late@x.org") << "beyond the 50 empty numbers: untouched";
    // A sender the file cannot hold keeps the dialog open with nothing lost.
    SendersDialog t(ctx);
    t.set_text("x@y.z\rUser9=evil");
    t.add();
    EXPECT_FALSE(t.ok());
    EXPECT_EQ(mmsc("AuthEMailSMS", "User1"), "BOB@X.ORG,Robert");
}

TEST_F(EmailTest, AKillMidSaveLeavesOneWholeMailbox) {
    // A writer saving two mailboxes in turn is killed at random moments; the
    // file always holds one of them whole, never a mix or none.
    for (int round = 0; round < 8; ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                pages::Mailbox m;
                m.address = i % 2 ? "odd@x.org" : "even@x.org";
                m.user = m.password = m.address;
                m.receive_server = "imap." + m.address;
                m.smtp_server = "smtp." + m.address;
                if (!pages::save_mailbox(ctx, MailboxKind::Sms, m)) ::_exit(3);
            }
        }
        ::usleep(20000 + 7000 * round);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own";
        config::ini::clear_cache();
        auto m = pages::load_mailbox(ctx, MailboxKind::Sms);
        ASSERT_TRUE(m.has_value());
        EXPECT_TRUE(m->address == "odd@x.org" || m->address == "even@x.org") << m->address;
        EXPECT_EQ(m->user, m->address);
        EXPECT_EQ(m->password, m->address);
        EXPECT_EQ(m->smtp_server, "smtp." + m->address);
        EXPECT_EQ(config::ini::read_section_names(ctx.ini.mmsc).size(), 2u) << "the former section went in the same save";
    }
}

}  // namespace
