#pragma once
// The route of one Priva Office alarm through the link definitions, told the way
// the element walk takes it: the same lookup, the same message builders. For the
// command line's --explain and for the window's explanation of a link.
#include <string>
#include <string_view>

#include "logic/forwarding/alarmtext.h"
#include "logic/linkconfig/linklookup.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

struct RouteExplanation {
    std::string pcu, location, nr, text;  // as asked
    Link link;                            // as the walk finds it
    bool withoutFirstBlank = false;       // matched only with the names' first blank taken out
    std::string elementTag;               // the deciding element of LinkDefs.xml, or empty
    std::string parentTag;                // its PO_loc, for a location's exception
    std::string zamAlarm;                 // "0012 - 03", empty when not found
    bool zamAlarmDefined = false;         // ZamDefs.xml has it
    std::string group;                    // "0100 - 07", empty without a group
    bool groupDefined = false;
    int groupDelaySeconds = 0;
    int groupRepeatMinutes = 0;
    int repeatMinutes = 0;                       // of the alarm itself; 0 for a group member (its group repeats)
    std::string raiseLine;                       // sent for a raise (9999/9 when no link)
    std::string resetLine;                       // sent for a reset; empty when nothing would be sent
    std::string groupRaiseLine, groupResetLine;  // the group's own, when a member of one
};

// The route under the window's two options as ZamLocal.INI gives them.
RouteExplanation explainRoute(const XmlDocument& linkDefs, const XmlDocument& zamDefs, std::string_view pcu,
                              std::string_view location, std::string_view nr, std::string_view text,
                              TextOptions options);

// The explanation as lines of text for a person.
std::string formatRoute(const RouteExplanation& route);

// "<PO_loc pcu="PCU1" text="Kas4" zam_alarm="0012 - 03"/>": an element's start tag
// with its attributes, children left out.
std::string elementStartTag(pugi::xml_node element);

}  // namespace zampo
