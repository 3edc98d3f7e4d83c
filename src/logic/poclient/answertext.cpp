#include "logic/poclient/answertext.h"

#include <cctype>
#include <cstdint>

#include "logic/linkconfig/latin1.h"

namespace zampo {

namespace {

// 0x80 to 0x9F in Windows-1252; the five unassigned bytes keep their C1 code.
constexpr uint16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void appendCp1252(std::string& out, unsigned char c) {
    appendUtf8(out, (c >= 0x80 && c <= 0x9F) ? kCp1252High[c - 0x80] : c);
}

// Length of the well-formed UTF-8 sequence at s[i] (no overlongs, no surrogates,
// nothing above U+10FFFF), or 0.
size_t utf8SequenceAt(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char c = b(0);
    if (c < 0x80) return 1;
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    if (b(1) < lo || b(1) > hi) return 0;
    for (size_t k = 2; k < len; ++k)
        if (b(k) < 0x80 || b(k) > 0xBF) return 0;
    return len;
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The encoding named in a leading XML declaration, lower-cased; empty when none.
std::string declaredEncoding(std::string_view body) {
    if (body.substr(0, 5) != "<?xml") return {};
    const size_t end = body.find("?>");
    const std::string_view decl = body.substr(0, end);
    size_t p = decl.find("encoding");
    if (p == std::string_view::npos) return {};
    p += 8;
    while (p < decl.size() && std::isspace(static_cast<unsigned char>(decl[p]))) ++p;
    if (p >= decl.size() || decl[p] != '=') return {};
    ++p;
    while (p < decl.size() && std::isspace(static_cast<unsigned char>(decl[p]))) ++p;
    if (p >= decl.size() || (decl[p] != '"' && decl[p] != '\'')) return {};
    const char quote = decl[p++];
    const size_t close = decl.find(quote, p);
    if (close == std::string_view::npos) return {};
    return lowerAscii(decl.substr(p, close - p));
}

bool isWideLayout(std::string_view body) {
    const auto at = [&](size_t i) { return i < body.size() ? static_cast<unsigned char>(body[i]) : 0x100u; };
    if ((at(0) == 0xFE && at(1) == 0xFF) || (at(0) == 0xFF && at(1) == 0xFE)) return true;
    // '<' with NUL padding: UTF-16 or UTF-32 without a byte-order mark.
    return body.size() >= 2 && (at(0) == 0 || at(1) == 0);
}

// "&#0;", "&#x00;" and the like somewhere in text. Cheap, and blind to where the
// reference stands, so a hit is only a reason to look closer.
bool mentionsNulReference(std::string_view text) {
    for (size_t p = text.find("&#"); p != std::string_view::npos; p = text.find("&#", p + 2)) {
        size_t i = p + 2;
        if (i < text.size() && text[i] == 'x') ++i;
        const size_t digits = i;
        while (i < text.size() && text[i] == '0') ++i;
        if (i > digits && i < text.size() && text[i] == ';') return true;
    }
    return false;
}

// Whether a reference to NUL stands where the parser expands references: in an
// attribute value or in text (not in a comment or CDATA section). XML forbids the
// character, and expanded it would silently end a name there.
bool expandsNulReference(const void* data, size_t size, pugi::xml_encoding encoding) {
    pugi::xml_document raw;
    if (!raw.load_buffer(data, size, pugi::parse_default & ~pugi::parse_escapes, encoding)) return false;
    for (pugi::xml_node n = raw.first_child(); n;) {
        if (n.type() == pugi::node_pcdata && mentionsNulReference(n.value())) return true;
        for (pugi::xml_attribute a : n.attributes())
            if (mentionsNulReference(a.value())) return true;
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && !n.next_sibling()) n = n.parent();
        if (n) n = n.next_sibling();
    }
    return false;
}

}  // namespace

std::string decodeAnswerBytes(std::string_view body) {
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    const std::string enc = declaredEncoding(body);
    if (enc == "iso-8859-1" || enc == "iso8859-1" || enc == "iso_8859-1" || enc == "latin1" || enc == "latin-1" ||
        enc == "l1")
        return latin1ToUtf8(body);
    std::string out;
    out.reserve(body.size() + body.size() / 8);
    const bool cp1252 = enc == "windows-1252" || enc == "cp1252";
    size_t i = 0;
    while (i < body.size()) {
        const size_t len = cp1252 ? 0 : utf8SequenceAt(body, i);
        if (len > 0) {
            out.append(body.substr(i, len));
            i += len;
        } else {
            appendCp1252(out, static_cast<unsigned char>(body[i]));
            ++i;
        }
    }
    return out;
}

bool parseAnswer(std::string_view body, pugi::xml_document& doc, std::string& error) {
    const bool wide = isWideLayout(body);
    const std::string text = wide ? std::string() : decodeAnswerBytes(body);
    const void* data = wide ? body.data() : text.data();
    const size_t size = wide ? body.size() : text.size();
    const pugi::xml_encoding encoding = wide ? pugi::encoding_auto : pugi::encoding_utf8;
    const pugi::xml_parse_result r = doc.load_buffer(data, size, pugi::parse_default, encoding);
    if (!r) {
        error = std::string("the answer is not well-formed XML: ") + r.description() + " at offset " +
                std::to_string(r.offset);
        doc.reset();
        return false;
    }
    // The 8-bit text shows at a glance whether a second look is needed.
    if ((wide || mentionsNulReference(text)) && expandsNulReference(data, size, encoding)) {
        error = "the answer is not well-formed XML: it holds a character reference to NUL (&#0;)";
        doc.reset();
        return false;
    }
    if (!doc.document_element()) {
        error = "the answer holds no XML element";
        doc.reset();
        return false;
    }
    return true;
}

}  // namespace zampo
