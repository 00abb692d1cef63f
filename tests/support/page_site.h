// The site of a page under test without a sheet: every apply accepted, no
// buttons, and a count of the changes the page marked.
#pragma once

#include "pages/page.h"

namespace ovr::test {

struct CountingSite : pages::PageSite {
    int changed = 0;
    void mark_changed(pages::PageModel&) override { ++changed; }
    bool apply_all() override { return true; }
    bool query_unsaved() override { return false; }
    void set_wizard_buttons(pages::WizardButtons) override {}
    void press_button(pages::SheetButton) override {}
};

}  // namespace ovr::test
