#include "logic/forwarding/alarmtext.h"

#include "logic/encoding/textrules.h"
#include "logic/language/langtext.h"

namespace zampo {

std::string linkedAlarmText(std::string_view pcu, std::string_view location, std::string_view text, bool groupMember,
                            TextOptions options, std::string* groupText) {
    const bool punct = options.filterPunctuation;
    std::string out;
    if (options.sendPcuNames) out = filterPunctuation(removeFirstBlank(pcu), punct) + " ";
    out += filterPunctuation(removeFirstBlank(location), punct) + " " + filterPunctuation(text, punct);
    if (groupText) *groupText = out;
    if (groupMember) out = langText(TextId::PreAlarmPrefix) + ": " + out;
    return out;
}

}  // namespace zampo
