// The E-mail page (DIALOG_EMAIL): the e-mail to SMS bridge of the MMSC
// service. Its mailbox and its authorised senders are edited in dialogs that
// save on their own OK; the page's own keys are written on Apply.
#pragma once

#include <vector>

#include "pages/fields.h"
#include "pages/mailbox_dialog.h"
#include "pages/page.h"

namespace ovr::pages {

inline constexpr const char* kDefaultEmailTemplate = "@@FromAddress@@ /@@Subject@@ /@@Text@@";
inline constexpr const char* kNotConfigured = "(Not Configured)";

class EmailPage final : public PageModel {
public:
    explicit EmailPage(Context& ctx);

    std::string title() const override { return "E-Mail"; }
    std::string template_name() const override { return "DIALOG_EMAIL"; }
    void created(PageSite& site) override;
    void apply() override;
    bool cancel_requested() override { return confirm_cancel(); }
    std::optional<bool> unsaved_query() override { return changed_; }

    // Fields, in screen order.
    const PushButton& sms_mailbox_button() const { return sms_button_; }
    const Label& sms_mailbox_label() const { return sms_label_; }
    const PushButton& mms_mailbox_button() const { return mms_button_; }
    const Label& mms_mailbox_label() const { return mms_label_; }
    const PushButton& senders_button() const { return senders_button_; }
    const std::string& max_sms_label() const { return max_sms_label_; }
    const std::string& max_sms() const { return max_sms_; }
    const CheckBox& use_mms() const { return use_mms_; }
    const CheckBox& force_mms() const { return force_mms_; }
    const CheckBox& track_sender() const { return track_sender_; }
    const CheckBox& delivery_reports() const { return receipt_; }
    const std::string& template_label() const { return template_label_; }
    // The template choices, sorted; the template's text.
    const std::vector<std::string>& template_choices() const { return choices_; }
    const std::string& template_text() const { return template_; }
    bool changed() const { return changed_; }

    // User actions.
    void press_sms_mailbox();
    void press_mms_mailbox();
    void press_senders();
    void set_max_sms(const std::string& text);
    void click_use_mms();
    void click_force_mms();
    void click_track_sender();
    void click_delivery_reports();
    void select_template(size_t choice);
    // Typing in the template's text is not a change by itself.
    void type_template(const std::string& text);

private:
    void load();
    void refresh_labels();
    void mark();
    void toggle(CheckBox& box);

    PushButton sms_button_{"SMS Mailbox Settings"};
    Label sms_label_;
    PushButton mms_button_{"MMS Mailbox Settings", true, false};
    Label mms_label_{"", false};
    PushButton senders_button_{"Authorised E-Mail to SMS/MMS Senders"};
    std::string max_sms_label_ = "Max SMS messages per e-mail:";
    std::string max_sms_;
    CheckBox use_mms_{"Use MMS if SMS E-Mail includes image or exceeds text length for SMS"};
    CheckBox force_mms_{"Use MMS for all messages from E-Mail"};
    CheckBox track_sender_{"Automatically Route SMS Replies to E-Mail"};
    CheckBox receipt_{"Request Delivery Reports when sending from E-Mail"};
    std::string template_label_ = "SMS E-Mail Template:";
    std::vector<std::string> choices_;
    std::string template_;
    bool armed_ = false;
    bool changed_ = false;
};

// The page's settings as Apply writes them, for the command-line twin.
struct EmailSettings {
    uint32_t max_sms = 1;
    bool use_mms = false, force_mms = false, route_replies = false, delivery_reports = false;
    std::string template_text = kDefaultEmailTemplate;
    std::string sms_mailbox;   // the label's text
};
EmailSettings read_email_settings(const Context& ctx);

}  // namespace ovr::pages
