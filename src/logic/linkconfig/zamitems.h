#pragma once
// The operator's changes to the ZAM definitions: locations and their alarms,
// added, changed and removed by code. Codes are written as plain decimal text.
#include <string>
#include <string_view>
#include <vector>

#include "logic/xml/xmlstore.h"

namespace zampo {

inline constexpr int kMaxLocationCode = 9999;
inline constexpr int kMaxAlarmCode = 99;
inline constexpr int kMaxGroupDelay = 3600;  // seconds
inline constexpr int kMaxRepeat = 1440;      // minutes
inline constexpr std::size_t kMaxItemNameLength = 40;

struct ZamAlarmFields {
    int code = 0;
    std::string name;
    int groupDelay = 0;
    int repeat = 0;
};

// An entered name: its first 40 characters, then without blanks at either end.
std::string itemNameFromInput(std::string_view name);
// One more than the highest of the codes (1 for none), at most upperLimit.
int proposedItemCode(const std::vector<int>& codes, int upperLimit);

// The Location with that code anywhere in the document, or none.
pugi::xml_node findZamLocationElement(const XmlDocument& zamDefs, int code);
// The Alarm with that code in that location, or none.
pugi::xml_node findZamAlarmElement(const XmlDocument& zamDefs, int locationCode, int alarmCode);

// Appended under the root only when the root is ZamAlarmDefinitions; false otherwise.
bool appendZamLocation(XmlDocument& zamDefs, int code, std::string_view name);
// Code and name of the location found by its old code; false when there is none.
bool updateZamLocation(XmlDocument& zamDefs, int oldCode, int code, std::string_view name);
bool removeZamLocation(XmlDocument& zamDefs, int code);

// Appended to its location; false when the location does not exist.
bool appendZamAlarm(XmlDocument& zamDefs, int locationCode, const ZamAlarmFields& alarm);
// All four attributes of the alarm found by its old code; false when there is none.
bool updateZamAlarm(XmlDocument& zamDefs, int locationCode, int oldCode, const ZamAlarmFields& alarm);
bool removeZamAlarm(XmlDocument& zamDefs, int locationCode, int alarmCode);

}  // namespace zampo
