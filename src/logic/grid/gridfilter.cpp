#include "logic/grid/gridfilter.h"

#include <algorithm>

#include "logic/encoding/textrules.h"

namespace zampo {

namespace {

// Both arguments as they stand; needle is already in lower case.
bool containsCaseless(std::string_view haystack, std::string_view needle) {
    if (needle.empty()) return false;
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                       [](char a, char b) { return lowerAsciiChar(a) == b; }) != haystack.end();
}

struct OperatorMeaning {
    FieldComparison comparison;
    FilterLink link;
};

bool meaningOf(std::string_view op, OperatorMeaning& out) {
    if (op == "=")
        out = {FieldComparison::Equal, FilterLink::And};
    else if (op == "<>")
        out = {FieldComparison::NotEqual, FilterLink::And};
    else if (op == ">")
        out = {FieldComparison::Greater, FilterLink::And};
    else if (op == "<")
        out = {FieldComparison::Less, FilterLink::And};
    else if (op == "like")
        out = {FieldComparison::Contains, FilterLink::And};
    else if (op == "likeor")
        out = {FieldComparison::Contains, FilterLink::Or};
    else
        return false;
    return true;
}

}  // namespace

void GridFilter::showAllRows() {
    if (!grid_) return;
    for (int row = 0, n = grid_->rowCount(); row < n; ++row) grid_->setRowVisible(row, true);
}

void GridFilter::setFilter(std::string_view expression) {
    if (!grid_) return;
    if (parseFilter(expression)) applyFilter();
}

bool GridFilter::parseFilter(std::string_view expression) {
    filter_.conditions.clear();
    lowered_.clear();
    std::string_view rest = trimBlanks(expression);
    if (rest.empty() || !grid_) return false;

    std::vector<FilterCondition> parsed;
    for (;;) {
        // Whatever stands before the "[" (" AND ", say) carries no meaning.
        const std::size_t open = rest.find('[');
        if (open == std::string_view::npos) return false;
        rest.remove_prefix(open + 1);

        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) return false;
        const std::string_view name = rest.substr(0, close);
        rest = trimBlanks(rest.substr(close + 1));
        if (name.empty()) return false;
        int column = -1;
        for (int c = 1, n = grid_->columnCount(); c < n && column < 0; ++c)
            if (grid_->cellText(c, 0) == name) column = c;
        if (column < 0) return false;

        const std::size_t quote = rest.find('"');
        if (quote == std::string_view::npos) return false;
        const std::string op = lowerAscii(trimBlanks(rest.substr(0, quote)));
        rest.remove_prefix(quote + 1);

        const std::size_t endQuote = rest.find('"');
        if (endQuote == std::string_view::npos) return false;
        const std::string_view value = rest.substr(0, endQuote);
        rest = trimBlanks(rest.substr(endQuote + 1));

        OperatorMeaning meaning{};
        if (!meaningOf(op, meaning)) return false;
        if (parsed.size() == FilterConditions::kMaxConditions) {
            if (showMessage) showMessage("Filter too complex");
            return false;
        }
        parsed.push_back({meaning.comparison, column, std::string(value), meaning.link});
        if (rest.empty()) break;
    }
    parsed.back().link = FilterLink::And;
    filter_.conditions = std::move(parsed);
    for (const FilterCondition& c : filter_.conditions) lowered_.push_back(lowerAscii(c.value));
    return true;
}

bool GridFilter::holds(std::size_t index, int row) const {
    const FilterCondition& c = filter_.conditions[index];
    const std::string_view cell = c.column < grid_->columnCount() ? grid_->cellText(c.column, row) : std::string_view{};
    switch (c.comparison) {
        case FieldComparison::Equal:
            return cell == c.value;
        case FieldComparison::NotEqual:
            return cell != c.value;
        case FieldComparison::Greater:
            return cell > c.value;
        case FieldComparison::Less:
            return cell < c.value;
        case FieldComparison::Contains:
            return containsCaseless(cell, lowered_[index]);
    }
    return false;
}

bool GridFilter::rowPasses(int row) const {
    if (!grid_) return true;
    // OR-linked conditions form a group that the next AND-linked condition
    // closes; the group holds when any of its members holds.
    bool inGroup = false;
    bool groupHolds = false;
    for (std::size_t i = 0; i < filter_.conditions.size(); ++i) {
        if (filter_.conditions[i].link == FilterLink::Or) {
            inGroup = true;
            groupHolds = groupHolds || holds(i, row);
            continue;
        }
        const bool ok = inGroup ? groupHolds || holds(i, row) : holds(i, row);
        inGroup = false;
        groupHolds = false;
        if (!ok) return false;
    }
    return !inGroup || groupHolds;
}

void GridFilter::applyFilter() {
    if (!grid_ || filter_.conditions.empty()) return;
    for (int row = 1, n = grid_->rowCount(); row < n; ++row)
        if (!rowPasses(row)) grid_->setRowVisible(row, false);
}

}  // namespace zampo
