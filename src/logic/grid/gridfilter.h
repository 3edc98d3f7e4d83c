#pragma once
// Hides the rows of a grid that fail a small filter expression such as
//   [Location] LIKE "kas" AND [ZAM Alarm] = ""
// Serves the link grid and the alarm-type grid of the exceptions dialog alike.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zampo {

// What the filter needs of a grid. Row 0 holds the column names and is never
// filtered; data rows follow from 1. Column 0 is the fixed column.
class FilterGrid {
public:
    virtual ~FilterGrid() = default;
    virtual int rowCount() const = 0;     // header row included
    virtual int columnCount() const = 0;  // fixed column included
    // Valid until the grid changes.
    virtual std::string_view cellText(int column, int row) const = 0;
    virtual bool rowVisible(int row) const = 0;
    virtual void setRowVisible(int row, bool visible) = 0;
};

enum class FieldComparison { Equal, NotEqual, Greater, Less, Contains };
enum class FilterLink { And, Or };

// One term of an expression: [column] operator "value", joined to the next one by link.
struct FilterCondition {
    FieldComparison comparison = FieldComparison::Equal;
    int column = 1;
    std::string value;
    FilterLink link = FilterLink::And;
};

// A parsed expression.
struct FilterConditions {
    static constexpr std::size_t kMaxConditions = 9;
    std::vector<FilterCondition> conditions;
};

class GridFilter {
public:
    void setGrid(FilterGrid* grid) { grid_ = grid; }
    FilterGrid* grid() const { return grid_; }

    // Every row, the header row included, visible again.
    void showAllRows();
    // Parses and applies; never shows a row (callers show all rows first).
    void setFilter(std::string_view expression);
    // Fills the condition list; false (and an empty list) when the expression is
    // malformed, names no column of the grid or holds too many conditions.
    bool parseFilter(std::string_view expression);
    // Hides the data rows that fail the condition list; passing rows keep their state.
    void applyFilter();
    // Whether data row `row` satisfies the condition list.
    bool rowPasses(int row) const;

    const FilterConditions& conditions() const { return filter_; }

    // Shows a plain message to the operator (the tenth condition).
    std::function<void(const std::string& message)> showMessage;

private:
    bool holds(std::size_t condition, int row) const;

    FilterGrid* grid_ = nullptr;
    FilterConditions filter_;
    // The value of each condition in lower case, for contains.
    std::vector<std::string> lowered_;
};

}  // namespace zampo
