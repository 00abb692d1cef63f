#include "ui/qt/receive_view.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "pages/receive_page.h"

namespace ovr::ui {

using P = pages::ReceivePage;

namespace {

void fill(QComboBox* box, const pages::DropDown& list) {
    QSignalBlocker block(box);
    bool same = box->count() == static_cast<int>(list.items.size());
    for (int i = 0; same && i < box->count(); ++i)
        same = box->itemText(i).toStdString() == list.items[static_cast<size_t>(i)];
    if (!same) {
        box->clear();
        for (const auto& item : list.items) box->addItem(QString::fromStdString(item));
    }
    box->setCurrentIndex(list.selected);
    box->setEnabled(list.enabled);
}

template <class W, class F>
void show_button(W* w, const F& field) {
    set_text_if_changed(w, field.label);
    w->setEnabled(field.enabled);
    w->setVisible(field.visible);
}

}  // namespace

ReceiveView::ReceiveView(P& page, QWidget* parent) : PageView(page, parent), page_(page) {
    auto* outer = new QVBoxLayout(this);
    auto after = [this](auto&& action) {
        return [this, action] {
            action();
            sync_if_changed();
        };
    };

    auto* sms = new QGroupBox(this);
    auto* sg = new QGridLayout(sms);
    process_sms_ = new QCheckBox(sms);
    view_sms_ = new QPushButton(sms);
    sg->addWidget(process_sms_, 0, 0, 1, 2);
    sg->addWidget(view_sms_, 0, 2);
    route_user_ = new QRadioButton(sms);
    users_ = new QComboBox(sms);
    users_->setMinimumWidth(160);
    use_commands_ = new QRadioButton(sms);
    auto* sms_group = new QButtonGroup(this);
    sms_group->addButton(route_user_);
    sms_group->addButton(use_commands_);
    sg->addWidget(route_user_, 1, 0);
    sg->addWidget(users_, 1, 1);
    sg->addWidget(use_commands_, 2, 0, 1, 2);
    table_label_ = new QLabel(sms);
    sg->addWidget(table_label_, 3, 0, 1, 3);
    table_ = new QTreeWidget(sms);
    table_->setColumnCount(3);
    table_->setHeaderHidden(true);
    table_->setRootIsDecorated(false);
    table_->setUniformRowHeights(true);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    table_->header()->setStretchLastSection(false);
    // The tab stops of the list: the entry, the first action, the rest.
    table_->setColumnWidth(0, 120);
    table_->setColumnWidth(1, 450);
    table_->setColumnWidth(2, 1000);
    table_->setMinimumHeight(110);
    sg->addWidget(table_, 4, 0, 3, 2);
    add_ = new QPushButton(sms);
    edit_ = new QPushButton(sms);
    remove_ = new QPushButton(sms);
    sg->addWidget(add_, 4, 2);
    sg->addWidget(edit_, 5, 2);
    sg->addWidget(remove_, 6, 2, Qt::AlignTop);
    charset_label_ = new QLabel(sms);
    charsets_ = new QComboBox(sms);
    sg->addWidget(charset_label_, 7, 0);
    sg->addWidget(charsets_, 7, 1);
    sg->setColumnStretch(1, 1);
    outer->addWidget(sms);

    auto* mms = new QGroupBox(this);
    auto* mg = new QGridLayout(mms);
    process_mms_ = new QCheckBox(mms);
    mg->addWidget(process_mms_, 0, 0, 1, 3);
    auto* mms_group = new QButtonGroup(this);
    for (size_t i = 0; i < mms_routes_.size(); ++i) {
        mms_routes_[i] = new QRadioButton(mms);
        mms_group->addButton(mms_routes_[i]);
        mg->addWidget(mms_routes_[i], static_cast<int>(i) + 1, 0);
        connect(mms_routes_[i], &QRadioButton::clicked, this,
                after([this, i] { page_.choose_mms_route(static_cast<P::MmsRoute>(i)); }));
    }
    view_mms_ = new QPushButton(mms);
    configure_ = new QPushButton(mms);
    email_ = new QLineEdit(mms);
    post_url_ = new QLineEdit(mms);
    mg->addWidget(view_mms_, 1, 1, Qt::AlignLeft);
    mg->addWidget(configure_, 3, 1, Qt::AlignLeft);
    mg->addWidget(email_, 4, 1, 1, 2);
    mg->addWidget(post_url_, 5, 1, 1, 2);
    mg->setColumnStretch(2, 1);
    outer->addWidget(mms);

    php_enable_ = new QCheckBox(this);
    php_location_ = new QLabel(this);
    php_location_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    php_remote_ = new QCheckBox(this);
    outer->addWidget(php_enable_);
    outer->addWidget(php_location_);
    outer->addWidget(php_remote_);
    outer->addStretch(1);

    connect(process_sms_, &QCheckBox::clicked, this, after([this] { page_.click_process_sms(); }));
    connect(route_user_, &QRadioButton::clicked, this, after([this] { page_.choose_sms_route(true); }));
    connect(use_commands_, &QRadioButton::clicked, this, after([this] { page_.choose_sms_route(false); }));
    connect(users_, &QComboBox::activated, this, [this](int i) {
        page_.select_user(i);
        sync_if_changed();
    });
    connect(charsets_, &QComboBox::activated, this, [this](int i) {
        page_.select_charset(i);
        sync_if_changed();
    });
    connect(table_, &QTreeWidget::itemSelectionChanged, this, [this] {
        auto items = table_->selectedItems();
        page_.select_row(items.isEmpty() ? -1 : table_->indexOfTopLevelItem(items.first()));
    });
    connect(table_, &QTreeWidget::itemDoubleClicked, this, after([this] { page_.press_edit(); }));
    connect(add_, &QPushButton::clicked, this, after([this] { page_.press_add(); }));
    connect(edit_, &QPushButton::clicked, this, after([this] { page_.press_edit(); }));
    connect(remove_, &QPushButton::clicked, this, after([this] { page_.press_remove(); }));
    connect(view_sms_, &QPushButton::clicked, this, [this] { page_.press_view(pages::ViewerKind::ReceivedSms); });
    connect(view_mms_, &QPushButton::clicked, this, [this] { page_.press_view(pages::ViewerKind::ReceivedMms); });
    connect(process_mms_, &QCheckBox::clicked, this, after([this] { page_.click_process_mms(); }));
    connect(configure_, &QPushButton::clicked, this, after([this] { page_.press_configure(); }));
    connect(email_, &QLineEdit::textEdited, this, [this](const QString& s) { page_.set_email(s.toStdString()); });
    connect(post_url_, &QLineEdit::textEdited, this,
            [this](const QString& s) { page_.set_post_url(s.toStdString()); });
    connect(php_enable_, &QCheckBox::clicked, this, after([this] { page_.click_php_enable(); }));
    connect(php_remote_, &QCheckBox::clicked, this, after([this] { page_.click_php_remote(); }));
    sync_if_changed();
}

void ReceiveView::sync() {
    show_button(process_sms_, page_.process_sms());
    process_sms_->setChecked(page_.process_sms().checked);
    show_button(view_sms_, page_.view_sms());
    show_button(route_user_, page_.route_to_user());
    route_user_->setChecked(page_.route_to_user().selected);
    show_button(use_commands_, page_.use_commands());
    use_commands_->setChecked(page_.use_commands().selected);
    fill(users_, page_.users());
    set_text_if_changed(table_label_, page_.table_label().text);
    table_label_->setEnabled(page_.table_enabled());
    table_->setEnabled(page_.table_enabled());
    {
        QSignalBlocker block(table_);
        const auto& rows = page_.rows();
        bool same = table_->topLevelItemCount() == static_cast<int>(rows.size());
        for (int i = 0; same && i < table_->topLevelItemCount(); ++i)
            same = table_->topLevelItem(i)->data(0, Qt::UserRole).toString().toStdString() ==
                   rows[static_cast<size_t>(i)];
        if (!same) {
            table_->clear();
            for (const std::string& row : rows) {
                QStringList cells = QString::fromStdString(row).split('\t');
                QStringList columns;
                columns << cells.value(0) << cells.value(1);
                columns << QStringList(cells.mid(2)).join("    ");
                auto* item = new QTreeWidgetItem(columns);
                item->setData(0, Qt::UserRole, QString::fromStdString(row));
                table_->addTopLevelItem(item);
            }
        }
        table_->clearSelection();
        if (page_.selected_row() >= 0) table_->topLevelItem(page_.selected_row())->setSelected(true);
    }
    show_button(add_, page_.add_button());
    show_button(edit_, page_.edit_button());
    show_button(remove_, page_.remove_button());
    set_text_if_changed(charset_label_, page_.charset_label().text);
    charset_label_->setEnabled(page_.charsets().enabled);
    fill(charsets_, page_.charsets());
    show_button(process_mms_, page_.process_mms());
    process_mms_->setChecked(page_.process_mms().checked);
    for (size_t i = 0; i < mms_routes_.size(); ++i) {
        const auto& r = page_.mms_route(static_cast<P::MmsRoute>(i));
        show_button(mms_routes_[i], r);
        mms_routes_[i]->setChecked(r.selected);
    }
    show_button(view_mms_, page_.view_mms());
    show_button(configure_, page_.configure_button());
    for (auto [w, f] : {std::pair{email_, &page_.email()}, std::pair{post_url_, &page_.post_url()}}) {
        if (w->text().toStdString() != f->text) w->setText(QString::fromStdString(f->text));
        w->setEnabled(f->enabled);
        w->setVisible(f->visible);
    }
    show_button(php_enable_, page_.php_enable());
    php_enable_->setChecked(page_.php_enable().checked);
    set_text_if_changed(php_location_, page_.php_location().text);
    show_button(php_remote_, page_.php_remote());
    php_remote_->setChecked(page_.php_remote().checked);
    if (auto f = page_.focus()) {
        if (*f == P::Focus::Users) users_->setFocus();
        if (*f == P::Focus::Configure) configure_->setFocus();
        if (*f == P::Focus::Email) email_->setFocus();
    }
}

}  // namespace ovr::ui
