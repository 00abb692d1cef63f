// The Select Modem page's view: the fixed text, the modem list (a click
// copies the entry into the text field), and the field for a typed address
// and port. The template's own two buttons are never shown.
#pragma once

#include "ui/qt/page_views.h"

class QLineEdit;
class QListWidget;

namespace ovr::pages {
class SelectModemPage;
}

namespace ovr::ui {

class SelectModemView final : public PageView {
    Q_OBJECT
public:
    explicit SelectModemView(pages::SelectModemPage& page, QWidget* parent = nullptr);
    ~SelectModemView() override;
    QListWidget* list() { return list_; }
    QLineEdit* text() { return text_; }

protected:
    void sync() override;

private:
    pages::SelectModemPage& page_;
    QLabel* intro_;
    QLabel* list_label_;
    QListWidget* list_;
    QLabel* text_label_;
    QLineEdit* text_;
    QPushButton* test_and_add_;
    QPushButton* cancel_;
};

}  // namespace ovr::ui
