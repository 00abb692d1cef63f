// ovrinsms-screenshots DIR: renders every sheet, page and dialog of the
// console to PNG files in DIR (run offscreen by ./run screenshots), over a
// scratch data directory made for the purpose.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <map>

#include "app/sheet.h"
#include "config/ini.h"
#include "pages/email_page.h"
#include "pages/keyword_dialog.h"
#include "pages/mm7_dialog.h"
#include "gprs/connection_test.h"
#include "pages/modem_page.h"
#include "pages/operator_lookup.h"
#include "pages/page.h"
#include "pages/select_modem.h"
#include "pages/status_page.h"
#include "config/modem_cache.h"
#include "device_server.h"
#include "modem/network_device.h"
#include "modem/operators.h"
#include "platform/dynlib.h"
#include "pages/server_page.h"
#include "pages/user_dialog.h"
#include "pages/test_message.h"
#include "queue/request_files.h"
#include "pages/users_page.h"
#include "config/support.h"
#include "platform/fs.h"
#include "service/control.h"
#include "service/status.h"
#include "ui/qt/email_view.h"
#include "ui/qt/event_log_window.h"
#include "ui/qt/keyword_dialog_window.h"
#include "ui/qt/mm7_dialog_window.h"
#include "ui/qt/modem_view.h"
#include "ui/qt/page_views.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/queue_viewer_window.h"
#include "ui/qt/sheet_window.h"
#include "ui/qt/user_dialog_view.h"

using namespace ovr;

extern char** environ;

namespace {

std::string out_dir;
int written = 0;

void save(QWidget* w, const std::string& name) {
    w->show();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    std::string path = out_dir + name + ".png";
    // Offscreen windows have no frame, so the caption (the program title,
    // or "Please wait...") is drawn above the content as a title bar.
    QPixmap content = w->grab();
    const int bar = 26;
    QPixmap shot(content.width() + 2, content.height() + bar + 1);
    shot.fill(QColor(0x44, 0x55, 0x66));
    {
        QPainter p(&shot);
        p.drawPixmap(1, bar, content);
        w->windowIcon().paint(&p, QRect(5, 4, 18, 18));
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(28, 0, shot.width() - 30, bar), Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
    }
    if (shot.save(QString::fromStdString(path))) {
        ++written;
        std::cout << path << "\n";
    } else {
        std::cerr << "cannot write " << path << "\n";
    }
}

std::string slug(const std::string& title) {
    std::string s;
    for (char c : title) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            s += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else if (!s.empty() && s.back() != '-')
            s += '-';
    }
    while (!s.empty() && s.back() == '-') s.pop_back();
    return s;
}

void box(const std::string& name, const std::string& text, Icon icon, Buttons buttons) {
    auto b = ui::make_message_box(text, icon, buttons, kProgramTitle, nullptr);
    b->setWindowIcon(ui::program_icon());
    save(b.get(), name);
}

// A running gateway for the Status page: both services installed and
// running on the simulated platform (their "programs" are stand-ins held in
// this process), shared memory published, a few queued messages, counters
// and events.
struct ShotGateway {
    std::string root;
    platform::Platform p;
    std::map<std::string, int> held;
    std::unique_ptr<platform::SharedBlock> sms_block, mmsc_block;

    ShotGateway(const std::string& r, pages::Context& ctx) : root(r) {
        p = platform::make_sim_platform(root + "sim/", std::make_shared<platform::FakeClock>(
                                                           platform::LocalTime{2026, 5, 19, 10, 30, 0, 0, 2}));
        p.services = platform::make_sim_service_manager(p.sim_root, true, [this](const platform::LaunchRequest& q,
                                                                                 int& pid) {
            held[q.service] = dup(q.lock_fd);
            platform::sim::write_status(platform::sim::service_dir(p.sim_root, q.service),
                                        platform::ServiceState::Running, 0);
            pid = 0;
            return 0u;
        });
        std::string bin = root + "bin/";
        platform::fs::create_directories(bin);
        for (const char* prog : {service::kSmsProgram, service::kMmscProgram}) {
            std::ofstream(bin + prog) << "\n";
            chmod((bin + prog).c_str(), 0755);
        }
        ScriptedUi quiet;
        service::ServiceControl(p, quiet, bin).install_and_start(true);
        sms_block = p.shared_memory->create(service::kSmsBlockName, 64);
        mmsc_block = p.shared_memory->create(service::kMmscBlockName, 64);
        ctx.platform = &p;
        config::ini::write_string(ctx.ini.rirer, "RIRER", "Modem1", "COM7:");
        std::string q = root + "Q/";
        platform::fs::create_directories(q);
        for (int i = 0; i < 3; ++i) std::ofstream(q + "TEST000" + std::to_string(i) + ".REQ") << "[SMS]\r\nPhoneNumber=+15550100\r\nData=Status check\r\n";
        platform::fs::create_directories(ctx.dirs.private_data + "STATS/");
        const std::pair<const char*, int> counters[] = {{"SMSSUBMIT", 12}, {"SMSSENT", 11}, {"SMSRECEIVED", 4},
                                                        {"SMSFAILED", 1},  {"MMSIN-VASP", 2}, {"MMSOUT-MMSC", 2}};
        int today = service::day_of_year(2026, 5, 19) - 1;
        for (auto [name, n] : counters) {
            std::string bytes(service::kCounterFileBytes, '\0');
            for (int d = today; d >= 0 && d > today - 40; --d) bytes[static_cast<size_t>(d) * 4] = static_cast<char>(n + d % 3);
            std::ofstream(service::counter_path(ctx.dirs.private_data, name, 2026), std::ios::binary) << bytes;
        }
        auto event = [&](platform::EventType t, const char* text, int min) {
            p.event_log->report(t, "OvrinSMS", {text}, {2026, 5, 19, 10, min, 12});
        };
        event(platform::EventType::Information, "OvrinSMS Gateway service started", 1);
        event(platform::EventType::Information, "OvrinMMSC service started", 1);
        p.event_log->report(platform::EventType::Error, "OtherApp", {"not ours"}, {2026, 5, 19, 10, 2, 0});
        event(platform::EventType::Warning, "COM7: modem did not answer, retrying", 14);
        event(platform::EventType::Error, "SMPP server port 2775 already in use", 22);
        event(platform::EventType::Information, "Message sent to +15550100", 29);
    }
    ~ShotGateway() {
        for (auto& [name, fd] : held) close(fd);
        p.shared_memory->unlink(service::kSmsBlockName);
        p.shared_memory->unlink(service::kMmscBlockName);
    }
};

// Messages waiting and received, as the gateway leaves them, for the queue
// viewers' pictures.
void write_queue_samples(const std::string& root) {
    auto put = [](const std::string& path, const std::string& text) {
        platform::fs::create_directories(platform::fs::parent_directory(path));
        std::ofstream(path, std::ios::binary) << text;
    };
    put(root + "Q/TEST1A2B.REQ", "[SMS]\r\nPhoneNumber=+15550123\r\nData=OvrinSMS Test Message\r\n");
    put(root + "Q/WEB00017.REQ", "[SMS]\r\nPhoneNumber=+15550188\r\nSubmitUser=webuser\r\nData=Meeting at 10\r\n");
    put(root + "Q/Modem1/SMPP0042.REQ",
        "[SMS]\r\nPhoneNumber=+15550777\r\nSubmitUser=smppclient\r\nData=Your code is 4711\r\n"
        "[ErrorDetail]\r\nRetryCount=3\r\nLastErrorInfo=Modem not responding\r\n");
    put(root + "VASPQ/TEST3C4D.MMS", "mms");
    put(root + "VASPQ/TEST3C4D.INI",
        "[Routing]\r\nMessageID=TEST3C4D\r\n[Recipients]\r\nRecip1=+15550123/TYPE=VASP:ovrinsmslite\r\n");
    put(root + "VASPQ/NEWS0001.MMS", "mms");
    std::string recips;
    for (int i = 1; i <= 6; ++i) recips += "Recip" + std::to_string(i) + "=+1555020" + std::to_string(i) + "/TYPE=PLMN\r\n";
    put(root + "VASPQ/NEWS0001.INI", "[Routing]\r\nSenderAddress=+15550100\r\nRetryCount=1\r\n"
                                     "LastErrorInfo=Connection refused\r\n[Recipients]\r\n" + recips);
    put(root + "SMS-IN/SMSIN-1.SMS", "[SMS-IN]\r\nSender=+15550001\r\nPhoneNumber=+15550100\r\n"
                                     "Data=Hello from the simulated gateway\r\n");
    put(root + "SMS-IN/SMSIN-2.SMS", "[SMS-IN]\r\nSender=+15550002\r\nPhoneNumber=+15550100\r\n"
                                     "Data=STATUS\r\n");
    put(root + "SMS-IN/SMSIN-3.IN", "[SMS-IN]\r\nSender=+15550003\r\nPhoneNumber=+15550100\r\n"
                                    "Data=Please call me back\r\n");
    put(root + "MMS-IN/MMSIN-1/text.txt", "Hello\r\n");
    put(root + "MMS-IN/MMSIN-1.HDR",
        "From: +15550001/TYPE=PLMN\r\nTo: +15550100/TYPE=PLMN\r\nSubject: Holiday pictures\r\n"
        "Date: 2015-05-19 12:30:45\r\n"
        "X-OvrinMMS-Content-Location: MMSIN-1/smil.smil;application/smil\r\n"
        "X-OvrinMMS-Content-Location: MMSIN-1/text.txt;text/plain\r\n"
        "X-OvrinMMS-Content-Location: MMSIN-1/beach.jpg;image/jpeg\r\n");
    put(root + "MMS-IN/MMSIN-2/image.gif", "GIF89a");
    put(root + "MMS-IN/MMSIN-2.HDR", "From: +15550002/TYPE=PLMN\r\nTo: +15550100/TYPE=PLMN\r\nSubject: Simulated MMS\r\n"
                                     "X-OvrinMMS-Content-Location: MMSIN-2/image.gif;image/gif\r\n");
}

// The AT modem simulator program behind a modem link, for the wizard's
// modem test; gone with the object.
struct ShotModem {
    pid_t pid = 0;
    explicit ShotModem(const std::string& link) {
        platform::fs::create_directories(link.substr(0, link.rfind('/') + 1));
        std::string sim = platform::executable_directory() + "ovrinsms-modemsim";
        const char* argv[] = {sim.c_str(), "--link", link.c_str(), "--profile", "pdu", nullptr};
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid, sim.c_str(), &fa, nullptr, const_cast<char**>(argv), environ) != 0) pid = 0;
        posix_spawn_file_actions_destroy(&fa);
        for (int i = 0; pid && i < 300 && !platform::fs::exists(link); ++i) usleep(10000);
    }
    ~ShotModem() {
        if (!pid) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
};

// A phone answering "GET /init" on loopback, in the discovery cache.
struct ShotPhone {
    devicesim::DeviceServer server;
    explicit ShotPhone(const std::string& name) : server([&] {
        devicesim::DeviceSpec spec;
        spec.name = name;
        return spec;
    }()) {
        std::string error;
        if (server.start(error)) config::cache_modem(name, server.address());
    }
};

// Records boxes and shows progress lines in the wait window being shot.
struct CaptureUi final : ScriptedUi {
    ui::BusyDialog* dialog = nullptr;
    void progress(const std::string& line) override {
        ScriptedUi::progress(line);
        if (dialog) dialog->add_line(QString::fromStdString(line));
    }
};

// A keyword table and MMS routing for the 2-Way page's picture.
void write_two_way_samples(const pages::Context& ctx) {
    namespace ini = config::ini;
    ini::write_profiles(ctx.ini.rirer, {{"RIRER", "ReceiveSMS", "Yes"},
                                        {"RIRER", "ReceiveMMS", "Yes"},
                                        {"2Way-Keywords", "Keyword1", "INFO"},
                                        {"2Way-Keywords", "Keyword2", "STOP##15550100"},
                                        {"2Way-Keywords", "Keyword3", "WEATHER"},
                                        {"2Way-Keyword-INFO", "ReplyText", "Ovrin SMS Gateway\\nReply HELP for help"},
                                        {"2Way-Keyword-STOP##15550100", "DListRemove", "news"},
                                        {"2Way-Keyword-WEATHER", "Run", "http://weather.example.com/?q=@@SMS@@"},
                                        {"2Way-Keyword-WEATHER", "RunSendResponse", "Yes"}});
}

// The keyword dialog empty and filled, the MM7 dialog standard and for PHP.
void shoot_two_way_dialogs(pages::Context& ctx) {
    {
        pages::KeywordDialog d(ctx, "");
        ui::KeywordDialogWindow w(d);
        w.setWindowIcon(ui::program_icon());
        save(&w, "dialog-keyword-empty");
    }
    {
        pages::KeywordDialog d(ctx, "WEATHER");
        d.set_text(pages::KeywordDialog::Text::MailTo, "ops@example.com");
        ui::KeywordDialogWindow w(d);
        w.setWindowIcon(ui::program_icon());
        save(&w, "dialog-keyword-filled");
    }
    {
        pages::Mm7Dialog d(ctx, nullptr);
        d.set_text(pages::Mm7Dialog::Text::Server, "https://mm7.example.com:8443/vasp");
        ui::Mm7DialogWindow w(d);
        w.setWindowIcon(ui::program_icon());
        save(&w, "dialog-mm7-standard");
        w.variations()->setCurrentIndex(1);
        emit w.variations()->activated(1);
        save(&w, "dialog-mm7-php");
    }
}

}  // namespace

// The E-mail page configured, its two dialogs and their boxes.
void shoot_email(pages::Context& ctx) {
    config::ini::write_profiles(ctx.ini.mmsc,
                             {{"MMSC", "SMSMailbox", "sms@gateway.example"},
                              {"MMSC", "SMSEMailTrackSender", "Yes"},
                              {"MMSC", "SMSPerEMail", "3"},
                              {"Mailbox-sms@gateway.example", "EMailAddress", "sms@gateway.example"},
                              {"Mailbox-sms@gateway.example", "EMailFullName", "SMS Gateway"},
                              {"Mailbox-sms@gateway.example", "Username", "sms@gateway.example"},
                              {"Mailbox-sms@gateway.example", "Password", "secret"},
                              {"Mailbox-sms@gateway.example", "IMAPServer", "imap.gateway.example"},
                              {"Mailbox-sms@gateway.example", "UseSSL", "Yes"},
                              {"Mailbox-sms@gateway.example", "SMTPServer", "smtp.gateway.example"},
                              {"AuthEMailSMS", "User1", "alice@example.com"},
                              {"AuthEMailSMS", "User2", "bob@example.com,Bob in sales"}});
    {
        app::Sheet sheet(app::SheetKind::Main, ctx, app::make_main_pages(ctx));
        ui::SheetWindow w(sheet, true);
        w.tabs()->setCurrentIndex(5);
        save(&w, "main-6-e-mail-configured");
        sheet.on_change = nullptr;
    }
    {
        ui::MailboxWindow m(ctx, pages::MailboxKind::Sms, nullptr);
        save(&m, "dialog-mailbox-imap-tls");
        m.pop3()->click();
        m.tls()->click();
        save(&m, "dialog-mailbox-pop3");
    }
    {
        ui::MailboxWindow m(ctx, pages::MailboxKind::Mms, nullptr);
        save(&m, "dialog-mailbox-empty");
    }
    box("dialog-field-is-required", pages::kFieldRequired, Icon::Error, Buttons::Ok);
    box("dialog-imap-login-failed", "IMAP login failed - Invalid username and/or password?", Icon::Error, Buttons::Ok);
    box("dialog-smtp-timeout-long-reply", "Timeout Waiting for SMTP - " + std::string(5000, 'x'), Icon::Error, Buttons::Ok);
    box("dialog-remove-mailbox", pages::kRemoveMailboxQuestion, Icon::Question, Buttons::YesNoCancel);
    {
        ui::SendersWindow s(ctx, nullptr);
        save(&s, "dialog-senders");
    }
    config::ini::write_profiles(ctx.ini.mmsc, {{"Mailbox-sms@gateway.example", std::nullopt, std::nullopt},
                                            {"MMSC", "SMSMailbox", std::nullopt},
                                            {"AuthEMailSMS", std::nullopt, std::nullopt}});
}

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: ovrinsms-screenshots DIR\n";
        return 2;
    }
    out_dir = argv[1];
    if (out_dir.back() != '/') out_dir += '/';
    platform::fs::create_directories(out_dir);

    char tmpl[] = "/tmp/ovrinsms-shots.XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    std::string root = std::string(tmpl) + "/";
    pages::Context ctx;
    ctx.dirs = {root, root + "private/", root};
    ctx.ini = config::ini_paths_for(ctx.dirs);
    ctx.help_available = true;
    ctx.manual_path = root + "OvrinSMS Lite.pdf";
    ScriptedUi quiet_ui;
    ctx.ui = &quiet_ui;
    // As after a wizard run: all three logs on; the SMS gateway has written
    // its log, the others not yet.
    config::ini::write_string(ctx.ini.rirer, "RIRER", "Debug", "Yes");
    config::ini::write_string(ctx.ini.mmsc, "MMSC", "Debug", "Yes");
    config::ini::write_string(root + "MMSWAP.INI", "MMSWAP", "Debug", "Yes");
    std::ofstream(root + "SMSDEBUG.LOG") << "log\n";
    ShotGateway gateway(root, ctx);
    // Three users, one of them with an MM7/EAIF account and a routing key.
    setenv("OVRINSMS_DATA_DIR", root.c_str(), 1);
    config::UserFileHandle users;
    config::open_user_file(root, config::kGenericRead | config::kGenericWrite, users);
    for (auto [name, full] : {std::pair{"alice", "Alice Liddell"}, {"bob", "Bob Builder"}, {"smppclient", "SMPP Client"}}) {
        config::UserRecord r;
        r.set_name(name);
        r.set_full_name(full);
        r.set_password("secret");
        r.set_smpp_login_enabled(std::string(name) == "smppclient");
        config::SMSAddUser(users, r);
    }
    config::ini::write_string(ctx.ini.rirer, pages::kInboundRouting, "smppclient", "+15550100");
    write_two_way_samples(ctx);
    const std::string modem_section = "Modem - COM7:";
    for (auto [k, v] : {std::pair{"APN", "mms.operator.net"}, {"APNLogin", "mms"}, {"APNPass", "mms"},
                        {"WAPGatewayIP", "10.11.12.13:8080"}, {"MMSURL", "http://mmsc.operator.net/mms"}})
        config::ini::write_string(ctx.ini.rirer, modem_section, k, v);

    {
        app::Sheet sheet(app::SheetKind::Main, ctx, app::make_main_pages(ctx));
        ui::SheetWindow w(sheet, true);
        for (size_t i = 0; i < sheet.size(); ++i) {
            w.tabs()->setCurrentIndex(static_cast<int>(i));
            char name[64];
            std::snprintf(name, sizeof name, "main-%zu-%s", i + 1, slug(sheet.page(i).title()).c_str());
            save(&w, name);
        }
        // The debug-log page after an edit: Apply enabled.
        auto* view = dynamic_cast<ui::DebugLogsView*>(w.view(sheet.size() - 1));
        if (view) {
            view->check(2)->click();
            save(&w, "main-8-debug-logs-changed");
        }
        sheet.on_change = nullptr;
    }
    shoot_email(ctx);
    {
        // The Status page with a port conflict, then with a modem error.
        pages::StatusPage::forget_last_queue_count();
        app::Sheet sheet(app::SheetKind::Main, ctx, app::make_main_pages(ctx));
        ui::SheetWindow w(sheet, true);
        auto& page = dynamic_cast<pages::StatusPage&>(sheet.page(0));
        gateway.sms_block->data()[service::kSecondPortByte] = 1;
        page.tick();
        w.view(0)->sync_if_changed();
        save(&w, "main-1-status-port-conflict");
        gateway.sms_block->data()[service::kSecondPortByte] = 0;
        std::ofstream(service::modem_error_path(ctx.dirs.private_data, "COM7:")) << "Modem not responding";
        page.tick();
        w.view(0)->sync_if_changed();
        save(&w, "main-1-status-modem-error");
        platform::fs::remove_file(service::modem_error_path(ctx.dirs.private_data, "COM7:"));
        sheet.on_change = nullptr;
    }
    {
        // The Server page with SMPP on, and its refusal of a shared port.
        config::ini::write_string(ctx.ini.rirer, "RIRER", "SMPPPort", "2775");
        app::Sheet sheet(app::SheetKind::Main, ctx, app::make_main_pages(ctx));
        ui::SheetWindow w(sheet, true);
        w.tabs()->setCurrentIndex(2);
        save(&w, "main-3-server-smpp");
        config::ini::remove_key(ctx.ini.rirer, "RIRER", "SMPPPort");
        sheet.on_change = nullptr;
    }
    {
        // The Test Message page following a test SMS: waiting, retrying, sent.
        app::Sheet sheet(app::SheetKind::Main, ctx, app::make_main_pages(ctx));
        ui::SheetWindow w(sheet, true);
        w.tabs()->setCurrentIndex(6);
        auto& page = dynamic_cast<pages::TestMessagePage&>(sheet.page(6));
        page.set_phone_number("+15551234");
        page.press_send_sms();
        w.view(6)->sync_if_changed();
        save(&w, "main-7-test-message-waiting");
        std::string tag = queue::test_tag(ctx.tests.sms.tag_value);
        std::string req = root + "Q/" + tag + ".REQ";
        config::ini::write_string(req, "ErrorDetail", "RetryCount", "2");
        config::ini::write_string(req, "ErrorDetail", "LastErrorInfo", "Modem not responding");
        page.tick();
        w.view(6)->sync_if_changed();
        save(&w, "main-7-test-message-retry");
        platform::fs::remove_file(req);
        std::ofstream(root + "SMSOUT-20260519.LOG", std::ios::app) << "10:30:05," << tag << ",+15551234,COM7:,OK\r\n";
        page.tick();
        w.view(6)->sync_if_changed();
        save(&w, "main-7-test-message-sent");
        platform::fs::remove_file(root + "SMSOUT-20260519.LOG");
        sheet.on_change = nullptr;
    }
    box("dialog-no-user-accounts", pages::TestMessagePage::kNoUsersQuestion, Icon::Question, Buttons::YesNo);
    box("dialog-sms-request-error", pages::TestMessagePage::kSmsCreateError, Icon::Error, Buttons::Ok);
    box("dialog-port-used-twice", pages::port_conflict_message(8800), Icon::Error, Buttons::Ok);
    box("dialog-save-configuration", pages::ServerPage::kSaveQuestion, Icon::Question, Buttons::YesNoCancel);
    {
        config::UserRecord r;
        config::SMSFindUserRecord(users, "smppclient", r);
        pages::UserDialog d(ctx, users, r);
        ui::UserDialogView v(d);
        save(&v, "dialog-edit-user");
        pages::UserDialog fresh(ctx, users, config::UserRecord{});
        ui::UserDialogView empty(fresh);
        save(&empty, "dialog-edit-user-new");
    }
    box("dialog-field-required", pages::UserDialog::kRequired, Icon::Error, Buttons::Ok);
    box("dialog-user-already-defined", "User bob is already defined.", Icon::Error, Buttons::Ok);
    box("dialog-invalid-user-name", pages::UserDialog::kInvalidName, Icon::Error, Buttons::Ok);
    box("dialog-delete-user", pages::UsersPage::kDeleteOne, Icon::Question, Buttons::YesNo);
    box("dialog-delete-users", "Delete 3 users?", Icon::Question, Buttons::YesNo);
    {
        // The Modem page: a network modem device with its own MMS settings,
        // then a local modem with MMS off and an operator connection chosen.
        auto one_page = [&](pages::ModemPageServices services) {
            std::vector<std::unique_ptr<pages::PageModel>> v;
            v.push_back(std::make_unique<pages::ModemPage>(ctx, std::move(services)));
            return v;
        };
        pages::ModemPageServices device;
        device.device_mms = [](const std::string&, std::string& url, std::string& proxy) {
            url = "http://mms.example.net/";
            proxy = "10.1.1.1:8080";
            return true;
        };
        config::ini::write_string(ctx.ini.rirer, "RIRER", "Modem1", "OvrinSMSModem - Ovrin Phone");
        {
            app::Sheet sheet(app::SheetKind::Main, ctx, one_page(device));
            ui::SheetWindow w(sheet, true);
            save(&w, "main-2-modem-network-device");
            sheet.on_change = nullptr;
        }
        config::ini::write_string(ctx.ini.rirer, "RIRER", "Modem1", "COM7:");
        config::ini::write_string(ctx.ini.rirer, modem_section, "ReceiveMMS", "No");
        config::ini::write_string(ctx.ini.rirer, modem_section, "DialUpProfile", "Operator GPRS");
        pages::ModemPageServices local;
        local.network_connections = [] { return std::vector<std::string>{"Modem: COM7:", "Operator GPRS"}; };
        {
            app::Sheet sheet(app::SheetKind::Main, ctx, one_page(local));
            ui::SheetWindow w(sheet, true);
            save(&w, "main-2-modem-mms-off");
            sheet.on_change = nullptr;
        }
        // Lookup from the operator list for a SIM of the network 20801 (with
        // virtual operators on it), and its boxes.
        ScriptedUi said;
        local.choose_operator = [&said](const std::string&) {
            return pages::LookupOperatorSettings(said, modem::operator_database_path(), {"20801"});
        };
        {
            auto page = std::make_unique<pages::ModemPage>(ctx, local);
            pages::ModemPage* model = page.get();
            std::vector<std::unique_ptr<pages::PageModel>> v;
            v.push_back(std::move(page));
            app::Sheet sheet(app::SheetKind::Main, ctx, std::move(v));
            ui::SheetWindow w(sheet, true);
            if (!model->send_mms().checked) model->click_send_mms();
            model->press_lookup();
            save(&w, "main-2-modem-lookup");
            sheet.on_change = nullptr;
        }
        for (const ScriptedUi::Box& b : said.boxes) box("dialog-modem-lookup-others", b.text, b.icon, b.buttons);
        said.boxes.clear();
        pages::LookupOperatorSettings(said, "/usr/share/mobile-broadband-provider-info/missing.xml", {"26201"});
        box("dialog-modem-lookup-no-database", said.boxes.at(0).text, said.boxes.at(0).icon, Buttons::Ok);
    }
    box("dialog-modem-untested",
        "MMS configuration settings have not been tested.\r\n\r\nDo you wish to test these settings before saving "
        "configuration changes?",
        Icon::Question, Buttons::YesNoCancel);
    box("dialog-modem-change", "Start the installation wizard to select a different modem?", Icon::Question,
        Buttons::YesNo);
    {
        // The operator MMS test under way, then its verdicts, each in the
        // simulated GPRS library's words.
        ui::BusyDialog wait("Please wait...", "Testing the operator MMS connection...");
        wait.setWindowIcon(ui::program_icon());
        save(&wait, "dialog-wait-mms-test");
        auto lib = gprs::GprsLibrary::load(gprs::kSimGprsLibraryName);
        box("dialog-mms-test-ok", gprs::kVerdictOk, Icon::Information, Buttons::Ok);
        const std::pair<const char*, int> verdicts[] = {
            {"wrong-apn", 720}, {"no-coverage", 678}, {"mmsc-refusing", 1}, {"silent", 718}};
        for (const auto& [name, code] : verdicts)
            box(std::string("dialog-mms-test-") + name, gprs::dial_verdict(code, lib.get()), Icon::Error,
                Buttons::RetryCancel);
        box("dialog-mms-test-no-verdict", gprs::kNoVerdictInTime, Icon::Error, Buttons::Ok);
    }
    {
        ui::EventLogWindow events(ctx);
        save(&events, "dialog-event-log");
    }
    box("dialog-clear-event-log", pages::EventLogViewer::kClearQuestion, Icon::Question, Buttons::YesNo);
    {
        // The wizard on the real clock, with the simulated GSM modem (the
        // simulator program on a pty) and two phones on loopback.
        platform::Platform wp = platform::make_sim_platform(root + "sim/", std::make_shared<platform::SystemClock>());
        pages::Context wctx = ctx;
        wctx.wizard_mode = true;  // as the sheet loop sets it while the wizard runs
        wctx.platform = &wp;
        ShotModem modem(wp.sim_root + "modems/Simulated GSM Modem");
        ShotPhone phone_a("Ovrin Phone A"), phone_b("Ovrin Phone B");
        CaptureUi cui;
        wctx.ui = &cui;
        std::string wait_shot;
        wctx.run_busy = [&](const std::string& title, const std::string& text, const std::function<void()>& work) {
            ui::BusyDialog dlg(QString::fromStdString(title), QString::fromStdString(text));
            dlg.setWindowIcon(ui::program_icon());
            dlg.show();
            cui.dialog = &dlg;
            work();
            cui.dialog = nullptr;
            save(&dlg, wait_shot);
        };
        app::Sheet sheet(app::SheetKind::Wizard, wctx, app::make_wizard_pages(wctx));
        ui::SheetWindow w(sheet, true);
        auto& select = dynamic_cast<pages::SelectModemPage&>(sheet.page(0));
        const auto& items = select.items();
        auto gsm = std::find(items.begin(), items.end(), "Simulated GSM Modem");
        if (gsm != items.end()) select.click_item(static_cast<size_t>(gsm - items.begin()));
        w.view(0)->sync_if_changed();
        save(&w, "wizard-1-select-modem");
        {
            wait_shot = "dialog-wait-device-query";
            modem::DeviceQueryOptions o;
            o.ui = &cui;
            wctx.run_busy("Please wait...", "Connecting to modem...", [&] {
                modem::QueryNetworkModem(phone_a.server.address(), o);
            });
        }
        box("dialog-unable-to-connect", pages::SelectModemPage::kUnableToConnect, Icon::Error, Buttons::Ok);
        wait_shot = "dialog-wait-modem-test";
        sheet.next();
        if (sheet.current() == 0) {
            // No modem simulator: a typed phone takes the wizard on.
            select.set_text(phone_b.server.address());
            wait_shot = "dialog-wait-device-query-typed";
            sheet.next();
        }
        for (size_t i = 1; i < 3; ++i) {
            save(&w, "wizard-" + std::to_string(i + 1) + "-" + slug(sheet.page(i).title().substr(28)));
            sheet.next();
        }
        save(&w, "wizard-4-configuration-complete");
        auto* view = dynamic_cast<ui::WizardCompleteView*>(w.view(3));
        if (view) {
            view->no()->click();
            save(&w, "wizard-4-configuration-complete-no");
            view->yes()->click();
            save(&w, "wizard-4-configuration-complete-yes");
        }
        sheet.next();
        save(&w, "wizard-5-send-test-message");
        ctx.wizard_mode = false;
    }
    {
        ui::BusyDialog wait("Please wait...", "Stopping Services...");
        wait.setWindowIcon(ui::program_icon());
        save(&wait, "dialog-wait-stopping-services");
    }
    {
        // The queue viewers and the MMS details dialog over sample messages.
        write_queue_samples(root);
        platform::Platform plat;
        plat.clock = std::make_shared<platform::SystemClock>();
        pages::Context vctx = ctx;
        vctx.platform = &plat;
        const std::pair<pages::ViewerKind, const char*> viewers[] = {
            {pages::ViewerKind::OutboundSms, "viewer-outbound-sms"},
            {pages::ViewerKind::OutboundMms, "viewer-outbound-mms"},
            {pages::ViewerKind::ReceivedSms, "viewer-received-sms"},
            {pages::ViewerKind::ReceivedMms, "viewer-received-mms"},
        };
        for (const auto& [kind, name] : viewers) {
            ui::QueueViewerWindow w(vctx, kind);
            w.setWindowIcon(ui::program_icon());
            save(&w, name);
        }
        {
            // An empty queue.
            platform::fs::create_directories(root + "empty/");
            config::ini::write_string(ctx.ini.rirer, "RIRER", "QDir", root + "empty");
            ui::QueueViewerWindow w(vctx, pages::ViewerKind::OutboundSms);
            w.setWindowIcon(ui::program_icon());
            save(&w, "viewer-outbound-sms-empty");
            config::ini::remove_key(ctx.ini.rirer, "RIRER", "QDir");
        }
        ui::MmsDetailsDialog details(vctx, root + "MMS-IN/MMSIN-1.HDR");
        details.setWindowIcon(ui::program_icon());
        save(&details, "dialog-mms-details");
        box("dialog-delete-messages", "Delete 3 messages?", Icon::Question, Buttons::YesNo);
        for (const char* dir : {"Q", "VASPQ", "SMS-IN", "MMS-IN", "empty"}) platform::fs::recursive_delete(root + dir + "/");
    }
    shoot_two_way_dialogs(ctx);
    box("dialog-exit-without-saving", pages::kExitWithoutSaving, Icon::Question, Buttons::YesNoCancel);
    box("dialog-activate-service", "Service is not active, do you wish to activate the service?", Icon::Question,
        Buttons::YesNo);
    box("dialog-service-installed", "Service successfully installed!", Icon::Information, Buttons::Ok);
    box("dialog-service-install-failed", "Service installation failed!", Icon::Error, Buttons::Ok);
    box("dialog-delete-data-dir", "Delete Configuration files for OvrinSMS?", Icon::Question, Buttons::YesNo);
    box("dialog-modemtest-rights", "Administrative rights are required for this test.", Icon::Error, Buttons::Ok);

    ctx.platform = nullptr;
    config::SMSCloseUserFile(users);
    platform::fs::recursive_delete(root + "private/");
    for (const auto& e : platform::fs::list_directory(root)) platform::fs::remove_file(root + e.name);
    platform::fs::recursive_delete(root);
    std::cout << written << " screenshots\n";
    return written > 0 ? 0 : 1;
}
