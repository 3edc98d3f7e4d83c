#include "logic/encoding/textrules.h"

#include <algorithm>
#include <cstring>

namespace zampo {

namespace {

constexpr long long kDecimalLimit = 100'000'000'000'000'000LL;

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lowerAsciiChar(c);
    return out;
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<long long> parseDecimal(std::string_view text, bool signAllowed) {
    const bool hasSign = signAllowed && !text.empty() && (text[0] == '+' || text[0] == '-');
    const std::string_view digits = text.substr(hasSign ? 1 : 0);
    if (digits.empty()) return std::nullopt;
    long long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = std::min(value * 10 + (c - '0'), kDecimalLimit);
    }
    return hasSign && text[0] == '-' ? -value : value;
}

std::string filterPunctuation(std::string_view text, bool enabled) {
    if (!enabled) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (std::strchr("\",-.<>_", c) == nullptr || c == '\0') out.push_back(c);
    return out;
}

std::string removeFirstBlank(std::string_view text) {
    std::string out(text);
    const auto blank = out.find(' ');
    if (blank != std::string::npos) out.erase(blank, 1);
    return out;
}

}  // namespace zampo
