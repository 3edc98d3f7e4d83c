#include "logic/forwarding/groupalarms.h"

#include <optional>
#include <string>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/encoding/encoding.h"
#include "logic/linkconfig/linkdefs.h"
#include "logic/linkconfig/zamdefs.h"
#include "logic/xml/xmlnodes.h"

namespace zampo {

void updateGroup(XmlDocument& alarmStatus, const XmlDocument& zamDefs, std::string_view groupLocation,
                 std::string_view groupInput, std::string_view text, bool reset, TimeMs now) {
    if (utf8CharCount(groupLocation) != 4) return;
    const std::optional<int> location = zamCodeValue(groupLocation), input = zamCodeValue(groupInput);
    pugi::xml_node root = alarmStatus.root();
    if (!location || !input || !root) return;
    const std::string reference = zamAlarmRef(*location, *input);
    const int delay = getGroupDelay(zamDefs, reference);
    const int repeat = getRepeat(zamDefs, reference);
    const std::string timeout = formatStatusTime(now + std::chrono::seconds(delay));
    pugi::xml_node group = searchNode(root, "Group", {"ZamAlarm"}, {reference});

    if (reset) {
        if (!group) {
            group = root.append_child("Group");
            setAttr(group, "ZamAlarm", reference);
            setAttr(group, "State", kAlarmReset);
        } else if (attrIs(group, "State", kAlarmActive) && !groupHasActiveMember(alarmStatus, reference)) {
            setAttr(group, "State", kAlarmReset);
            // A reported group must report its reset; one never reported stays silent.
            if (group.attribute("Sent"))
                group.remove_attribute("Sent");
            else
                setAttr(group, "Sent", formatStatusTime(now));
        }
        return;
    }

    if (!group) {
        group = root.append_child("Group");
        setAttr(group, "ZamAlarm", reference);
        setAttr(group, "Timeout", timeout);
        setAttr(group, "repeat", std::to_string(repeat));
        setAttr(group, "Text", text);
        setAttr(group, "State", kAlarmActive);
        return;
    }
    if (group.attribute("State")) {
        if (attrIs(group, "State", kAlarmReset)) {
            setAttr(group, "Timeout", timeout);
            setAttr(group, "Text", text);
            setAttr(group, "State", kAlarmActive);
        } else if (!group.attribute("Sent")) {
            setAttr(group, "Text", "");  // a second member before the report: no single text fits
        }
        group.remove_attribute("Sent");
    }
    setAttr(group, "repeat", std::to_string(repeat));
}

bool groupHasActiveMember(const XmlDocument& alarmStatus, std::string_view reference) {
    const std::string ref(reference);
    for (pugi::xml_node c : alarmStatus.root().children("Alarm"))
        if (attrIs(c, "Group", ref.c_str()) && attrIs(c, "State", kAlarmActive)) return true;
    return false;
}

}  // namespace zampo
