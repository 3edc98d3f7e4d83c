#pragma once
// The link definitions document: how Priva Office locations and alarm types are
// linked to ZAM-Pro alarms, and the write operations the editors use on it.
#include <optional>
#include <string>
#include <string_view>

#include "logic/xml/xmlstore.h"

namespace zampo {

// Stands for a PCU name, location or number that Priva Office did not report.
inline constexpr std::string_view kUnreportedValue = "-\\-";
// The pcu (or nr) of the grid rows that address general exceptions (or a location itself).
inline constexpr std::string_view kGridMarker = "--";

// "%.4d - %.2d": location 1, alarm 2 give "0001 - 02".
std::string zamAlarmRef(int locationCode, int alarmCode);

// A ZAM code as written in a reference: up to four digits, blanks around them
// allowed; none for anything else.
std::optional<int> zamCodeValue(std::string_view text);

// A link value counts only when it has exactly the nine characters of a reference.
bool isDefinedLinkValue(std::string_view zamAlarm);
// True when the element has a zam_alarm attribute that is a defined link value.
bool hasDefinedLink(pugi::xml_node element);

// Sets the link of a location (nr empty), of one of its exceptions (nr given), or,
// with pcu "--", of a general exception. Empty pcu or location text address "-\-".
// A location that does not exist is left alone; nothing is created for it.
void setLink(XmlDocument& linkDefs, std::string_view pcu, std::string_view locationText, std::string_view zamAlarm,
             std::string_view nr, std::string_view exceptionText, std::string_view zamGroup);

// Creates or updates the general exception nr; PO_Exceptions is created even when nr is empty.
void setGeneralException(XmlDocument& linkDefs, std::string_view nr, std::string_view exceptionText,
                         std::string_view zamAlarm, std::string_view zamGroup);

// Removes a general exception (pcu "--"), a whole location (nr "--") or one
// exception of a location. Missing entries are skipped silently.
void deleteLinkEntry(XmlDocument& linkDefs, std::string_view pcu, std::string_view locationText, std::string_view nr);

}  // namespace zampo
