// The Server page's view: the web interface port, the SMPP and MM7/EAIF
// boxes with their port fields, and the service status with its button.
#pragma once

#include "ui/qt/page_views.h"

class QLineEdit;

namespace ovr::pages {
class ServerPage;
}

namespace ovr::ui {

class ServerView final : public PageView {
    Q_OBJECT
public:
    explicit ServerView(pages::ServerPage& page, QWidget* parent = nullptr);

    QLineEdit* web_port() { return web_; }
    QCheckBox* smpp_enable() { return smpp_enable_; }
    QLineEdit* smpp_port() { return smpp_; }
    QLabel* smpp_port_label() { return smpp_label_; }
    QCheckBox* mm7_enable() { return mm7_enable_; }
    QLineEdit* mm7_port() { return mm7_; }
    QLabel* mm7_port_label() { return mm7_label_; }
    QLabel* server_status() { return status_; }
    QPushButton* service_button() { return button_; }

protected:
    void sync() override;

private:
    pages::ServerPage& page_;
    QLineEdit* web_;
    QCheckBox* smpp_enable_;
    QLineEdit* smpp_;
    QLabel* smpp_label_;
    QCheckBox* mm7_enable_;
    QLineEdit* mm7_;
    QLabel* mm7_label_;
    QLabel* status_;
    QPushButton* button_;
};

// Sets an edit field's text only when it differs, so typing keeps its
// cursor.
void set_edit_text(QLineEdit* w, const std::string& text);

}  // namespace ovr::ui
