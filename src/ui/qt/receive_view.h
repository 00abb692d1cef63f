// The 2-Way page's view: the SMS choices with the keyword table (rows split
// at their tabs into columns, sorted, scrolling sideways), the MMS routes,
// and local PHP processing.
#pragma once

#include <array>

#include "ui/qt/page_views.h"

class QComboBox;
class QLineEdit;
class QTreeWidget;

namespace ovr::pages {
class ReceivePage;
}

namespace ovr::ui {

class ReceiveView final : public PageView {
    Q_OBJECT
public:
    explicit ReceiveView(pages::ReceivePage& page, QWidget* parent = nullptr);

    QCheckBox* process_sms() { return process_sms_; }
    QRadioButton* route_to_user() { return route_user_; }
    QRadioButton* use_commands() { return use_commands_; }
    QComboBox* users() { return users_; }
    QTreeWidget* table() { return table_; }
    QPushButton* add_button() { return add_; }
    QCheckBox* process_mms() { return process_mms_; }
    QRadioButton* mms_route(size_t i) { return mms_routes_[i]; }
    QPushButton* configure_button() { return configure_; }
    QLineEdit* email() { return email_; }
    QCheckBox* php_enable() { return php_enable_; }
    QCheckBox* php_remote() { return php_remote_; }
    QLabel* php_location() { return php_location_; }

protected:
    void sync() override;

private:
    pages::ReceivePage& page_;
    QCheckBox* process_sms_;
    QPushButton* view_sms_;
    QRadioButton* route_user_;
    QComboBox* users_;
    QRadioButton* use_commands_;
    QLabel* table_label_;
    QTreeWidget* table_;
    QPushButton* add_;
    QPushButton* edit_;
    QPushButton* remove_;
    QLabel* charset_label_;
    QComboBox* charsets_;
    QCheckBox* process_mms_;
    std::array<QRadioButton*, 5> mms_routes_{};
    QPushButton* view_mms_;
    QPushButton* configure_;
    QLineEdit* email_;
    QLineEdit* post_url_;
    QCheckBox* php_enable_;
    QLabel* php_location_;
    QCheckBox* php_remote_;
};

}  // namespace ovr::ui
