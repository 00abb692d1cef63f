#include "ui/qt/queue_viewer_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ovr::ui {

namespace {

// Whole rows are selected: no single cell shows a focus frame.
class RowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
    }
};

}  // namespace

QString display_text(const std::string& bytes) {
    QString s = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (s.contains(QChar::ReplacementCharacter) && bytes.find("\xEF\xBF\xBD") == std::string::npos)
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return s;
}

int QueueTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : viewer_.row_count();
}

int QueueTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : viewer_.column_count();
}

QVariant QueueTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return display_text(viewer_.cell(index.row(), index.column()));
}

QVariant QueueTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    auto titles = viewer_.columns();
    if (section < 0 || section >= static_cast<int>(titles.size())) return {};
    return QString::fromStdString(titles[static_cast<size_t>(section)]);
}

void QueueTable::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit open_requested();
        e->accept();
        return;
    case Qt::Key_Delete:
        emit delete_requested();
        e->accept();
        return;
    default:
        QTableView::keyPressEvent(e);
    }
}

QueueViewerWindow::QueueViewerWindow(pages::Context& ctx, pages::ViewerKind kind, QWidget* parent)
    : QDialog(parent), ctx_(ctx), viewer_(ctx, kind) {
    setWindowTitle(QString::fromStdString(viewer_.title()));
    setObjectName(QString::fromStdString(viewer_.template_name()));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    status_ = new QLabel(QString::fromStdString(viewer_.status_line()), this);
    model_ = new QueueTableModel(viewer_, this);
    table_ = new QueueTable(this);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setItemDelegate(new RowDelegate(table_));
    table_->setShowGrid(false);
    table_->setWordWrap(false);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    table_->horizontalHeader()->setSectionsClickable(true);
    table_->horizontalHeader()->setHighlightSections(false);
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->horizontalHeader()->setSortIndicatorShown(true);
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(status_);
    layout->addWidget(table_, 1);
    layout->addWidget(buttons);
    // Wide enough that a sixth of the list shows a whole time stamp.
    resize(920, 440);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int k) {
        syncing_ = true;
        viewer_.column_click(k);
        syncing_ = false;
        show_sort_indicator();
    });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { user_selection_changed(); });
    connect(table_, &QueueTable::open_requested, this, [this] { open_selected(); });
    connect(table_, &QueueTable::delete_requested, this, [this] { delete_selected(); });
    connect(table_, &QAbstractItemView::doubleClicked, this, [this] { open_selected(); });

    show_sort_indicator();
    viewer_.set_observer(this);
    timer_ = new QTimer(this);
    timer_->setInterval(static_cast<int>(viewer_.refresh_interval_ms()));
    connect(timer_, &QTimer::timeout, this, [this] { viewer_.tick(); });
    timer_->start();
    table_->scrollToTop();
}

QueueViewerWindow::~QueueViewerWindow() {
    timer_->stop();
    viewer_.set_observer(nullptr);
    // The table model reads the viewer: it goes before the viewer does.
    table_->setModel(nullptr);
    delete model_;
    model_ = nullptr;
}

void QueueViewerWindow::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (widths_set_) return;
    widths_set_ = true;
    const auto widths = viewer_.column_widths(table_->viewport()->width());
    for (size_t k = 0; k < widths.size(); ++k) table_->setColumnWidth(static_cast<int>(k), widths[k]);
}

void QueueViewerWindow::list_replacing() { model_->begin_reset(); }

void QueueViewerWindow::list_replaced() {
    // A reset clears the view's selection; the viewer sets its own next.
    const bool was = syncing_;
    syncing_ = true;
    model_->end_reset();
    syncing_ = was;
}

void QueueViewerWindow::row_removing(int row) { model_->begin_remove(row); }

void QueueViewerWindow::row_removed() {
    const bool was = syncing_;
    syncing_ = true;
    model_->end_remove();
    syncing_ = was;
}

void QueueViewerWindow::selection_reset() {
    const bool was = syncing_;
    syncing_ = true;
    QItemSelectionModel* sel = table_->selectionModel();
    sel->clearSelection();
    const int focus = viewer_.focus_row();
    if (focus >= 0) {
        QModelIndex index = model_->index(focus, 0);
        sel->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        table_->scrollTo(index);
    } else {
        sel->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
        table_->scrollToTop();
    }
    syncing_ = was;
}

void QueueViewerWindow::status_changed() {
    const QString text = QString::fromStdString(viewer_.status_line());
    if (status_->text().compare(text, Qt::CaseInsensitive) != 0) status_->setText(text);
}

void QueueViewerWindow::show_mms_details(const std::string& header_path) {
    if (show_details) {
        show_details(header_path);
        return;
    }
    MmsDetailsDialog dialog(ctx_, header_path, this);
    dialog.exec();
}

void QueueViewerWindow::user_selection_changed() {
    if (syncing_) return;
    std::vector<int> rows;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows()) rows.push_back(i.row());
    viewer_.set_selected(std::move(rows));
}

void QueueViewerWindow::show_sort_indicator() {
    const int order = viewer_.shown_order();
    const int column = (order < 0 ? -order : order) - 1;
    table_->horizontalHeader()->setSortIndicator(column, order < 0 ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void QueueViewerWindow::open_selected() {
    table_->setFocus();
    viewer_.open();
}

void QueueViewerWindow::delete_selected() {
    table_->setFocus();
    const int before = viewer_.row_count();
    syncing_ = true;
    viewer_.delete_selected();
    syncing_ = false;
    // Every selected row went: nothing stays selected. A "No" leaves the
    // selection as it was.
    if (viewer_.row_count() != before) {
        selection_reset();
        user_selection_changed();
    }
}

MmsDetailsDialog::MmsDetailsDialog(pages::Context& ctx, const std::string& header_path, QWidget* parent)
    : QDialog(parent), details_(ctx, header_path) {
    setWindowTitle(QString::fromStdString(details_.title()));
    setObjectName(QString::fromStdString(details_.template_name()));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    header_ = new QPlainTextEdit(this);
    header_->setReadOnly(true);
    header_->setLineWrapMode(QPlainTextEdit::NoWrap);
    header_->setPlainText(display_text(details_.header_text()));
    parts_ = new QTreeWidget(this);
    parts_->setColumnCount(2);
    parts_->setHeaderHidden(true);
    parts_->setRootIsDecorated(false);
    parts_->setSelectionMode(QAbstractItemView::SingleSelection);
    // The path stands at the list's tab stop, 300 dialog units in.
    parts_->setColumnWidth(0, parts_->fontMetrics().averageCharWidth() * 300 / 4);
    for (const std::string& entry : details_.entries()) {
        size_t tab = entry.find('\t');
        auto* item = new QTreeWidgetItem(parts_);
        item->setText(0, display_text(entry.substr(0, tab)));
        item->setText(1, display_text(tab == std::string::npos ? std::string() : entry.substr(tab + 1)));
    }
    if (details_.selected() >= 0) parts_->setCurrentItem(parts_->topLevelItem(details_.selected()));
    view_ = new QPushButton("View", this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* parts_row = new QHBoxLayout;
    parts_row->addWidget(parts_, 1);
    parts_row->addWidget(view_, 0, Qt::AlignTop);
    layout->addWidget(new QLabel("Message Header:", this));
    layout->addWidget(header_, 2);
    layout->addWidget(new QLabel("Content Objects:", this));
    layout->addLayout(parts_row, 1);
    layout->addWidget(buttons);
    resize(860, 520);

    connect(parts_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { details_.select(item ? parts_->indexOfTopLevelItem(item) : -1); });
    connect(parts_, &QTreeWidget::itemDoubleClicked, this, [this] { details_.view(); });
    connect(view_, &QPushButton::clicked, this, [this] { details_.view(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

}  // namespace ovr::ui
