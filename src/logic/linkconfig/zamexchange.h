#pragma once
// The exchange file of ZAM-Pro locations and alarms (root ZamDefinitions): written
// from the ZAM definitions, and merged into them.
#include <string>
#include <string_view>

#include "logic/xml/xmlstore.h"

namespace zampo {

inline constexpr const char* kExchangeRoot = "ZamDefinitions";
inline constexpr const char* kExchangeFileName = "PO Export Alarms.xml";
// The gateway's own location; its alarms 5, 8 and 9 get fixed names when imported.
inline constexpr int kSystemLocationCode = 9999;

// Codes and names of every location and alarm below ZamAlarmDefinitions, as the
// text of an ISO-8859-1 exchange file. False when there is no ZamAlarmDefinitions.
bool buildZamExchange(const XmlDocument& zamDefs, std::string& text);

// The names a new system alarm 5, 8 or 9 of location 9999 gets, in the operator's language.
struct SystemAlarmNames {
    std::string alarm5;
    std::string alarm8;
    std::string alarm9;
};

enum class ImportStatus {
    Imported,
    NotWellFormed,       // detail: where and why the parser stopped
    WrongRoot,           // the root is not ZamDefinitions
    CodeNotWholeNumber,  // detail: the entry
};

struct ImportResult {
    ImportStatus status = ImportStatus::Imported;
    std::string detail;
};

// Merges the exchange file into the ZAM definitions: names of existing locations
// and alarms are overwritten (but not of the system alarms), missing ones are
// added; nothing is removed and group delays and repeat intervals stay. Entries
// without Code or Name, or with a code out of range, are skipped, as are alarms
// whose location is not in the ZAM definitions. The file is checked whole first:
// when it is not well-formed, has another root or holds a Code that is not a
// whole number, the ZAM definitions are left exactly as they were. The bytes are
// read in the encoding the file declares (a byte-order mark, ISO-8859-1,
// windows-1252, UTF-8).
ImportResult importZamDefinitions(XmlDocument& zamDefs, std::string_view exchangeBytes, const SystemAlarmNames& names);

}  // namespace zampo
