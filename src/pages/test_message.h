// The Test Message page: drops a test SMS or MMS into the outbound queues,
// wakes the services, and follows each test once a second until it has left
// the queue and its result is in the daily log. Also the wizard's last step
// (Finish once a test has left the queue and none is pending), and the
// "Test Using Web Interface" button.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pages/fields.h"
#include "pages/page.h"

namespace ovr::pages {

class TestMessagePage final : public PageModel {
public:
    static constexpr uint32_t kRefreshMs = 1000;
    static constexpr const char* kSmsCreateError = "Error creating SMS request file in queue";
    static constexpr const char* kMmsCreateError = "Error creating MMS request file in queue";
    static constexpr const char* kTemplateCaption = "Error locating MMS message template file";
    static constexpr const char* kNoUsersQuestion =
        "No user accounts are defined.\r\nCreate a user account to access the web interface?";

    // `console_dir`: where the service programs live (empty: beside the
    // running executable).
    TestMessagePage(Context& ctx, bool wizard = false, std::string console_dir = {});

    std::string title() const override;
    std::string template_name() const override { return "DIALOG_TESTMSG"; }
    void created(PageSite& site) override;
    void shown() override;
    bool left() override;
    uint32_t refresh_interval_ms() const override { return kRefreshMs; }
    void tick() override;

    const TextField& phone_number() const { return phone_; }
    const PushButton& send_sms_button() const { return send_sms_; }
    const PushButton& send_mms_button() const { return send_mms_; }
    const Label& sms_status() const { return sms_[0]; }
    const Label& sms_detail() const { return sms_[1]; }
    const Label& mms_status() const { return mms_[0]; }
    const Label& mms_detail() const { return mms_[1]; }
    const PushButton& cancel_button() const { return cancel_; }
    const PushButton& web_button() const { return web_; }

    void set_phone_number(const std::string& text);
    void press_send_sms();
    void press_send_mms();
    // What Cancel did to the pending tests' files: those it deleted and
    // those still there after the stop-delete-start fallback. The pending
    // flags stay for the next tick, which finds the files gone.
    struct CancelOutcome {
        std::vector<std::string> withdrawn;
        std::vector<std::string> left;
    };
    CancelOutcome press_cancel();
    void press_web();

    // The command-line twin's service operations never re-launch it
    // elevated.
    void set_command_line_mode(bool on) { command_line_ = on; }

private:
    bool ensure_services(bool mms);
    void follow(bool mms);
    void look_for_result(bool mms);
    void set_lines(bool mms, const std::string& first, const std::string& second);
    void update_wizard_buttons();
    void with_busy(const char* what, const std::function<void()>& work);
    std::string phone_text() const;

    bool wizard_;
    std::string console_dir_;
    bool active_ = false;
    bool command_line_ = false;

    TextField phone_;
    PushButton send_sms_{"Send Test SMS"};
    PushButton send_mms_{"Send Test MMS"};
    Label sms_[2];
    Label mms_[2];
    PushButton cancel_{"Cancel"};
    PushButton web_{"Test Using Web Interface"};
};

}  // namespace ovr::pages
