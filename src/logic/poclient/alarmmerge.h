#pragma once
// Merges Priva Office's list of active alarms into the alarm status document.
// Every change that needs a report makes the Alarm's start later than its Sent;
// the main loop does the reporting. The merge itself sends and logs nothing.
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "logic/core/clock.h"
#include "logic/xml/firstmatchindex.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

// A vanished alarm's start is its Sent plus this, so that its reset reads as a change.
inline constexpr std::chrono::seconds kResetOffset{8};

struct AlarmMergeResult {
    bool ok = false;               // the answer was merged into the slot
    bool listFound = false;        // its root was active-alarms; without it every active alarm was reset
    int added = 0;                 // new Alarm elements
    std::string fetchMessage;      // for FetchMessage: set when the answer was empty or unusable
    std::string error;             // why ok is false; the slot is then unchanged
    std::vector<std::string> log;  // start times that could not be taken as they came
};

// Merges the answer into the slot's document (opened by the caller from
// AlarmStatus.xml). Phase 1 resets every active Alarm; phase 2 makes every listed
// alarm active again, appending the unknown ones. now is UTC.
// An answer that is empty or not well-formed XML, or a slot without content,
// fails before anything changes.
AlarmMergeResult mergeActiveAlarms(std::string_view answer, DocumentSlot& alarmStatus, TimeMs now,
                                   LookupMode lookup = LookupMode::Indexed);

}  // namespace zampo
