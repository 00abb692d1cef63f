#include "pages/wizard_complete.h"

namespace ovr::pages {

void WizardCompletePage::choose_yes() {
    yes_.selected = true;
    no_.selected = false;
    touched();
    update_buttons();
}

void WizardCompletePage::choose_no() {
    yes_.selected = false;
    no_.selected = true;
    touched();
    update_buttons();
}

void WizardCompletePage::update_buttons() {
    if (!site()) return;
    if (yes_.selected)
        site()->set_wizard_buttons(WizardButtons::BackNext);
    else if (no_.selected)
        site()->set_wizard_buttons(WizardButtons::BackFinish);
    else
        site()->set_wizard_buttons(WizardButtons::Back);
}

}  // namespace ovr::pages
