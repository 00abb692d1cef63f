// One Qt view per page model: it builds the widgets for the model's fields,
// forwards clicks to the model and re-reads the model when its revision
// moves. A display text is rewritten only when it changes (ignoring case),
// so refreshing pages do not flicker.
#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "pages/page.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace ovr::pages {
class DebugLogsPage;
class WizardCompletePage;
}  // namespace ovr::pages

namespace ovr::ui {

class PageView : public QWidget {
    Q_OBJECT
public:
    explicit PageView(pages::PageModel& model, QWidget* parent = nullptr) : QWidget(parent), model_(model) {}
    pages::PageModel& model() { return model_; }
    // Re-reads the model when it changed since the last look.
    void sync_if_changed();

protected:
    virtual void sync() = 0;

private:
    pages::PageModel& model_;
    uint64_t seen_ = ~uint64_t{0};
};

// Sets a label's or button's text only when it differs ignoring case.
void set_text_if_changed(QLabel* w, const std::string& text);
void set_text_if_changed(QAbstractButton* w, const std::string& text);

class EmptyPageView final : public PageView {
    Q_OBJECT
public:
    explicit EmptyPageView(pages::PageModel& model, QWidget* parent = nullptr) : PageView(model, parent) {}

protected:
    void sync() override {}
};

class DebugLogsView final : public PageView {
    Q_OBJECT
public:
    explicit DebugLogsView(pages::DebugLogsPage& page, QWidget* parent = nullptr);
    QCheckBox* check(size_t i) { return checks_[i]; }
    QPushButton* view_button(size_t i) { return views_[i]; }

protected:
    void sync() override;

private:
    pages::DebugLogsPage& page_;
    QLabel* heading_;
    std::array<QCheckBox*, 3> checks_{};
    std::array<QPushButton*, 3> views_{};
};

class WizardCompleteView final : public PageView {
    Q_OBJECT
public:
    explicit WizardCompleteView(pages::WizardCompletePage& page, QWidget* parent = nullptr);
    QRadioButton* yes() { return yes_; }
    QRadioButton* no() { return no_; }

protected:
    void sync() override;

private:
    pages::WizardCompletePage& page_;
    QLabel* heading_;
    QLabel* question_;
    QRadioButton* yes_;
    QRadioButton* no_;
};

// The view for a page model (an empty view for pages without one yet).
PageView* make_view(pages::PageModel& model, QWidget* parent);

}  // namespace ovr::ui
