#include "logic/alarmstatus/alarmstatus.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "logic/encoding/textrules.h"

namespace zampo {

namespace {

using namespace std::chrono;

// Value of the two-or-four digit field at pos; -1 when any character is not a digit.
int digits(std::string_view text, size_t pos, size_t count) {
    return static_cast<int>(parseDecimal(text.substr(pos, count)).value_or(-1));
}

}  // namespace

TimeMs statusTimeZero() {
    return TimeMs{sys_days{year{1899} / December / 30}};
}

std::string formatStatusTime(TimeMs t) {
    const sys_seconds secs = floor<seconds>(t);
    const sys_days day = floor<days>(secs);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> hms{secs - day};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d%02u%02uT%02d%02d%02d", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count()));
    return buf;
}

std::optional<TimeMs> parseStatusTime(std::string_view text) {
    if (text.size() != 15) return std::nullopt;
    const int y = digits(text, 0, 4), mo = digits(text, 4, 2), d = digits(text, 6, 2);
    const int h = digits(text, 9, 2), mi = digits(text, 11, 2), s = digits(text, 13, 2);
    if (y < 1 || mo < 0 || d < 0 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) return std::nullopt;
    const year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok()) return std::nullopt;
    return TimeMs{sys_days{ymd} + hours{h} + minutes{mi} + seconds{s}};
}

TimeMs readStatusTime(std::string_view text) {
    return parseStatusTime(text).value_or(statusTimeZero());
}

TimeMs readStatusTime(pugi::xml_node element, const char* attribute) {
    return readStatusTime(element.attribute(attribute).value());
}

std::string alarmKey(pugi::xml_node alarm) {
    return std::string(alarm.attribute("pcu").value()) + "," + alarm.attribute("location").value() + "," +
           alarm.attribute("nr").value();
}

bool mustReport(pugi::xml_node alarm) {
    return readStatusTime(alarm, "start") > readStatusTime(alarm, "Sent");
}

int pendingChanges(pugi::xml_node alarm) {
    if (pugi::xml_attribute a = alarm.attribute(kPendingAttr)) return std::max(0, a.as_int());
    return alarm.attribute(kRaisePendingAttr) ? 1 : 0;
}

void setPendingChanges(pugi::xml_node alarm, int count) {
    // A raise pending before a reset is written as older copies wrote it.
    const bool legacy = count == 1 && std::strcmp(alarm.attribute("State").value(), kAlarmReset) == 0;
    const char* keep = count <= 0 ? nullptr : legacy ? kRaisePendingAttr : kPendingAttr;
    for (const char* name : {kPendingAttr, kRaisePendingAttr})
        if (name != keep) alarm.remove_attribute(name);
    if (!keep) return;
    pugi::xml_attribute a = alarm.attribute(keep);
    if (!a) a = alarm.append_attribute(keep);
    if (legacy)
        a.set_value("1");
    else
        a.set_value(count);
}

bool nextReportIsReset(pugi::xml_node alarm) {
    const bool reset = std::strcmp(alarm.attribute("State").value(), kAlarmReset) == 0;
    return pendingChanges(alarm) % 2 == 1 ? !reset : reset;
}

bool resetReported(pugi::xml_node element) {
    if (std::strcmp(element.name(), "Alarm") == 0) return !mustReport(element) && pendingChanges(element) == 0;
    if (std::strcmp(element.name(), "Group") == 0) return static_cast<bool>(element.attribute("Sent"));
    return true;
}

int cleanUpResetElements(XmlDocument& alarmStatus) {
    pugi::xml_node root = alarmStatus.root();
    if (!root || std::strcmp(root.name(), kAlarmStatusFile.rootName) != 0) return 0;
    int removed = 0;
    pugi::xml_node child = root.first_child();
    while (child) {
        pugi::xml_node next = child.next_sibling();
        pugi::xml_attribute state = child.attribute("State");
        if (state && std::strcmp(state.value(), kAlarmReset) == 0 && resetReported(child)) {
            root.remove_child(child);
            ++removed;
        }
        child = next;
    }
    return removed;
}

}  // namespace zampo
