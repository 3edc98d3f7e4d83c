#include "logic/poclient/alarmmerge.h"

#include <iterator>
#include <optional>
#include <unordered_map>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/linkconfig/linkdefs.h"
#include "logic/poclient/answertext.h"
#include "logic/xml/xmlnodes.h"

namespace zampo {

namespace {

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
        setAttr(node, name, *value);
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
        if (!isElement(child) || !isNamed(child, "Alarm")) continue;
        if (!attrIs(child, "State", kAlarmActive)) continue;
        Prior before{attrValue(child, "start"), attrValue(child, kPoStartAttr), pendingChanges(child)};
        // A raise still unreported must not be swallowed by its reset.
        const int pending = before.pending + (mustReport(child) ? 1 : 0);
        prior.emplace(child.internal_object(), std::move(before));
        setAttr(child, "State", kAlarmReset);
        pugi::xml_attribute sent = child.attribute("Sent");
        const std::string resetStart = sent ? formatStatusTime(readStatusTime(sent.value()) + kResetOffset) : nowText;
        setAttr(child, "start", resetStart);
        child.remove_attribute(kPoStartAttr);
        setPending(child, pending);
    }
    return prior;
}

// One item of the answer's list as the merge reads it; read again for each item,
// so that its strings keep their storage.
struct ListedAlarm {
    std::vector<std::string> key = std::vector<std::string>(3);  // pcu, location, nr; the placeholder when not reported
    const char* text = "";
    pugi::xml_attribute start;
    // A start that cannot be read as a time would never make the alarm reportable;
    // one in the future would swallow every later raise of the alarm.
    std::optional<TimeMs> time;
    bool future = false;
    bool usable = false;  // read, and not in the future

    void read(pugi::xml_node item, TimeMs now) {
        static constexpr const char* kKeyNames[] = {"pcu", "location", "nr"};
        for (std::size_t k = 0; k < std::size(kKeyNames); ++k) {
            if (pugi::xml_attribute a = item.attribute(kKeyNames[k]))
                key[k] = a.value();
            else
                key[k] = kUnreportedValue;
        }
        text = item.attribute("text").value();
        start = item.attribute("start");
        time = start ? parseStatusTime(start.value()) : std::nullopt;
        future = time && *time > now;
        usable = time && !future;
    }
    TimeMs at() const { return time.value_or(statusTimeZero()); }
};

// Phase 2: everything listed becomes active again, the unknown appended.
class ListMerge {
public:
    ListMerge(pugi::xml_node root, TimeMs now, LookupMode lookup, PriorAlarms& prior, AlarmMergeResult& result)
        : root_(root),
          nowText_(formatStatusTime(now)),
          now_(now),
          known_(root, "Alarm", {"pcu", "location", "nr"}, lookup),
          prior_(prior),
          result_(result) {}

    void take(pugi::xml_node item) {
        listed_.read(item, now_);
        const ListedAlarm& listed = listed_;
        pugi::xml_node alarm = known_.find(listed.key);
        if (!alarm) {
            append(listed);
            return;
        }
        // Taken out at the first sight, so that a later duplicate in the answer
        // does not undo what this one set.
        std::optional<Prior> before;
        if (auto it = prior_.find(alarm.internal_object()); it != prior_.end()) {
            before = std::move(it->second);
            prior_.erase(it);
        }
        setAttr(alarm, "text", listed.text);
        if (!before && !attrIs(alarm, "State", kAlarmActive))
            raiseAgain(alarm, listed);
        else
            keepActive(alarm, listed, before);
    }

private:
    void logFetchTime(const ListedAlarm& listed, const char* why) {
        result_.log.push_back("Start time \"" + std::string(listed.start.value()) + "\" of alarm " + listed.key[0] +
                              "," + listed.key[1] + "," + listed.key[2] + " " + why +
                              "; taken as the time of the fetch");
    }

    void append(const ListedAlarm& listed) {
        pugi::xml_node alarm = root_.append_child("Alarm");
        alarm.append_attribute("pcu") = listed.key[0].c_str();
        alarm.append_attribute("location") = listed.key[1].c_str();
        alarm.append_attribute("nr") = listed.key[2].c_str();
        alarm.append_attribute("text") = listed.text;
        alarm.append_attribute("start") = listed.usable ? listed.start.value() : nowText_.c_str();
        alarm.append_attribute("State") = kAlarmActive;
        alarm.append_attribute("Sent") = "";
        if (listed.future) {
            logFetchTime(listed, "lies in the future");
            alarm.append_attribute(kPoStartAttr) = listed.start.value();
        }
        known_.appended(alarm);
        ++result_.added;
    }

    // Priva Office's start as the gateway chose another one for it.
    void substituteStart(pugi::xml_node alarm, const ListedAlarm& listed, const char* why) {
        if (listed.time) {
            logFetchTime(listed, why);
            setAttr(alarm, kPoStartAttr, listed.start.value());
        } else {
            alarm.remove_attribute(kPoStartAttr);
        }
        setAttr(alarm, "start", nowText_);
    }

    // Listed again after its reset: a new raise, whatever start it comes with. A
    // reset ZamMeld has not had yet goes out before it.
    void raiseAgain(pugi::xml_node alarm, const ListedAlarm& listed) {
        const int pending = pendingChanges(alarm) + (mustReport(alarm) ? 1 : 0);
        if (listed.usable && listed.at() > readStatusTime(alarm, "Sent")) {
            setAttr(alarm, "start", listed.start.value());
            alarm.remove_attribute(kPoStartAttr);
        } else {
            substituteStart(alarm, listed, listed.future ? "lies in the future" : "is not later than its last report");
        }
        setAttr(alarm, "State", kAlarmActive);
        setPending(alarm, pending);
    }

    // Still active: a new occurrence only when Priva Office's start changed. A
    // start that is missing or unreadable tells nothing new.
    void keepActive(pugi::xml_node alarm, const ListedAlarm& listed, const std::optional<Prior>& before) {
        const std::string poBefore =
            before ? before->priorPoStart() : attrValue(alarm, kPoStartAttr).value_or(alarm.attribute("start").value());
        const bool sameOccurrence = !listed.time || poBefore == listed.start.value();
        if (sameOccurrence) {
            if (before) {
                setOrRemove(alarm, "start", before->start);
                setOrRemove(alarm, kPoStartAttr, before->poStart);
            }
        } else if (listed.usable) {
            setAttr(alarm, "start", listed.start.value());
            alarm.remove_attribute(kPoStartAttr);
        } else {
            substituteStart(alarm, listed, "lies in the future");
        }
        setAttr(alarm, "State", kAlarmActive);
        if (before) setPending(alarm, before->pending);
    }

    pugi::xml_node root_;
    const std::string nowText_;
    const TimeMs now_;
    KeyedLookup known_;
    PriorAlarms& prior_;
    AlarmMergeResult& result_;
    ListedAlarm listed_;
};

}  // namespace

AlarmMergeResult mergeActiveAlarms(std::string_view answer, DocumentSlot& alarmStatus, TimeMs now, LookupMode lookup) {
    AlarmMergeResult result;
    pugi::xml_document answerDoc;
    if (!readMergeAnswer(answer, alarmStatus, {"active-alarms", "active alarms", "the alarm status"}, answerDoc,
                         result.error, result.fetchMessage))
        return result;

    pugi::xml_node root = alarmStatus->root();
    // Phase 1: everything active becomes reset.
    PriorAlarms prior = resetActiveAlarms(root, formatStatusTime(now));

    const pugi::xml_node list = answerDoc.document_element();
    result.ok = true;
    result.listFound = isNamed(list, "active-alarms");
    if (!result.listFound) return result;

    ListMerge merge(root, now, lookup, prior, result);
    for (pugi::xml_node item = list.first_child(); item; item = item.next_sibling())
        if (isElement(item)) merge.take(item);
    return result;
}

}  // namespace zampo
