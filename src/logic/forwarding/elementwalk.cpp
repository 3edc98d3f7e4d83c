#include "logic/forwarding/elementwalk.h"

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/encoding/textrules.h"
#include "logic/forwarding/groupalarms.h"
#include "logic/forwarding/reportrule.h"
#include "logic/language/langtext.h"
#include "logic/linkconfig/linkdefs.h"
#include "logic/linkconfig/linklookup.h"
#include "logic/receiver/messages.h"
#include "logic/xml/xmlnodes.h"

namespace zampo {

namespace {

constexpr int kConfigErrorInput = 9;
constexpr int32_t kMaxSends = 3;

// Non-negative whole minutes; anything else counts as no repetition.
int repeatMinutes(std::string_view text) {
    if (text.size() > 9) return 0;
    return static_cast<int>(parseDecimal(text).value_or(0));
}

// The repeat interval of the current element once it is reported: its ZAM alarm's
// for an alarm outside a group, a group's own while some member is active.
int32_t repeatOnceReported(pugi::xml_node e, const CycleDocuments& docs) {
    if (isNamed(e, "Alarm")) {
        // With the names as stored: a name with blanks may resolve otherwise than when sent.
        const Link link = findLink(docs.linkDefs, docs.zamDefs, e.attribute("pcu").value(),
                                   e.attribute("location").value(), e.attribute("nr").value());
        return link.found && link.groupInput.empty() ? link.repeat : 0;
    }
    const int32_t repeat = repeatMinutes(e.attribute("repeat").value());
    if (repeat > 0 && !groupHasActiveMember(docs.alarmStatus, e.attribute("ZamAlarm").value())) return 0;
    return repeat;
}

void setErrorMark(pugi::xml_node e, ErrorMark mark, CycleOutcome& out) {
    out.errorMark = mark;
    setAttr(e, "Error", errorMarkText(mark));
    copyAttr(e, "ErrDt", "start");
}

// Done with the current element, successfully (no mark) or not; the element
// counts as reported.
void finishElement(ElementCycle& cycle, CycleOutcome& out, ErrorMark mark, TimeMs now) {
    pugi::xml_node e = cycle.current;
    const bool isAlarm = isNamed(e, "Alarm");
    if (mark != ErrorMark::None) setErrorMark(e, mark, out);
    out.changed = true;
    out.next = CycleStep::Examine;
    if (isAlarm) e.remove_attribute(kGroupCountedAttr);
    if (const int pending = isAlarm ? pendingChanges(e) : 0; pending > 0) {
        // That change is done with; the next one of the same element follows.
        setPendingChanges(e, pending - 1);
        return;
    }
    ++cycle.elementIndex;
    cycle.next = nextElement(e);
    if (isAlarm || mark != ErrorMark::None)
        copyAttr(e, "Sent", "start");
    else
        setAttr(e, "Sent", formatStatusTime(now));
    setAttr(
        e, "repeat_at",
        cycle.currentRepeat == 0 ? std::string() : formatStatusTime(now + std::chrono::minutes(cycle.currentRepeat)));
}

}  // namespace

CycleOutcome examineNext(ElementCycle& cycle, const CycleDocuments& docs, TimeMs now) {
    CycleOutcome out;
    cycle.current = {};
    cycle.retryCount = 0;
    cycle.undelivered = 0;
    const pugi::xml_node root = docs.alarmStatus.root();
    pugi::xml_node e;
    if (root && isNamed(root, kAlarmStatusFile.rootName))
        e = cycle.next && cycle.elementIndex > 0 ? cycle.next : childElementAt(root, cycle.elementIndex);
    cycle.next = e;
    if (!e) {
        out.next = CycleStep::Finished;
        return out;
    }
    auto report = [&] {
        cycle.current = e;
        out.next = CycleStep::Send;
    };
    auto clearRepeat = [&] {
        setAttr(e, "repeat_at", "");
        out.changed = true;
    };

    if (isNamed(e, "Alarm") || isNamed(e, "Group")) cycle.notAccepted = false;
    switch (reportDue(e, now, out.log)) {
        case ReportDue::Nothing:
            break;
        case ReportDue::Change:
            if (isNamed(e, "Alarm"))
                out.log.insert(out.log.begin(), langText(TextId::AlarmStatusChanged) + ": " + alarmKey(e));
            else if (attrIs(e, "State", kAlarmActive))
                out.log.push_back(langText(TextId::GroupTimeoutPassed));
            report();
            break;
        case ReportDue::Repeat:
            out.log.push_back(isNamed(e, "Alarm") ? langText(TextId::AlarmRepeated) + ": " + alarmKey(e)
                                                  : langText(TextId::GroupRepeated));
            clearRepeat();
            report();
            break;
    }
    if (out.next != CycleStep::Send) {
        ++cycle.elementIndex;
        cycle.next = nextElement(e);
    }
    return out;
}

CycleOutcome sendForCurrent(ElementCycle& cycle, const CycleDocuments& docs, TextOptions options, TimeMs now) {
    CycleOutcome out;
    const pugi::xml_node e = cycle.current;
    if (!e) return out;  // nothing chosen: examine again
    ++cycle.retryCount;
    out.next = CycleStep::AwaitAnswer;
    out.resend = cycle.retryCount > 1 || cycle.undelivered > 0;

    if (cycle.notAccepted) {
        out.log.push_back(langText(TextId::AlarmNotAccepted));
        out.message = systemAlarmMessage(kConfigErrorInput, true);
        return out;
    }
    if (isNamed(e, "Group")) {
        out.group = true;
        out.message = groupAlarmMessage(e.attribute("ZamAlarm").value(), attrIs(e, "State", kAlarmReset),
                                        e.attribute("Text").value());
        return out;
    }

    const Link link = findAlarmLink(docs.linkDefs, docs.zamDefs, e);
    if (!link.found) {
        out.log.push_back(langText(TextId::NoDefinitionForAlarm) + e.attribute("location").value() + ", " +
                          e.attribute("nr").value());
        out.message = systemAlarmMessage(kConfigErrorInput, true);
        return out;
    }
    if (!link.unusableGroup.empty())
        out.log.push_back("Group reference \"" + link.unusableGroup +
                          "\" is not a number; alarm sent without group: " + alarmKey(e));

    // Changes overtaken by later ones go out first, in the order they happened.
    const bool reset = nextReportIsReset(e);
    std::string groupText;
    const std::string text =
        linkedAlarmText(e.attribute("pcu").value(), e.attribute("location").value(), e.attribute("text").value(),
                        !link.groupLocation.empty(), options, &groupText);
    out.message = linkedAlarmMessage(link.zamLocation, link.zamInput, reset ? 'R' : 'T', text);

    // Once per change: a send repeated, in this walk or a later one, must not count
    // the member again (that would empty the text of a group not yet reported and
    // report one already reported once more).
    if (!link.groupLocation.empty() && !e.attribute(kGroupCountedAttr)) {
        setAttr(e, "Group", zamAlarmRef(*zamCodeValue(link.groupLocation), *zamCodeValue(link.groupInput)));
        updateGroup(docs.alarmStatus, docs.zamDefs, link.groupLocation, link.groupInput, groupText, reset, now);
        setAttr(e, kGroupCountedAttr, "1");
    }
    out.changed = true;
    return out;
}

CycleOutcome undelivered(ElementCycle& cycle) {
    CycleOutcome out;
    const pugi::xml_node e = cycle.current;
    if (!e) return out;
    --cycle.retryCount;  // no attempt: the retry limit counts answers only
    if (++cycle.undelivered < 2) {
        out.next = CycleStep::Send;
        return out;
    }
    const std::string what = isNamed(e, "Alarm") ? alarmKey(e) : std::string(e.attribute("ZamAlarm").value());
    out.log.push_back("ZamMeld not reached; " + what + " and what follows wait until it can be reached");
    out.next = CycleStep::Finished;
    return out;
}

CycleOutcome evaluateAnswer(ElementCycle& cycle, const CycleDocuments& docs, const Answer& answer, TimeMs now) {
    CycleOutcome out;
    const pugi::xml_node e = cycle.current;
    if (!e) return out;
    cycle.currentRepeat = repeatOnceReported(e, docs);

    if (!answer.received) {
        // No answer: give up on the element. Moving on also for a group, which
        // is then reported again at the next pass, keeps a silent ZamMeld from
        // holding the loop on one group for ever.
        if (answer.timeUp)
            finishElement(cycle, out, ErrorMark::NoAnswer, now);
        else
            out.next = CycleStep::AwaitAnswer;
        return out;
    }
    const bool lastSend = cycle.retryCount >= kMaxSends;
    switch (classifyReply(answer.reply)) {
        case ReplyKind::Accepted:
            finishElement(cycle, out, ErrorMark::None, now);
            break;
        case ReplyKind::Refused:
            if (lastSend) {
                finishElement(cycle, out, ErrorMark::NotAccepted, now);
            } else {
                setErrorMark(e, ErrorMark::Refused, out);
                cycle.notAccepted = true;
                out.changed = true;
                out.next = CycleStep::Send;
            }
            break;
        case ReplyKind::Unrecognised:
            if (lastSend)
                finishElement(cycle, out, ErrorMark::NotAccepted, now);
            else
                out.next = CycleStep::Send;
            break;
    }
    return out;
}

}  // namespace zampo
