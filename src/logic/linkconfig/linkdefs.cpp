#include "logic/linkconfig/linkdefs.h"

#include <cstdio>

#include "logic/encoding/encoding.h"
#include "logic/encoding/textrules.h"
#include "logic/xml/xmlnodes.h"

namespace zampo {

namespace {

std::string keyOrUnreported(std::string_view value) {
    return std::string(value.empty() ? kUnreportedValue : value);
}

pugi::xml_node findLocation(const XmlDocument& linkDefs, std::string_view pcu, std::string_view locationText) {
    pugi::xml_node locations = searchNode(linkDefs.root(), "PO_Locations");
    if (!locations) return {};
    return searchNode(locations, "PO_loc", {"pcu", "text"}, {keyOrUnreported(pcu), keyOrUnreported(locationText)});
}

pugi::xml_node findOrAppendExcept(pugi::xml_node parent, std::string_view nr) {
    const std::string key(nr);
    pugi::xml_node except = searchNode(parent, "Except", {"nr"}, {key});
    if (!except) {
        except = parent.append_child("Except");
        setAttr(except, "nr", key);
    }
    return except;
}

void writeException(pugi::xml_node except, std::string_view exceptionText, std::string_view zamAlarm,
                    std::string_view zamGroup) {
    if (!exceptionText.empty()) setAttr(except, "text", exceptionText);
    setAttr(except, "zam_alarm", zamAlarm);
    setAttr(except, "zam_group", zamGroup);
}

}  // namespace

std::string zamAlarmRef(int locationCode, int alarmCode) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.4d - %.2d", locationCode, alarmCode);
    return buf;
}

std::optional<int> zamCodeValue(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (text.size() > 4) return std::nullopt;
    const std::optional<long long> value = parseDecimal(text);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

bool isDefinedLinkValue(std::string_view zamAlarm) {
    return utf8CharCount(zamAlarm) == 9;
}

bool hasDefinedLink(pugi::xml_node element) {
    pugi::xml_attribute a = element.attribute("zam_alarm");
    return a && isDefinedLinkValue(a.value());
}

void setLink(XmlDocument& linkDefs, std::string_view pcu, std::string_view locationText, std::string_view zamAlarm,
             std::string_view nr, std::string_view exceptionText, std::string_view zamGroup) {
    if (pcu == kGridMarker) {
        setGeneralException(linkDefs, nr, exceptionText, zamAlarm, zamGroup);
        return;
    }
    pugi::xml_node location = findLocation(linkDefs, pcu, locationText);
    if (!location) return;
    if (nr.empty()) {
        setAttr(location, "zam_alarm", zamAlarm);
        setAttr(location, "zam_group", zamGroup);
        return;
    }
    writeException(findOrAppendExcept(location, nr), exceptionText, zamAlarm, zamGroup);
}

void setGeneralException(XmlDocument& linkDefs, std::string_view nr, std::string_view exceptionText,
                         std::string_view zamAlarm, std::string_view zamGroup) {
    pugi::xml_node root = linkDefs.root();
    if (!root) return;
    pugi::xml_node general = searchNode(root, "PO_Exceptions");
    if (!general) general = root.append_child("PO_Exceptions");
    if (nr.empty()) return;
    writeException(findOrAppendExcept(general, nr), exceptionText, zamAlarm, zamGroup);
}

void deleteLinkEntry(XmlDocument& linkDefs, std::string_view pcu, std::string_view locationText, std::string_view nr) {
    if (pcu == kGridMarker) {
        pugi::xml_node general = searchNode(linkDefs.root(), "PO_Exceptions");
        if (!general || nr.empty()) return;
        pugi::xml_node except = searchNode(general, "Except", {"nr"}, {std::string(nr)});
        if (except) except.parent().remove_child(except);
        return;
    }
    pugi::xml_node location = findLocation(linkDefs, pcu, locationText);
    if (!location) return;
    if (nr == kGridMarker) {
        location.parent().remove_child(location);
        return;
    }
    pugi::xml_node except = searchNode(location, "Except", {"nr"}, {std::string(nr)});
    if (except) except.parent().remove_child(except);
}

}  // namespace zampo
