#include "logic/status/alarmstatusrows.h"

#include <cstring>

#include "logic/core/alarmevaluation.h"
#include "logic/linkconfig/zamdefs.h"
#include "logic/poclient/alarmstatus.h"
#include "logic/texts/langtext.h"

namespace zampo {

namespace {

std::optional<TimeMs> stamp(pugi::xml_node e, const char* attribute) {
    const auto t = parseStatusTime(e.attribute(attribute).value());
    if (t && *t > statusTimeZero()) return t;
    return std::nullopt;
}

std::string errorMeaning(std::string_view code) {
    if (code == "1") return langText(210, "refused by ZamMeld, sent again");
    if (code == "2") return langText(211, "not accepted after three attempts");
    if (code == "3") return langText(212, "no answer within 10 seconds");
    return std::string(code);
}

// The reference with the alarm's name from the ZAM definitions, when it has one there.
std::string namedReference(const XmlDocument* zamDefs, const std::string& reference) {
    if (!zamDefs) return reference;
    const char* name = findZamAlarm(*zamDefs, reference).attribute("Name").value();
    return *name ? reference + " " + name : reference;
}

void fillCommon(AlarmStatusRow& row, pugi::xml_node e, TimeMs now) {
    row.active = std::strcmp(e.attribute("State").value(), kAlarmActive) == 0;
    row.stateText = row.active ? langText(207, "active") : langText(208, "reset");
    row.toReport = reportDue(e, now) != ReportDue::Nothing;
    row.error = e.attribute("Error").value();
    if (!row.error.empty()) row.errorText = errorMeaning(row.error);
    if (row.active && *e.attribute("repeat_at").value()) row.nextRepeat = stamp(e, "repeat_at");
}

AlarmStatusRow alarmRow(pugi::xml_node e, const XmlDocument* linkDefs, const XmlDocument* zamDefs, TimeMs now) {
    AlarmStatusRow row;
    row.pcu = e.attribute("pcu").value();
    row.location = e.attribute("location").value();
    row.nr = e.attribute("nr").value();
    row.text = e.attribute("text").value();
    fillCommon(row, e, now);
    row.since = stamp(e, "start");
    if (!row.toReport) row.reportedAt = stamp(e, "Sent");
    const Link link = linkDefs && zamDefs ? findAlarmLink(*linkDefs, *zamDefs, e) : Link{};
    row.linked = link.found;
    row.zamAlarm =
        link.found ? namedReference(zamDefs, link.zamLocation + " - " + link.zamInput) : langText(209, "no link");
    if (!link.groupLocation.empty())
        row.zamGroup = namedReference(zamDefs, link.groupLocation + " - " + link.groupInput);
    else
        row.zamGroup = e.attribute("Group").value();  // as sent, when the link has changed since
    return row;
}

AlarmStatusRow groupRow(pugi::xml_node e, const XmlDocument* zamDefs, TimeMs now) {
    AlarmStatusRow row;
    row.group = true;
    row.location = langText(214, "Group alarm");
    row.text = e.attribute("Text").value();
    const std::string reference = e.attribute("ZamAlarm").value();
    row.zamGroup = namedReference(zamDefs, reference);
    row.linked = true;
    fillCommon(row, e, now);
    if (const auto timeout = stamp(e, "Timeout")) {
        const int delay = zamDefs ? getGroupDelay(*zamDefs, reference) : 0;
        row.since = *timeout - std::chrono::seconds(delay);
        if (row.active && !e.attribute("Sent") && *timeout > now) {
            row.delayLeftSeconds = std::chrono::ceil<std::chrono::seconds>(*timeout - now).count();
            row.toReport = true;  // goes out once the delay has passed
        }
    }
    row.reportedAt = stamp(e, "Sent");
    return row;
}

}  // namespace

std::string AlarmStatusRow::key() const {
    return group ? "\x1fgroup\x1f" + zamGroup.substr(0, 9) : pcu + '\x1f' + location + '\x1f' + nr;
}

std::vector<AlarmStatusRow> buildAlarmStatusRows(const XmlDocument* alarmStatus, const XmlDocument* linkDefs,
                                                 const XmlDocument* zamDefs, TimeMs now) {
    std::vector<AlarmStatusRow> rows;
    if (!alarmStatus) return rows;
    const pugi::xml_node root = alarmStatus->root();
    if (!root || std::strcmp(root.name(), kAlarmStatusFile.rootName) != 0) return rows;
    for (pugi::xml_node e : root.children()) {
        if (std::strcmp(e.name(), "Alarm") == 0)
            rows.push_back(alarmRow(e, linkDefs, zamDefs, now));
        else if (std::strcmp(e.name(), "Group") == 0)
            rows.push_back(groupRow(e, zamDefs, now));
    }
    return rows;
}

AlarmStatusCounts countAlarmStatusRows(const std::vector<AlarmStatusRow>& rows) {
    AlarmStatusCounts counts;
    for (const AlarmStatusRow& row : rows) {
        ++(row.active ? counts.active : counts.reset);
        if (row.toReport) ++counts.toReport;
    }
    return counts;
}

}  // namespace zampo
