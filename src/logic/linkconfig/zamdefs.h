#pragma once
// Lookups that turn a ZAM alarm reference ("0012 - 05") into its entry in the
// ZAM definitions document. All are pure reads and answer 0 or false instead of failing.
#include <string>
#include <string_view>

#include "logic/xml/xmlstore.h"

namespace zampo {

struct ZamAlarmCodes {
    std::string location;  // plain decimal text, "0" when the reference is malformed
    std::string alarm;
};

// "0012 - 05" gives 12 and 5. A reference whose first " - " does not follow four
// characters, or whose parts are not numbers, gives "0" and "0".
ZamAlarmCodes splitZamAlarmRef(std::string_view reference);

// The Alarm element the reference denotes, or none.
pugi::xml_node findZamAlarm(const XmlDocument& zamDefs, std::string_view reference);

// Seconds; 0 when the alarm or the attribute is missing or not a number.
int getGroupDelay(const XmlDocument& zamDefs, std::string_view reference);
// Minutes; 0 when the alarm or the attribute is missing or not a number.
int getRepeat(const XmlDocument& zamDefs, std::string_view reference);
bool zamAlarmExists(const XmlDocument& zamDefs, std::string_view reference);

}  // namespace zampo
