#include "logic/poclient/alarmmerge.h"

#include <cstring>
#include <optional>
#include <unordered_map>

#include "logic/linkconfig/linkdefs.h"
#include "logic/poclient/alarmstatus.h"
#include "logic/poclient/answertext.h"
#include "logic/texts/langtext.h"

namespace zampo {

namespace {

bool hasValue(pugi::xml_node node, const char* attr, const char* value) {
    pugi::xml_attribute a = node.attribute(attr);
    return a && std::strcmp(a.value(), value) == 0;
}

void setAttr(pugi::xml_node node, const char* name, const char* value) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a) a = node.append_attribute(name);
    a.set_value(value);
}

// The start an Alarm had before phase 1 reset it, so that an alarm that is still
// listed without a usable start of its own keeps the start it had.
using PriorStarts = std::unordered_map<pugi::xml_node_struct*, std::optional<std::string>>;

PriorStarts resetActiveAlarms(pugi::xml_node root, const std::string& nowText) {
    PriorStarts prior;
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element || std::strcmp(child.name(), "Alarm") != 0) continue;
        if (!hasValue(child, "State", kAlarmActive)) continue;
        pugi::xml_attribute start = child.attribute("start");
        prior.emplace(child.internal_object(), start ? std::optional<std::string>(start.value()) : std::nullopt);
        // A raise still unreported must not be swallowed by its reset.
        if (mustReport(child)) setAttr(child, kRaisePendingAttr, "1");
        setAttr(child, "State", kAlarmReset);
        pugi::xml_attribute sent = child.attribute("Sent");
        const std::string resetStart = sent ? formatStatusTime(readStatusTime(sent.value()) + kResetOffset) : nowText;
        setAttr(child, "start", resetStart.c_str());
    }
    return prior;
}

void restoreStart(pugi::xml_node alarm, const std::optional<std::string>& start) {
    if (start)
        setAttr(alarm, "start", start->c_str());
    else
        alarm.remove_attribute("start");
}

}  // namespace

AlarmMergeResult mergeActiveAlarms(std::string_view answer, DocumentSlot& alarmStatus, TimeMs now, LookupMode lookup) {
    AlarmMergeResult result;
    if (answer.empty()) {
        result.error = "the active-alarms answer is empty";
        result.fetchMessage = langText(34, "Error getting data from Priva Office");
        return result;
    }
    pugi::xml_document answerDoc;
    if (!parseAnswer(answer, answerDoc, result.error)) {
        result.error = "active alarms: " + result.error;
        result.fetchMessage = langText(34, "Error getting data from Priva Office");
        return result;
    }
    if (!alarmStatus || !alarmStatus->hasContent()) {
        result.error = "active alarms: the alarm status could not be read; nothing merged";
        return result;
    }

    pugi::xml_node root = alarmStatus->root();
    const std::string nowText = formatStatusTime(now);

    // Phase 1: everything active becomes reset.
    PriorStarts prior = resetActiveAlarms(root, nowText);

    const pugi::xml_node list = answerDoc.document_element();
    result.ok = true;
    result.listFound = std::strcmp(list.name(), "active-alarms") == 0;
    if (!result.listFound) return result;

    // Phase 2: everything listed becomes active.
    KeyedLookup known(root, "Alarm", {"pcu", "location", "nr"}, lookup);
    std::vector<std::string> key(3);
    for (pugi::xml_node item = list.first_child(); item; item = item.next_sibling()) {
        if (item.type() != pugi::node_element) continue;
        key[0] = item.attribute("pcu") ? item.attribute("pcu").value() : std::string(kUnreportedValue);
        key[1] = item.attribute("location") ? item.attribute("location").value() : std::string(kUnreportedValue);
        key[2] = item.attribute("nr") ? item.attribute("nr").value() : std::string(kUnreportedValue);
        const char* text = item.attribute("text").value();
        // A start that cannot be read as a time would never make the alarm reportable;
        // one in the future would swallow every later raise of the alarm.
        pugi::xml_attribute answerStart = item.attribute("start");
        const std::optional<TimeMs> answerTime = answerStart ? parseStatusTime(answerStart.value()) : std::nullopt;
        const TimeMs answerAt = answerTime.value_or(statusTimeZero());
        const bool future = answerTime && answerAt > now;
        const bool usableStart = answerTime && !future;
        auto takenAsFetchTime = [&](const char* why) {
            result.log.push_back("Start time \"" + std::string(answerStart.value()) + "\" of alarm " + key[0] + "," +
                                 key[1] + "," + key[2] + " " + why + "; taken as the time of the fetch");
        };

        pugi::xml_node alarm = known.find(key);
        if (!alarm) {
            alarm = root.append_child("Alarm");
            alarm.append_attribute("pcu") = key[0].c_str();
            alarm.append_attribute("location") = key[1].c_str();
            alarm.append_attribute("nr") = key[2].c_str();
            alarm.append_attribute("text") = text;
            alarm.append_attribute("start") = usableStart ? answerStart.value() : nowText.c_str();
            alarm.append_attribute("State") = kAlarmActive;
            alarm.append_attribute("Sent") = "";
            if (future) takenAsFetchTime("lies in the future");
            known.appended(alarm);
            ++result.added;
            continue;
        }
        // Taken out at the first sight, so that a later duplicate in the answer
        // does not undo what this one set.
        std::optional<std::optional<std::string>> startBeforeReset;
        if (auto it = prior.find(alarm.internal_object()); it != prior.end()) {
            startBeforeReset = std::move(it->second);
            prior.erase(it);
        }
        setAttr(alarm, "text", text);
        alarm.remove_attribute(kRaisePendingAttr);
        const bool returning = !startBeforeReset && !hasValue(alarm, "State", kAlarmActive);
        if (returning) {
            // Listed again after its reset: a new raise, whatever start it comes with.
            if (usableStart && answerAt > readStatusTime(alarm, "Sent")) {
                setAttr(alarm, "start", answerStart.value());
            } else {
                if (answerTime) takenAsFetchTime(future ? "lies in the future" : "is not later than its last report");
                setAttr(alarm, "start", nowText.c_str());
            }
        } else if (usableStart) {
            if (std::strcmp(answerStart.value(), alarm.attribute("start").value()) != 0)
                setAttr(alarm, "start", answerStart.value());
        } else if (startBeforeReset) {
            // Still active: nothing new to report.
            restoreStart(alarm, *startBeforeReset);
        }
        setAttr(alarm, "State", kAlarmActive);
    }
    return result;
}

}  // namespace zampo
