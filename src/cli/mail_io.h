// What the mail commands share: boxes printed one line each, and passwords
// read from standard input only.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "cli/cli.h"
#include "cli/console_ui.h"
#include "pages/page.h"

namespace ovr::cli {

inline constexpr const char* kPasswordOnStdin =
    "a password on the command line shows in the process list: give it on standard input with --password-stdin";

// Reads the first line of `in` (its line end dropped, at most 1024 bytes);
// false when there is none.
bool read_password(std::istream& in, std::string& password);

// The one-line form of a box's text: trailing line breaks dropped, every
// other control character a blank, so a server's reply adds no line.
std::string box_line(const std::string& text);

// A ConsoleUi whose every box takes exactly one line.
class MailBoxUi : public ConsoleUi {
public:
    MailBoxUi(std::ostream& out, bool transcript, bool assume_yes = false) : ConsoleUi(out, assume_yes, transcript) {}
    Answer message(const std::string& text, Icon icon, Buttons buttons = Buttons::Ok,
                   const std::string& caption = kProgramTitle) override {
        return ConsoleUi::message(box_line(text), icon, buttons, caption);
    }
};

// The page context of a mail command: the directories and the box printer.
pages::Context page_context(const Context& ctx, Ui& ui);

// "yes" or "no" of an option's value; nothing for anything else.
std::optional<bool> yes_no(const std::string& value);

}  // namespace ovr::cli
