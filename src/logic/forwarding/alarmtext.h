#pragma once
// The text of a linked alarm's message as the element walk sends it.
#include <string>
#include <string_view>

namespace zampo {

// The two check boxes of the window, as they stand when the message is built.
struct TextOptions {
    bool sendPcuNames = true;
    bool filterPunctuation = false;
};

// The PCU (when sent) and location without their first blank, punctuation
// filtered, "PreAlarm: " for a group member. groupText, when given, receives the
// text without that prefix.
std::string linkedAlarmText(std::string_view pcu, std::string_view location, std::string_view text, bool groupMember,
                            TextOptions options, std::string* groupText = nullptr);

}  // namespace zampo
