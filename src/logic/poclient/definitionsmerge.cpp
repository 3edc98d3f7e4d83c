#include "logic/poclient/definitionsmerge.h"

#include <cstring>

#include "logic/linkconfig/linkdefs.h"
#include "logic/poclient/answertext.h"

namespace zampo {

namespace {

std::string valueOr(pugi::xml_node node, const char* attr, std::string_view fallback) {
    pugi::xml_attribute a = node.attribute(attr);
    return a ? std::string(a.value()) : std::string(fallback);
}

pugi::xml_node findOrAppend(pugi::xml_node root, const char* name) {
    pugi::xml_node n = searchNode(root, name);
    return n ? n : root.append_child(name);
}

// Only elements count as list items; stray text in a list is not a location.
template <typename Fn>
void forEachElementChild(pugi::xml_node parent, Fn fn) {
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element) fn(c);
}

int mergeLocations(pugi::xml_node answerList, pugi::xml_node locations, LookupMode lookup) {
    KeyedLookup existing(locations, "PO_loc", {"pcu", "text"}, lookup);
    int added = 0;
    std::vector<std::string> key(2);
    forEachElementChild(answerList, [&](pugi::xml_node item) {
        key[0] = valueOr(item, "pcu", kUnreportedValue);
        key[1] = valueOr(item, "text", kUnreportedValue);
        if (existing.find(key)) return;
        pugi::xml_node loc = locations.append_child("PO_loc");
        loc.append_attribute("pcu") = key[0].c_str();
        loc.append_attribute("text") = key[1].c_str();
        loc.append_attribute("zam_alarm") = "0";
        existing.appended(loc);
        ++added;
    });
    return added;
}

int mergeAlarmTypes(pugi::xml_node answerList, pugi::xml_node types, LookupMode lookup) {
    KeyedLookup existing(types, "PO_Alarm", {"nr"}, lookup);
    int added = 0;
    std::vector<std::string> key(1);
    forEachElementChild(answerList, [&](pugi::xml_node item) {
        key[0] = valueOr(item, "nr", "-1");
        if (existing.find(key)) return;
        pugi::xml_node type = types.append_child("PO_Alarm");
        type.append_attribute("nr") = key[0].c_str();
        type.append_attribute("text") = item.attribute("text").value();
        existing.appended(type);
        ++added;
    });
    return added;
}

}  // namespace

DefinitionsMergeResult mergeDefinitions(std::string_view answer, DocumentSlot& linkDefs, const std::string& poDataDir,
                                        LookupMode lookup) {
    DefinitionsMergeResult result;
    pugi::xml_document answerDoc;
    if (!readMergeAnswer(answer, linkDefs, {"definitions", "definitions", "the link definitions"}, answerDoc,
                         result.error, result.fetchMessage))
        return result;

    const pugi::xml_node answerRoot = answerDoc.document_element();
    pugi::xml_node root = linkDefs->root();

    const pugi::xml_node answerLocations = searchNode(answerRoot, "alarmlocations");
    pugi::xml_node locations = findOrAppend(root, "PO_Locations");
    if (answerLocations) result.locationsAdded = mergeLocations(answerLocations, locations, lookup);

    const pugi::xml_node answerTypes = searchNode(answerRoot, "alarmtypes");
    pugi::xml_node types = findOrAppend(root, "PO_AlarmTypes");
    if (answerTypes) result.alarmTypesAdded = mergeAlarmTypes(answerTypes, types, lookup);

    result.ok = true;
    result.complete = answerLocations && answerTypes;
    if (result.complete) {
        refreshExceptionTexts(*linkDefs, lookup);
        result.saved = saveDataFile(linkDefs, poDataDir, kLinkDefsFile);
    }
    result.allLinksDefined = allLinksDefined(*linkDefs);
    return result;
}

void refreshExceptionTexts(XmlDocument& linkDefs, LookupMode lookup) {
    const pugi::xml_node root = linkDefs.root();
    const pugi::xml_node types = searchNode(root, "PO_AlarmTypes");
    const pugi::xml_node locations = searchNode(root, "PO_Locations");
    if (!types || !locations) return;

    const KeyedLookup alarmTypes(types, "PO_Alarm", {"nr"}, lookup);
    std::vector<std::string> key(1);
    auto refreshChildren = [&](pugi::xml_node holder) {
        forEachElementChild(holder, [&](pugi::xml_node except) {
            pugi::xml_attribute nr = except.attribute("nr");
            pugi::xml_attribute text = except.attribute("text");
            if (!nr || !text) return;
            key[0] = nr.value();
            pugi::xml_attribute typeText = alarmTypes.find(key).attribute("text");
            if (!typeText) return;
            const std::string copy = typeText.value();  // the two may be one attribute in an odd file
            text.set_value(copy.c_str());
        });
    };
    for (pugi::xml_node loc = locations.child("PO_loc"); loc; loc = loc.next_sibling("PO_loc")) refreshChildren(loc);
    if (pugi::xml_node general = searchNode(root, "PO_Exceptions")) refreshChildren(general);
}

bool allLinksDefined(const XmlDocument& linkDefs) {
    const pugi::xml_node root = linkDefs.root();
    if (!root || std::strcmp(root.name(), kLinkDefsFile.rootName) != 0) return false;
    if (pugi::xml_node locations = searchNode(root, "PO_Locations")) {
        for (pugi::xml_node loc = locations.child("PO_loc"); loc; loc = loc.next_sibling("PO_loc")) {
            if (!hasDefinedLink(loc)) return false;
            for (pugi::xml_node c = loc.first_child(); c; c = c.next_sibling())
                if (c.type() == pugi::node_element && !hasDefinedLink(c)) return false;
        }
    }
    if (pugi::xml_node general = searchNode(root, "PO_Exceptions")) {
        for (pugi::xml_node c = general.first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_element && !hasDefinedLink(c)) return false;
    }
    return true;
}

}  // namespace zampo
