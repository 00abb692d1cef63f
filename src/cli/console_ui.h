// The Ui of the command-line twin: each box is printed as one block on
// stderr starting with its icon word ("error:", "warning:", "information:",
// "question:", or "message:" for a plain box). Questions take --yes, or ask
// on a terminal, or are answered No.
#pragma once

#include <iosfwd>

#include "platform/ui.h"

namespace ovr::cli {

class ConsoleUi : public Ui {
public:
    ConsoleUi(std::ostream& out, bool assume_yes, bool transcript = false)
        : out_(out), assume_yes_(assume_yes), transcript_(transcript) {}

    Answer message(const std::string& text, Icon icon, Buttons buttons = Buttons::Ok,
                   const std::string& caption = kProgramTitle) override;
    void busy_begin(const std::string&) override {}
    void progress(const std::string& line) override;
    void busy_end() override {}
    std::optional<std::string> choose_open_file(const std::string&, const std::vector<FileFilter>&,
                                                const std::string&) override {
        return std::nullopt;
    }
    bool run_editor(const std::string&) override { return false; }
    bool shell_open(const std::string&, const std::string& = {}) override { return false; }

    // Texts shown so far, in order.
    const std::vector<std::string>& shown() const { return shown_; }

private:
    std::ostream& out_;
    bool assume_yes_;
    bool transcript_;
    std::vector<std::string> shown_;
};


}  // namespace ovr::cli
