// A Ui for the simulated platform without a person: every box is appended to
// a log file as "<icon>: <text>" (icon words error, warning, information,
// question, message) and questions are answered from a list ("yes", "no",
// "cancel"; then No). Switch tests run the real console with it
// (OVRINSMS_SIM_UI=record, OVRINSMS_SIM_ANSWERS=yes,no,...).
#pragma once

#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/ui.h"

namespace ovr::app {

class RecordingUi final : public Ui {
public:
    RecordingUi(std::string log_file, const std::string& answers, std::shared_ptr<platform::Desktop> desktop);

    Answer message(const std::string& text, Icon icon, Buttons buttons = Buttons::Ok,
                   const std::string& caption = kProgramTitle) override;
    void busy_begin(const std::string& what) override { line("busy: " + what); }
    void progress(const std::string& text) override { line("progress: " + text); }
    void busy_end() override {}
    std::optional<std::string> choose_open_file(const std::string&, const std::vector<FileFilter>&,
                                                const std::string&) override {
        return std::nullopt;
    }
    bool run_editor(const std::string& path) override { return desktop_ && desktop_->edit(path); }
    bool shell_open(const std::string& target, const std::string& dir = {}) override {
        return desktop_ && desktop_->open(target, dir);
    }

private:
    void line(const std::string& text);
    std::string log_;
    std::vector<Answer> answers_;
    size_t next_ = 0;
    std::shared_ptr<platform::Desktop> desktop_;
};


}  // namespace ovr::app
