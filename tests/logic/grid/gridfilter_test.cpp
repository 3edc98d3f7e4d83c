#include "logic/grid/gridfilter.h"

#include <gtest/gtest.h>

#include "fakegrid.h"
#include "logic/grid/linkfilter.h"

using namespace zampo;
using Rows = std::vector<int>;

namespace {

const std::vector<std::string> kEnglish{"PCU", "Location", "Alarm", "ZAM Alarm", "Group"};

struct Filtered {
    explicit Filtered(const std::vector<std::string>& headers = kEnglish)
        : grid(headers, {
                            {"PCU1", "Kas 3", "--", "0012 - 05", ""},
                            {"PCU1", "Kas 3", "12: Pomp", "0020 - 02", "0100 - 07"},
                            {"PCU2", "Serre", "--", "", ""},
                            {"PCU2", "Ketelhuis", "--", "0020 - 01", "0100 - 07"},
                            {"--", "General Exception", "99: Brand", "0001 - 01", ""},
                            {"PCU3", "kassen", "--", "", ""},
                        }) {
        filter.setGrid(&grid);
        filter.showMessage = [this](const std::string& m) { messages.push_back(m); };
    }
    Rows run(const std::string& expression) {
        filter.showAllRows();
        filter.setFilter(expression);
        return grid.shown();
    }
    test::FakeGrid grid;
    GridFilter filter;
    std::vector<std::string> messages;
};

std::string term(const std::string& column, const std::string& op, const std::string& value) {
    return "[" + column + "] " + op + " \"" + value + "\"";
}

const Rows kAll{1, 2, 3, 4, 5, 6};

}  // namespace

TEST(GridFilter, OperatorsInAnyCaseColumnNamesOnlyInTheirOwn) {
    Filtered f;
    for (const char* op : {"LIKE", "like", "Like"}) EXPECT_EQ(f.run(term("Location", op, "kas")), Rows({1, 2, 6}));
    ASSERT_EQ(f.filter.conditions().conditions.size(), 1u);
    EXPECT_EQ(f.filter.conditions().conditions[0].column, 2);
    for (const char* name : {"location", "LOCATION", " Location", "Nothing"}) {
        EXPECT_FALSE(f.filter.parseFilter(term(name, "LIKE", "kas"))) << name;
        EXPECT_EQ(f.run(term(name, "LIKE", "kas")), kAll) << name;
    }
    EXPECT_TRUE(f.messages.empty());
}

TEST(GridFilter, MalformedExpressionsFailWholeAndFilterNothing) {
    Filtered f;
    const std::string good = term("PCU", "=", "PCU1");
    for (const std::string& bad :
         {std::string("  "), std::string("PCU = \"x\""), std::string("[PCU = \"x\""), std::string("[] = \"x\""),
          std::string("[PCU] = x"), std::string("[PCU] = \"x"), std::string("[PCU] == \"x\""), good + " trailing words",
          good + " AND [Location] LIKE"}) {
        EXPECT_FALSE(f.filter.parseFilter(bad)) << bad;
        EXPECT_EQ(f.run(bad), kAll) << bad;
    }
    // Text between terms is skipped, so even "OR" joins with AND.
    EXPECT_EQ(f.run(" junk " + good + " OR " + term("Alarm", "=", "--") + " "), Rows({1}));
    // Values are not trimmed; the last condition always ends with AND.
    EXPECT_EQ(f.run("[Location] = \" Kas 3\""), Rows{});
    EXPECT_EQ(f.run(term("PCU", "LIKEOR", "1")), Rows({1, 2}));
    EXPECT_EQ(f.filter.conditions().conditions[0].link, FilterLink::And);
}

TEST(GridFilter, TheComparisons) {
    Filtered f;
    EXPECT_EQ(f.run(term("Location", "=", "Kas 3")), Rows({1, 2}));
    EXPECT_EQ(f.run(term("Location", "=", "kas 3")), Rows{});
    EXPECT_EQ(f.run(term("Alarm", "<>", "--")), Rows({2, 5}));
    // Byte order: capitals before lower case, "-" before digits.
    EXPECT_EQ(f.run(term("Location", ">", "Kas 3")), Rows({3, 4, 6}));
    EXPECT_EQ(f.run(term("PCU", "<", "0")), Rows({5}));
    EXPECT_EQ(f.run(term("Location", "LIKE", "KAS")), Rows({1, 2, 6}));
    // An empty value never matches, not even an empty cell.
    EXPECT_EQ(f.run(term("ZAM Alarm", "LIKE", "")), Rows{});
    EXPECT_EQ(f.run(term("ZAM Alarm", "=", "")), Rows({3, 6}));

    // Only A to Z are matched without regard to case.
    test::FakeGrid names({"Name"}, {{"ÉCOLE"}, {"école"}, {"Ecole"}});
    f.filter.setGrid(&names);
    f.filter.setFilter("[Name] LIKE \"école\"");
    EXPECT_EQ(names.shown(), Rows({2}));
}

TEST(GridFilter, OrGroupsAreDecidedByTheirOwnConditions) {
    Filtered f;
    const std::string kasOrSerre = term("Location", "LIKEOR", "kas") + " " + term("Location", "LIKE", "serre");
    EXPECT_EQ(f.run(kasOrSerre), Rows({1, 2, 3, 6}));
    EXPECT_EQ(f.run(kasOrSerre + term("PCU", "LIKEOR", "2") + term("PCU", "LIKE", "3")), Rows({3, 6}));
    EXPECT_EQ(f.run(term("PCU", "LIKEOR", "1") + term("PCU", "LIKEOR", "--") + term("PCU", "LIKE", "3") +
                    term("Alarm", "=", "--")),
              Rows({1, 6}));
    EXPECT_EQ(f.run(term("PCU", "=", "none") + kasOrSerre), Rows{});
}

TEST(GridFilter, FilteringNeverShowsARowNorTouchesTheHeader) {
    Filtered f;
    f.grid.setRowVisible(1, false);
    f.filter.setFilter(term("Location", "LIKE", "kas"));
    EXPECT_EQ(f.grid.shown(), Rows({2, 6}));
    f.filter.setFilter(term("Location", "=", "nothing"));
    EXPECT_TRUE(f.grid.rowVisible(0));

    GridFilter unbound;
    unbound.setFilter(term("PCU", "=", "x"));
    EXPECT_FALSE(unbound.parseFilter(term("PCU", "=", "x")));
}

TEST(GridFilter, NineConditionsWorkTheTenthIsTooComplex) {
    Filtered f;
    std::string nine;
    for (int i = 0; i < 9; ++i) nine += term("PCU", "LIKE", "P");
    EXPECT_TRUE(f.filter.parseFilter(nine));
    EXPECT_EQ(f.run(nine + term("PCU", "LIKE", "1")), kAll);
    EXPECT_EQ(f.messages, std::vector<std::string>({"Filter too complex"}));
    EXPECT_TRUE(f.filter.conditions().conditions.empty());
}

namespace {

LinkFilterBox box(std::initializer_list<std::pair<int, std::string>> columns,
                  const std::vector<std::string>& headers = kEnglish) {
    LinkFilterBox b;
    std::copy(headers.begin(), headers.end(), b.headers.begin());
    for (const auto& [column, text] : columns) {
        b.checked[std::size_t(column - 1)] = true;
        b.texts[std::size_t(column - 1)] = text;
    }
    return b;
}

}  // namespace

TEST(LinkFilter, TheFilterBoxAsAnExpression) {
    EXPECT_EQ(buildLinkFilter(box({})).expression, "");
    EXPECT_EQ(buildLinkFilter(box({{2, "   "}})).expression, "");
    LinkFilterBox unchecked = box({{2, "kas"}});
    unchecked.checked[1] = false;
    EXPECT_EQ(buildLinkFilter(unchecked).expression, "");

    LinkFilterBox b = box({{1, " PCU1 "}, {2, "kas.serre"}});
    b.hideExceptions = b.showUnassigned = true;
    EXPECT_EQ(buildLinkFilter(b).expression,
              "[PCU] LIKE \"PCU1\" [Location] LIKEOR \"kas\" [Location] LIKE \"serre\" AND [Alarm] = \"--\" AND "
              "[ZAM Alarm] = \"\"");
    EXPECT_FALSE(buildLinkFilter(b).correctedTexts[0]);  // a plain filter's blanks stay in its edit
    EXPECT_FALSE(buildLinkFilter(b).correctedTexts[1]);

    // Only the first "." counts; the edit loses the others and its blanks.
    EXPECT_EQ(buildLinkFilter(box({{2, "a.b."}})).correctedTexts[1], "a.b");
    EXPECT_EQ(buildLinkFilter(box({{2, " x..y.z "}})).correctedTexts[1], "x.yz");
}

TEST(LinkFilter, OnTheGrid) {
    Filtered f;
    auto shown = [&f](const LinkFilterBox& b) { return f.run(buildLinkFilter(b).expression); };
    EXPECT_EQ(shown(box({{2, "kas"}})), Rows({1, 2, 6}));
    EXPECT_EQ(shown(box({{2, "kas.serre"}})), Rows({1, 2, 3, 6}));
    EXPECT_EQ(shown(box({{2, "."}})), Rows{});  // two empty alternatives
    EXPECT_EQ(shown(box({{2, "kas.serre"}, {4, "0012.0020"}})), Rows({1, 2}));
    LinkFilterBox options = box({});
    options.hideExceptions = options.showUnassigned = true;
    EXPECT_EQ(shown(options), Rows({3, 6}));

    // Five dotted filters make ten conditions; four and a plain one make nine.
    EXPECT_EQ(shown(box({{1, "a.b"}, {2, "a.b"}, {3, "a.b"}, {4, "a.b"}, {5, "a.b"}})), kAll);
    EXPECT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(shown(box({{1, "PCU.--"}, {2, "kas.e"}, {3, "-.:"}, {4, "0.1"}, {5, "0100"}})), Rows({2, 4}));
    EXPECT_EQ(f.messages.size(), 1u);

    // Dutch column names name the Dutch columns.
    const std::vector<std::string> dutch{"PCU", "Locatie", "Alarm", "ZAM Alarm", "Groep"};
    Filtered nl(dutch);
    EXPECT_EQ(nl.run(buildLinkFilter(box({{2, "kas"}}, dutch)).expression), Rows({1, 2, 6}));
}
