#include "logic/commissioning/routeexplain.h"

#include <sstream>

#include "logic/encoding/textrules.h"
#include "logic/linkconfig/linkdefs.h"
#include "logic/linkconfig/zamdefs.h"
#include "logic/receiver/messages.h"

namespace zampo {

namespace {

constexpr int kConfigErrorInput = 9;

std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '"':
                out += "&quot;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

const char* ruleName(LinkRule rule) {
    switch (rule) {
        case LinkRule::GeneralException:
            return "general exception";
        case LinkRule::LocationException:
            return "exception of the location";
        case LinkRule::LocationLink:
            return "location link";
        case LinkRule::None:
            break;
    }
    return "none";
}

}  // namespace

std::string elementStartTag(pugi::xml_node element) {
    if (!element) return {};
    std::string out = "<" + std::string(element.name());
    for (pugi::xml_attribute a : element.attributes())
        out += " " + std::string(a.name()) + "=\"" + escaped(a.value()) + "\"";
    return out + (element.first_child() ? ">" : "/>");
}

RouteExplanation explainRoute(const XmlDocument& linkDefs, const XmlDocument& zamDefs, std::string_view pcu,
                              std::string_view location, std::string_view nr, std::string_view text,
                              TextOptions options) {
    RouteExplanation r;
    r.pcu = pcu;
    r.location = location;
    r.nr = nr;
    r.text = text;
    // As the walk: the names as stored first, then without their first blank.
    r.link = findLink(linkDefs, zamDefs, pcu, location, nr);
    if (!r.link.found) {
        Link second =
            findLink(linkDefs, zamDefs, removeFirstBlank(pcu), removeFirstBlank(location), removeFirstBlank(nr));
        if (second.found) {
            r.link = second;
            r.withoutFirstBlank = true;
        }
    }
    r.elementTag = elementStartTag(r.link.element);
    if (r.link.rule == LinkRule::LocationException) r.parentTag = elementStartTag(r.link.element.parent());

    if (!r.link.found) {
        r.raiseLine = systemAlarmMessage(kConfigErrorInput, true);
        return r;
    }
    r.zamAlarm = r.link.zamLocation + " - " + r.link.zamInput;
    r.zamAlarmDefined = zamAlarmExists(zamDefs, r.zamAlarm);
    const bool member = !r.link.groupLocation.empty();
    std::string groupText;
    const std::string lineText = linkedAlarmText(pcu, location, text, member, options, &groupText);
    r.raiseLine = linkedAlarmMessage(r.link.zamLocation, r.link.zamInput, 'T', lineText);
    r.resetLine = linkedAlarmMessage(r.link.zamLocation, r.link.zamInput, 'R', lineText);
    if (!member) {
        r.repeatMinutes = r.link.repeat;
        return r;
    }
    const ZamAlarmCodes codes = splitZamAlarmRef(r.link.groupLocation + " - " + r.link.groupInput);
    r.group = zamAlarmRef(std::stoi(codes.location), std::stoi(codes.alarm));
    r.groupDefined = zamAlarmExists(zamDefs, r.group);
    r.groupDelaySeconds = getGroupDelay(zamDefs, r.group);
    r.groupRepeatMinutes = getRepeat(zamDefs, r.group);
    r.groupRaiseLine = groupAlarmMessage(r.group, false, groupText);
    r.groupResetLine = groupAlarmMessage(r.group, true, "");
    return r;
}

std::string formatRoute(const RouteExplanation& r) {
    std::ostringstream out;
    out << "Alarm: PCU \"" << r.pcu << "\", location \"" << r.location << "\", nr \"" << r.nr << "\"";
    if (!r.text.empty()) out << ", text \"" << r.text << "\"";
    out << "\n";
    out << "Rule: " << ruleName(r.link.rule);
    if (r.withoutFirstBlank) out << " (names matched without their first blank)";
    out << "\n";
    if (!r.parentTag.empty())
        out << "  LinkDefs.xml: " << r.parentTag << "\n    ";
    else if (!r.elementTag.empty())
        out << "  LinkDefs.xml: ";
    if (!r.elementTag.empty()) out << r.elementTag << "\n";
    if (!r.link.found) {
        out << (r.link.rule == LinkRule::None ? "No location link and no exception fits"
                                              : "That element names no ZAM alarm of nine characters")
            << ": the configuration error 9999/9 is raised instead.\n";
        out << "Raise sends: " << r.raiseLine << "\n";
        return out.str();
    }
    out << "ZAM alarm: " << r.zamAlarm << (r.zamAlarmDefined ? "" : " (not in ZamDefs.xml)") << "\n";
    if (!r.link.unusableGroup.empty())
        out << "Group: \"" << r.link.unusableGroup << "\" is not a number; sent without group\n";
    if (r.group.empty()) {
        out << "Group: none\n";
        out << "Repeat: "
            << (r.repeatMinutes > 0 ? "every " + std::to_string(r.repeatMinutes) + " min while active"
                                    : std::string("none"))
            << "\n";
    } else {
        out << "Group: " << r.group << (r.groupDefined ? "" : " (not in ZamDefs.xml)") << ", delay "
            << r.groupDelaySeconds << " s, repeat "
            << (r.groupRepeatMinutes > 0 ? "every " + std::to_string(r.groupRepeatMinutes) + " min"
                                         : std::string("none"))
            << "\n";
        out << "Repeat: none of its own (the group repeats)\n";
    }
    out << "Raise sends: " << r.raiseLine << "\n";
    out << "Reset sends: " << r.resetLine << "\n";
    if (!r.group.empty()) {
        out << "Group raise, " << r.groupDelaySeconds << " s after the first member: " << r.groupRaiseLine
            << " (a second member within the delay empties its text)\n";
        out << "Group reset, when no member is active: " << r.groupResetLine << "\n";
    }
    return out.str();
}

}  // namespace zampo
