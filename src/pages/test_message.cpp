#include "pages/test_message.h"

#include "config/ini.h"
#include "config/settings.h"
#include "config/support.h"
#include "pages/server_page.h"
#include "pages/status_page.h"
#include "pages/user_dialog.h"
#include "platform/fs.h"
#include "queue/request_files.h"
#include "service/control.h"
#include "service/status.h"

namespace ovr::pages {
namespace {

constexpr size_t kPhoneBytes = 4095;
constexpr const char* kRouteErrorName = "MMSCROUTE--ovrinsmslite";

std::string modem1(const Context& ctx) {
    return config::ini::read_string(ctx.ini.rirer, "RIRER", "Modem1", "", 250);
}

}  // namespace

TestMessagePage::TestMessagePage(Context& ctx, bool wizard, std::string console_dir)
    : PageModel(ctx), wizard_(wizard), console_dir_(std::move(console_dir)) {
    cancel_.visible = false;
}

std::string TestMessagePage::title() const {
    return wizard_ ? "OvrinSMS Lite Setup Wizard:  Send Test Message" : "Test Message";
}

void TestMessagePage::created(PageSite& site) {
    PageModel::created(site);
    tick();
    touched();
}

void TestMessagePage::shown() {
    active_ = true;
    cancel_.visible = ctx().tests.sms.pending || ctx().tests.mms.pending;
    update_wizard_buttons();
    touched();
}

bool TestMessagePage::left() {
    active_ = false;
    return true;
}

std::string TestMessagePage::phone_text() const { return phone_.text.substr(0, kPhoneBytes); }

void TestMessagePage::set_phone_number(const std::string& text) {
    phone_.text = text.substr(0, kPhoneBytes);
    // The field's own notification; the next tick applies the full rules.
    bool valid = queue::is_valid_phone_number(phone_.text);
    send_sms_.enabled = send_mms_.enabled = valid;
    touched();
}

void TestMessagePage::update_wizard_buttons() {
    if (!active_ || !site()) return;
    const auto& t = ctx().tests;
    bool finish = !t.sms.pending && !t.mms.pending && (t.sms.done || t.mms.done);
    site()->set_wizard_buttons(finish ? WizardButtons::BackFinish : WizardButtons::BackDisabledFinish);
}

void TestMessagePage::set_lines(bool mms, const std::string& first, const std::string& second) {
    Label* lines = mms ? mms_ : sms_;
    bool changed = update_label(lines[0], first.substr(0, 500), false);
    changed = update_label(lines[1], second.substr(0, 500), false) || changed;
    if (changed) touched();
}

void TestMessagePage::tick() {
    if (!ctx().platform) return;
    platform::Platform& p = *ctx().platform;
    auto& t = ctx().tests;
    bool ready = service::sms_service_installed(p) && service::sms_service_running(p);
    bool mmsc_ready = service::mmsc_service_installed(p) && service::mmsc_service_running(p);
    std::string number = ready ? phone_text() : std::string();
    bool valid = !number.empty() && queue::is_valid_phone_number(number);
    const bool before[] = {web_.enabled, phone_.enabled, send_sms_.enabled, send_mms_.enabled, cancel_.visible};
    web_.enabled = ready;
    phone_.enabled = ready && !t.sms.pending;
    send_sms_.enabled = valid && !t.sms.pending;
    send_mms_.enabled = valid && mmsc_ready && !t.mms.pending;
    cancel_.visible = t.sms.pending || t.mms.pending;
    const bool after[] = {web_.enabled, phone_.enabled, send_sms_.enabled, send_mms_.enabled, cancel_.visible};
    if (!std::equal(std::begin(before), std::end(before), std::begin(after))) touched();
    follow(false);
    follow(true);
    update_wizard_buttons();
}

void TestMessagePage::follow(bool mms) {
    auto& test = mms ? ctx().tests.mms : ctx().tests.sms;
    if (test.searching) {
        look_for_result(mms);
        return;
    }
    if (!test.pending) return;
    queue::QueueSetup q = queue::make_queue_setup(ctx().dirs, ctx().ini);
    std::string tag = queue::test_tag(test.tag_value);
    std::string dir = mms ? queue::ResolveOutboundMmsQueue(q) : queue::ResolveOutboundSmsQueue(q);
    std::string file = dir + tag + (mms ? ".MMS" : ".REQ");
    if (platform::fs::exists(file)) {
        std::string error = mms ? service::read_modem_error(ctx().dirs.private_data, kRouteErrorName)
                                : service::read_modem_error(ctx().dirs.private_data, modem1(ctx()));
        if (!error.empty()) {
            set_lines(mms, mms ? "Status:  Connection Error" : "Status:  Modem Off-Line", error);
            return;
        }
        std::string details = mms ? dir + tag + ".INI" : file;
        const char* section = mms ? "Routing" : "ErrorDetail";
        std::string retries = config::ini::read_string(details, section, "RetryCount", "", 4096);
        if (retries.empty()) {
            set_lines(mms, "Status:  Waiting", "");
        } else {
            set_lines(mms, "Status:  Retry pending, " + retries + " attempts",
                      "Last Error Info:  " + config::ini::read_string(details, section, "LastErrorInfo", "", 4096));
        }
        return;
    }
    set_lines(mms, "", "");
    test.pending = false;
    test.done = true;
    test.searching = true;
    look_for_result(mms);
}

void TestMessagePage::look_for_result(bool mms) {
    auto& test = mms ? ctx().tests.mms : ctx().tests.sms;
    platform::Clock& clock = *ctx().platform->clock;
    uint64_t now = clock.tick_ms();
    queue::TestResult r = test.search.look(clock.local_now(), now);
    if (r.found) {
        set_lines(mms, r.ok ? "Status:  OK -- Message Sent" : "Status:  ERROR", r.ok ? "" : r.detail);
        test.searching = false;
    } else if (!test.search.looking(now)) {
        test.searching = false;
    }
}

void TestMessagePage::with_busy(const char* what, const std::function<void()>& work) {
    auto run = [&] {
        BusyScope scope(ui(), what);
        work();
    };
    if (ctx().run_busy)
        ctx().run_busy("Please wait...", what, run);
    else
        run();
}

bool TestMessagePage::ensure_services(bool mms) {
    platform::Platform& p = *ctx().platform;
    service::ServiceControl control(p, ui(), console_dir_);
    auto installed = [&] { return mms ? service::mmsc_service_installed(p) : service::sms_service_installed(p); };
    auto running = [&] { return mms ? service::mmsc_service_running(p) : service::sms_service_running(p); };
    if (!installed()) with_busy("Installing Services...", [&] { control.install_and_start(command_line_); });
    if (!running()) with_busy("Starting Services...", [&] { control.start(command_line_); });
    return true;
}

void TestMessagePage::press_send_sms() {
    auto& test = ctx().tests.sms;
    std::string number = phone_text();
    // One test of a kind at a time: a second would hide the first.
    if (!ctx().platform || test.pending || test.searching || !queue::is_valid_phone_number(number)) return;
    ensure_services(false);
    platform::Clock& clock = *ctx().platform->clock;
    uint32_t value = static_cast<uint32_t>(clock.tick_ms());
    std::string tag = queue::test_tag(value);
    queue::QueueSetup q = queue::make_queue_setup(ctx().dirs, ctx().ini);
    queue::ResultSearch search(queue::TestKind::Sms, ctx().dirs.program_data, tag, clock.local_now());
    if (!queue::WriteSmsRequest(q, tag, number)) {
        ui().error(kSmsCreateError);
        return;
    }
    test = TestMessageState::Test{true, test.done, value, false, std::move(search)};
    set_lines(false, "Status:  Waiting", "");
    queue::SignalSmsQueued(q);
    tick();
}

void TestMessagePage::press_send_mms() {
    auto& test = ctx().tests.mms;
    std::string number = phone_text();
    if (!ctx().platform || test.pending || test.searching || !queue::is_valid_phone_number(number)) return;
    ensure_services(true);
    platform::Clock& clock = *ctx().platform->clock;
    uint32_t value = static_cast<uint32_t>(clock.tick_ms());
    std::string tag = queue::test_tag(value);
    queue::QueueSetup q = queue::make_queue_setup(ctx().dirs, ctx().ini);
    queue::ResultSearch search(queue::TestKind::Mms, ctx().dirs.program_data, tag, clock.local_now());
    switch (queue::WriteMmsRequest(q, tag, number)) {
        case queue::MmsRequestResult::TemplateMissing:
            ui().message(queue::mms_template_path(q), Icon::Error, Buttons::Ok, kTemplateCaption);
            return;
        case queue::MmsRequestResult::CreateFailed:
            ui().error(kMmsCreateError);
            return;
        case queue::MmsRequestResult::Ok:
            break;
    }
    test = TestMessageState::Test{true, test.done, value, false, std::move(search)};
    set_lines(true, "Status:  Waiting", "");
    queue::SignalMmsQueued(q);
    tick();
}

TestMessagePage::CancelOutcome TestMessagePage::press_cancel() {
    CancelOutcome outcome;
    if (!ctx().platform) return outcome;
    auto& t = ctx().tests;
    queue::QueueSetup q = queue::make_queue_setup(ctx().dirs, ctx().ini);
    service::ServiceControl control(*ctx().platform, ui(), console_dir_);
    auto withdraw = [&](const std::vector<std::string>& files) {
        with_busy("Cancelling...", [&] {
            auto remove_all = [&] {
                bool left = false;
                for (const auto& f : files) {
                    if (platform::fs::remove_file(f)) outcome.withdrawn.push_back(f);
                    left = platform::fs::exists(f) || left;
                }
                return left;
            };
            // A service holding the file open keeps it: stop it, try again.
            if (remove_all()) {
                control.stop(command_line_);
                remove_all();
                ctx().platform->clock->sleep_ms(1000);
                control.start(command_line_);
            }
            for (const auto& f : files)
                if (platform::fs::exists(f)) outcome.left.push_back(f);
        });
    };
    if (t.sms.pending)
        withdraw({queue::ResolveOutboundSmsQueue(q) + queue::test_tag(t.sms.tag_value) + ".REQ"});
    if (t.mms.pending) {
        std::string base = queue::ResolveOutboundMmsQueue(q) + queue::test_tag(t.mms.tag_value);
        withdraw({base + ".MMS", base + ".INI"});
    }
    return outcome;
}

void TestMessagePage::press_web() {
    if (!ctx().platform) return;
    ensure_services(false);
    if (config::read_yes(ctx().ini.rirer, "RIRER", "WebAuth", "Yes")) {
        config::UserFileHandle file;
        if (!config::open_user_file(ctx().dirs.program_data, config::kGenericRead | config::kGenericWrite, file))
            return;
        config::UserRecord first;
        if (!config::SMSGetUserRecord(file, 0, first)) {
            if (ui().ask_yes_no(kNoUsersQuestion) && ctx().windows) {
                UserDialog dialog(ctx(), file, config::UserRecord{});
                if (ctx().windows->run_dialog(dialog)) config::SMSAddUser(file, dialog.record());
            }
            bool any = config::SMSGetUserRecord(file, 0, first);
            config::SMSCloseUserFile(file);
            if (!any) return;
        }
    }
    std::string url = web_interface_url(ctx().ini);
    if (ctx().platform->desktop)
        ctx().platform->desktop->open(url, "./");
    else
        ui().shell_open(url, "./");
}

}  // namespace ovr::pages
