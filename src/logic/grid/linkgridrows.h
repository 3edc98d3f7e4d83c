#pragma once
// The rows of the link grid as the link definitions give them: each Priva Office
// location followed by its own exceptions, then the general exceptions. The cells
// are copies, so a reload of the document never leaves the grid pointing into it.
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "logic/xml/xmlstore.h"

namespace zampo {

// Data columns 1 to 5 (PCU, location, alarm, ZAM alarm, group); column 0 is the
// fixed column and holds nothing.
inline constexpr int kLinkGridColumns = 5;

enum class LinkRowKind {
    Location,           // column 3 reads "--"
    LocationException,  // columns 1 and 2 repeat those of its location
    GeneralException,   // column 1 reads "--", column 2 "General Exception"
    Empty,              // the single row of a grid with nothing to show
};

struct LinkGridRow {
    LinkRowKind kind = LinkRowKind::Empty;
    std::array<std::string, kLinkGridColumns> cells;  // columns 1 to 5

    const std::string& cell(int column) const { return cells[std::size_t(column - 1)]; }
    std::string& cell(int column) { return cells[std::size_t(column - 1)]; }
    // Without a ZAM alarm: boxed in red, and what "show unassigned" keeps.
    bool unlinked() const { return cell(4).empty(); }
    // The exception number: column 3 up to its first ":".
    std::string exceptionNumber() const;
};

struct LinkGridTexts {
    std::array<std::string, kLinkGridColumns> headers;
    std::string generalException;  // column 2 of the general exception rows
};

// Headers and the general-exception caption in the loaded language.
LinkGridTexts linkGridTexts();

// The grid's rows, never none: a document without locations and general
// exceptions gives one empty row. A document lacking PO_Locations or PO_Exceptions
// gets an empty one appended in memory (nothing is saved).
std::vector<LinkGridRow> buildLinkGridRows(XmlDocument* linkDefs, std::string_view generalExceptionText);

// Each column as wide as its header plus 22 pixels, widened to each cell's text
// plus 15 as its row kind asks; exception rows cap column 3 at 250 pixels.
using TextWidth = std::function<int(std::string_view)>;
std::array<int, kLinkGridColumns> linkGridColumnWidths(const std::array<std::string, kLinkGridColumns>& headers,
                                                       const std::vector<LinkGridRow>& rows,
                                                       const TextWidth& textWidth);

}  // namespace zampo
