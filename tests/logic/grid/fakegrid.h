#pragma once
// A grid held in vectors, for the filter tests.
#include <string>
#include <vector>

#include "logic/grid/gridfilter.h"

namespace zampo::test {

class FakeGrid : public FilterGrid {
public:
    FakeGrid(std::vector<std::string> headers, std::vector<std::vector<std::string>> rows)
        : headers_(std::move(headers)), rows_(std::move(rows)), visible_(rows_.size() + 1, true) {}

    int rowCount() const override { return int(rows_.size()) + 1; }
    int columnCount() const override { return int(headers_.size()) + 1; }
    std::string_view cellText(int column, int row) const override {
        if (column == 0) return {};
        return row == 0 ? headers_[std::size_t(column - 1)] : rows_[std::size_t(row - 1)][std::size_t(column - 1)];
    }
    bool rowVisible(int row) const override { return visible_[std::size_t(row)]; }
    void setRowVisible(int row, bool visible) override { visible_[std::size_t(row)] = visible; }

    // The data rows on show, by number.
    std::vector<int> shown() const {
        std::vector<int> rows;
        for (int r = 1; r < rowCount(); ++r)
            if (visible_[std::size_t(r)]) rows.push_back(r);
        return rows;
    }

private:
    std::vector<std::string> headers_;
    std::vector<std::vector<std::string>> rows_;
    std::vector<bool> visible_;
};

}  // namespace zampo::test
