#include "cli/console_ui.h"

#include <unistd.h>

#include <iostream>
#include <ostream>
#include <string>

namespace ovr::cli {

Answer ConsoleUi::message(const std::string& text, Icon icon, Buttons buttons, const std::string&) {
    shown_.push_back(text);
    // Box texts break their lines as the dialogs do (CR LF); a terminal
    // and a script reading it want plain lines.
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != '\r' || i + 1 >= text.size() || text[i + 1] != '\n') lines += text[i];
    out_ << icon_word(icon) << ": " << lines << "\n";
    out_.flush();
    if (buttons == Buttons::Ok) return Answer::Ok;
    bool yes = assume_yes_;
    if (!yes && isatty(STDIN_FILENO)) {
        out_ << "[y/N] ";
        out_.flush();
        std::string line;
        std::getline(std::cin, line);
        yes = !line.empty() && (line[0] == 'y' || line[0] == 'Y');
    }
    if (buttons == Buttons::OkCancel) return yes ? Answer::Ok : Answer::Cancel;
    if (buttons == Buttons::RetryCancel) return yes ? Answer::Retry : Answer::Cancel;
    return yes ? Answer::Yes : Answer::No;
}

void ConsoleUi::progress(const std::string& line) {
    if (transcript_) out_ << line << "\n";
}

}  // namespace ovr::cli
