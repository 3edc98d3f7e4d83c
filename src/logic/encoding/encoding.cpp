#include "logic/encoding/encoding.h"

#include <array>
#include <cctype>

#include "logic/encoding/textrules.h"

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

enum class Wide { None, Utf16Le, Utf16Be, Utf32Le, Utf32Be };

struct WideForm {
    Wide form = Wide::None;
    std::size_t markLength = 0;
};

WideForm wideFormOf(std::string_view b) {
    const auto at = [&](std::size_t i) { return i < b.size() ? static_cast<unsigned char>(b[i]) : 0x100u; };
    if (at(0) == 0x00 && at(1) == 0x00 && at(2) == 0xFE && at(3) == 0xFF) return {Wide::Utf32Be, 4};
    if (at(0) == 0xFF && at(1) == 0xFE && at(2) == 0x00 && at(3) == 0x00) return {Wide::Utf32Le, 4};
    if (at(0) == 0xFE && at(1) == 0xFF) return {Wide::Utf16Be, 2};
    if (at(0) == 0xFF && at(1) == 0xFE) return {Wide::Utf16Le, 2};
    if (at(0) == 0x00 && at(1) == 0x00) return {Wide::Utf32Be, 0};
    if (at(0) == 0x00) return {Wide::Utf16Be, 0};
    if (at(1) == 0x00 && at(2) == 0x00 && at(3) == 0x00) return {Wide::Utf32Le, 0};
    if (at(1) == 0x00) return {Wide::Utf16Le, 0};
    return {};
}

std::string wideToUtf8(std::string_view b, Wide form) {
    const bool utf32 = form == Wide::Utf32Le || form == Wide::Utf32Be;
    const bool big = form == Wide::Utf16Be || form == Wide::Utf32Be;
    const std::size_t unit = utf32 ? 4 : 2;
    auto read = [&](std::size_t i) {
        char32_t v = 0;
        for (std::size_t k = 0; k < unit; ++k) {
            const auto byte = static_cast<unsigned char>(b[i + (big ? k : unit - 1 - k)]);
            v = (v << 8) | byte;
        }
        return v;
    };
    std::string out;
    out.reserve(b.size() / unit);
    std::size_t i = 0;
    for (; i + unit <= b.size(); i += unit) {
        char32_t cp = read(i);
        if (!utf32 && cp >= 0xD800 && cp <= 0xDBFF && i + 2 * unit <= b.size()) {
            const char32_t low = read(i + unit);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += unit;
            }
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
        appendUtf8(out, cp);
    }
    if (i < b.size()) appendUtf8(out, 0xFFFD);  // a cut-off last unit
    return out;
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
        if (static_cast<unsigned char>(utf8[pos]) < 0x80) {  // most of a document: taken as it is
            out.push_back(utf8[pos++]);
            continue;
        }
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

std::string declaredXmlEncoding(std::string_view text) {
    if (text.substr(0, 5) != "<?xml") return {};
    const std::string_view decl = text.substr(0, text.find("?>"));
    std::size_t p = decl.find("encoding");
    if (p == std::string_view::npos) return {};
    p += 8;
    while (p < decl.size() && std::isspace(static_cast<unsigned char>(decl[p]))) ++p;
    if (p >= decl.size() || decl[p] != '=') return {};
    ++p;
    while (p < decl.size() && std::isspace(static_cast<unsigned char>(decl[p]))) ++p;
    if (p >= decl.size() || (decl[p] != '"' && decl[p] != '\'')) return {};
    const char quote = decl[p++];
    const std::size_t close = decl.find(quote, p);
    if (close == std::string_view::npos) return {};
    return lowerAscii(decl.substr(p, close - p));
}

bool isLatin1EncodingName(std::string_view name) {
    const std::string n = lowerAscii(name);
    return n == "iso-8859-1" || n == "iso8859-1" || n == "iso_8859-1" || n == "latin1" || n == "latin-1" || n == "l1";
}

bool isUtf8EncodingName(std::string_view name) {
    const std::string n = lowerAscii(name);
    return n == "utf-8" || n == "utf8";
}

bool isWideXmlLayout(std::string_view bytes) {
    return bytes.size() >= 2 && wideFormOf(bytes).form != Wide::None;
}

std::string xmlBytesToUtf8(std::string_view bytes) {
    if (isWideXmlLayout(bytes)) {
        const WideForm wide = wideFormOf(bytes);
        return wideToUtf8(bytes.substr(wide.markLength), wide.form);
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    const std::string enc = declaredXmlEncoding(bytes);
    if (isLatin1EncodingName(enc)) return latin1ToUtf8(bytes);
    if (enc == "windows-1252" || enc == "cp1252") return windows1252ToUtf8(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t len = utf8SequenceLength(bytes, i);
        if (len > 0) {
            out.append(bytes.substr(i, len));
            i += len;
        } else {
            appendUtf8(out, windows1252ToUnicode(static_cast<unsigned char>(bytes[i])));
            ++i;
        }
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
