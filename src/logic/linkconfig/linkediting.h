#pragma once
// What the operator's link edits do to the link definitions document: assign or
// clear ZAM alarms and groups of grid rows, remove rows, add exceptions, and drop
// links to ZAM alarms that no longer exist.
#include <string>
#include <vector>

#include "logic/xml/xmlstore.h"

namespace zampo {

// The five cells of a link grid row, as the grid shows them: a location row has
// "--" as alarm type, a general exception row "--" as pcu.
struct LinkRowCells {
    std::string pcu;
    std::string location;
    std::string alarmType;  // "--", or the exception number, ": " and its text
    std::string zamAlarm;
    std::string zamGroup;

    bool isLocation() const;
    // The alarm type up to its first ":"; empty for a location row.
    std::string exceptionNumber() const;
};

// Writes each row's ZAM alarm and group to its location or exception (the assign
// and delete-group buttons: the caller has put the new values into the rows).
// An exception row whose exception has gone is created again.
void writeRowLinks(XmlDocument& linkDefs, const std::vector<LinkRowCells>& rows);

// Removes each row's entry: a location row its whole location with its
// exceptions, an exception row that exception only.
void deleteLinkRows(XmlDocument& linkDefs, const std::vector<LinkRowCells>& rows);

// Clears every zam_alarm and zam_group of a location, a location's exception or a
// general exception that names no alarm of the ZAM definitions. Where either is
// cleared both are written, so that a "0" becomes empty as well.
void removeDeletedZamLinks(XmlDocument& linkDefs, const XmlDocument& zamDefs);

// A Priva Office alarm type as the exceptions dialog lists it; nr empty when
// Priva Office reported none.
struct AlarmTypeEntry {
    std::string nr;
    std::string text;
};

// The children of PO_AlarmTypes in document order.
std::vector<AlarmTypeEntry> listAlarmTypes(const XmlDocument& linkDefs);

enum class ExceptionScope { SelectedLocations, General };

// Adds each alarm type as an exception: to each location row among
// selectedRows, starting from that location's own ZAM alarm and group, or as a
// general exception without a link. An existing exception is reset that way.
// Alarm types without a number add nothing.
void addExceptions(XmlDocument& linkDefs, const std::vector<AlarmTypeEntry>& types, ExceptionScope scope,
                   const std::vector<LinkRowCells>& selectedRows);

}  // namespace zampo
