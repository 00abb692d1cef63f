#include "app/sheet.h"

#include "pages/debug_logs.h"
#include "pages/server_page.h"
#include "pages/email_page.h"
#include "pages/receive_page.h"
#include "pages/select_modem.h"
#include "pages/modem_page.h"
#include "pages/status_page.h"
#include "pages/test_message.h"
#include "pages/users_page.h"
#include "pages/wizard_complete.h"

namespace ovr::app {

using pages::SheetButton;
using pages::WizardButtons;

Sheet::Sheet(SheetKind kind, pages::Context& ctx, std::vector<std::unique_ptr<pages::PageModel>> pages)
    : kind_(kind), ctx_(ctx) {
    for (auto& p : pages) pages_.push_back(Slot{std::move(p), false});
}

void Sheet::activate(size_t i) {
    current_ = i;
    Slot& s = pages_[i];
    if (!s.created) {
        s.created = true;
        s.model->created(*this);
    }
    s.model->shown();
    changed();
}

void Sheet::open() {
    if (!pages_.empty()) activate(0);
}

bool Sheet::select(size_t i) {
    if (closed_ || i >= pages_.size()) return false;
    if (i == current_ && pages_[i].created) return true;
    if (pages_[current_].created && !pages_[current_].model->left()) return false;
    activate(i);
    return true;
}

void Sheet::close(int result) {
    closed_ = true;
    result_ = result;
    changed();
}

void Sheet::ok() {
    if (closed_) return;
    if (!pages_[current_].model->left()) return;
    if (!apply_all()) return;
    close(1);
}

void Sheet::apply() {
    if (closed_ || kind_ != SheetKind::Main) return;
    if (!pages_[current_].model->left()) return;
    apply_all();
}

void Sheet::cancel() {
    if (closed_) return;
    if (!pages_[current_].model->cancel_requested()) return;
    close(0);
}

void Sheet::help() {
    if (!closed_ && ctx_.help_available) pages_[current_].model->help();
}

void Sheet::back() {
    if (closed_ || kind_ != SheetKind::Wizard || current_ == 0 || buttons_ == WizardButtons::Next) return;
    activate(current_ - 1);
}

void Sheet::next() {
    if (closed_ || kind_ != SheetKind::Wizard || current_ + 1 >= pages_.size()) return;
    if (buttons_ != WizardButtons::Next && buttons_ != WizardButtons::BackNext) return;
    auto& page = *pages_[current_].model;
    if (!page.left() || !page.wizard_next()) return;
    activate(current_ + 1);
}

void Sheet::finish() {
    if (closed_ || kind_ != SheetKind::Wizard || buttons_ != WizardButtons::BackFinish) return;
    if (!pages_[current_].model->wizard_finish()) return;
    close(1);
}

void Sheet::window_activated() {
    if (!closed_ && !pages_.empty() && pages_[current_].created) pages_[current_].model->window_activated();
}

void Sheet::mark_changed(pages::PageModel&) {
    if (kind_ != SheetKind::Main || apply_enabled_) return;
    apply_enabled_ = true;
    changed();
}

bool Sheet::apply_all() {
    // The current page first: its refusal is the one the user is looking at.
    if (pages_[current_].created && !pages_[current_].model->can_apply()) return false;
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (i == current_ || !pages_[i].created || pages_[i].model->can_apply()) continue;
        activate(i);
        return false;
    }
    bool all = true;
    for (auto& s : pages_) {
        if (!s.created) continue;
        s.model->apply();
        all = all && s.model->apply_succeeded();
    }
    // A page that could not write keeps its changes pending.
    if (!all) {
        changed();
        return false;
    }
    ctx_.unsaved_changes = false;
    apply_enabled_ = false;
    changed();
    return true;
}

bool Sheet::query_unsaved() {
    for (auto& s : pages_) {
        if (!s.created) continue;
        if (auto answer = s.model->unsaved_query()) return *answer;
    }
    return false;
}

void Sheet::set_wizard_buttons(WizardButtons buttons) {
    buttons_ = buttons;
    changed();
}

void Sheet::press_button(SheetButton button) {
    switch (button) {
        case SheetButton::Back: back(); break;
        case SheetButton::Next: next(); break;
        case SheetButton::Finish: finish(); break;
        case SheetButton::Ok: ok(); break;
        case SheetButton::Cancel: cancel(); break;
    }
}

std::vector<std::unique_ptr<pages::PageModel>> make_main_pages(pages::Context& ctx) {
    std::vector<std::unique_ptr<pages::PageModel>> v;
    v.push_back(std::make_unique<pages::StatusPage>(ctx));
    v.push_back(std::make_unique<pages::ModemPage>(ctx));
    v.push_back(std::make_unique<pages::ServerPage>(ctx));
    v.push_back(std::make_unique<pages::UsersPage>(ctx));
    v.push_back(std::make_unique<pages::ReceivePage>(ctx));
    v.push_back(std::make_unique<pages::EmailPage>(ctx));
    v.push_back(std::make_unique<pages::TestMessagePage>(ctx));
    v.push_back(std::make_unique<pages::DebugLogsPage>(ctx));
    return v;
}

std::vector<std::unique_ptr<pages::PageModel>> make_wizard_pages(pages::Context& ctx) {
    std::vector<std::unique_ptr<pages::PageModel>> v;
    v.push_back(std::make_unique<pages::SelectModemPage>(ctx));
    v.push_back(std::make_unique<pages::ModemPage>(ctx));
    v.push_back(std::make_unique<pages::ServerPage>(ctx, true));
    v.push_back(std::make_unique<pages::WizardCompletePage>(ctx));
    v.push_back(std::make_unique<pages::TestMessagePage>(ctx, true));
    return v;
}

}  // namespace ovr::app
