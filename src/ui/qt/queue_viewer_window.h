// The queue viewer windows and the MMS details dialog over their models
// (pages/queue_viewer.h, pages/mms_details.h). The list is virtual: the
// table model asks the viewer for each cell as it is drawn.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QTableView>
#include <functional>
#include <memory>

#include "pages/mms_details.h"
#include "pages/queue_viewer.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace ovr::ui {

// Cells straight from the viewer; nothing is copied.
class QueueTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit QueueTableModel(pages::QueueViewer& viewer, QObject* parent = nullptr)
        : QAbstractTableModel(parent), viewer_(viewer) {}
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void begin_reset() { beginResetModel(); }
    void end_reset() { endResetModel(); }
    void begin_remove(int row) { beginRemoveRows({}, row, row); }
    void end_remove() { endRemoveRows(); }

private:
    pages::QueueViewer& viewer_;
};

// The list: Enter opens, Delete deletes, type-ahead finds nothing.
class QueueTable final : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;
    void keyboardSearch(const QString&) override {}

signals:
    void open_requested();
    void delete_requested();

protected:
    void keyPressEvent(QKeyEvent* e) override;
};

class QueueViewerWindow final : public QDialog, private pages::QueueViewer::Observer {
    Q_OBJECT
public:
    QueueViewerWindow(pages::Context& ctx, pages::ViewerKind kind, QWidget* parent = nullptr);
    ~QueueViewerWindow() override;

    pages::QueueViewer& viewer() { return viewer_; }
    QueueTable* table() { return table_; }
    QLabel* status() { return status_; }
    QTimer* timer() { return timer_; }
    // How "open" shows a received MMS (the details dialog, modally, unless a
    // test replaces it).
    std::function<void(const std::string& header_path)> show_details;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void list_replacing() override;
    void list_replaced() override;
    void row_removing(int row) override;
    void row_removed() override;
    void selection_reset() override;
    void status_changed() override;
    void show_mms_details(const std::string& header_path) override;

    void user_selection_changed();
    void show_sort_indicator();
    void open_selected();
    void delete_selected();

    pages::Context& ctx_;
    pages::QueueViewer viewer_;
    QueueTableModel* model_;
    QueueTable* table_;
    QLabel* status_;
    QTimer* timer_;
    bool syncing_ = false;
    bool widths_set_ = false;
};

class MmsDetailsDialog final : public QDialog {
    Q_OBJECT
public:
    MmsDetailsDialog(pages::Context& ctx, const std::string& header_path, QWidget* parent = nullptr);

    pages::MmsDetails& details() { return details_; }
    QPlainTextEdit* header() { return header_; }
    QTreeWidget* parts() { return parts_; }
    QPushButton* view_button() { return view_; }

private:
    pages::MmsDetails details_;
    QPlainTextEdit* header_;
    QTreeWidget* parts_;
    QPushButton* view_;
};

// Text of the gateway's files for display: UTF-8 when it is, else Latin-1.
QString display_text(const std::string& bytes);

}  // namespace ovr::ui
