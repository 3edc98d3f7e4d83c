#pragma once
// Plain rules over texts that several subsystems share: ASCII case, blanks at the
// ends, decimal numbers, and the two rules the element walk applies to names.
#include <optional>
#include <string>
#include <string_view>

namespace zampo {

// A to Z turned to a to z; every other byte kept, whatever the locale.
constexpr char lowerAsciiChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
std::string lowerAscii(std::string_view text);

// Blanks and control characters off both ends.
std::string_view trimBlanks(std::string_view text);

// Decimal digits and nothing else, after a "+" or "-" when signAllowed; none for
// an empty text. A value beyond 10^17 saturates there, which is out of every
// range the callers accept.
std::optional<long long> parseDecimal(std::string_view text, bool signAllowed = false);

// Without " , - . < > _ when enabled; unchanged otherwise.
std::string filterPunctuation(std::string_view text, bool enabled);

// The text without the first blank it contains; further blanks stay.
std::string removeFirstBlank(std::string_view text);

}  // namespace zampo
