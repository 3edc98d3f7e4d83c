#include "logic/linkconfig/linklookup.h"

#include <functional>

#include "logic/encoding/encoding.h"
#include "logic/encoding/textrules.h"
#include "logic/linkconfig/linkdefs.h"
#include "logic/linkconfig/zamdefs.h"

namespace zampo {

namespace {

// The link rule over any way of finding the elements it names: general exception
// first, then the location and its own exception. Repeat only with zamDefs.
Link resolveLink(pugi::xml_node locations, pugi::xml_node general,
                 const std::function<pugi::xml_node(std::string_view)>& findGeneral,
                 const std::function<pugi::xml_node(std::string_view, std::string_view)>& findLocation,
                 const XmlDocument* zamDefs, std::string_view pcu, std::string_view location, std::string_view nr) {
    Link link;
    if (!locations) return link;

    std::string zamRef, groupRef;
    if (general) {
        const pugi::xml_node except = findGeneral(nr);
        zamRef = except.attribute("zam_alarm").value();
        groupRef = except.attribute("zam_group").value();
        if (!zamRef.empty()) {
            link.rule = LinkRule::GeneralException;
            link.element = except;
        }
    }
    if (zamRef.empty()) {
        const pugi::xml_node loc = findLocation(pcu.empty() ? kUnreportedValue : pcu, location);
        if (!loc) return link;
        link.rule = LinkRule::LocationLink;
        link.element = loc;
        zamRef = loc.attribute("zam_alarm").value();
        // An unlinked general exception's group stays unless the location names one.
        if (*loc.attribute("zam_group").value() != '\0') groupRef = loc.attribute("zam_group").value();
        // Most locations have no exceptions at all.
        const pugi::xml_node except =
            loc.first_child() ? searchNode(loc, "Except", {"nr"}, {std::string(nr)}) : pugi::xml_node();
        if (except) {
            link.rule = LinkRule::LocationException;
            link.element = except;
            zamRef = except.attribute("zam_alarm").value();
            groupRef = except.attribute("zam_group").value();
        }
    }

    if (isDefinedLinkValue(groupRef)) {
        const std::string groupLocation = utf8Substr(groupRef, 0, 4), groupInput = utf8Substr(groupRef, 7, 2);
        if (zamCodeValue(groupLocation) && zamCodeValue(groupInput)) {
            link.groupLocation = groupLocation;
            link.groupInput = groupInput;
        } else {
            link.unusableGroup = groupRef;
        }
    }
    if (!isDefinedLinkValue(zamRef)) return link;
    link.found = true;
    link.zamLocation = utf8Substr(zamRef, 0, 4);
    link.zamInput = utf8Substr(zamRef, 7, 2);
    if (zamDefs) link.repeat = getRepeat(*zamDefs, zamRef);
    return link;
}

// The link of an alarm by its names as stored first: the definitions merge stores
// them that way, so a location with a blank in its name can be linked at all.
// Links made for the names without their first blank still count.
template <typename Find>
Link storedNamesFirst(const Find& find, std::string_view pcu, std::string_view location, std::string_view nr) {
    Link link = find(pcu, location, nr);
    if (!link.found) link = find(removeFirstBlank(pcu), removeFirstBlank(location), removeFirstBlank(nr));
    return link;
}

}  // namespace

Link findLink(const XmlDocument& linkDefs, const XmlDocument& zamDefs, std::string_view pcu, std::string_view location,
              std::string_view nr) {
    const pugi::xml_node root = linkDefs.root();
    if (!root) return {};
    const pugi::xml_node locations = searchNode(root, "PO_Locations");
    const pugi::xml_node general = searchNode(root, "PO_Exceptions");
    return resolveLink(
        locations, general, [&](std::string_view n) { return searchNode(general, "Except", {"nr"}, {std::string(n)}); },
        [&](std::string_view p, std::string_view l) {
            return searchNode(locations, "PO_loc", {"pcu", "text"}, {std::string(p), std::string(l)});
        },
        &zamDefs, pcu, location, nr);
}

LinkIndex::LinkIndex(const XmlDocument& linkDefs) {
    const pugi::xml_node root = linkDefs.root();
    if (!root) return;
    locations_ = searchNode(root, "PO_Locations");
    general_ = searchNode(root, "PO_Exceptions");
    if (locations_) locationIndex_.emplace(locations_, "PO_loc", std::vector<std::string>{"pcu", "text"});
    if (general_) generalIndex_.emplace(general_, "Except", std::vector<std::string>{"nr"});
}

Link LinkIndex::find(std::string_view pcu, std::string_view location, std::string_view nr) const {
    return resolveLink(
        locations_, general_, [&](std::string_view n) { return generalIndex_->find({n}); },
        [&](std::string_view p, std::string_view l) {
            return locationIndex_->find({p, l});
        },
        nullptr, pcu, location, nr);
}

Link LinkIndex::findForAlarm(pugi::xml_node alarm) const {
    return findForAlarm(alarm.attribute("pcu").value(), alarm.attribute("location").value(),
                        alarm.attribute("nr").value());
}

Link LinkIndex::findForAlarm(std::string_view pcu, std::string_view location, std::string_view nr) const {
    return storedNamesFirst([this](auto... names) { return find(names...); }, pcu, location, nr);
}

Link findAlarmLink(const XmlDocument& linkDefs, const XmlDocument& zamDefs, pugi::xml_node alarm) {
    return storedNamesFirst([&](auto... names) { return findLink(linkDefs, zamDefs, names...); },
                            alarm.attribute("pcu").value(), alarm.attribute("location").value(),
                            alarm.attribute("nr").value());
}

}  // namespace zampo
