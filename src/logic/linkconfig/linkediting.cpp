#include "logic/linkconfig/linkediting.h"

#include "logic/linkconfig/linkdefs.h"
#include "logic/linkconfig/zamdefs.h"
#include "logic/xml/xmlnodes.h"

namespace zampo {

namespace {

void keepExistingLinks(pugi::xml_node entry, const XmlDocument& zamDefs) {
    auto kept = [&](const char* name) {
        const std::string value = entry.attribute(name).value();
        return zamAlarmExists(zamDefs, value) ? value : std::string();
    };
    const std::string alarm = kept("zam_alarm");
    const std::string group = kept("zam_group");
    if (!alarm.empty() && !group.empty()) return;
    setAttr(entry, "zam_alarm", alarm);
    setAttr(entry, "zam_group", group);
}

}  // namespace

bool LinkRowCells::isLocation() const {
    return alarmType == kGridMarker;
}

std::string LinkRowCells::exceptionNumber() const {
    const auto colon = alarmType.find(':');
    return colon == std::string::npos ? std::string() : alarmType.substr(0, colon);
}

void writeRowLinks(XmlDocument& linkDefs, const std::vector<LinkRowCells>& rows) {
    for (const LinkRowCells& row : rows)
        setLink(linkDefs, row.pcu, row.location, row.zamAlarm, row.exceptionNumber(), {}, row.zamGroup);
}

void deleteLinkRows(XmlDocument& linkDefs, const std::vector<LinkRowCells>& rows) {
    for (const LinkRowCells& row : rows)
        deleteLinkEntry(linkDefs, row.pcu, row.location,
                        row.isLocation() ? std::string(kGridMarker) : row.exceptionNumber());
}

void removeDeletedZamLinks(XmlDocument& linkDefs, const XmlDocument& zamDefs) {
    const pugi::xml_node root = linkDefs.root();
    if (!root) return;
    // The entries the link grid shows: every child of PO_Locations, and the
    // numbered exceptions below them and below PO_Exceptions.
    if (pugi::xml_node locations = searchNode(root, "PO_Locations")) {
        for (pugi::xml_node location : locations.children()) {
            if (!isElement(location)) continue;
            keepExistingLinks(location, zamDefs);
            for (pugi::xml_node except : location.children())
                if (isElement(except) && except.attribute("nr")) keepExistingLinks(except, zamDefs);
        }
    }
    if (pugi::xml_node general = searchNode(root, "PO_Exceptions")) {
        for (pugi::xml_node except : general.children())
            if (isElement(except) && except.attribute("nr")) keepExistingLinks(except, zamDefs);
    }
}

std::vector<AlarmTypeEntry> listAlarmTypes(const XmlDocument& linkDefs) {
    std::vector<AlarmTypeEntry> types;
    const pugi::xml_node container = searchNode(linkDefs.root(), "PO_AlarmTypes");
    for (pugi::xml_node type : container.children()) {
        if (!isElement(type)) continue;
        const std::string nr = type.attribute("nr").value();
        types.push_back({nr == kUnreportedValue ? std::string() : nr, type.attribute("text").value()});
    }
    return types;
}

void addExceptions(XmlDocument& linkDefs, const std::vector<AlarmTypeEntry>& types, ExceptionScope scope,
                   const std::vector<LinkRowCells>& selectedRows) {
    pugi::xml_node root = linkDefs.root();
    if (!root) return;
    // The dialog lists PO_AlarmTypes; a file without one gets an empty one.
    if (!searchNode(root, "PO_AlarmTypes")) root.append_child("PO_AlarmTypes");
    for (const AlarmTypeEntry& type : types) {
        if (scope == ExceptionScope::General) {
            setGeneralException(linkDefs, type.nr, type.text, {}, {});
            continue;
        }
        // Without a number the write would address the location's own link.
        if (type.nr.empty()) continue;
        for (const LinkRowCells& row : selectedRows)
            if (row.isLocation())
                setLink(linkDefs, row.pcu, row.location, row.zamAlarm, type.nr, type.text, row.zamGroup);
    }
}

}  // namespace zampo
