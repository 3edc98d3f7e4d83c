#pragma once
// The main loop's walk through the elements of the alarm status document: which
// element to report next, the one message sent for it and how ZamMeld's answer is
// written back. Pure rules over the documents; the loop logs, sends and saves
// what they return.
#include <cstdint>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "logic/core/clock.h"
#include "logic/forwarding/alarmtext.h"
#include "logic/forwarding/errormark.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

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
    std::vector<std::string> log;           // lines for the Priva Office list
    std::string message;                    // to send to ZamMeld; empty when nothing is sent
    bool changed = false;                   // the alarm status document was changed
    bool resend = false;                    // message is a further send for the same element
    bool group = false;                     // message is a group alarm
    ErrorMark errorMark = ErrorMark::None;  // the mark this step set on the element
};

struct CycleDocuments {
    XmlDocument& alarmStatus;
    const XmlDocument& linkDefs;
    const XmlDocument& zamDefs;
};

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
