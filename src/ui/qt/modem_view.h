// The Modem page's view: the modem named at the top, the SMS options, the
// MMS options with the operator's settings, and the connection test. Every
// widget takes its text, state, enabling and visibility from the model.
#pragma once

#include <array>

#include "ui/qt/page_views.h"

class QComboBox;
class QLineEdit;

namespace ovr::pages {
class ModemPage;
}

namespace ovr::ui {

class ModemView final : public PageView {
    Q_OBJECT
public:
    explicit ModemView(pages::ModemPage& page, QWidget* parent = nullptr);

    QLineEdit* modem() { return modem_; }
    QPushButton* change_modem() { return change_; }
    QRadioButton* sms_access(size_t i) { return access_[i]; }
    QCheckBox* receive_sms() { return receive_sms_; }
    QComboBox* storage() { return storage_; }
    QCheckBox* send_mms() { return send_mms_; }
    QCheckBox* use_default() { return use_default_; }
    QPushButton* lookup() { return lookup_; }
    // APN, login, password, proxy, URL.
    QLineEdit* text(size_t i) { return texts_[i]; }
    QLabel* text_label(size_t i) { return text_labels_[i]; }
    QCheckBox* non_standard() { return non_standard_; }
    QComboBox* connection() { return connection_; }
    QPushButton* test() { return test_; }
    QCheckBox* receive_mms() { return receive_mms_; }

protected:
    void sync() override;

private:
    void after_action();

    pages::ModemPage& page_;
    QLabel* modem_label_;
    QLineEdit* modem_;
    QLabel* kind_;
    QPushButton* change_;
    QLabel* access_label_;
    std::array<QRadioButton*, 3> access_{};
    QCheckBox* receive_sms_;
    QLabel* storage_label_;
    QComboBox* storage_;
    QCheckBox* send_mms_;
    QCheckBox* use_default_;
    QPushButton* lookup_;
    std::array<QLabel*, 5> text_labels_{};
    std::array<QLineEdit*, 5> texts_{};
    QCheckBox* non_standard_;
    QLabel* connection_label_;
    QComboBox* connection_;
    QPushButton* test_;
    QCheckBox* receive_mms_;
};

}  // namespace ovr::ui
