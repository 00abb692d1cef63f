// The wizard's Configuration Complete page: asks whether to send a test
// message. "Yes" leads on to the test message page (Back, Next), "No" lets
// the user finish (Back, Finish), no choice yet offers only Back.
#pragma once

#include "pages/fields.h"
#include "pages/page.h"

namespace ovr::pages {

class WizardCompletePage final : public PageModel {
public:
    explicit WizardCompletePage(Context& ctx) : PageModel(ctx) {}

    std::string title() const override { return "OvrinSMS Lite Setup Wizard:  Configuration Complete"; }
    std::string template_name() const override { return "DIALOG_WIZCOMPLETE"; }
    void shown() override { update_buttons(); }

    const Label& heading() const { return heading_; }
    const Label& question() const { return question_; }
    const RadioButton& yes() const { return yes_; }
    const RadioButton& no() const { return no_; }

    void choose_yes();
    void choose_no();

private:
    void update_buttons();

    Label heading_{"Initial Configuration Complete"};
    Label question_{"Would you like to send a test message to verify your configuration?"};
    RadioButton yes_{"Yes"};
    RadioButton no_{"No"};
};

}  // namespace ovr::pages
