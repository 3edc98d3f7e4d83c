#pragma once
// Turns the filter box under the link grid into a filter expression: a "contains"
// term per checked column, "a.b" for either of two words, and the two options
// that hide exceptions and keep unassigned rows.
#include <array>
#include <optional>
#include <string>

#include "logic/grid/linkgridrows.h"

namespace zampo {

struct LinkFilterBox {
    std::array<std::string, kLinkGridColumns> headers;  // the grid's column names
    std::array<bool, kLinkGridColumns> checked{};
    std::array<std::string, kLinkGridColumns> texts;
    bool hideExceptions = false;
    bool showUnassigned = false;
};

struct LinkFilter {
    std::string expression;  // empty: nothing to filter
    // The text an edit must show instead of its own: a dotted filter keeps its
    // first "." only, and loses the blanks around it.
    std::array<std::optional<std::string>, kLinkGridColumns> correctedTexts;
};

LinkFilter buildLinkFilter(const LinkFilterBox& box);

}  // namespace zampo
