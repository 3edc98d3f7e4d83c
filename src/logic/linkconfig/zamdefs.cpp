#include "logic/linkconfig/zamdefs.h"

#include <limits>
#include <optional>

#include "logic/encoding/textrules.h"

namespace zampo {

namespace {

// Group delay and repeat interval are non-negative by nature: a negative
// repeat would put the next repetition in the past and flood the receiver.
int nonNegativeAttribute(const XmlDocument& zamDefs, std::string_view reference, const char* attr) {
    pugi::xml_node alarm = findZamAlarm(zamDefs, reference);
    if (!alarm) return 0;
    pugi::xml_attribute a = alarm.attribute(attr);
    if (!a) return 0;
    std::optional<long long> v = parseDecimal(a.value(), true);
    if (!v || *v < 0 || *v > std::numeric_limits<int>::max()) return 0;
    return static_cast<int>(*v);
}

}  // namespace

ZamAlarmCodes splitZamAlarmRef(std::string_view reference) {
    ZamAlarmCodes none{"0", "0"};  // not const: returned by moving
    if (reference.find(" - ") != 4) return none;
    std::optional<long long> location = parseDecimal(reference.substr(0, 4));
    std::optional<long long> alarm = parseDecimal(reference.substr(7, 2));
    if (!location || !alarm) return none;
    return {std::to_string(*location), std::to_string(*alarm)};
}

pugi::xml_node findZamAlarm(const XmlDocument& zamDefs, std::string_view reference) {
    const ZamAlarmCodes codes = splitZamAlarmRef(reference);
    // A malformed reference must find nothing, also in a hand-edited file whose
    // elements lack a Code (which the search would otherwise accept).
    if (codes.location == "0" || codes.alarm == "0") return {};
    pugi::xml_node location = searchNode(zamDefs.root(), "Location", {"Code"}, {codes.location});
    if (!location) return {};
    return searchNode(location, "Alarm", {"Code"}, {codes.alarm});
}

int getGroupDelay(const XmlDocument& zamDefs, std::string_view reference) {
    return nonNegativeAttribute(zamDefs, reference, "GroupDelay");
}

int getRepeat(const XmlDocument& zamDefs, std::string_view reference) {
    return nonNegativeAttribute(zamDefs, reference, "Repeat");
}

bool zamAlarmExists(const XmlDocument& zamDefs, std::string_view reference) {
    return static_cast<bool>(findZamAlarm(zamDefs, reference));
}

}  // namespace zampo
