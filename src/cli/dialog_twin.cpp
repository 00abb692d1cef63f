#include "cli/dialog_twin.h"

#include <ostream>

namespace ovr::cli {

std::string one_line(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

Answer OneLineUi::message(const std::string& text, Icon icon, Buttons buttons, const std::string&) {
    if (icon == Icon::Error) refused_ = true;
    err_ << icon_word(icon) << ": " << one_line(text) << "\n";
    err_.flush();
    // No one to ask: questions are answered No, so nothing is destroyed.
    if (buttons == Buttons::Ok) return Answer::Ok;
    return buttons == Buttons::OkCancel ? Answer::Cancel : Answer::No;
}

TwinContext::TwinContext(Context& ctx, platform::Platform* p, OneLineUi& ui) {
    pages.dirs = ctx.dirs;
    pages.ini = ctx.ini;
    pages.platform = p;
    pages.ui = &ui;
}

}  // namespace ovr::cli
