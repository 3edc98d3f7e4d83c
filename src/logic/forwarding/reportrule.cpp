#include "logic/forwarding/reportrule.h"

#include <cstring>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/xml/xmlnodes.h"

namespace zampo {

namespace {

bool laterThanStamp(TimeMs now, pugi::xml_node e, const char* attribute) {
    return now > readStatusTime(e, attribute);
}

bool hasNonEmpty(pugi::xml_node e, const char* attribute) {
    return *e.attribute(attribute).value() != '\0';
}

// The reporting rule, made safe for a start that cannot be read at all: such an
// alarm is reported once, when its start differs from Sent (which then takes it over).
bool alarmMustReport(pugi::xml_node alarm, std::vector<std::string>& log) {
    if (pendingChanges(alarm) > 0) return true;
    const char* start = alarm.attribute("start").value();
    if (parseStatusTime(start)) return mustReport(alarm);
    if (std::strcmp(start, alarm.attribute("Sent").value()) == 0) return false;
    log.push_back(std::string("Unreadable start time \"") + start + "\" of alarm: " + alarmKey(alarm));
    return true;
}

ReportDue dueFor(pugi::xml_node e, TimeMs now, std::vector<std::string>* log) {
    std::vector<std::string> unused;
    auto repeatDue = [&] {
        return attrIs(e, "State", kAlarmActive) && hasNonEmpty(e, "repeat_at") && laterThanStamp(now, e, "repeat_at");
    };
    if (isNamed(e, "Alarm")) {
        if (alarmMustReport(e, log ? *log : unused)) return ReportDue::Change;
        if (repeatDue()) return ReportDue::Repeat;
    } else if (isNamed(e, "Group")) {
        // Within its delay a group waits; a reset group without Sent reports the reset.
        if (!laterThanStamp(now, e, "Timeout")) return ReportDue::Nothing;
        if (!e.attribute("Sent")) return ReportDue::Change;
        if (repeatDue()) return ReportDue::Repeat;
    }
    return ReportDue::Nothing;
}

}  // namespace

ReportDue reportDue(pugi::xml_node element, TimeMs now) {
    return dueFor(element, now, nullptr);
}

ReportDue reportDue(pugi::xml_node element, TimeMs now, std::vector<std::string>& log) {
    return dueFor(element, now, &log);
}

}  // namespace zampo
