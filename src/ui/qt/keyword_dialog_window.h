// "2-Way Keyword Processor" over its model: every action's check box beside
// its field; OK asks the model, which refuses (the focus goes where it says)
// or saves and closes the dialog.
#pragma once

#include <QDialog>
#include <array>

#include "pages/keyword_dialog.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace ovr::ui {

class KeywordDialogWindow final : public QDialog {
    Q_OBJECT
public:
    explicit KeywordDialogWindow(pages::KeywordDialog& model, QWidget* parent = nullptr);
    QLineEdit* line(pages::KeywordDialog::Text t) { return lines_[static_cast<size_t>(t)]; }
    QPlainTextEdit* reply_text() { return reply_; }
    QCheckBox* check(pages::KeywordDialog::Check c) { return checks_[static_cast<size_t>(c)]; }
    QPushButton* browse_button() { return browse_; }
    QPushButton* ok_button() { return ok_; }

private:
    void sync();
    void press_ok();

    pages::KeywordDialog& model_;
    std::array<QLineEdit*, 8> lines_{};   // none for the multi-line reply text
    QPlainTextEdit* reply_ = nullptr;
    std::array<QCheckBox*, 7> checks_{};
    QPushButton* browse_ = nullptr;
    QPushButton* ok_ = nullptr;
    uint64_t seen_ = ~uint64_t{0};
};

}  // namespace ovr::ui
