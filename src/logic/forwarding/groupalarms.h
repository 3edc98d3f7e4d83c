#pragma once
// The Group elements of the alarm status: one per ZAM group alarm, raised after its
// delay by the first active member and reset when its last member is reset.
#include <string_view>

#include "logic/core/clock.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

// Group bookkeeping for one member alarm that was raised or reset. Does nothing
// unless groupLocation has four characters and both codes are numbers.
void updateGroup(XmlDocument& alarmStatus, const XmlDocument& zamDefs, std::string_view groupLocation,
                 std::string_view groupInput, std::string_view text, bool reset, TimeMs now);

// Some Alarm child of the root names the group and is active.
bool groupHasActiveMember(const XmlDocument& alarmStatus, std::string_view reference);

}  // namespace zampo
