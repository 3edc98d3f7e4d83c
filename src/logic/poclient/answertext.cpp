#include "logic/poclient/answertext.h"

#include "logic/encoding/encoding.h"
#include "logic/language/langtext.h"

namespace zampo {

namespace {

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
    return xmlBytesToUtf8(body);
}

bool parseAnswer(std::string_view body, pugi::xml_document& doc, std::string& error) {
    const bool wide = isWideXmlLayout(body);
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

bool readMergeAnswer(std::string_view answer, const DocumentSlot& into, const MergeAnswerNames& names,
                     pugi::xml_document& doc, std::string& error, std::string& fetchMessage) {
    if (answer.empty()) {
        error = std::string("the ") + names.answer + " answer is empty";
        fetchMessage = langText(TextId::PoEmptyAnswer);
        return false;
    }
    if (!parseAnswer(answer, doc, error)) {
        error = std::string(names.prefix) + ": " + error;
        fetchMessage = langText(TextId::PoEmptyAnswer);
        return false;
    }
    if (!into || !into->hasContent()) {
        error = std::string(names.prefix) + ": " + names.document + " could not be read; nothing merged";
        return false;
    }
    return true;
}

}  // namespace zampo
