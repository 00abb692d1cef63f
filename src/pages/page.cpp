#include "pages/page.h"

#include "platform/fs.h"

namespace ovr::pages {

void PageModel::help() { open_manual(ctx_); }

void PageModel::edited() {
    ctx_.unsaved_changes = true;
    if (site_) site_->mark_changed(*this);
}

bool PageModel::confirm_cancel() {
    bool pending = ctx_.unsaved_changes || (site_ && site_->query_unsaved());
    if (!pending) return true;
    return ui().ask_yes_no_cancel(kExitWithoutSaving) == Answer::Yes;
}

void open_manual(Context& ctx) {
    if (ctx.ui) ctx.ui->shell_open(ctx.manual_path, platform::fs::parent_directory(ctx.manual_path));
}

void EmptyPage::shown() {
    if (buttons_ && site()) site()->set_wizard_buttons(*buttons_);
}

}  // namespace ovr::pages
