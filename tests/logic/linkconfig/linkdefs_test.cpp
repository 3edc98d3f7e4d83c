#include "logic/linkconfig/linkdefs.h"

#include <gtest/gtest.h>

using namespace zampo;

namespace {
struct LinkDefsTest : ::testing::Test {
    XmlDocument d;
    void SetUp() override {
        ASSERT_TRUE(d.loadText(R"(<ZamPOLinkDefs><PO_Locations>
            <PO_loc pcu="P1" text="Kas 1" zam_alarm="0001 - 02" zam_group="0009 - 01">
                <Except nr="12" text="Hoog" zam_alarm="0001 - 03"/></PO_loc>
            <PO_loc pcu="-\-" text="Kas 2" zam_alarm="0"/>
            <PO_loc pcu="P1" text="Kas 1" zam_alarm="duplicate"/></PO_Locations>
            <PO_Exceptions><Except nr="7" text="Laag" zam_alarm="0002 - 01" zam_group="0009 - 02"/></PO_Exceptions>
            </ZamPOLinkDefs>)"));
    }
    pugi::xml_node loc(int i) {
        pugi::xml_node n = d.root().child("PO_Locations").first_child();
        while (i-- > 0) n = n.next_sibling();
        return n;
    }
    pugi::xml_node general(const char* nr) { return d.root().child("PO_Exceptions").find_child_by_attribute("nr", nr); }
    static std::string attr(pugi::xml_node n, const char* a) {
        return n.attribute(a) ? n.attribute(a).value() : "<absent>";
    }
};
}  // namespace

TEST(LinkRef, ReferenceFormAndDefinedRule) {
    EXPECT_EQ(zamAlarmRef(1, 2), "0001 - 02");
    EXPECT_TRUE(isDefinedLinkValue(zamAlarmRef(9999, 99)));
    for (const char* undefined : {"", "0", "1 - 2", "0001 - 022"}) EXPECT_FALSE(isDefinedLinkValue(undefined));
}

TEST_F(LinkDefsTest, SetLinkOnLocationsAndTheirExceptions) {
    setLink(d, "P1", "Kas 1", "0003 - 04", "", "", "");
    EXPECT_EQ(attr(loc(0), "zam_group"), "");  // cleared, still present
    EXPECT_TRUE(hasDefinedLink(loc(0)));
    EXPECT_EQ(attr(loc(0).child("Except"), "zam_alarm"), "0001 - 03");  // exceptions untouched
    EXPECT_EQ(attr(loc(2), "zam_alarm"), "duplicate");                  // only the first of equal keys is used

    // empty pcu addresses -\-; a number appends an exception once and then updates it
    setLink(d, "", "Kas 2", "0001 - 05", "12", "Hoog", "");
    setLink(d, "", "Kas 2", "0001 - 06", "12", "", "0009 - 03");
    ASSERT_EQ(std::distance(loc(1).begin(), loc(1).end()), 1);
    pugi::xml_node e = loc(1).child("Except");
    EXPECT_EQ(attr(e, "nr") + attr(e, "text") + attr(e, "zam_alarm") + attr(e, "zam_group"),
              "12Hoog0001 - 060009 - 03");

    const std::string before = d.toText();
    setLink(d, "P9", "Unknown", "0005 - 06", "", "", "");  // nothing is created for an unknown location
    setLink(d, "P9", "Unknown", "0005 - 06", "12", "x", "");
    EXPECT_EQ(d.toText(), before);
}

TEST_F(LinkDefsTest, GeneralExceptions) {
    setGeneralException(d, "7", "", "", "");  // empty values reset the link, the text stays
    EXPECT_EQ(
        attr(general("7"), "text") + "|" + attr(general("7"), "zam_alarm") + "|" + attr(general("7"), "zam_group"),
        "Laag||");
    setLink(d, "--", "--", "0004 - 01", "8", "Nieuw", "");  // pcu "--" goes to the general exceptions
    EXPECT_EQ(attr(general("8"), "zam_alarm"), "0004 - 01");
}

TEST_F(LinkDefsTest, DeleteLinkEntry) {
    deleteLinkEntry(d, "P1", "Kas 1", "12");  // only the exception
    EXPECT_FALSE(loc(0).child("Except"));
    deleteLinkEntry(d, "P1", "Kas 1", "--");  // the first location with that key
    EXPECT_EQ(attr(loc(0), "text"), "Kas 2");
    EXPECT_EQ(attr(loc(1), "zam_alarm"), "duplicate");
    deleteLinkEntry(d, "--", "", "7");
    EXPECT_TRUE(d.root().child("PO_Exceptions"));  // stays, now empty
    EXPECT_FALSE(d.root().child("PO_Exceptions").first_child());
    const std::string before = d.toText();
    deleteLinkEntry(d, "P9", "x", "--");
    deleteLinkEntry(d, "", "Kas 2", "99");
    EXPECT_EQ(d.toText(), before);
}
