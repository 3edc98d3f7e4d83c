#include "logic/grid/linkgridrows.h"

#include <gtest/gtest.h>

using namespace zampo;

namespace {

using Cells = std::array<std::string, kLinkGridColumns>;

XmlDocument document(const std::string& text) {
    XmlDocument doc;
    EXPECT_TRUE(doc.loadText(text)) << text;
    return doc;
}

const char* const kSite = R"(<ZamPOLinkDefs>
  <PO_AlarmTypes><PO_Alarm nr="3" text="Temp hoog"/></PO_AlarmTypes>
  <PO_Locations>
    <PO_loc pcu="PCU1" text="Kas 4" zam_alarm="0012 - 05" zam_group="0">
      <Except nr="12" text="Pomp storing" zam_alarm="0020 - 02" zam_group="0100 - 07"/>
      <Except nr="13" zam_alarm="0"/>
      <Except text="no number" zam_alarm="0020 - 03"/>
    </PO_loc>
    <PO_loc pcu="-\-" text="-\-" zam_alarm="0"/>
    <Elsewhere pcu="PCU9" text="Named otherwise"/>
  </PO_Locations>
  <PO_Exceptions>
    <Except nr="99" text="Brandmelding" zam_alarm="0001 - 01" zam_group="0"/>
    <Except nr="7" zam_alarm=""/>
    <Except text="no number"/>
  </PO_Exceptions>
</ZamPOLinkDefs>)";

}  // namespace

TEST(LinkGridRows, EachRowKindWithItsCellRules) {
    XmlDocument doc = document(kSite);
    const std::vector<LinkGridRow> rows = buildLinkGridRows(&doc, "General Exception");
    const std::vector<std::pair<LinkRowKind, Cells>> expected{
        {LinkRowKind::Location, {"PCU1", "Kas 4", "--", "0012 - 05", ""}},
        {LinkRowKind::LocationException, {"PCU1", "Kas 4", "12: Pomp storing", "0020 - 02", "0100 - 07"}},
        // An exception's "0" is shown as it stands; a missing text leaves "nr: ".
        {LinkRowKind::LocationException, {"PCU1", "Kas 4", "13: ", "0", ""}},
        // Only the PCU cell turns an unreported value into an empty cell.
        {LinkRowKind::Location, {"", "-\\-", "--", "", ""}},
        // Element names play no part; absent attributes give empty cells.
        {LinkRowKind::Location, {"PCU9", "Named otherwise", "--", "", ""}},
        {LinkRowKind::GeneralException, {"--", "General Exception", "99: Brandmelding", "0001 - 01", ""}},
        {LinkRowKind::GeneralException, {"--", "General Exception", "7: ", "", ""}},
    };
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].kind, expected[i].first) << i;
        EXPECT_EQ(rows[i].cells, expected[i].second) << i;
    }
    EXPECT_FALSE(rows[0].unlinked());
    EXPECT_FALSE(rows[2].unlinked());  // "0" on an exception is a value, not "no link"
    EXPECT_TRUE(rows[3].unlinked());
    EXPECT_TRUE(rows[6].unlinked());
    EXPECT_EQ(rows[1].exceptionNumber(), "12");
    EXPECT_EQ(rows[2].exceptionNumber(), "13");
    EXPECT_EQ(rows[5].exceptionNumber(), "99");
}

TEST(LinkGridRows, MissingContainersAreAddedInMemoryAndAnEmptyGridKeepsOneRow) {
    XmlDocument doc = document("<ZamPOLinkDefs><PO_AlarmTypes/></ZamPOLinkDefs>");
    const std::vector<LinkGridRow> rows = buildLinkGridRows(&doc, "General Exception");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].kind, LinkRowKind::Empty);
    EXPECT_EQ(rows[0].cells, Cells{});
    EXPECT_TRUE(rows[0].unlinked());
    EXPECT_TRUE(doc.root().child("PO_Locations"));
    EXPECT_TRUE(doc.root().child("PO_Exceptions"));
    // Only once: a second build finds them.
    buildLinkGridRows(&doc, "General Exception");
    EXPECT_FALSE(doc.root().child("PO_Locations").next_sibling("PO_Locations"));

    EXPECT_EQ(buildLinkGridRows(nullptr, "x").size(), 1u);
}

TEST(LinkGridRows, ColumnsFitTheirTextsAndTheAlarmColumnStopsAt250) {
    // Ten pixels a character keeps the figures easy to follow.
    const TextWidth width = [](std::string_view t) { return int(t.size()) * 10; };
    const Cells headers{"PCU", "Location", "Alarm", "ZAM Alarm", "Group"};
    XmlDocument empty = document("<ZamPOLinkDefs/>");
    EXPECT_EQ(linkGridColumnWidths(headers, buildLinkGridRows(&empty, "General Exception"), width),
              (std::array<int, 5>{52, 102, 72, 112, 72}));

    XmlDocument doc = document(R"(<ZamPOLinkDefs><PO_Locations>
        <PO_loc pcu="A-very-long-PCU-name" text="Kas" zam_alarm="0012 - 05" zam_group="0100 - 07 and more">
          <Except nr="1" text="An exception text far longer than the column may grow" zam_alarm="0012 - 05 long"/>
        </PO_loc></PO_Locations></ZamPOLinkDefs>)");
    const auto widths = linkGridColumnWidths(headers, buildLinkGridRows(&doc, "General Exception"), width);
    EXPECT_EQ(widths[0], 20 * 10 + 15);
    EXPECT_EQ(widths[1], 102);  // "Kas" is narrower than the header
    EXPECT_EQ(widths[2], 250);  // capped
    EXPECT_EQ(widths[3], 112);  // exception rows leave the ZAM alarm column as it is
    EXPECT_EQ(widths[4], 18 * 10 + 15);

    // The general exception caption widens the location column; a long header
    // for the alarm column is cut back as soon as an exception row is added.
    XmlDocument general = document(
        R"(<ZamPOLinkDefs><PO_Exceptions><Except nr="5" text="x" zam_alarm=""/></PO_Exceptions></ZamPOLinkDefs>)");
    const Cells longHeader{"PCU", "Location", std::string(30, 'A'), "ZAM Alarm", "Group"};
    const auto g = linkGridColumnWidths(longHeader, buildLinkGridRows(&general, "General Exception"), width);
    EXPECT_EQ(g[1], 17 * 10 + 15);
    EXPECT_EQ(g[2], 250);
    EXPECT_EQ(linkGridColumnWidths(longHeader, buildLinkGridRows(&empty, "General Exception"), width)[2], 322);
}
