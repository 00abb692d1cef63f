// Everything a user sees or answers goes through Ui: message boxes, questions,
// the busy indicator, the file chooser, the text editor and the shell's
// "open". The Qt console, the command-line twin and the tests each provide
// one; the logic never knows which.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ovr {

inline constexpr const char* kProgramTitle = "Ovrin SMS/MMS Gateway Lite Edition (v2015.05.19)";

enum class Icon { None, Error, Warning, Information, Question };
// YesNoCancelDefaultNo: the three buttons with No as the default, for
// questions whose Yes destroys something.
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, YesNoCancelDefaultNo, RetryCancel };
enum class Answer { Ok, Cancel, Yes, No, Retry };

struct FileFilter {
    std::string label;     // "Log Files (*.log)"
    std::string patterns;  // "*.log;*.txt"
};

class Ui {
public:
    virtual ~Ui() = default;

    // A modal message box; the caption is the program title unless given.
    virtual Answer message(const std::string& text, Icon icon, Buttons buttons = Buttons::Ok,
                           const std::string& caption = kProgramTitle) = 0;

    // Long work: between busy_begin and busy_end the user sees a busy
    // indicator; progress() lines (an AT dialogue, a server test) show live.
    virtual void busy_begin(const std::string& what) = 0;
    virtual void progress(const std::string& line) = 0;
    virtual void busy_end() = 0;

    // The open-file chooser; nothing when the user cancels.
    virtual std::optional<std::string> choose_open_file(const std::string& title,
                                                        const std::vector<FileFilter>& filters,
                                                        const std::string& initial_dir) = 0;
    // Opens a text file in the user's text editor.
    virtual bool run_editor(const std::string& path) = 0;
    // The shell's "open" of a file or address, in a working directory.
    virtual bool shell_open(const std::string& target, const std::string& working_dir = {}) = 0;

    // Shorthands for the common boxes.
    void error(const std::string& text) { message(text, Icon::Error); }
    void information(const std::string& text) { message(text, Icon::Information); }
    bool ask_yes_no(const std::string& text) { return message(text, Icon::Question, Buttons::YesNo) == Answer::Yes; }
    Answer ask_yes_no_cancel(const std::string& text) { return message(text, Icon::Question, Buttons::YesNoCancel); }
};

// The word a box's icon is named by in text form: "error", "warning",
// "information", "question", or "message" for a plain box.
const char* icon_word(Icon icon);

// Keeps the busy indicator up for a scope.
class BusyScope {
public:
    BusyScope(Ui& ui, const std::string& what) : ui_(ui) { ui_.busy_begin(what); }
    ~BusyScope() { ui_.busy_end(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Ui& ui_;
};

// A Ui for tests and scripts: records every box and every other request, and
// answers questions from a script (then with a default answer).
class ScriptedUi : public Ui {
public:
    struct Box {
        std::string text;
        Icon icon;
        Buttons buttons;
        std::string caption;
        Answer answer;
    };

    Answer message(const std::string& text, Icon icon, Buttons buttons = Buttons::Ok,
                   const std::string& caption = kProgramTitle) override;
    void busy_begin(const std::string& what) override;
    void progress(const std::string& line) override;
    void busy_end() override;
    std::optional<std::string> choose_open_file(const std::string& title, const std::vector<FileFilter>& filters,
                                                const std::string& initial_dir) override;
    bool run_editor(const std::string& path) override;
    bool shell_open(const std::string& target, const std::string& working_dir = {}) override;

    // Answers for the next questions, in order.
    void script(std::initializer_list<Answer> answers);
    // The answer once the script is used up (Yes unless set).
    void set_default_answer(Answer a) { default_answer_ = a; }
    void script_file_choice(std::optional<std::string> path) { file_choice_ = std::move(path); }

    std::vector<Box> boxes;
    std::vector<std::string> busy;          // busy_begin texts
    std::vector<std::string> progress_lines;
    std::vector<std::string> edited;        // run_editor paths
    std::vector<std::string> opened;        // shell_open targets
    std::vector<std::string> chooser_dirs;  // initial directories of the chooser
    std::vector<std::vector<FileFilter>> chooser_filters;
    int busy_depth = 0;

    // Texts of all boxes, for compact assertions.
    std::vector<std::string> texts() const;

private:
    std::vector<Answer> answers_;
    size_t next_ = 0;
    Answer default_answer_ = Answer::Yes;
    std::optional<std::string> file_choice_;
};

}  // namespace ovr
