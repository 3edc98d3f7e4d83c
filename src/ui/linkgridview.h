#pragma once
// The link grid of the link page. Rows are numbered as the operator's grid numbers them:
// row 0 is the header row, data rows count from 1. Columns 1 to 5 are the data
// columns; the narrow fixed column 0 at the left holds nothing.
#include <QTableView>
#include <array>
#include <string>
#include <vector>

#include "logic/grid/gridfilter.h"
#include "logic/grid/linkgridrows.h"

namespace zampo {

class LinkGridModel;

class LinkGridView : public QTableView {
    Q_OBJECT
public:
    static constexpr int kFixedColumnWidth = 13;
    static constexpr int kRowHeight = 16;

    explicit LinkGridView(QWidget* parent = nullptr);

    // Replaces headers and rows; every row visible, the data columns as wide as given.
    void fill(const std::array<std::string, kLinkGridColumns>& headers, std::vector<LinkGridRow> rows,
              const std::array<int, kLinkGridColumns>& widths);

    int dataRowCount() const;
    // row 1 to dataRowCount()
    const LinkGridRow& linkRow(int row) const;
    // Writes one cell in place (the assign operations); column 1 to 5.
    void setLinkCell(int row, int column, const std::string& text);
    bool isDataRowHidden(int row) const;
    // The rows from the selection's top row to its bottom row that are not
    // hidden by the filter, in order; the empty row of an empty grid is never one.
    std::vector<int> selectedRows() const;
    // Ctrl+A: every data row, hidden ones included.
    void selectAllRows();
    // The top row of the selection, hidden or not; 0 without a selection.
    int selectionTopRow() const;
    // Makes the row current and the selection; ignored when the grid lacks it.
    void setCurrentDataRow(int row);
    // Selects exactly these rows (1 to dataRowCount()); the first becomes current.
    void selectDataRows(const std::vector<int>& rows);
    // column 1 to 5
    int dataColumnWidth(int column) const;
    std::array<int, kLinkGridColumns> dataColumnWidths() const;
    // Widens the column to the text's width plus the cell margin; never narrows it.
    void widenColumnToFit(int column, const std::string& text);
    const std::array<std::string, kLinkGridColumns>& headers() const;

    // What the grid filter works on.
    FilterGrid& filterGrid() { return filterGrid_; }
    LinkGridModel* linkModel() const { return model_; }

signals:
    void rowDoubleClicked(int row);
    // The operator dragged a column border.
    void dataColumnsResized();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    class Filtered : public FilterGrid {
    public:
        explicit Filtered(LinkGridView& view) : view_(view) {}
        int rowCount() const override;
        int columnCount() const override;
        std::string_view cellText(int column, int row) const override;
        bool rowVisible(int row) const override;
        void setRowVisible(int row, bool visible) override;

    private:
        LinkGridView& view_;
    };

    LinkGridModel* model_;
    Filtered filterGrid_{*this};
    bool filling_ = false;
};

}  // namespace zampo
