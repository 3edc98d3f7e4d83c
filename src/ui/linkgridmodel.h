#pragma once
// The link grid's rows behind the view. Model rows count from 0 and model
// columns 0 to 4 hold the grid's data columns 1 to 5.
#include <QAbstractTableModel>
#include <array>
#include <string>
#include <vector>

#include "logic/grid/linkgridrows.h"

namespace zampo {

class LinkGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void reset(const std::array<std::string, kLinkGridColumns>& headers, std::vector<LinkGridRow> rows);

    const std::array<std::string, kLinkGridColumns>& headers() const { return headers_; }
    const std::vector<LinkGridRow>& rows() const { return rows_; }
    const LinkGridRow& row(int modelRow) const { return rows_[std::size_t(modelRow)]; }
    // column 1 to 5
    void setCellText(int modelRow, int column, const std::string& text);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::array<std::string, kLinkGridColumns> headers_;
    std::vector<LinkGridRow> rows_;
};

}  // namespace zampo
