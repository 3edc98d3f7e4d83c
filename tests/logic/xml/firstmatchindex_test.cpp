// The index must answer exactly what searchNode answers, on the odd documents
// that hand editing produces: elements without key attributes, duplicates,
// nested matches, other names, doubled attributes, stray text.
#include "logic/xml/firstmatchindex.h"

#include <gtest/gtest.h>

#include <random>

#include "logic/poclient/alarmmerge.h"
#include "logic/poclient/definitionsmerge.h"
#include "logic/xml/xmlstore.h"
#include "support/tempdir.h"

using namespace zampo;

namespace {

const std::vector<std::string> kValues = {"a", "b", "-\\-", "", "\xC3\xA9", "A", "20240101T100000"};

struct Gen {
    std::mt19937 rng;
    explicit Gen(unsigned seed) : rng(seed) {}
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    bool chance(int percent) { return pick(100) < percent; }
    const std::string& value() { return kValues[static_cast<size_t>(pick(static_cast<int>(kValues.size())))]; }

    // An element named from names, with each of attrs present most of the time.
    pugi::xml_node element(pugi::xml_node parent, const std::vector<std::string>& names,
                           const std::vector<std::string>& attrs) {
        pugi::xml_node n =
            parent.append_child(names[static_cast<size_t>(pick(static_cast<int>(names.size())))].c_str());
        for (const std::string& a : attrs)
            if (chance(85)) n.append_attribute(a.c_str()) = value().c_str();
        if (chance(5)) n.append_attribute(attrs[0].c_str()) = value().c_str();  // doubled: the first one counts
        if (chance(20)) n.append_attribute("State") = chance(50) ? "A" : "R";
        if (chance(5)) n.append_child(pugi::node_pcdata).set_value("stray");
        return n;
    }
    void tree(pugi::xml_node parent, int depth, const std::vector<std::string>& names,
              const std::vector<std::string>& attrs) {
        const int count = pick(depth == 0 ? 12 : 4);
        for (int i = 0; i < count; ++i) {
            pugi::xml_node n = element(parent, names, attrs);
            if (depth < 3 && chance(30)) tree(n, depth + 1, names, attrs);
        }
    }
};

void collectElements(pugi::xml_node n, std::vector<pugi::xml_node>& out) {
    if (n.type() != pugi::node_element) return;
    out.push_back(n);
    for (pugi::xml_node c : n.children()) collectElements(c, out);
}

}  // namespace

TEST(FirstMatchIndex, AgreesWithSearchNodeOnGeneratedDocumentsAndAfterAppends) {
    const std::vector<std::string> names = {"PO_loc", "Except", "po_loc", "Other"};
    const std::vector<std::string> keys = {"pcu", "text"};
    int queries = 0, hits = 0;
    for (unsigned seed = 1; seed <= 150; ++seed) {
        Gen g(seed);
        pugi::xml_document doc;
        pugi::xml_node root = doc.append_child("ZamPOLinkDefs");
        g.tree(root, 0, names, keys);
        std::vector<pugi::xml_node> starts;
        collectElements(root, starts);
        for (pugi::xml_node start : starts) {
            FirstMatchIndex index(start, "PO_loc", keys);
            for (int round = 0; round < 4; ++round) {
                for (const std::string& v0 : kValues)
                    for (const std::string& v1 : kValues) {
                        const std::vector<std::string> q{v0, v1};
                        const pugi::xml_node expected = searchNode(start, "PO_loc", keys, q);
                        ASSERT_EQ(index.find(q), expected) << "seed " << seed << " query " << v0 << "|" << v1;
                        ++queries;
                        hits += expected ? 1 : 0;
                    }
                // what the merges do: append at the end of the start node
                pugi::xml_node added = g.element(start, names, keys);
                if (g.chance(30)) g.element(added, names, keys);
                index.appended(added);
            }
        }
    }
    EXPECT_GT(hits, queries / 50);  // the generator does produce matches
    EXPECT_LT(hits, queries);       // and misses
}

TEST(FirstMatchIndex, BothMergesGiveTheSameDocumentsWithAndWithoutIndex) {
    test::TempDir dir;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        Gen g(seed);
        // Definitions: a hand-edited LinkDefs and an answer with duplicates and missing attributes.
        pugi::xml_document linkDefs;
        pugi::xml_node root = linkDefs.append_child("ZamPOLinkDefs");
        g.tree(root.append_child("PO_Locations"), 0, {"PO_loc", "Except", "Other"}, {"pcu", "text", "nr"});
        g.tree(root.append_child("PO_AlarmTypes"), 0, {"PO_Alarm", "Other"}, {"nr", "text"});
        g.tree(root.append_child("PO_Exceptions"), 1, {"Except"}, {"nr", "text"});
        pugi::xml_document answer;
        pugi::xml_node answerRoot = answer.append_child("config");
        g.tree(answerRoot.append_child("alarmlocations"), 1, {"loc", "item"}, {"pcu", "text"});
        g.tree(answerRoot.append_child("alarmtypes"), 1, {"type"}, {"nr", "text"});

        std::ostringstream linkText, answerText;
        linkDefs.save(linkText);
        answer.save(answerText);
        std::string results[2];
        for (LookupMode mode : {LookupMode::Indexed, LookupMode::Search}) {
            DocumentSlot slot = std::make_unique<XmlDocument>();
            ASSERT_TRUE(slot->loadText(linkText.str()));
            ASSERT_TRUE(mergeDefinitions(answerText.str(), slot, dir.path(), mode).ok);
            results[mode == LookupMode::Search] = slot->toText();
        }
        EXPECT_EQ(results[0], results[1]) << "definitions, seed " << seed;

        // Active alarms: a status file with nested and key-less Alarms, merged twice.
        pugi::xml_document status;
        g.tree(status.append_child("POAlarmStatus"), 0, {"Alarm", "Group"}, {"pcu", "location", "nr", "start", "Sent"});
        pugi::xml_document alarms;
        g.tree(alarms.append_child("active-alarms"), 1, {"alarm"}, {"pcu", "location", "nr", "text", "start"});
        std::ostringstream statusText, alarmsText;
        status.save(statusText);
        alarms.save(alarmsText);
        for (LookupMode mode : {LookupMode::Indexed, LookupMode::Search}) {
            DocumentSlot slot = std::make_unique<XmlDocument>();
            ASSERT_TRUE(slot->loadText(statusText.str()));
            const TimeMs now{std::chrono::hours{24 * 20000}};
            ASSERT_TRUE(mergeActiveAlarms(alarmsText.str(), slot, now, mode).ok);
            ASSERT_TRUE(mergeActiveAlarms(alarmsText.str(), slot, now, mode).ok);
            results[mode == LookupMode::Search] = slot->toText();
        }
        EXPECT_EQ(results[0], results[1]) << "active alarms, seed " << seed;
    }
}
