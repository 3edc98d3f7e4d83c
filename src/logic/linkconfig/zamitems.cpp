#include "logic/linkconfig/zamitems.h"

#include <algorithm>
#include <cstring>

#include "logic/encoding/encoding.h"
#include "logic/encoding/textrules.h"
#include "logic/xml/xmlnodes.h"

namespace zampo {

namespace {

constexpr const char* kZamRoot = "ZamAlarmDefinitions";

void writeAlarm(pugi::xml_node alarm, const ZamAlarmFields& fields) {
    setAttr(alarm, "Code", std::to_string(fields.code));
    setAttr(alarm, "Name", fields.name);
    setAttr(alarm, "GroupDelay", std::to_string(fields.groupDelay));
    setAttr(alarm, "Repeat", std::to_string(fields.repeat));
}

}  // namespace

std::string itemNameFromInput(std::string_view name) {
    // Characters, not bytes: a multi-byte character is kept whole or not at all.
    const std::string kept = utf8Prefix(name, kMaxItemNameLength);
    return std::string(trimBlanks(kept));
}

int proposedItemCode(const std::vector<int>& codes, int upperLimit) {
    const int highest = codes.empty() ? 0 : *std::max_element(codes.begin(), codes.end());
    return std::clamp(highest + 1, 1, upperLimit);
}

pugi::xml_node findZamLocationElement(const XmlDocument& zamDefs, int code) {
    return searchNode(zamDefs.root(), "Location", {"Code"}, {std::to_string(code)});
}

pugi::xml_node findZamAlarmElement(const XmlDocument& zamDefs, int locationCode, int alarmCode) {
    const pugi::xml_node location = findZamLocationElement(zamDefs, locationCode);
    if (!location) return {};
    return searchNode(location, "Alarm", {"Code"}, {std::to_string(alarmCode)});
}

bool appendZamLocation(XmlDocument& zamDefs, int code, std::string_view name) {
    pugi::xml_node top = topElement(zamDefs.dom());
    if (!top || std::strcmp(top.name(), kZamRoot) != 0) return false;
    pugi::xml_node location = top.append_child("Location");
    setAttr(location, "Code", std::to_string(code));
    setAttr(location, "Name", name);
    return true;
}

bool updateZamLocation(XmlDocument& zamDefs, int oldCode, int code, std::string_view name) {
    pugi::xml_node location = findZamLocationElement(zamDefs, oldCode);
    if (!location) return false;
    setAttr(location, "Code", std::to_string(code));
    setAttr(location, "Name", name);
    return true;
}

bool removeZamLocation(XmlDocument& zamDefs, int code) {
    pugi::xml_node location = findZamLocationElement(zamDefs, code);
    return location && location.parent().remove_child(location);
}

bool appendZamAlarm(XmlDocument& zamDefs, int locationCode, const ZamAlarmFields& alarm) {
    pugi::xml_node location = findZamLocationElement(zamDefs, locationCode);
    if (!location) return false;
    writeAlarm(location.append_child("Alarm"), alarm);
    return true;
}

bool updateZamAlarm(XmlDocument& zamDefs, int locationCode, int oldCode, const ZamAlarmFields& alarm) {
    pugi::xml_node node = findZamAlarmElement(zamDefs, locationCode, oldCode);
    if (!node) return false;
    writeAlarm(node, alarm);
    return true;
}

bool removeZamAlarm(XmlDocument& zamDefs, int locationCode, int alarmCode) {
    pugi::xml_node node = findZamAlarmElement(zamDefs, locationCode, alarmCode);
    return node && node.parent().remove_child(node);
}

}  // namespace zampo
