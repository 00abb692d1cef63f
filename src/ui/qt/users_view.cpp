#include "ui/qt/users_view.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <functional>
#include <set>

#include "pages/users_page.h"

namespace ovr::ui {

// Rows come from the page when the view paints them; nothing is copied.
class UsersTableModel final : public QAbstractTableModel {
public:
    UsersTableModel(pages::UsersPage& page, QObject* parent) : QAbstractTableModel(parent), page_(page) {}
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(page_.row_count());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) return {};
        return QString::fromStdString(page_.cell(static_cast<uint32_t>(index.row()), index.column()));
    }
    void reset() {
        beginResetModel();
        endResetModel();
    }

private:
    pages::UsersPage& page_;
};

namespace {

// The list's keys and type-ahead go to the page.
class UsersList final : public QTableView {
public:
    UsersList(pages::UsersPage& page, std::function<void()> after, QWidget* parent)
        : QTableView(parent), page_(page), after_(std::move(after)) {}

    void keyboardSearch(const QString& text) override {
        int row = page_.find_row(text.toStdString());
        if (row < 0) return;
        QModelIndex i = model()->index(row, 0);
        selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(i);
    }

protected:
    void keyPressEvent(QKeyEvent* e) override {
        switch (e->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter: page_.key(pages::UsersPage::Key::Enter); break;
            case Qt::Key_Insert: page_.key(pages::UsersPage::Key::Insert); break;
            case Qt::Key_Delete: page_.key(pages::UsersPage::Key::Delete); break;
            default: QTableView::keyPressEvent(e); return;
        }
        after_();
    }

private:
    pages::UsersPage& page_;
    std::function<void()> after_;
};

}  // namespace

UsersView::UsersView(pages::UsersPage& page, QWidget* parent) : PageView(page, parent), page_(page) {
    auto* outer = new QVBoxLayout(this);
    web_auth_ = new QCheckBox(this);
    outer->addWidget(web_auth_);
    list_ = new UsersList(page_, [this] { sync_if_changed(); }, this);
    rows_ = new UsersTableModel(page_, this);
    list_->setModel(rows_);
    list_->horizontalHeader()->hide();
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // Fixed row heights: the view never measures rows it does not show.
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setShowGrid(false);
    list_->setWordWrap(false);
    list_->setFrameShadow(QFrame::Sunken);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    outer->addWidget(list_, 1);
    auto* buttons = new QHBoxLayout;
    edit_ = new QPushButton("Edit", this);
    add_ = new QPushButton("Add", this);
    delete_ = new QPushButton("Delete", this);
    buttons->addStretch(1);
    for (auto* b : {edit_, add_, delete_}) buttons->addWidget(b);
    outer->addLayout(buttons);

    connect(web_auth_, &QCheckBox::clicked, this, [this] {
        page_.click_web_auth();
        sync_if_changed();
    });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selection_to_page(); });
    connect(list_, &QTableView::doubleClicked, this, [this](const QModelIndex& i) {
        page_.double_click(static_cast<uint32_t>(i.row()));
        sync_if_changed();
    });
    connect(edit_, &QPushButton::clicked, this, [this] {
        page_.press_edit();
        sync_if_changed();
    });
    connect(add_, &QPushButton::clicked, this, [this] {
        page_.press_add();
        sync_if_changed();
    });
    connect(delete_, &QPushButton::clicked, this, [this] {
        page_.press_delete();
        sync_if_changed();
    });
    sync_if_changed();
}

void UsersView::selection_to_page() {
    if (syncing_) return;
    std::set<uint32_t> rows;
    for (const QModelIndex& i : list_->selectionModel()->selectedRows()) rows.insert(static_cast<uint32_t>(i.row()));
    page_.set_selection(std::move(rows));
}

void UsersView::selection_from_page() {
    QItemSelection sel;
    for (uint32_t r : page_.selection()) {
        int row = static_cast<int>(r);
        sel.select(rows_->index(row, 0), rows_->index(row, 1));
    }
    list_->selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
    if (!page_.selection().empty())
        list_->selectionModel()->setCurrentIndex(rows_->index(static_cast<int>(*page_.selection().begin()), 0),
                                                 QItemSelectionModel::NoUpdate);
}

void UsersView::sync() {
    set_text_if_changed(web_auth_, page_.web_auth().label);
    web_auth_->setChecked(page_.web_auth().checked);
    if (page_.list_generation() != generation_) {
        generation_ = page_.list_generation();
        syncing_ = true;
        rows_->reset();
        selection_from_page();
        syncing_ = false;
    }
}

}  // namespace ovr::ui
