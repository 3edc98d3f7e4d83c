#include "ui/linkgridview.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>

#include "ui/linkgriddelegate.h"
#include "ui/linkgridmodel.h"

namespace zampo {

LinkGridView::LinkGridView(QWidget* parent) : QTableView(parent), model_(new LinkGridModel(this)) {
    setModel(model_);
    setItemDelegate(new LinkGridDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // One block of consecutive rows, as the editing operations expect.
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);

    QHeaderView* fixed = verticalHeader();
    fixed->setFixedWidth(kFixedColumnWidth);
    fixed->setMinimumSectionSize(1);
    fixed->setDefaultSectionSize(kRowHeight);
    fixed->setSectionResizeMode(QHeaderView::Fixed);
    fixed->setHighlightSections(false);

    QHeaderView* header = horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setMinimumSectionSize(8);
    connect(header, &QHeaderView::sectionResized, this, [this] {
        if (!filling_) emit dataColumnsResized();
    });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit rowDoubleClicked(index.row() + 1); });
}

void LinkGridView::fill(const std::array<std::string, kLinkGridColumns>& headers, std::vector<LinkGridRow> rows,
                        const std::array<int, kLinkGridColumns>& widths) {
    filling_ = true;
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    // The reset drops the selection; rows hidden by a filter stay hidden through it.
    model_->reset(headers, std::move(rows));
    if (verticalHeader()->hiddenSectionCount() > 0)
        for (int r = 0, n = model_->rowCount(); r < n; ++r)
            if (isRowHidden(r)) setRowHidden(r, false);
    for (int i = 0; i < kLinkGridColumns; ++i) horizontalHeader()->resizeSection(i, widths[std::size_t(i)]);
    setUpdatesEnabled(updates);
    filling_ = false;
}

int LinkGridView::dataRowCount() const {
    return model_->rowCount();
}

const LinkGridRow& LinkGridView::linkRow(int row) const {
    return model_->row(row - 1);
}

void LinkGridView::setLinkCell(int row, int column, const std::string& text) {
    model_->setCellText(row - 1, column, text);
}

bool LinkGridView::isDataRowHidden(int row) const {
    return isRowHidden(row - 1);
}

std::vector<int> LinkGridView::selectedRows() const {
    std::vector<int> rows;
    const QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty()) return rows;
    int top = model_->rowCount();
    int bottom = -1;
    for (const QItemSelectionRange& range : selection) {
        top = std::min(top, range.top());
        bottom = std::max(bottom, range.bottom());
    }
    for (int r = top; r <= bottom; ++r)
        if (!isRowHidden(r) && model_->row(r).kind != LinkRowKind::Empty) rows.push_back(r + 1);
    return rows;
}

void LinkGridView::selectAllRows() {
    const int n = model_->rowCount();
    if (n == 0) return;
    selectionModel()->select(QItemSelection(model_->index(0, 0), model_->index(n - 1, kLinkGridColumns - 1)),
                             QItemSelectionModel::ClearAndSelect);
}

int LinkGridView::selectionTopRow() const {
    const QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty()) return 0;
    int top = model_->rowCount();
    for (const QItemSelectionRange& range : selection) top = std::min(top, range.top());
    return top + 1;
}

void LinkGridView::setCurrentDataRow(int row) {
    if (row < 1 || row > model_->rowCount()) return;
    const QModelIndex index = model_->index(row - 1, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void LinkGridView::selectDataRows(const std::vector<int>& rows) {
    QItemSelection selection;
    for (int row : rows)
        if (row >= 1 && row <= model_->rowCount())
            selection.select(model_->index(row - 1, 0), model_->index(row - 1, kLinkGridColumns - 1));
    if (selection.isEmpty()) return;
    selectionModel()->setCurrentIndex(selection.first().topLeft(), QItemSelectionModel::NoUpdate);
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void LinkGridView::widenColumnToFit(int column, const std::string& text) {
    // The same margin as the grid's own widening when it is filled.
    constexpr int kCellMargin = 15;
    const int needed = fontMetrics().horizontalAdvance(QString::fromStdString(text)) + kCellMargin;
    if (needed > dataColumnWidth(column)) horizontalHeader()->resizeSection(column - 1, needed);
}

int LinkGridView::dataColumnWidth(int column) const {
    return horizontalHeader()->sectionSize(column - 1);
}

std::array<int, kLinkGridColumns> LinkGridView::dataColumnWidths() const {
    std::array<int, kLinkGridColumns> widths{};
    for (int c = 1; c <= kLinkGridColumns; ++c) widths[std::size_t(c - 1)] = dataColumnWidth(c);
    return widths;
}

const std::array<std::string, kLinkGridColumns>& LinkGridView::headers() const {
    return model_->headers();
}

// Ctrl+A selects every row.
void LinkGridView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_A && event->modifiers() == Qt::ControlModifier) {
        selectAllRows();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

int LinkGridView::Filtered::rowCount() const {
    return view_.model_->rowCount() + 1;
}

int LinkGridView::Filtered::columnCount() const {
    return kLinkGridColumns + 1;
}

std::string_view LinkGridView::Filtered::cellText(int column, int row) const {
    if (column < 1 || column > kLinkGridColumns || row < 0 || row > view_.model_->rowCount()) return {};
    if (row == 0) return view_.model_->headers()[std::size_t(column - 1)];
    return view_.model_->row(row - 1).cell(column);
}

bool LinkGridView::Filtered::rowVisible(int row) const {
    return row == 0 || !view_.isRowHidden(row - 1);
}

void LinkGridView::Filtered::setRowVisible(int row, bool visible) {
    // The header row always shows.
    if (row < 1 || row > view_.model_->rowCount()) return;
    if (view_.isRowHidden(row - 1) == visible) view_.setRowHidden(row - 1, !visible);
}

}  // namespace zampo
