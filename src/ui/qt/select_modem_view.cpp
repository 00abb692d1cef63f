#include "ui/qt/select_modem_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "pages/select_modem.h"

namespace ovr::ui {

SelectModemView::SelectModemView(pages::SelectModemPage& page, QWidget* parent) : PageView(page, parent), page_(page) {
    auto* outer = new QVBoxLayout(this);
    intro_ = new QLabel(this);
    intro_->setWordWrap(true);
    outer->addWidget(intro_);
    outer->addSpacing(8);
    list_label_ = new QLabel(this);
    outer->addWidget(list_label_);
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_label_->setBuddy(list_);
    outer->addWidget(list_, 1);
    text_label_ = new QLabel(this);
    outer->addWidget(text_label_);
    text_ = new QLineEdit(this);
    text_->setMaxLength(static_cast<int>(pages::SelectModemPage::kMaxEntry));
    text_label_->setBuddy(text_);
    outer->addWidget(text_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    test_and_add_ = new QPushButton(this);
    cancel_ = new QPushButton(this);
    buttons->addWidget(test_and_add_);
    buttons->addWidget(cancel_);
    outer->addLayout(buttons);

    connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        page_.click_item(static_cast<size_t>(list_->row(item)));
        sync_if_changed();
    });
    connect(text_, &QLineEdit::textEdited, this, [this](const QString& t) {
        page_.set_text(t.toStdString());
        sync_if_changed();
    });
    // A device found between two ticks is listed at once: the discovery
    // thread posts the tick to this window's thread.
    page_.set_discovery_wake([this] {
        QMetaObject::invokeMethod(this, [this] {
            page_.tick();
            sync_if_changed();
        }, Qt::QueuedConnection);
    });
    sync_if_changed();
}

// Posted ticks still waiting die with the view; no new one is posted.
SelectModemView::~SelectModemView() { page_.set_discovery_wake(nullptr); }

void SelectModemView::sync() {
    // The fixed text keeps its line breaks; a label wants "\n".
    QString intro = QString::fromStdString(page_.intro().text).replace("\r\n", "\n");
    if (intro_->text() != intro) intro_->setText(intro);
    set_text_if_changed(list_label_, page_.list_label().text);
    set_text_if_changed(text_label_, page_.text_label().text);
    set_text_if_changed(test_and_add_, page_.test_and_add_button().label);
    set_text_if_changed(cancel_, page_.cancel_button().label);
    test_and_add_->setVisible(page_.test_and_add_button().visible);
    cancel_->setVisible(page_.cancel_button().visible);

    QSignalBlocker block_list(list_);
    const auto& items = page_.items();
    // Entries are appended as devices appear; rewrite only what differs, so
    // the list neither flickers nor loses its scroll position.
    for (size_t i = 0; i < items.size(); ++i) {
        QString t = QString::fromStdString(items[i]);
        if (static_cast<int>(i) < list_->count()) {
            if (list_->item(static_cast<int>(i))->text() != t) list_->item(static_cast<int>(i))->setText(t);
        } else {
            list_->addItem(t);
        }
    }
    while (list_->count() > static_cast<int>(items.size())) delete list_->takeItem(list_->count() - 1);
    if (auto sel = page_.selected())
        list_->setCurrentRow(static_cast<int>(*sel));
    else
        list_->clearSelection();

    QString text = QString::fromStdString(page_.text());
    if (text_->text() != text) {
        QSignalBlocker block_text(text_);
        text_->setText(text);
    }
}

}  // namespace ovr::ui
