#pragma once
// How a Priva Office alarm resolves to a ZAM alarm through the link definitions:
// the general exception first, then the location and its own exception.
#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "logic/xml/firstmatchindex.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

// Which element of the link definitions decided a lookup.
enum class LinkRule { None, GeneralException, LocationException, LocationLink };

// How a Priva Office alarm resolves to a ZAM alarm through the link definitions.
struct Link {
    bool found = false;
    std::string zamLocation;  // characters 1-4 of the reference, as stored
    std::string zamInput;     // characters 8-9
    // Of the group reference; both empty when the link names no usable group.
    std::string groupLocation;
    std::string groupInput;
    int repeat = 0;  // minutes, of the ZAM alarm; only set when found
    // A group reference of nine characters whose codes are not numbers. It cannot
    // name a group, so the link is used without one; the caller logs it.
    std::string unusableGroup;
    // The element whose ZAM alarm was taken (or, for a location without one, the
    // location); kept for explaining a route.
    LinkRule rule = LinkRule::None;
    pugi::xml_node element;
};

// General exception first, then the location and its own exception. An empty pcu
// looks for the placeholder of an unreported PCU name.
Link findLink(const XmlDocument& linkDefs, const XmlDocument& zamDefs, std::string_view pcu, std::string_view location,
              std::string_view nr);

// findLink for many alarms at once: the link definitions indexed once, each
// lookup without a walk through them. Leaves Link::repeat at 0.
class LinkIndex {
public:
    explicit LinkIndex(const XmlDocument& linkDefs);
    Link find(std::string_view pcu, std::string_view location, std::string_view nr) const;
    // As findAlarmLink.
    Link findForAlarm(pugi::xml_node alarm) const;
    Link findForAlarm(std::string_view pcu, std::string_view location, std::string_view nr) const;

private:
    pugi::xml_node locations_, general_;
    std::optional<FirstMatchIndex> locationIndex_, generalIndex_;
};

// The link of an Alarm element of the alarm status: with the names as stored
// first, then without their first blank (links made for those still count).
Link findAlarmLink(const XmlDocument& linkDefs, const XmlDocument& zamDefs, pugi::xml_node alarm);

}  // namespace zampo
