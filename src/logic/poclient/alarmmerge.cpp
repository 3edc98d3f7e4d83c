#include "logic/poclient/alarmmerge.h"

#include <cstring>
#include <optional>
#include <unordered_map>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/language/langtext.h"
#include "logic/linkconfig/linkdefs.h"
#include "logic/poclient/answertext.h"

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

// Changes ZamMeld has not had yet, kept for an alarm that flaps while ZamMeld is
// away; beyond this a raise and the reset after it are dropped as a pair, so
// that what ZamMeld gets still alternates and ends in the present state.
constexpr int kMaxPendingChanges = 64;

std::optional<std::string> attrValue(pugi::xml_node node, const char* name) {
    pugi::xml_attribute a = node.attribute(name);
    return a ? std::optional<std::string>(a.value()) : std::nullopt;
}

void setOrRemove(pugi::xml_node node, const char* name, const std::optional<std::string>& value) {
    if (value)
        setAttr(node, name, value->c_str());
    else
        node.remove_attribute(name);
}

void setPending(pugi::xml_node alarm, int count) {
    if (count > kMaxPendingChanges) count -= 2;
    setPendingChanges(alarm, count);
}

// What an active Alarm was before phase 1 reset it, so that an alarm still listed
// as the same occurrence comes out of the merge as it went in.
struct Prior {
    std::optional<std::string> start, poStart;
    int pending = 0;
    // The start Priva Office gave for the occurrence.
    std::string priorPoStart() const { return poStart ? *poStart : start.value_or(std::string()); }
};
using PriorAlarms = std::unordered_map<pugi::xml_node_struct*, Prior>;

PriorAlarms resetActiveAlarms(pugi::xml_node root, const std::string& nowText) {
    PriorAlarms prior;
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element || std::strcmp(child.name(), "Alarm") != 0) continue;
        if (!hasValue(child, "State", kAlarmActive)) continue;
        Prior before{attrValue(child, "start"), attrValue(child, kPoStartAttr), pendingChanges(child)};
        // A raise still unreported must not be swallowed by its reset.
        const int pending = before.pending + (mustReport(child) ? 1 : 0);
        prior.emplace(child.internal_object(), std::move(before));
        setAttr(child, "State", kAlarmReset);
        pugi::xml_attribute sent = child.attribute("Sent");
        const std::string resetStart = sent ? formatStatusTime(readStatusTime(sent.value()) + kResetOffset) : nowText;
        setAttr(child, "start", resetStart.c_str());
        child.remove_attribute(kPoStartAttr);
        setPending(child, pending);
    }
    return prior;
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
    PriorAlarms prior = resetActiveAlarms(root, nowText);

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
            if (future) {
                takenAsFetchTime("lies in the future");
                alarm.append_attribute(kPoStartAttr) = answerStart.value();
            }
            known.appended(alarm);
            ++result.added;
            continue;
        }
        // Taken out at the first sight, so that a later duplicate in the answer
        // does not undo what this one set.
        std::optional<Prior> before;
        if (auto it = prior.find(alarm.internal_object()); it != prior.end()) {
            before = std::move(it->second);
            prior.erase(it);
        }
        setAttr(alarm, "text", text);
        // Priva Office's start as the gateway chose another one for it.
        auto substitute = [&](const char* why) {
            if (answerTime) {
                takenAsFetchTime(why);
                setAttr(alarm, kPoStartAttr, answerStart.value());
            } else {
                alarm.remove_attribute(kPoStartAttr);
            }
            setAttr(alarm, "start", nowText.c_str());
        };
        const bool returning = !before && !hasValue(alarm, "State", kAlarmActive);
        if (returning) {
            // Listed again after its reset: a new raise, whatever start it comes with.
            // A reset ZamMeld has not had yet goes out before it.
            const int pending = pendingChanges(alarm) + (mustReport(alarm) ? 1 : 0);
            if (usableStart && answerAt > readStatusTime(alarm, "Sent")) {
                setAttr(alarm, "start", answerStart.value());
                alarm.remove_attribute(kPoStartAttr);
            } else {
                substitute(future ? "lies in the future" : "is not later than its last report");
            }
            setAttr(alarm, "State", kAlarmActive);
            setPending(alarm, pending);
            continue;
        }
        // Still active: a new occurrence only when Priva Office's start changed. A
        // start that is missing or unreadable tells nothing new.
        const std::string poBefore =
            before ? before->priorPoStart() : attrValue(alarm, kPoStartAttr).value_or(alarm.attribute("start").value());
        const bool sameOccurrence = !answerTime || poBefore == answerStart.value();
        if (sameOccurrence) {
            if (before) {
                setOrRemove(alarm, "start", before->start);
                setOrRemove(alarm, kPoStartAttr, before->poStart);
            }
        } else if (usableStart) {
            setAttr(alarm, "start", answerStart.value());
            alarm.remove_attribute(kPoStartAttr);
        } else {
            substitute("lies in the future");
        }
        setAttr(alarm, "State", kAlarmActive);
        if (before) setPending(alarm, before->pending);
    }
    return result;
}

}  // namespace zampo
