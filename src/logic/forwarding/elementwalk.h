#pragma once
// What the main loop decides for the elements of the alarm status document: which
// must be reported to ZamMeld, what is sent for them, how group alarms are kept and
// how ZamMeld's answer is written back. Pure rules over the documents; the loop
// logs, sends and saves what they return.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "logic/core/clock.h"
#include "logic/xml/firstmatchindex.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

// Which element of the link definitions decided a lookup.
enum class LinkRule { None, GeneralException, LocationException, LocationLink };

// How a Priva Office alarm resolves to a ZAM alarm through the link definitions.
struct Link {
    bool found = false;
    std::string zamLocation;  // characters 1-4 of the reference, as stored
    std::string zamInput;     // characters 8-9
    // Of the group reference; both empty when the link names no usable group.
    std::string groupLocation;
    std::string groupInput;
    int repeat = 0;  // minutes, of the ZAM alarm; only set when found
    // A group reference of nine characters whose codes are not numbers. It cannot
    // name a group, so the link is used without one; the caller logs it.
    std::string unusableGroup;
    // The element whose ZAM alarm was taken (or, for a location without one, the
    // location); kept for explaining a route.
    LinkRule rule = LinkRule::None;
    pugi::xml_node element;
};

// General exception first, then the location and its own exception. An empty pcu
// looks for the placeholder of an unreported PCU name.
Link findLink(const XmlDocument& linkDefs, const XmlDocument& zamDefs, std::string_view pcu, std::string_view location,
              std::string_view nr);

// findLink for many alarms at once: the link definitions indexed once, each
// lookup without a walk through them. Leaves Link::repeat at 0.
class LinkIndex {
public:
    explicit LinkIndex(const XmlDocument& linkDefs);
    Link find(std::string_view pcu, std::string_view location, std::string_view nr) const;
    // As findAlarmLink.
    Link findForAlarm(pugi::xml_node alarm) const;
    Link findForAlarm(std::string_view pcu, std::string_view location, std::string_view nr) const;

private:
    pugi::xml_node locations_, general_;
    std::optional<FirstMatchIndex> locationIndex_, generalIndex_;
};

// The link of an Alarm element of the alarm status: with the names as stored
// first, then without their first blank (links made for those still count).
Link findAlarmLink(const XmlDocument& linkDefs, const XmlDocument& zamDefs, pugi::xml_node alarm);

// Group bookkeeping for one member alarm that was raised or reset. Does nothing
// unless groupLocation has four characters and both codes are numbers.
void updateGroup(XmlDocument& alarmStatus, const XmlDocument& zamDefs, std::string_view groupLocation,
                 std::string_view groupInput, std::string_view text, bool reset, TimeMs now);

// Some Alarm child of the root names the group and is active.
bool groupHasActiveMember(const XmlDocument& alarmStatus, std::string_view reference);

// Without " , - . < > _ when enabled; unchanged otherwise.
std::string filterPunctuation(std::string_view text, bool enabled);

// The text without the first blank it contains; further blanks stay.
std::string removeFirstBlank(std::string_view text);

// What the element walk would send for an element at time now: its change (a
// raise or reset of an Alarm, a Group whose delay ran out), a repeat that is due,
// or nothing (a Group still within its delay among them).
enum class ReportDue { Nothing, Change, Repeat };
ReportDue reportDue(pugi::xml_node element, TimeMs now);

// The loop's fields for the walk through the alarm status document.
struct ElementCycle {
    int32_t elementIndex = 0;  // among the element children of the root
    // The element at elementIndex when the walk got there from its neighbour, so it
    // need not count from the start; none when unknown. Whoever changes the
    // document's list of elements clears it; an index of 0 starts over anyway.
    pugi::xml_node next;
    pugi::xml_node current;    // the element being reported, or none
    int32_t retryCount = 0;    // sends made for the current element
    int32_t undelivered = 0;   // sends for it that never reached ZamMeld
    bool notAccepted = false;  // ZamMeld refused it: send the configuration error instead
    int32_t currentRepeat = 0;
};

enum class CycleStep {
    Finished,     // no further element: back to waiting
    Examine,      // look at the element at elementIndex
    Send,         // send for the current element
    AwaitAnswer,  // wait for ZamMeld's answer
};

struct CycleOutcome {
    CycleStep next = CycleStep::Examine;
    std::vector<std::string> log;  // lines for the Priva Office list
    std::string message;           // to send to ZamMeld; empty when nothing is sent
    bool changed = false;          // the alarm status document was changed
    bool resend = false;           // message is a further send for the same element
    bool group = false;            // message is a group alarm
    int errorMark = 0;             // the Error code this step set on the element, 0 for none
};

struct CycleDocuments {
    XmlDocument& alarmStatus;
    const XmlDocument& linkDefs;
    const XmlDocument& zamDefs;
};

// The two check boxes of the window, as they stand when the message is built.
struct TextOptions {
    bool sendPcuNames = true;
    bool filterPunctuation = false;
};

// The text of a linked alarm's message as the walk sends it: the PCU (when sent)
// and location without their first blank, punctuation filtered, "PreAlarm: " for
// a group member. groupText, when given, receives the text without that prefix.
std::string linkedAlarmText(std::string_view pcu, std::string_view location, std::string_view text, bool groupMember,
                            TextOptions options, std::string* groupText = nullptr);

struct Answer {
    bool received = false;  // a line came since the message was queued
    std::string reply;      // the last such line
    bool timeUp = false;    // 10 seconds or more since the message was sent
};

// One element per call: either chooses the element at elementIndex as current
// (Send) or moves past it (Examine), or ends the walk (Finished) at the end of the
// list or when the root is not POAlarmStatus.
CycleOutcome examineNext(ElementCycle& cycle, const CycleDocuments& docs, TimeMs now);

// Counts the send and builds the one message for the current element: the
// configuration error when it was not accepted, else its own alarm.
CycleOutcome sendForCurrent(ElementCycle& cycle, const CycleDocuments& docs, TextOptions options, TimeMs now);

// The message for the current element never reached ZamMeld: no attempt. It is
// sent once more over a fresh connection; failing again, the walk ends with the
// element unreported, to go out in order once ZamMeld can be reached.
CycleOutcome undelivered(ElementCycle& cycle);

// Writes ZamMeld's answer (or its absence) into the current element and says
// whether to send again, wait on or go on with the next element.
CycleOutcome evaluateAnswer(ElementCycle& cycle, const CycleDocuments& docs, const Answer& answer, TimeMs now);

}  // namespace zampo
