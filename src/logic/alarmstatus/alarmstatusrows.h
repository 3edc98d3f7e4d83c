#pragma once
// The rows of the window's active-alarms page: every element of the alarm status
// document as the operator reads it, with its link, what was reported and what is
// still to come. A pure reading of the three documents at a given time.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "logic/core/clock.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

struct AlarmStatusRow {
    bool group = false;  // a Group element; otherwise an Alarm
    // Empty for a group, whose location reads "Group alarm".
    std::string pcu, location, nr;
    std::string text;
    // "0012 - 05 Name"; "no link" for an alarm without a link; empty for a group.
    std::string zamAlarm;
    bool linked = false;
    // The group's own reference (for a group row) or the group the link names.
    std::string zamGroup;
    bool active = false;
    std::string stateText;
    // An Alarm's start; a Group's raise (its Timeout less the delay).
    std::optional<TimeMs> since;
    // The Group's Sent; for an Alarm the start of the state it last reported (the
    // file keeps no send time for alarms). None while nothing went out.
    std::optional<TimeMs> reportedAt;
    // The walk would send for it now, or a group waits out its delay to be sent.
    bool toReport = false;
    std::string error;      // "1", "2", "3" or empty
    std::string errorText;  // the mark in words
    std::optional<int64_t> delayLeftSeconds;
    std::optional<TimeMs> nextRepeat;
    // Of the element's attributes, the texts and the definitions the row was built from.
    std::uint64_t elementHash = 0;

    // Stays the same across refreshes: pcu, location and nr, or the group's reference.
    std::string key() const;
    bool operator==(const AlarmStatusRow&) const = default;
};

struct AlarmStatusCounts {
    int active = 0;
    int reset = 0;
    int toReport = 0;
};

// One row per Alarm and Group child of the root, in document order. Nothing when
// the document is missing or its root is not POAlarmStatus.
std::vector<AlarmStatusRow> buildAlarmStatusRows(const XmlDocument* alarmStatus, const XmlDocument* linkDefs,
                                                 const XmlDocument* zamDefs, TimeMs now);
// The same into rows, whose strings keep their storage from an earlier build.
// While the texts and the definitions are unchanged, the rows of elements
// unchanged since the earlier rows were built are taken over from them: a
// refresh after every walk then reads little and allocates next to nothing.
// rows and earlier are two different vectors.
void buildAlarmStatusRows(const XmlDocument* alarmStatus, const XmlDocument* linkDefs, const XmlDocument* zamDefs,
                          TimeMs now, std::vector<AlarmStatusRow>& rows, const std::vector<AlarmStatusRow>& earlier);

AlarmStatusCounts countAlarmStatusRows(const std::vector<AlarmStatusRow>& rows);

}  // namespace zampo
