// What the command-line twins of the dialogs and pages share: a Ui that
// prints each box as one line on stderr (its icon word, ": ", the text with
// line breaks as blanks) and remembers refusals, and the page context the
// models run in.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/cli.h"
#include "pages/page.h"
#include "platform/platform.h"

namespace ovr::cli {

class OneLineUi : public Ui {
public:
    explicit OneLineUi(std::ostream& err) : err_(err) {}
    Answer message(const std::string& text, Icon icon, Buttons buttons = Buttons::Ok,
                   const std::string& caption = kProgramTitle) override;
    void busy_begin(const std::string&) override {}
    void progress(const std::string&) override {}
    void busy_end() override {}
    std::optional<std::string> choose_open_file(const std::string&, const std::vector<FileFilter>&,
                                                const std::string&) override {
        return std::nullopt;
    }
    bool run_editor(const std::string&) override { return false; }
    bool shell_open(const std::string&, const std::string& = {}) override { return false; }

    // An error box was shown.
    bool refused() const { return refused_; }

private:
    std::ostream& err_;
    bool refused_ = false;
};

// The text on one line: each CR LF, CR or LF becomes one blank.
std::string one_line(const std::string& text);

// A page context over the command's directories, platform and Ui.
struct TwinContext {
    TwinContext(Context& ctx, platform::Platform* p, OneLineUi& ui);
    pages::Context pages;
};

}  // namespace ovr::cli
