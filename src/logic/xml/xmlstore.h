#pragma once
// The store behind the three data files: open (or start afresh), save, reload,
// and the one depth-first search every caller uses.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace zampo {

// One in-memory document that either holds content or does not (never read,
// emptied for a reload, or its file failed to parse).
class XmlDocument {
public:
    pugi::xml_document& dom() { return dom_; }
    const pugi::xml_document& dom() const { return dom_; }
    pugi::xml_node root() const { return dom_.document_element(); }
    bool hasContent() const { return hasContent_; }

    // Empties the document; it no longer holds content.
    void clear();
    // Becomes a deep copy of other, content flag included.
    void copyFrom(const XmlDocument& other);
    // The same a slice at a time, for a document too large to copy within one event:
    // startCopy takes everything but the root's children and returns the first of
    // them; copyChildren appends copies of up to count children from `from` on and
    // returns where the next slice begins (none once all are copied). Other must not
    // change in between.
    pugi::xml_node startCopy(const XmlDocument& other);
    pugi::xml_node copyChildren(pugi::xml_node from, std::size_t count);
    // Replaces the content with a fresh ISO-8859-1 document holding one root.
    void startAfresh(const std::string& rootName);
    // Parses text; on failure the document is left without content and error says why.
    bool loadText(std::string_view text, std::string* error = nullptr);
    bool loadFile(const std::string& path, std::string* error = nullptr);
    // The document as it would be written to disk (declared encoding, TAB indent).
    std::string toText() const;

private:
    pugi::xml_document dom_;
    bool hasContent_ = false;
};

// A holder's reference to one document: empty or holding one.
using DocumentSlot = std::unique_ptr<XmlDocument>;

// Opens path into the slot unless the slot already holds content. A missing file
// starts a document with only rootName; a damaged file leaves it without content.
void openDocument(DocumentSlot& slot, const std::string& path, const std::string& rootName);
// Writes the slot's document atomically; false when the slot is empty, without
// content, or the write failed (the old file is then untouched).
bool saveDocument(const DocumentSlot& slot, const std::string& path, std::string* error = nullptr);
// Empties the slot's document and opens it again from path.
void reloadDocument(DocumentSlot& slot, const std::string& path, const std::string& rootName);

// The first child node of the document, or the one after it when the first is the
// XML declaration.
pugi::xml_node topElement(const pugi::xml_document& doc);

// Depth-first, first match in document order among the descendants of start
// (never start itself). An element matches when its name equals name and, for
// each listed attribute, it lacks that attribute or its value equals the given one.
pugi::xml_node searchNode(pugi::xml_node start, std::string_view name, const std::vector<std::string>& attrNames = {},
                          const std::vector<std::string>& attrValues = {});

// The three data files and their roots.
struct DataFile {
    const char* fileName;
    const char* rootName;
};
inline constexpr DataFile kZamDefsFile{"ZamDefs.xml", "ZamAlarmDefinitions"};
inline constexpr DataFile kLinkDefsFile{"LinkDefs.xml", "ZamPOLinkDefs"};
inline constexpr DataFile kAlarmStatusFile{"AlarmStatus.xml", "POAlarmStatus"};

std::string dataFilePath(const std::string& poDataDir, const DataFile& file);
void openDataFile(DocumentSlot& slot, const std::string& poDataDir, const DataFile& file);
bool saveDataFile(const DocumentSlot& slot, const std::string& poDataDir, const DataFile& file);
void reloadDataFile(DocumentSlot& slot, const std::string& poDataDir, const DataFile& file);

}  // namespace zampo
