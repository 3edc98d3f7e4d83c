#include "logic/grid/linkgridrows.h"

#include <algorithm>

#include "logic/language/langtext.h"
#include "logic/linkconfig/linkdefs.h"

namespace zampo {

namespace {

constexpr int kHeaderMargin = 22;
constexpr int kCellMargin = 15;
constexpr int kAlarmColumnCap = 250;

// "0" and an absent attribute both read as no link.
std::string withoutZero(pugi::xml_node node, const char* name) {
    std::string value = node.attribute(name).value();
    return value == "0" ? std::string() : value;
}

std::string alarmTypeCell(pugi::xml_node except) {
    return std::string(except.attribute("nr").value()) + ": " + except.attribute("text").value();
}

pugi::xml_node findOrAppend(pugi::xml_node root, const char* name) {
    pugi::xml_node node = searchNode(root, name);
    return node ? node : root.append_child(name);
}

bool isElement(pugi::xml_node node) {
    return node.type() == pugi::node_element;
}

}  // namespace

std::string LinkGridRow::exceptionNumber() const {
    const std::string& text = cell(3);
    return text.substr(0, text.find(':'));
}

LinkGridTexts linkGridTexts() {
    return {{langText(TextId::GridPcuHeader), langText(TextId::GridLocationHeader), langText(TextId::GridAlarmHeader),
             langText(TextId::GridZamAlarmHeader), langText(TextId::GridGroupHeader)},
            langText(TextId::GridGeneralException)};
}

std::vector<LinkGridRow> buildLinkGridRows(XmlDocument* linkDefs, std::string_view generalExceptionText) {
    std::vector<LinkGridRow> rows;
    const pugi::xml_node root = linkDefs ? linkDefs->root() : pugi::xml_node();
    if (root) {
        for (pugi::xml_node location : findOrAppend(root, "PO_Locations").children()) {
            if (!isElement(location)) continue;
            LinkGridRow& row = rows.emplace_back();
            row.kind = LinkRowKind::Location;
            const std::string pcu = location.attribute("pcu").value();
            row.cell(1) = pcu == kUnreportedValue ? std::string() : pcu;
            row.cell(2) = location.attribute("text").value();
            row.cell(3) = kGridMarker;
            row.cell(4) = withoutZero(location, "zam_alarm");
            row.cell(5) = withoutZero(location, "zam_group");
            const std::string locationPcu = row.cell(1);
            const std::string locationText = row.cell(2);
            for (pugi::xml_node except : location.children()) {
                if (!isElement(except) || !except.attribute("nr")) continue;
                LinkGridRow& e = rows.emplace_back();
                e.kind = LinkRowKind::LocationException;
                e.cell(1) = locationPcu;
                e.cell(2) = locationText;
                e.cell(3) = alarmTypeCell(except);
                // An exception's link is shown as stored: its "0" is not "no link" here.
                e.cell(4) = except.attribute("zam_alarm").value();
                e.cell(5) = withoutZero(except, "zam_group");
            }
        }
        for (pugi::xml_node except : findOrAppend(root, "PO_Exceptions").children()) {
            if (!isElement(except) || !except.attribute("nr")) continue;
            LinkGridRow& e = rows.emplace_back();
            e.kind = LinkRowKind::GeneralException;
            e.cell(1) = kGridMarker;
            e.cell(2) = generalExceptionText;
            e.cell(3) = alarmTypeCell(except);
            e.cell(4) = except.attribute("zam_alarm").value();
            e.cell(5) = withoutZero(except, "zam_group");
        }
    }
    if (rows.empty()) rows.emplace_back();
    return rows;
}

std::array<int, kLinkGridColumns> linkGridColumnWidths(const std::array<std::string, kLinkGridColumns>& headers,
                                                       const std::vector<LinkGridRow>& rows,
                                                       const TextWidth& textWidth) {
    std::array<int, kLinkGridColumns> widths{};
    for (std::size_t i = 0; i < headers.size(); ++i) widths[i] = textWidth(headers[i]) + kHeaderMargin;
    auto widen = [&](const LinkGridRow& row, int column) {
        int& w = widths[std::size_t(column - 1)];
        w = std::max(w, textWidth(row.cell(column)) + kCellMargin);
    };
    auto widenAlarmColumn = [&](const LinkGridRow& row) {
        widen(row, 3);
        widths[2] = std::min(widths[2], kAlarmColumnCap);
    };
    for (const LinkGridRow& row : rows) {
        switch (row.kind) {
            case LinkRowKind::Location:
                for (int column : {1, 2, 4, 5}) widen(row, column);
                break;
            case LinkRowKind::LocationException:
                widenAlarmColumn(row);
                widen(row, 5);
                break;
            case LinkRowKind::GeneralException:
                widen(row, 2);
                widenAlarmColumn(row);
                widen(row, 5);
                break;
            case LinkRowKind::Empty:
                break;
        }
    }
    return widths;
}

}  // namespace zampo
