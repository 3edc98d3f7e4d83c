#include "logic/linkconfig/zamdefs.h"

#include <charconv>
#include <limits>
#include <optional>

namespace zampo {

namespace {

// Decimal digits, with an optional sign when allowed; nothing else around them.
std::optional<long long> parseInteger(std::string_view text, bool signAllowed) {
    if (text.empty()) return std::nullopt;
    size_t i = (signAllowed && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    if (i == text.size()) return std::nullopt;
    for (size_t k = i; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9') return std::nullopt;
    long long value = 0;
    std::string_view digits = text.substr(i);
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc{} || ptr != digits.data() + digits.size()) return std::nullopt;
    return text[0] == '-' ? -value : value;
}

// Group delay and repeat interval are non-negative by nature: a negative
// repeat would put the next repetition in the past and flood the receiver.
int nonNegativeAttribute(const XmlDocument& zamDefs, std::string_view reference, const char* attr) {
    pugi::xml_node alarm = findZamAlarm(zamDefs, reference);
    if (!alarm) return 0;
    pugi::xml_attribute a = alarm.attribute(attr);
    if (!a) return 0;
    std::optional<long long> v = parseInteger(a.value(), true);
    if (!v || *v < 0 || *v > std::numeric_limits<int>::max()) return 0;
    return static_cast<int>(*v);
}

}  // namespace

ZamAlarmCodes splitZamAlarmRef(std::string_view reference) {
    const ZamAlarmCodes none{"0", "0"};
    if (reference.find(" - ") != 4) return none;
    std::optional<long long> location = parseInteger(reference.substr(0, 4), false);
    std::optional<long long> alarm = parseInteger(reference.substr(7, 2), false);
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
