#include "ui/qt/keyword_dialog_window.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "platform/ui.h"

namespace ovr::ui {

using D = pages::KeywordDialog;

KeywordDialogWindow::KeywordDialogWindow(D& model, QWidget* parent) : QDialog(parent), model_(model) {
    setWindowTitle(D::kTitle);
    setObjectName(D::kTemplate);
    auto* grid = new QGridLayout(this);
    int row = 0;
    auto make_line = [&](D::Text t) {
        auto* e = new QLineEdit(this);
        lines_[static_cast<size_t>(t)] = e;
        connect(e, &QLineEdit::textEdited, this, [this, t](const QString& s) {
            model_.set_text(t, s.toStdString());
            sync();
        });
        return e;
    };
    auto make_check = [&](D::Check c) {
        auto* b = new QCheckBox(QString::fromStdString(model_.check_box(c).label), this);
        checks_[static_cast<size_t>(c)] = b;
        connect(b, &QCheckBox::clicked, this, [this, c](bool on) {
            model_.set_checked(c, on);
            sync();
        });
        return b;
    };
    grid->addWidget(new QLabel("Keyword:", this), row, 0);
    grid->addWidget(make_line(D::Text::Keyword), row++, 1, 1, 2);
    // The receive numbers are carried but not shown.
    auto* numbers_label = new QLabel("Receive Phone Number(s):", this);
    auto* numbers_hint = new QLabel("(blank to receive on all numbers)", this);
    grid->addWidget(numbers_label, row, 0);
    grid->addWidget(make_line(D::Text::Numbers), row, 1);
    grid->addWidget(numbers_hint, row++, 2);
    bool numbers = model_.field(D::Text::Numbers).visible;
    numbers_label->setVisible(numbers);
    numbers_hint->setVisible(numbers);
    line(D::Text::Numbers)->setVisible(numbers);

    grid->addWidget(make_check(D::Check::SendReply), row++, 0, 1, 3);
    reply_ = new QPlainTextEdit(this);
    reply_->setMaximumHeight(80);
    connect(reply_, &QPlainTextEdit::textChanged, this, [this] {
        std::string text = reply_->toPlainText().toStdString();
        if (text == model_.text(D::Text::ReplyText)) return;
        model_.set_text(D::Text::ReplyText, text);
        sync();
    });
    grid->addWidget(reply_, row++, 0, 1, 3);
    grid->addWidget(make_check(D::Check::IncludeImage), row, 0);
    auto* file = make_line(D::Text::ReplyFile);
    file->setReadOnly(true);
    grid->addWidget(file, row, 1);
    browse_ = new QPushButton("Browse", this);
    connect(browse_, &QPushButton::clicked, this, [this] {
        model_.browse();
        sync();
    });
    grid->addWidget(browse_, row++, 2);
    grid->addWidget(make_check(D::Check::RunCommand), row, 0);
    grid->addWidget(make_line(D::Text::Run), row++, 1, 1, 2);
    grid->addWidget(make_check(D::Check::RunResponse), row++, 1, 1, 2);
    grid->addWidget(make_check(D::Check::Forward), row, 0);
    grid->addWidget(make_line(D::Text::MailTo), row++, 1, 1, 2);
    grid->addWidget(make_check(D::Check::AddList), row, 0);
    grid->addWidget(make_line(D::Text::DListAdd), row++, 1, 1, 2);
    grid->addWidget(make_check(D::Check::RemoveList), row, 0);
    grid->addWidget(make_line(D::Text::DListRemove), row++, 1, 1, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &KeywordDialogWindow::press_ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, row, 0, 1, 3);
    grid->setColumnMinimumWidth(1, 260);
    for (auto* l : lines_)
        if (l) l->setMaxLength(static_cast<int>(keywords::kFieldBytes));
    sync();
}

void KeywordDialogWindow::sync() {
    if (model_.revision() == seen_) return;
    seen_ = model_.revision();
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (!lines_[i]) continue;  // the reply text is multi-line
        const std::string& t = model_.text(static_cast<D::Text>(i));
        if (lines_[i]->text().toStdString() != t) {
            QSignalBlocker block(lines_[i]);
            lines_[i]->setText(QString::fromStdString(t));
        }
    }
    if (reply_->toPlainText().toStdString() != model_.text(D::Text::ReplyText)) {
        QSignalBlocker block(reply_);
        reply_->setPlainText(QString::fromStdString(model_.text(D::Text::ReplyText)));
    }
    for (size_t i = 0; i < checks_.size(); ++i) checks_[i]->setChecked(model_.checked(static_cast<D::Check>(i)));
}

void KeywordDialogWindow::press_ok() {
    if (model_.ok()) {
        accept();
        return;
    }
    sync();
    if (!model_.focus()) return;
    switch (*model_.focus()) {
        case D::Focus::Keyword: line(D::Text::Keyword)->setFocus(); break;
        case D::Focus::ReplyText: reply_->setFocus(); break;
        case D::Focus::Browse: browse_->setFocus(); break;
        case D::Focus::Run: line(D::Text::Run)->setFocus(); break;
        case D::Focus::MailTo: line(D::Text::MailTo)->setFocus(); break;
        case D::Focus::DListAdd: line(D::Text::DListAdd)->setFocus(); break;
        case D::Focus::DListRemove: line(D::Text::DListRemove)->setFocus(); break;
    }
}

}  // namespace ovr::ui
