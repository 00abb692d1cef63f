// A property sheet or wizard holding page models: which pages exist, which
// one is current, what its buttons allow, and the PageSite answers pages
// ask for. Views (the Qt console) render it and forward button presses; tests
// drive it directly.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "pages/page.h"

namespace ovr::app {

enum class SheetKind { Main, Wizard };

class Sheet final : public pages::PageSite {
public:
    Sheet(SheetKind kind, pages::Context& ctx, std::vector<std::unique_ptr<pages::PageModel>> pages);

    SheetKind kind() const { return kind_; }
    size_t size() const { return pages_.size(); }
    pages::PageModel& page(size_t i) { return *pages_[i].model; }
    bool is_created(size_t i) const { return pages_[i].created; }
    size_t current() const { return current_; }

    // Shows the first page; the view calls it once before it shows the sheet.
    void open();
    // Moves to page i (a tab click): the current page may refuse to be left.
    bool select(size_t i);

    // Buttons.
    void ok();
    void apply();
    void cancel();
    void help();
    void back();
    void next();
    void finish();
    // The window became active: the current page is told.
    void window_activated();

    bool apply_enabled() const { return apply_enabled_; }
    pages::WizardButtons wizard_buttons() const { return buttons_; }
    bool closed() const { return closed_; }
    // 1 after OK or Finish, 0 after Cancel.
    int result() const { return result_; }

    // Called after anything the view shows has changed (current page,
    // buttons, Apply, closing).
    std::function<void()> on_change;

    // PageSite.
    void mark_changed(pages::PageModel& page) override;
    bool apply_all() override;
    bool query_unsaved() override;
    void set_wizard_buttons(pages::WizardButtons buttons) override;
    void press_button(pages::SheetButton button) override;

private:
    struct Slot {
        std::unique_ptr<pages::PageModel> model;
        bool created = false;
    };
    void activate(size_t i);
    void close(int result);
    void changed() {
        if (on_change) on_change();
    }

    SheetKind kind_;
    pages::Context& ctx_;
    std::vector<Slot> pages_;
    size_t current_ = 0;
    bool apply_enabled_ = false;
    pages::WizardButtons buttons_ = pages::WizardButtons::Next;
    bool closed_ = false;
    int result_ = 0;
};

// The pages of the two sheets, in order. Pages whose content has not landed
// yet are EmptyPage with their title.
std::vector<std::unique_ptr<pages::PageModel>> make_main_pages(pages::Context& ctx);
std::vector<std::unique_ptr<pages::PageModel>> make_wizard_pages(pages::Context& ctx);

}  // namespace ovr::app
