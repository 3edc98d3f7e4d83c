#include "logic/receiver/wirecodec.h"

#include <array>

namespace zampo {

namespace {

// Code points of the bytes 0x80..0x9F; 0 where the code page assigns none.
constexpr std::array<char32_t, 32> kHighTable = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                                 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Reads one code point at pos and advances pos; a malformed sequence gives
// U+FFFD and consumes one byte.
char32_t nextCodePoint(std::string_view s, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    std::size_t len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        len = 2, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        len = 3, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        len = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        ++pos;
        return 0xFFFD;
    }
    if (pos + len > s.size()) {
        ++pos;
        return 0xFFFD;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(s[pos + k]);
        if ((c & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return 0xFFFD;
    }
    pos += len;
    return cp;
}

char toWireByte(char32_t cp) {
    if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F)) return ' ';
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighTable.size(); ++i)
        if (kHighTable[i] == cp) return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

std::string encodeForWire(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) out.push_back(toWireByte(nextCodePoint(utf8, pos)));
    return out;
}

std::string decodeFromWire(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c <= 0x9F)
            appendUtf8(out, kHighTable[c - 0x80] ? kHighTable[c - 0x80] : char32_t{c});
        else
            appendUtf8(out, c);
    }
    return out;
}

}  // namespace zampo
