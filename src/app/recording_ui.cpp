#include "app/recording_ui.h"

#include <fstream>
#include <sstream>

#include "config/text.h"

namespace ovr::app {

RecordingUi::RecordingUi(std::string log_file, const std::string& answers, std::shared_ptr<platform::Desktop> desktop)
    : log_(std::move(log_file)), desktop_(std::move(desktop)) {
    std::istringstream in(answers);
    std::string word;
    while (std::getline(in, word, ',')) {
        if (config::equal_ignoring_case(word, "yes"))
            answers_.push_back(Answer::Yes);
        else if (config::equal_ignoring_case(word, "cancel"))
            answers_.push_back(Answer::Cancel);
        else
            answers_.push_back(Answer::No);
    }
}

void RecordingUi::line(const std::string& text) { std::ofstream(log_, std::ios::app) << text << "\n"; }

Answer RecordingUi::message(const std::string& text, Icon icon, Buttons buttons, const std::string&) {
    line(std::string(icon_word(icon)) + ": " + text);
    if (buttons == Buttons::Ok) return Answer::Ok;
    Answer a = next_ < answers_.size() ? answers_[next_++] : Answer::No;
    if (buttons == Buttons::OkCancel) return a == Answer::Yes ? Answer::Ok : Answer::Cancel;
    if (buttons == Buttons::YesNo && a == Answer::Cancel) return Answer::No;
    if (buttons == Buttons::RetryCancel) return a == Answer::Yes ? Answer::Retry : Answer::Cancel;
    return a;
}

}  // namespace ovr::app
