#pragma once
// The bracketed lines the gateway sends to ZamMeld, and how its answers are read.
// Texts are UTF-8 here; the conversion to the receiver's 8-bit form is wirecodec.h.
#include <string>
#include <string_view>
#include <vector>

namespace zampo {

inline constexpr std::size_t kMaxAlarmTextChars = 80;

// Alarm of a linked Priva Office alarm. location and input are the four- and
// two-character parts of the ZAM alarm reference as stored; state is 'T' or 'R'.
// The text is cut to its first 80 characters. In texts "[" and "]" are sent as
// "(" and ")", so that a text never holds a frame of its own.
std::string linkedAlarmMessage(std::string_view location, std::string_view input, char state, std::string_view text);

// Group alarm for a reference such as "0100 - 07". A reset is sent as "R"; an
// active group as "T" with its text, or as "A" when it has none. The text is not cut.
std::string groupAlarmMessage(std::string_view groupReference, bool reset, std::string_view text);

// System alarm of location 9999 (input 8: Priva Office exchanges fail, 9:
// configuration error).
std::string systemAlarmMessage(int input, bool raise);

// "[ZAM WD 09]" for an ID below 1, else "[ZAM WD 09 <id>]".
std::string watchdogMessage(int watchdogId);

// The operator's test message, fields as typed.
std::string testMessage(std::string_view location, std::string_view input, std::string_view state);

enum class ReplyKind { Accepted, Refused, Unrecognised };

// Only the beginning counts: "OK..." is accepted, "NAK..." refused, anything else
// (lower case included) unrecognised.
ReplyKind classifyReply(std::string_view reply);

// Cuts received data into lines. A carriage return ends a line; empty lines are
// skipped; every other character, line feed included, belongs to the line; text
// after the last carriage return is dropped.
std::vector<std::string> splitReplyLines(std::string_view data);

// Every control character (C0, DEL and the C1 range of UTF-8) becomes a blank, so
// that no text can end a message early and forge a second one.
std::string blankControlChars(std::string_view utf8);

}  // namespace zampo
