#include "platform/ui.h"

namespace ovr {

const char* icon_word(Icon icon) {
    switch (icon) {
        case Icon::Error: return "error";
        case Icon::Warning: return "warning";
        case Icon::Information: return "information";
        case Icon::Question: return "question";
        case Icon::None: break;
    }
    return "message";
}

Answer ScriptedUi::message(const std::string& text, Icon icon, Buttons buttons, const std::string& caption) {
    Answer a = Answer::Ok;
    if (buttons != Buttons::Ok) {
        a = next_ < answers_.size() ? answers_[next_++] : default_answer_;
        if (buttons == Buttons::OkCancel && (a == Answer::Yes || a == Answer::No))
            a = a == Answer::Yes ? Answer::Ok : Answer::Cancel;
        if (buttons == Buttons::YesNo && a == Answer::Cancel) a = Answer::No;
        if (buttons == Buttons::RetryCancel) a = (a == Answer::Yes || a == Answer::Ok || a == Answer::Retry) ? Answer::Retry : Answer::Cancel;
    }
    boxes.push_back(Box{text, icon, buttons, caption, a});
    return a;
}

void ScriptedUi::busy_begin(const std::string& what) {
    busy.push_back(what);
    ++busy_depth;
}
void ScriptedUi::progress(const std::string& line) { progress_lines.push_back(line); }
void ScriptedUi::busy_end() { --busy_depth; }

std::optional<std::string> ScriptedUi::choose_open_file(const std::string&, const std::vector<FileFilter>& filters,
                                                        const std::string& initial_dir) {
    chooser_dirs.push_back(initial_dir);
    chooser_filters.push_back(filters);
    return file_choice_;
}

bool ScriptedUi::run_editor(const std::string& path) {
    edited.push_back(path);
    return true;
}

bool ScriptedUi::shell_open(const std::string& target, const std::string&) {
    opened.push_back(target);
    return true;
}

void ScriptedUi::script(std::initializer_list<Answer> answers) { answers_.insert(answers_.end(), answers); }

std::vector<std::string> ScriptedUi::texts() const {
    std::vector<std::string> t;
    for (const auto& b : boxes) t.push_back(b.text);
    return t;
}

}  // namespace ovr
