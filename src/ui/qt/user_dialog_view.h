// The user dialog ("Edit User") on real widgets, and the runner of the
// console's modal dialogs.
#pragma once

#include <QDialog>
#include <array>

#include "pages/page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace ovr::pages {
class UserDialog;
}

namespace ovr::ui {

class UserDialogView final : public QDialog {
    Q_OBJECT
public:
    UserDialogView(pages::UserDialog& dialog, QWidget* parent = nullptr);

    QLineEdit* edit(int field) { return edits_[static_cast<size_t>(field)]; }  // by pages::UserText
    QCheckBox* box(int b) { return boxes_[static_cast<size_t>(b)]; }           // by pages::UserBox
    QComboBox* menu() { return menu_; }
    QLabel* menu_label() { return menu_label_; }
    QLabel* recipients_label() { return recipients_label_; }
    // OK as the user presses it.
    void press_ok();

private:
    void sync();

    pages::UserDialog& d_;
    uint64_t seen_ = ~uint64_t{0};
    std::array<QLineEdit*, 5> edits_{};
    std::array<QCheckBox*, 5> boxes_{};
    QComboBox* menu_;
    QLabel* menu_label_;
    QLabel* recipients_label_;
};

// Shows a dialog model modally over `parent`; true when it closed with OK.
bool exec_dialog(pages::DialogModel& model, QWidget* parent);

}  // namespace ovr::ui
