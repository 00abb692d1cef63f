// The Users page's view: the WebAuth box, the virtual two-column list of
// users (rows asked of the page only as they are painted), and the Edit,
// Add and Delete buttons.
#pragma once

#include "ui/qt/page_views.h"

class QTableView;

namespace ovr::pages {
class UsersPage;
}

namespace ovr::ui {

class UsersTableModel;

class UsersView final : public PageView {
    Q_OBJECT
public:
    explicit UsersView(pages::UsersPage& page, QWidget* parent = nullptr);

    QCheckBox* web_auth() { return web_auth_; }
    QTableView* list() { return list_; }
    QPushButton* edit_button() { return edit_; }
    QPushButton* add_button() { return add_; }
    QPushButton* delete_button() { return delete_; }

protected:
    void sync() override;

private:
    void selection_to_page();
    void selection_from_page();

    pages::UsersPage& page_;
    QCheckBox* web_auth_;
    QTableView* list_;
    UsersTableModel* rows_;
    QPushButton* edit_;
    QPushButton* add_;
    QPushButton* delete_;
    uint64_t generation_ = ~uint64_t{0};
    bool syncing_ = false;
};

}  // namespace ovr::ui
