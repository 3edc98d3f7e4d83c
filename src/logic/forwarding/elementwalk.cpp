#include "logic/forwarding/elementwalk.h"

#include <cstring>
#include <functional>
#include <optional>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/encoding/encoding.h"
#include "logic/language/langtext.h"
#include "logic/linkconfig/linkdefs.h"
#include "logic/linkconfig/zamdefs.h"
#include "logic/receiver/messages.h"

namespace zampo {

namespace {

constexpr int kConfigErrorInput = 9;
constexpr int32_t kMaxSends = 3;

bool attrIs(pugi::xml_node e, const char* name, const char* value) {
    return std::strcmp(e.attribute(name).value(), value) == 0;
}

bool isNamed(pugi::xml_node e, const char* name) {
    return std::strcmp(e.name(), name) == 0;
}

void setAttr(pugi::xml_node e, const char* name, const std::string& value) {
    pugi::xml_attribute a = e.attribute(name);
    if (!a) a = e.append_attribute(name);
    a.set_value(value.c_str());
}

// Copying an attribute the element lacks removes the target: a Group has no start.
void copyAttr(pugi::xml_node e, const char* to, const char* from) {
    pugi::xml_attribute source = e.attribute(from);
    if (source)
        setAttr(e, to, source.value());
    else
        e.remove_attribute(to);
}

// A ZAM code as written in a reference: digits, blanks around them allowed.
std::optional<int> codeValue(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (text.size() > 4) return std::nullopt;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

// Non-negative whole minutes; anything else counts as no repetition.
int repeatMinutes(std::string_view text) {
    if (text.empty() || text.size() > 9) return 0;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + (c - '0');
    }
    return v;
}

pugi::xml_node nextElement(pugi::xml_node e) {
    pugi::xml_node n = e.next_sibling();
    while (n && n.type() != pugi::node_element) n = n.next_sibling();
    return n;
}

pugi::xml_node childElementAt(pugi::xml_node root, int32_t index) {
    if (index < 0) return {};
    for (pugi::xml_node c : root.children()) {
        if (c.type() != pugi::node_element) continue;
        if (index-- == 0) return c;
    }
    return {};
}

std::string alarmKey(pugi::xml_node alarm) {
    return std::string(alarm.attribute("pcu").value()) + "," + alarm.attribute("location").value() + "," +
           alarm.attribute("nr").value();
}

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

namespace {

// The link rule over any way of finding the elements it names: general exception
// first, then the location and its own exception. Repeat only with zamDefs.
Link resolveLink(pugi::xml_node locations, pugi::xml_node general,
                 const std::function<pugi::xml_node(std::string_view)>& findGeneral,
                 const std::function<pugi::xml_node(std::string_view, std::string_view)>& findLocation,
                 const XmlDocument* zamDefs, std::string_view pcu, std::string_view location, std::string_view nr) {
    Link link;
    if (!locations) return link;

    std::string zamRef, groupRef;
    if (general) {
        const pugi::xml_node except = findGeneral(nr);
        zamRef = except.attribute("zam_alarm").value();
        groupRef = except.attribute("zam_group").value();
        if (!zamRef.empty()) {
            link.rule = LinkRule::GeneralException;
            link.element = except;
        }
    }
    if (zamRef.empty()) {
        const pugi::xml_node loc = findLocation(pcu.empty() ? kUnreportedValue : pcu, location);
        if (!loc) return link;
        link.rule = LinkRule::LocationLink;
        link.element = loc;
        zamRef = loc.attribute("zam_alarm").value();
        // An unlinked general exception's group stays unless the location names one.
        if (*loc.attribute("zam_group").value() != '\0') groupRef = loc.attribute("zam_group").value();
        // Most locations have no exceptions at all.
        const pugi::xml_node except =
            loc.first_child() ? searchNode(loc, "Except", {"nr"}, {std::string(nr)}) : pugi::xml_node();
        if (except) {
            link.rule = LinkRule::LocationException;
            link.element = except;
            zamRef = except.attribute("zam_alarm").value();
            groupRef = except.attribute("zam_group").value();
        }
    }

    if (isDefinedLinkValue(groupRef)) {
        const std::string groupLocation = utf8Substr(groupRef, 0, 4), groupInput = utf8Substr(groupRef, 7, 2);
        if (codeValue(groupLocation) && codeValue(groupInput)) {
            link.groupLocation = groupLocation;
            link.groupInput = groupInput;
        } else {
            link.unusableGroup = groupRef;
        }
    }
    if (!isDefinedLinkValue(zamRef)) return link;
    link.found = true;
    link.zamLocation = utf8Substr(zamRef, 0, 4);
    link.zamInput = utf8Substr(zamRef, 7, 2);
    if (zamDefs) link.repeat = getRepeat(*zamDefs, zamRef);
    return link;
}

// The link of an alarm by its names as stored first: the definitions merge stores
// them that way, so a location with a blank in its name can be linked at all.
// Links made for the names without their first blank still count.
template <typename Find>
Link storedNamesFirst(const Find& find, std::string_view pcu, std::string_view location, std::string_view nr) {
    Link link = find(pcu, location, nr);
    if (!link.found) link = find(removeFirstBlank(pcu), removeFirstBlank(location), removeFirstBlank(nr));
    return link;
}

}  // namespace

Link findLink(const XmlDocument& linkDefs, const XmlDocument& zamDefs, std::string_view pcu, std::string_view location,
              std::string_view nr) {
    const pugi::xml_node root = linkDefs.root();
    if (!root) return {};
    const pugi::xml_node locations = searchNode(root, "PO_Locations");
    const pugi::xml_node general = searchNode(root, "PO_Exceptions");
    return resolveLink(
        locations, general, [&](std::string_view n) { return searchNode(general, "Except", {"nr"}, {std::string(n)}); },
        [&](std::string_view p, std::string_view l) {
            return searchNode(locations, "PO_loc", {"pcu", "text"}, {std::string(p), std::string(l)});
        },
        &zamDefs, pcu, location, nr);
}

LinkIndex::LinkIndex(const XmlDocument& linkDefs) {
    const pugi::xml_node root = linkDefs.root();
    if (!root) return;
    locations_ = searchNode(root, "PO_Locations");
    general_ = searchNode(root, "PO_Exceptions");
    if (locations_) locationIndex_.emplace(locations_, "PO_loc", std::vector<std::string>{"pcu", "text"});
    if (general_) generalIndex_.emplace(general_, "Except", std::vector<std::string>{"nr"});
}

Link LinkIndex::find(std::string_view pcu, std::string_view location, std::string_view nr) const {
    return resolveLink(
        locations_, general_, [&](std::string_view n) { return generalIndex_->find({n}); },
        [&](std::string_view p, std::string_view l) {
            return locationIndex_->find({p, l});
        },
        nullptr, pcu, location, nr);
}

Link LinkIndex::findForAlarm(pugi::xml_node alarm) const {
    return findForAlarm(alarm.attribute("pcu").value(), alarm.attribute("location").value(),
                        alarm.attribute("nr").value());
}

Link LinkIndex::findForAlarm(std::string_view pcu, std::string_view location, std::string_view nr) const {
    return storedNamesFirst([this](auto... names) { return find(names...); }, pcu, location, nr);
}

Link findAlarmLink(const XmlDocument& linkDefs, const XmlDocument& zamDefs, pugi::xml_node alarm) {
    return storedNamesFirst([&](auto... names) { return findLink(linkDefs, zamDefs, names...); },
                            alarm.attribute("pcu").value(), alarm.attribute("location").value(),
                            alarm.attribute("nr").value());
}

void updateGroup(XmlDocument& alarmStatus, const XmlDocument& zamDefs, std::string_view groupLocation,
                 std::string_view groupInput, std::string_view text, bool reset, TimeMs now) {
    if (utf8CharCount(groupLocation) != 4) return;
    const std::optional<int> location = codeValue(groupLocation), input = codeValue(groupInput);
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
        setAttr(group, "Text", std::string(text));
        setAttr(group, "State", kAlarmActive);
        return;
    }
    if (group.attribute("State")) {
        if (attrIs(group, "State", kAlarmReset)) {
            setAttr(group, "Timeout", timeout);
            setAttr(group, "Text", std::string(text));
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

std::string filterPunctuation(std::string_view text, bool enabled) {
    if (!enabled) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (std::strchr("\",-.<>_", c) == nullptr || c == '\0') out.push_back(c);
    return out;
}

std::string removeFirstBlank(std::string_view text) {
    std::string out(text);
    const auto blank = out.find(' ');
    if (blank != std::string::npos) out.erase(blank, 1);
    return out;
}

std::string linkedAlarmText(std::string_view pcu, std::string_view location, std::string_view text, bool groupMember,
                            TextOptions options, std::string* groupText) {
    const bool punct = options.filterPunctuation;
    std::string out;
    if (options.sendPcuNames) out = filterPunctuation(removeFirstBlank(pcu), punct) + " ";
    out += filterPunctuation(removeFirstBlank(location), punct) + " " + filterPunctuation(text, punct);
    if (groupText) *groupText = out;
    if (groupMember) out = langText(103, "PreAlarm") + ": " + out;
    return out;
}

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
    switch (dueFor(e, now, &out.log)) {
        case ReportDue::Nothing:
            break;
        case ReportDue::Change:
            if (isNamed(e, "Alarm"))
                out.log.insert(out.log.begin(), langText(90, "Alarm status changed") + ": " + alarmKey(e));
            else if (attrIs(e, "State", kAlarmActive))
                out.log.push_back(langText(104, "Group timeout passed"));
            report();
            break;
        case ReportDue::Repeat:
            out.log.push_back(isNamed(e, "Alarm") ? langText(109, "Repeat Alarm") + ": " + alarmKey(e)
                                                  : langText(110, "Repeat group"));
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
        out.log.push_back(langText(105, "Alarm not accepted by ZamMeld!"));
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
        out.log.push_back(langText(106, "No definition found for alarm: ") + e.attribute("location").value() + ", " +
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
        setAttr(e, "Group", zamAlarmRef(*codeValue(link.groupLocation), *codeValue(link.groupInput)));
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
    const bool isAlarm = isNamed(e, "Alarm");

    if (isAlarm) {
        // With the names as stored: a name with blanks may resolve otherwise than when sent.
        const Link link = findLink(docs.linkDefs, docs.zamDefs, e.attribute("pcu").value(),
                                   e.attribute("location").value(), e.attribute("nr").value());
        cycle.currentRepeat = link.found && link.groupInput.empty() ? link.repeat : 0;
    } else {
        cycle.currentRepeat = repeatMinutes(e.attribute("repeat").value());
        if (cycle.currentRepeat > 0 && !groupHasActiveMember(docs.alarmStatus, e.attribute("ZamAlarm").value()))
            cycle.currentRepeat = 0;
    }
    auto markRepeat = [&] {
        setAttr(e, "repeat_at",
                cycle.currentRepeat == 0 ? std::string()
                                         : formatStatusTime(now + std::chrono::minutes(cycle.currentRepeat)));
    };
    // Done with the element, successfully or not; the element counts as reported.
    auto finish = [&](const char* error) {
        if (error) {
            out.errorMark = error[0] - '0';
            setAttr(e, "Error", error);
            copyAttr(e, "ErrDt", "start");
        }
        out.changed = true;
        out.next = CycleStep::Examine;
        if (isAlarm) pugi::xml_node(e).remove_attribute(kGroupCountedAttr);
        if (const int pending = isAlarm ? pendingChanges(e) : 0; pending > 0) {
            // That change is done with; the next one of the same element follows.
            setPendingChanges(e, pending - 1);
            return;
        }
        ++cycle.elementIndex;
        cycle.next = nextElement(e);
        if (isAlarm || error)
            copyAttr(e, "Sent", "start");
        else
            setAttr(e, "Sent", formatStatusTime(now));
        markRepeat();
    };

    if (!answer.received) {
        // No answer: give up on the element. Moving on also for a group, which
        // is then reported again at the next pass, keeps a silent ZamMeld from
        // holding the loop on one group for ever.
        if (answer.timeUp)
            finish("3");
        else
            out.next = CycleStep::AwaitAnswer;
        return out;
    }
    switch (classifyReply(answer.reply)) {
        case ReplyKind::Accepted:
            finish(nullptr);
            break;
        case ReplyKind::Refused:
            if (cycle.retryCount >= kMaxSends) {
                finish("2");
            } else {
                setAttr(e, "Error", "1");
                out.errorMark = 1;
                copyAttr(e, "ErrDt", "start");
                cycle.notAccepted = true;
                out.changed = true;
                out.next = CycleStep::Send;
            }
            break;
        case ReplyKind::Unrecognised:
            if (cycle.retryCount >= kMaxSends)
                finish("2");
            else
                out.next = CycleStep::Send;
            break;
    }
    return out;
}

}  // namespace zampo
