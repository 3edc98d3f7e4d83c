#include "logic/status/alarmstatusrows.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <unordered_map>

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

// The ZAM alarms by reference: the locations indexed once per refresh instead of
// a walk through the definitions per row. The first of equal codes counts, as in findZamAlarm.
class ZamAlarms {
public:
    explicit ZamAlarms(const XmlDocument* zamDefs) {
        if (!zamDefs) return;
        for (pugi::xml_node location : zamDefs->root().children("Location"))
            locations_.emplace(location.attribute("Code").value(), location);
    }
    pugi::xml_node find(std::string_view reference) const {
        const ZamAlarmCodes codes = splitZamAlarmRef(reference);
        const auto it = locations_.find(codes.location);
        if (it == locations_.end()) return {};
        return it->second.find_child_by_attribute("Alarm", "Code", codes.alarm.c_str());
    }
    // The reference with the alarm's name, when the definitions give it one. Many
    // rows share a reference, so each is worked out once.
    const std::string& named(const std::string& reference) const {
        auto [it, added] = named_.try_emplace(reference);
        if (added) {
            const char* name = find(reference).attribute("Name").value();
            it->second = *name ? reference + " " + name : reference;
        }
        return it->second;
    }

private:
    std::unordered_map<std::string, pugi::xml_node> locations_;
    mutable std::unordered_map<std::string, std::string> named_;
};

void fillCommon(AlarmStatusRow& row, pugi::xml_node e, TimeMs now) {
    row.active = std::strcmp(e.attribute("State").value(), kAlarmActive) == 0;
    row.stateText = row.active ? langText(207, "active") : langText(208, "reset");
    row.toReport = reportDue(e, now) != ReportDue::Nothing;
    row.error = e.attribute("Error").value();
    if (!row.error.empty()) row.errorText = errorMeaning(row.error);
    if (row.active && *e.attribute("repeat_at").value()) row.nextRepeat = stamp(e, "repeat_at");
}

AlarmStatusRow alarmRow(pugi::xml_node e, const LinkIndex* links, const ZamAlarms& zam, TimeMs now) {
    AlarmStatusRow row;
    row.pcu = e.attribute("pcu").value();
    row.location = e.attribute("location").value();
    row.nr = e.attribute("nr").value();
    row.text = e.attribute("text").value();
    fillCommon(row, e, now);
    row.since = stamp(e, "start");
    if (!row.toReport) row.reportedAt = stamp(e, "Sent");
    const Link link = links ? links->findForAlarm(e) : Link{};
    row.linked = link.found;
    row.zamAlarm = link.found ? zam.named(link.zamLocation + " - " + link.zamInput) : langText(209, "no link");
    if (!link.groupLocation.empty())
        row.zamGroup = zam.named(link.groupLocation + " - " + link.groupInput);
    else
        row.zamGroup = e.attribute("Group").value();  // as sent, when the link has changed since
    return row;
}

AlarmStatusRow groupRow(pugi::xml_node e, const ZamAlarms& zam, TimeMs now) {
    AlarmStatusRow row;
    row.group = true;
    row.location = langText(214, "Group alarm");
    row.text = e.attribute("Text").value();
    const std::string reference = e.attribute("ZamAlarm").value();
    row.zamGroup = zam.named(reference);
    row.linked = true;
    fillCommon(row, e, now);
    if (const auto timeout = stamp(e, "Timeout")) {
        // As getGroupDelay reads it: whole non-negative seconds, else none.
        const long long delay = std::max(0LL, zam.find(reference).attribute("GroupDelay").as_llong(0));
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
    rows.reserve(std::size_t(std::distance(alarmStatus->root().begin(), alarmStatus->root().end())));
    const pugi::xml_node root = alarmStatus->root();
    if (!root || std::strcmp(root.name(), kAlarmStatusFile.rootName) != 0) return rows;
    const ZamAlarms zam(zamDefs);
    std::optional<LinkIndex> links;
    if (linkDefs && zamDefs) links.emplace(*linkDefs);
    for (pugi::xml_node e : root.children()) {
        if (std::strcmp(e.name(), "Alarm") == 0)
            rows.push_back(alarmRow(e, links ? &*links : nullptr, zam, now));
        else if (std::strcmp(e.name(), "Group") == 0)
            rows.push_back(groupRow(e, zam, now));
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
