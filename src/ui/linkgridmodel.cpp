#include "ui/linkgridmodel.h"

namespace zampo {

void LinkGridModel::reset(const std::array<std::string, kLinkGridColumns>& headers, std::vector<LinkGridRow> rows) {
    beginResetModel();
    headers_ = headers;
    rows_ = std::move(rows);
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, kLinkGridColumns - 1);
}

void LinkGridModel::setCellText(int modelRow, int column, const std::string& text) {
    if (modelRow < 0 || modelRow >= rowCount() || column < 1 || column > kLinkGridColumns) return;
    rows_[std::size_t(modelRow)].cell(column) = text;
    // Column 4 decides the red frame of the whole row.
    const QModelIndex first = index(modelRow, column == 4 ? 0 : column - 1);
    const QModelIndex last = index(modelRow, column == 4 ? kLinkGridColumns - 1 : column - 1);
    emit dataChanged(first, last);
}

int LinkGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int LinkGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kLinkGridColumns;
}

QVariant LinkGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kLinkGridColumns) return {};
    if (role == Qt::DisplayRole) return QString::fromStdString(row(index.row()).cell(index.column() + 1));
    return {};
}

QVariant LinkGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    // The fixed column at the left stays empty.
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kLinkGridColumns)
        return {};
    return QString::fromStdString(headers_[std::size_t(section)]);
}

Qt::ItemFlags LinkGridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace zampo
