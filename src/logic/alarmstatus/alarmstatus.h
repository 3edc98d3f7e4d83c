#pragma once
// The alarm status document: the gateway's memory of what Priva Office reports as
// active and of what has been reported to ZamMeld. Times in it are 15-character
// UTC stamps ("20240229T235959"), exact to the second.
#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "logic/core/clock.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

inline constexpr const char* kAlarmActive = "A";
inline constexpr const char* kAlarmReset = "R";
// Set on an Alarm whose raise was not reported yet when it was reset: the walk
// reports the raise before the reset. The one case of kPendingAttr that older
// copies know, so it is still written that way.
inline constexpr const char* kRaisePendingAttr = "RaisePending";
// How many changes of an Alarm before its present state ZamMeld has not had yet
// (they alternate, the last one being the opposite of State): a reset missed
// while ZamMeld was away goes out before the raise that followed it.
inline constexpr const char* kPendingAttr = "Pending";
// Priva Office's own start of an Alarm whose start the gateway chose itself (one
// in the future or unreadable); absent when start is Priva Office's. Whether a
// listed alarm is a new occurrence is judged by this, never by a substitute.
inline constexpr const char* kPoStartAttr = "po_start";
// Set on an Alarm while the change it is reporting has been counted by its group,
// so that a send repeated in a later walk does not count it again.
inline constexpr const char* kGroupCountedAttr = "GroupCounted";

// 30 December 1899, 00:00:00: what an empty or unreadable stamp stands for,
// earlier than every real time.
TimeMs statusTimeZero();

// Drops the milliseconds (never rounds up into the next second).
std::string formatStatusTime(TimeMs t);

// The time of a well-formed stamp; nothing when the text is not 15 characters
// or not a valid date and time. The ninth character is not examined.
std::optional<TimeMs> parseStatusTime(std::string_view text);

// As parseStatusTime, but anything unreadable (empty, missing, wrong length,
// month 13, letters) reads as time zero, so no reader ever fails on a stamp.
TimeMs readStatusTime(std::string_view text);
TimeMs readStatusTime(pugi::xml_node element, const char* attribute);

// "pcu,location,nr" of an Alarm, as the log names it.
std::string alarmKey(pugi::xml_node alarm);

// An Alarm must be reported to ZamMeld when its start reads later than its Sent.
bool mustReport(pugi::xml_node alarm);

// The changes before the present one still to report (kPendingAttr, or the
// older RaisePending). Set after the State it goes with.
int pendingChanges(pugi::xml_node alarm);
void setPendingChanges(pugi::xml_node alarm, int count);

// Whether the next change of the Alarm to report is a reset: the pending ones
// alternate and end with the opposite of State.
bool nextReportIsReset(pugi::xml_node alarm);

// Nothing of the element is left to report: an Alarm's reset (and a raise before
// it) went out, a Group has its Sent. Other elements have nothing to report.
bool resetReported(pugi::xml_node element);

// Removes every child of the root whose State is "R" and whose reset was reported,
// whatever its name, keeping the order of the rest; an unreported reset stays
// until it went out. Leaves a document whose root is not POAlarmStatus alone.
// Returns how many were removed.
int cleanUpResetElements(XmlDocument& alarmStatus);

}  // namespace zampo
