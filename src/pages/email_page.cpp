#include "pages/email_page.h"

#include <algorithm>

#include "config/ini.h"
#include "config/settings.h"
#include "config/text.h"

namespace ovr::pages {

namespace {

constexpr size_t kValueBuffer = 1024;

std::string read(const Context& ctx, const char* key, const char* def = "") {
    return config::ini::read_string(ctx.ini.mmsc, kMmscSection, key, def, kValueBuffer);
}

bool yes(const Context& ctx, const char* key) { return config::is_yes_value(read(ctx, key)); }

std::string mailbox_label(const Context& ctx, MailboxKind kind) {
    auto m = load_mailbox(ctx, kind);
    return m && !m->address.empty() ? m->address : kNotConfigured;
}

uint32_t max_sms_of(const std::string& text) {
    uint32_t n = config::leading_decimal(text);
    return n == 0 ? 1 : n;
}

std::optional<std::string> yes_or_none(bool on) { return on ? std::optional<std::string>("Yes") : std::nullopt; }

}  // namespace

EmailSettings read_email_settings(const Context& ctx) {
    EmailSettings s;
    s.max_sms = max_sms_of(read(ctx, "SMSPerEMail"));
    s.route_replies = yes(ctx, "SMSEMailTrackSender");
    s.delivery_reports = s.route_replies && yes(ctx, "SMSEMailReceiptRequested");
    s.use_mms = yes(ctx, "SMSEMailUseMMS");
    s.force_mms = yes(ctx, "SMSEMailForceMMS");
    s.template_text = read(ctx, "SMSEMailTemplate", kDefaultEmailTemplate);
    s.sms_mailbox = mailbox_label(ctx, MailboxKind::Sms);
    return s;
}

EmailPage::EmailPage(Context& ctx) : PageModel(ctx) { load(); }

void EmailPage::created(PageSite& site) { PageModel::created(site); }

void EmailPage::load() {
    armed_ = false;
    choices_ = {kDefaultEmailTemplate, "@@Subject@@ /@@Text@@", "@@Text@@"};
    std::sort(choices_.begin(), choices_.end());
    EmailSettings s = read_email_settings(ctx());
    refresh_labels();
    max_sms_ = std::to_string(s.max_sms);
    track_sender_.checked = s.route_replies;
    receipt_.checked = s.delivery_reports;
    receipt_.enabled = track_sender_.checked;
    use_mms_.checked = s.use_mms;
    force_mms_.checked = s.force_mms;
    template_ = s.template_text;
    touched();
    armed_ = true;
}

void EmailPage::refresh_labels() {
    sms_label_.text = mailbox_label(ctx(), MailboxKind::Sms);
    mms_label_.text = mailbox_label(ctx(), MailboxKind::Mms);
}

void EmailPage::mark() {
    touched();
    if (!armed_) return;
    changed_ = true;
    edited();
}

void EmailPage::toggle(CheckBox& box) {
    if (!box.enabled) return;
    box.checked = !box.checked;
    mark();
}

void EmailPage::press_sms_mailbox() {
    int r = ctx().windows ? ctx().windows->edit_mailbox(static_cast<int>(MailboxKind::Sms)) : 0;
    refresh_labels();
    // SMSEMail follows the mailbox on Apply: a saved dialog is a change.
    if (r == 1) mark();
    else touched();
}

void EmailPage::press_mms_mailbox() {
    int r = ctx().windows ? ctx().windows->edit_mailbox(static_cast<int>(MailboxKind::Mms)) : 0;
    refresh_labels();
    if (r == 1) mark();
    else touched();
}

void EmailPage::press_senders() {
    if (ctx().windows && ctx().windows->edit_senders() == 1) mark();
}

void EmailPage::set_max_sms(const std::string& text) {
    if (text == max_sms_) return;
    max_sms_ = cut_at_character(text, 10);
    mark();
}

void EmailPage::click_use_mms() { toggle(use_mms_); }
void EmailPage::click_force_mms() { toggle(force_mms_); }

void EmailPage::click_track_sender() {
    toggle(track_sender_);
    receipt_.enabled = track_sender_.checked;
    touched();
}

void EmailPage::click_delivery_reports() { toggle(receipt_); }

void EmailPage::select_template(size_t choice) {
    if (choice >= choices_.size()) return;
    template_ = choices_[choice];
    mark();
}

void EmailPage::type_template(const std::string& text) {
    template_ = cut_at_character(text, kValueBuffer - 1);
    touched();
}

void EmailPage::apply() {
    using config::ini::ProfileWrite;
    const bool track = track_sender_.checked;
    std::vector<ProfileWrite> edits = {
        {kMmscSection, "SMSEMail", mailbox_name(ctx(), MailboxKind::Sms).empty() ? "No" : "Yes"},
        {kMmscSection, "SMSPerEMail", std::to_string(max_sms_of(max_sms_))},
        {kMmscSection, "SMSEMailTrackSender", yes_or_none(track)},
        {kMmscSection, "SMSEMailReceiptRequested", yes_or_none(track && receipt_.checked)},
        {kMmscSection, "SMSEMailUseMMS", yes_or_none(use_mms_.checked)},
        {kMmscSection, "SMSEMailForceMMS", yes_or_none(force_mms_.checked)},
        {kMmscSection, "SMSEMailTemplate",
         template_.empty() || config::equal_ignoring_case(template_, kDefaultEmailTemplate)
             ? std::nullopt
             : std::optional<std::string>(template_)},
    };
    // Replies routed to e-mail need the gateway to receive SMS at all.
    const std::string* refused = nullptr;
    if (!config::ini::restrict_to_owner(ctx().ini.mmsc) || !config::ini::write_profiles(ctx().ini.mmsc, edits))
        refused = &ctx().ini.mmsc;
    else if (track && !config::write_yes_no(ctx().ini.rirer, "RIRER", "ReceiveSMS", true)) refused = &ctx().ini.rirer;
    if (refused) {
        if (ctx().ui) ctx().ui->error("Unable to save the settings in " + *refused + ".");
        return;
    }
    max_sms_ = std::to_string(max_sms_of(max_sms_));
    changed_ = false;
    touched();
}

}  // namespace ovr::pages
