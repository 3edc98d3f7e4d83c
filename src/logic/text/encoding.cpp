#include "logic/text/encoding.h"

#include <array>

namespace zampo {

namespace {

// Characters of the bytes 0x80..0x9F. The code page assigns nothing to 0x81, 0x8D,
// 0x8F, 0x90 and 0x9D; they stand for the C1 controls of the same number, as
// Windows itself reads them. So every byte reads as a character of its own and
// converts back to the same byte: a reply or a name never loses one. The wire
// sends no C1 control at all (they become blanks before this table is asked).
constexpr std::array<char32_t, 32> kWindows1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool isContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

char32_t windows1252ToUnicode(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kWindows1252High[byte - 0x80] : char32_t{byte};
}

char unicodeToWindows1252(char32_t codePoint, char fallback) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<char>(codePoint);
    for (std::size_t i = 0; i < kWindows1252High.size(); ++i)
        if (kWindows1252High[i] == codePoint) return static_cast<char>(0x80 + i);
    return fallback;
}

std::string windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) appendUtf8(out, windows1252ToUnicode(static_cast<unsigned char>(ch)));
    return out;
}

std::string latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (char ch : latin1) appendUtf8(out, static_cast<unsigned char>(ch));
    return out;
}

std::string utf8ToLatin1WithReferences(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        if (utf8SequenceLength(utf8, pos) == 0) {
            out.push_back(utf8[pos++]);
            continue;
        }
        const char32_t cp = decodeUtf8(utf8, pos);
        if (cp <= 0xFF)
            out.push_back(static_cast<char>(cp));
        else
            out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
    }
    return out;
}

std::size_t utf8SequenceLength(std::string_view text, std::size_t pos) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[pos + k]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) return 1;
    std::size_t len = 0;
    // The second byte's range excludes overlong forms, surrogates and code points
    // above U+10FFFF.
    unsigned char lo = 0x80, hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        len = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        len = 3;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        len = 4;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (pos + len > text.size()) return 0;
    if (at(1) < lo || at(1) > hi) return 0;
    for (std::size_t k = 2; k < len; ++k)
        if (!isContinuationByte(at(k))) return 0;
    return len;
}

char32_t decodeUtf8(std::string_view text, std::size_t& pos) {
    const std::size_t len = utf8SequenceLength(text, pos);
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (len == 0) {
        ++pos;
        return 0xFFFD;
    }
    if (len == 1) {
        ++pos;
        return lead;
    }
    char32_t cp = lead & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[pos + k]) & 0x3F);
    pos += len;
    return cp;
}

void appendUtf8(std::string& out, char32_t codePoint) {
    const auto byte = [&](char32_t b) { out.push_back(static_cast<char>(b)); };
    if (codePoint < 0x80) {
        byte(codePoint);
    } else if (codePoint < 0x800) {
        byte(0xC0 | (codePoint >> 6));
        byte(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        byte(0xE0 | (codePoint >> 12));
        byte(0x80 | ((codePoint >> 6) & 0x3F));
        byte(0x80 | (codePoint & 0x3F));
    } else {
        byte(0xF0 | (codePoint >> 18));
        byte(0x80 | ((codePoint >> 12) & 0x3F));
        byte(0x80 | ((codePoint >> 6) & 0x3F));
        byte(0x80 | (codePoint & 0x3F));
    }
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t len = utf8SequenceLength(text, pos);
        if (len == 0) return false;
        pos += len;
    }
    return true;
}

std::size_t utf8CharCount(std::string_view text) {
    std::size_t n = 0;
    for (char c : text)
        if (!isContinuationByte(static_cast<unsigned char>(c))) ++n;
    return n;
}

std::string utf8Prefix(std::string_view text, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isContinuationByte(static_cast<unsigned char>(text[i]))) continue;
        if (chars == maxChars) return std::string(text.substr(0, i));
        ++chars;
    }
    return std::string(text);
}

std::string utf8Substr(std::string_view text, std::size_t from, std::size_t count) {
    const std::size_t begin = utf8Prefix(text, from).size();
    return utf8Prefix(text.substr(begin), count);
}

}  // namespace zampo
