// The Test Message page's view: the phone number, the two send buttons, the
// SMS and MMS status lines side by side, Cancel, and the web interface
// button.
#pragma once

#include <array>

#include "ui/qt/page_views.h"

class QLineEdit;

namespace ovr::pages {
class TestMessagePage;
}

namespace ovr::ui {

class TestMessageView final : public PageView {
    Q_OBJECT
public:
    explicit TestMessageView(pages::TestMessagePage& page, QWidget* parent = nullptr);
    QLineEdit* phone_number() { return phone_; }
    QPushButton* send_sms() { return sms_; }
    QPushButton* send_mms() { return mms_; }
    QPushButton* cancel() { return cancel_; }
    QPushButton* web() { return web_; }
    QLabel* line(bool mms, int i) { return lines_[mms ? 2 + i : i]; }

protected:
    void sync() override;

private:
    pages::TestMessagePage& page_;
    QLineEdit* phone_;
    QPushButton* sms_;
    QPushButton* mms_;
    QPushButton* cancel_;
    QPushButton* web_;
    std::array<QLabel*, 4> lines_{};
};

}  // namespace ovr::ui
