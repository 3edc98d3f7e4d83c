#include "logic/xml/xmlstore.h"

#include <unistd.h>
#include <algorithm>
#include <cctype>

#include "logic/core/atomicfile.h"
#include "logic/encoding/encoding.h"

namespace zampo {

namespace {

pugi::xml_node declarationOf(const pugi::xml_document& doc) {
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_declaration) return n;
    return {};
}

}  // namespace

void XmlDocument::clear() {
    dom_.reset();
    hasContent_ = false;
}

void XmlDocument::copyFrom(const XmlDocument& other) {
    if (&other == this) return;
    dom_.reset(other.dom_);
    hasContent_ = other.hasContent_;
}

pugi::xml_node XmlDocument::startCopy(const XmlDocument& other) {
    dom_.reset();
    hasContent_ = other.hasContent_;
    const pugi::xml_node root = other.root();
    for (pugi::xml_node n = other.dom_.first_child(); n; n = n.next_sibling()) {
        if (n != root) {
            dom_.append_copy(n);
            continue;
        }
        pugi::xml_node shell = dom_.append_child(root.name());
        for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute()) shell.append_copy(a);
    }
    return root.first_child();
}

pugi::xml_node XmlDocument::copyChildren(pugi::xml_node from, std::size_t count) {
    pugi::xml_node to = root();
    for (; from && count > 0; from = from.next_sibling(), --count) to.append_copy(from);
    return from;
}

void XmlDocument::startAfresh(const std::string& rootName) {
    dom_.reset();
    pugi::xml_node decl = dom_.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "ISO-8859-1";
    dom_.append_child(rootName.c_str());
    hasContent_ = true;
}

bool XmlDocument::loadText(std::string_view text, std::string* error) {
    dom_.reset();
    hasContent_ = false;
    const std::string utf8 = xmlBytesToUtf8(text);
    pugi::xml_parse_result r =
        dom_.load_buffer(utf8.data(), utf8.size(), pugi::parse_default | pugi::parse_declaration, pugi::encoding_utf8);
    if (!r) {
        if (error) *error = std::string(r.description()) + " at offset " + std::to_string(r.offset);
        dom_.reset();
        return false;
    }
    if (!dom_.document_element()) {
        if (error) *error = "no root element";
        dom_.reset();
        return false;
    }
    // The text is UTF-8 now; a save writes it as ISO-8859-1 unless UTF-8 is declared,
    // so the declaration must say so (a kept "windows-1252" would misread it later).
    if (pugi::xml_attribute enc = declarationOf(dom_).attribute("encoding");
        enc && !isUtf8EncodingName(enc.value()) && !isLatin1EncodingName(enc.value()))
        enc.set_value("ISO-8859-1");
    hasContent_ = true;
    return true;
}

bool XmlDocument::loadFile(const std::string& path, std::string* error) {
    std::string data;
    if (!readWholeFile(path, data)) {
        if (error) *error = "cannot read " + path;
        clear();
        return false;
    }
    return loadText(data, error);
}

std::string XmlDocument::toText() const {
    // Straight into one string: a stream and its copies cost more than the writing
    // itself for a status of tens of thousands of elements.
    struct StringWriter : pugi::xml_writer {
        std::string text;
        void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
    } out;
    pugi::xml_node decl = declarationOf(dom_);
    const bool latin1 =
        !decl || !decl.attribute("encoding") || isLatin1EncodingName(decl.attribute("encoding").value());
    unsigned flags = pugi::format_indent;
    if (!decl) {
        out.text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
        flags |= pugi::format_no_declaration;
    }
    dom_.save(out, "\t", flags, pugi::encoding_utf8);
    const bool ascii = std::all_of(out.text.begin(), out.text.end(), [](char c) { return (c & 0x80) == 0; });
    return latin1 && !ascii ? utf8ToLatin1WithReferences(out.text) : std::move(out.text);
}

void openDocument(DocumentSlot& slot, const std::string& path, const std::string& rootName) {
    if (!slot) slot = std::make_unique<XmlDocument>();
    if (slot->hasContent()) return;
    try {
        if (::access(path.c_str(), F_OK) == 0)
            slot->loadFile(path);
        else
            slot->startAfresh(rootName);
    } catch (...) {
        slot->clear();
    }
}

bool saveDocument(const DocumentSlot& slot, const std::string& path, std::string* error) {
    if (!slot || !slot->hasContent()) {
        if (error) *error = "no document content to save";
        return false;
    }
    try {
        return writeFileAtomically(path, slot->toText(), error);
    } catch (const std::exception& e) {
        if (error) *error = e.what();
        return false;
    }
}

void reloadDocument(DocumentSlot& slot, const std::string& path, const std::string& rootName) {
    if (slot) slot->clear();
    openDocument(slot, path, rootName);
}

pugi::xml_node topElement(const pugi::xml_document& doc) {
    pugi::xml_node first = doc.first_child();
    if (!first) return first;
    std::string name = first.name();
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name == "XML") return first.next_sibling();
    return first;
}

namespace {
bool matches(pugi::xml_node n, std::string_view name, const std::vector<std::string>& attrNames,
             const std::vector<std::string>& attrValues) {
    if (n.type() != pugi::node_element || name != n.name()) return false;
    for (size_t k = 0; k < attrNames.size(); ++k) {
        pugi::xml_attribute a = n.attribute(attrNames[k].c_str());
        if (a && attrValues[k] != a.value()) return false;
    }
    return true;
}
}  // namespace

pugi::xml_node searchNode(pugi::xml_node start, std::string_view name, const std::vector<std::string>& attrNames,
                          const std::vector<std::string>& attrValues) {
    // Iterative pre-order walk: deep hand-edited files must not exhaust the stack.
    pugi::xml_node n = start.first_child();
    while (n) {
        if (matches(n, name, attrNames, attrValues)) return n;
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && !n.next_sibling()) {
            n = n.parent();
            if (n == start) return {};
        }
        if (n) n = n.next_sibling();
    }
    return {};
}

std::string dataFilePath(const std::string& poDataDir, const DataFile& file) {
    return poDataDir + "/" + file.fileName;
}

void openDataFile(DocumentSlot& slot, const std::string& poDataDir, const DataFile& file) {
    openDocument(slot, dataFilePath(poDataDir, file), file.rootName);
}

bool saveDataFile(const DocumentSlot& slot, const std::string& poDataDir, const DataFile& file) {
    return saveDocument(slot, dataFilePath(poDataDir, file));
}

void reloadDataFile(DocumentSlot& slot, const std::string& poDataDir, const DataFile& file) {
    reloadDocument(slot, dataFilePath(poDataDir, file), file.rootName);
}

}  // namespace zampo
