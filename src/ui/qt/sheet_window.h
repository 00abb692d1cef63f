// The main property sheet (tabs, OK / Cancel / Apply / Help) and the setup
// wizard (header, Back / Next / Finish / Cancel / Help) over an app::Sheet.
// Page views are made when their page is first shown; pages that refresh
// themselves get a timer at their interval.
#pragma once

#include <QDialog>
#include <vector>

#include "app/console.h"
#include "app/sheet.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTimer;

namespace ovr::ui {

class PageView;

class SheetWindow final : public QDialog {
    Q_OBJECT
public:
    SheetWindow(app::Sheet& sheet, bool help_available, QWidget* parent = nullptr);
    ~SheetWindow() override;

    app::Sheet& sheet() { return sheet_; }
    // The view of page i, once the page was shown.
    PageView* view(size_t i) { return views_[i]; }
    QTabWidget* tabs() { return tabs_; }
    QLabel* header() { return header_; }
    QPushButton* ok_button() { return ok_; }
    QPushButton* cancel_button() { return cancel_; }
    QPushButton* apply_button() { return apply_; }
    QPushButton* help_button() { return help_; }
    QPushButton* back_button() { return back_; }
    QPushButton* next_button() { return next_; }
    QPushButton* finish_button() { return finish_; }

protected:
    void reject() override;   // Esc and the window's close button
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;   // WindowActivate tells the current page

private:
    void refresh();
    void ensure_view(size_t i);
    void on_tab(int index);

    app::Sheet& sheet_;
    bool wizard_;
    std::vector<PageView*> views_;
    std::vector<QWidget*> holders_;
    std::vector<QTimer*> timers_;
    QTabWidget* tabs_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QLabel* header_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* apply_ = nullptr;
    QPushButton* help_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* finish_ = nullptr;
    bool syncing_ = false;
};

// Shows each sheet modally (app::SheetRunner for the Qt console).
class QtSheetRunner final : public app::SheetRunner {
public:
    explicit QtSheetRunner(bool help_available) : help_(help_available) {}
    int run(app::Sheet& sheet) override;

private:
    bool help_;
};

}  // namespace ovr::ui
