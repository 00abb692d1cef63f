// The Status page's view: the service box, the status and modem texts (red
// text on the standard background when they report a problem), the queue
// and counter grid with its "View" buttons, and the log buttons.
#pragma once

#include <array>

#include "ui/qt/page_views.h"

class QGroupBox;

namespace ovr::pages {
class StatusPage;
struct Label;
}  // namespace ovr::pages

namespace ovr::ui {

// Sets the text (only when it differs ignoring case) and the colour of a
// display field: red text, or the default palette.
void show_label(QLabel* w, const pages::Label& field);

class StatusView final : public PageView {
    Q_OBJECT
public:
    explicit StatusView(pages::StatusPage& page, QWidget* parent = nullptr);

    QCheckBox* run_as_service() { return run_; }
    QLabel* service_status() { return status_; }
    QLabel* modem_information() { return modem_; }
    QPushButton* start_button() { return start_; }
    QPushButton* stop_button() { return stop_; }
    QLabel* sms_queue_label() { return sms_label_; }
    QLabel* sms_queue_count() { return sms_count_; }
    QLabel* mms_queue_label() { return mms_label_; }
    QLabel* mms_queue_count() { return mms_count_; }
    QLabel* count(size_t row, size_t column) { return counts_[row][column]; }
    QPushButton* view_button(pages::ViewerKind kind) { return views_[static_cast<size_t>(kind)]; }
    QPushButton* view_log_files_button() { return logs_; }
    QPushButton* event_log_button() { return events_; }

protected:
    void sync() override;

private:
    pages::StatusPage& page_;
    QCheckBox* run_;
    QLabel* status_;
    QPushButton* start_;
    QPushButton* stop_;
    QLabel* modem_;
    QLabel* sms_label_;
    QLabel* sms_count_;
    QLabel* mms_label_;
    QLabel* mms_count_;
    std::array<QLabel*, 8> row_labels_{};
    std::array<std::array<QLabel*, 3>, 8> counts_{};
    std::array<QPushButton*, 4> views_{};  // by ViewerKind
    QPushButton* logs_;
    QPushButton* events_;
};

}  // namespace ovr::ui
