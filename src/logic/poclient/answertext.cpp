#include "logic/poclient/answertext.h"

#include <cctype>

#include "logic/text/encoding.h"

namespace zampo {

namespace {

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
        const size_t len = cp1252 ? 0 : utf8SequenceLength(body, i);
        if (len > 0) {
            out.append(body.substr(i, len));
            i += len;
        } else {
            appendUtf8(out, windows1252ToUnicode(static_cast<unsigned char>(body[i])));
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
