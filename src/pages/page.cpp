#include "pages/page.h"

#include "platform/fs.h"

namespace ovr::pages {

void PageModel::help() { open_manual(ctx_, manual_chapter(template_name(), ctx_.wizard_mode)); }

void PageModel::edited() {
    ctx_.unsaved_changes = true;
    if (site_) site_->mark_changed(*this);
}

bool PageModel::confirm_cancel() {
    bool pending = ctx_.unsaved_changes || (site_ && site_->query_unsaved());
    if (!pending) return true;
    return ui().ask_yes_no_cancel(kExitWithoutSaving) == Answer::Yes;
}

void open_manual(Context& ctx, const std::string& chapter) {
    if (!ctx.ui) return;
    std::string dir = platform::fs::parent_directory(ctx.manual_path);
    std::string target = ctx.manual_path;
    if (!chapter.empty() && platform::fs::base_name(ctx.manual_path) == "index.html" &&
        platform::fs::regular_file_exists(dir + chapter))
        target = dir + chapter;
    ctx.ui->shell_open(target, dir);
}

std::string manual_chapter(const std::string& template_name, bool wizard) {
    if (wizard) return "wizard.html";
    static const char* const chapters[][2] = {
        {"DIALOG_STATUS", "status.html"},     {"DIALOG_MODEM", "modem.html"},
        {"DIALOG_SERVER", "server.html"},     {"DIALOG_SMSUSERS", "users.html"},
        {"DIALOG_RECV", "two-way.html"},      {"DIALOG_EMAIL", "email.html"},
        {"DIALOG_TESTMSG", "test-message.html"}, {"DIALOG_DEBUG", "debug-logs.html"},
        {"DIALOG_WIZADDMODEM", "wizard.html"}, {"DIALOG_WIZCOMPLETE", "wizard.html"}};
    for (const auto& c : chapters)
        if (template_name == c[0]) return c[1];
    return {};
}

void EmptyPage::shown() {
    if (buttons_ && site()) site()->set_wizard_buttons(*buttons_);
}

}  // namespace ovr::pages
