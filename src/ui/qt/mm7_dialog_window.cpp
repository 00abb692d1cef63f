#include "ui/qt/mm7_dialog_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace ovr::ui {

using D = pages::Mm7Dialog;

namespace {

void fill(QComboBox* box, const pages::DropDown& list) {
    QSignalBlocker block(box);
    if (box->count() != static_cast<int>(list.items.size())) {
        box->clear();
        for (const auto& item : list.items) box->addItem(QString::fromStdString(item));
    }
    box->setCurrentIndex(list.selected);
    box->setVisible(list.visible);
}

}  // namespace

Mm7DialogWindow::Mm7DialogWindow(D& model, QWidget* parent) : QDialog(parent), model_(model) {
    setWindowTitle(D::kTitle);
    setObjectName(D::kTemplate);
    auto* grid = new QGridLayout(this);
    int row = 0;
    grid->addWidget(new QLabel("MM7 Protocol Variations:", this), row, 0);
    variations_ = new QComboBox(this);
    connect(variations_, &QComboBox::activated, this, [this](int i) {
        model_.select_variation(i);
        sync();
    });
    grid->addWidget(variations_, row++, 1);
    const std::pair<D::Text, const char*> fields[] = {{D::Text::Server, "Server URL:"},
                                                      {D::Text::UserName, "HTTP Auth Username:"},
                                                      {D::Text::Password, "Password:"},
                                                      {D::Text::VaspId, "(optional parameters) VASP ID:"},
                                                      {D::Text::VasId, "VAS ID:"},
                                                      {D::Text::ServiceCode, "Service Code:"}};
    for (const auto& [t, label] : fields) {
        size_t i = static_cast<size_t>(t);
        labels_[i] = new QLabel(label, this);
        lines_[i] = new QLineEdit(this);
        lines_[i]->setMaxLength(1023);
        if (t == D::Text::Password) lines_[i]->setEchoMode(QLineEdit::Password);
        connect(lines_[i], &QLineEdit::textEdited, this,
                [this, t](const QString& s) { model_.set_text(t, s.toStdString()); });
        grid->addWidget(labels_[i], row, 0);
        grid->addWidget(lines_[i], row++, 1);
    }
    version_label_ = new QLabel("3GPP MMS Version:", this);
    versions_ = new QComboBox(this);
    connect(versions_, &QComboBox::activated, this, [this](int i) { model_.select_version(i); });
    grid->addWidget(version_label_, row, 0);
    grid->addWidget(versions_, row++, 1);
    schema_label_ = new QLabel("MM7 Schema:", this);
    schemas_ = new QComboBox(this);
    connect(schemas_, &QComboBox::activated, this, [this](int i) { model_.select_schema(i); });
    grid->addWidget(schema_label_, row, 0);
    grid->addWidget(schemas_, row++, 1);
    strip_ = new QCheckBox(QString::fromStdString(model_.strip_white_space().label), this);
    connect(strip_, &QCheckBox::clicked, this, [this](bool on) { model_.set_strip_white_space(on); });
    grid->addWidget(strip_, row++, 0, 1, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &Mm7DialogWindow::press_ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, row, 0, 1, 2);
    grid->setColumnMinimumWidth(1, 300);
    for (size_t i = 0; i < lines_.size(); ++i)
        lines_[i]->setText(QString::fromStdString(model_.field(static_cast<D::Text>(i)).text));
    sync();
}

void Mm7DialogWindow::sync() {
    fill(variations_, model_.variations());
    fill(versions_, model_.versions());
    fill(schemas_, model_.schemas());
    version_label_->setVisible(model_.versions().visible);
    schema_label_->setVisible(model_.schemas().visible);
    strip_->setChecked(model_.strip_white_space().checked);
    strip_->setVisible(model_.strip_white_space().visible);
    for (size_t i = 0; i < lines_.size(); ++i) {
        bool visible = model_.field(static_cast<D::Text>(i)).visible;
        lines_[i]->setVisible(visible);
        labels_[i]->setVisible(visible);
    }
    adjustSize();
}

void Mm7DialogWindow::press_ok() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool saved = model_.ok();
    QApplication::restoreOverrideCursor();
    if (saved) {
        accept();
        return;
    }
    line(D::Text::Server)->setFocus();
}

}  // namespace ovr::ui
