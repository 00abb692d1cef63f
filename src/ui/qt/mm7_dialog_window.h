// "Configure MM7 or PHP Receiver" over its model: the variation list decides
// which fields show; OK runs the model's server check and save.
#pragma once

#include <QDialog>
#include <array>

#include "pages/mm7_dialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace ovr::ui {

class Mm7DialogWindow final : public QDialog {
    Q_OBJECT
public:
    explicit Mm7DialogWindow(pages::Mm7Dialog& model, QWidget* parent = nullptr);
    QComboBox* variations() { return variations_; }
    QLineEdit* line(pages::Mm7Dialog::Text t) { return lines_[static_cast<size_t>(t)]; }
    QComboBox* versions() { return versions_; }

private:
    void sync();
    void press_ok();

    pages::Mm7Dialog& model_;
    QComboBox* variations_ = nullptr;
    QComboBox* versions_ = nullptr;
    QComboBox* schemas_ = nullptr;
    QCheckBox* strip_ = nullptr;
    std::array<QLineEdit*, 6> lines_{};
    std::array<QLabel*, 6> labels_{};
    QLabel* version_label_ = nullptr;
    QLabel* schema_label_ = nullptr;
};

}  // namespace ovr::ui
