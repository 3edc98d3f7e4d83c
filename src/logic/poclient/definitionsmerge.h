#pragma once
// Merges Priva Office's alarm definitions (locations and alarm types) into the
// link definitions: what the file does not know yet is appended, unlinked;
// nothing it holds is changed or removed, except that exception texts follow
// their alarm types.
#include <string>
#include <string_view>

#include "logic/xml/firstmatchindex.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

struct DefinitionsMergeResult {
    bool ok = false;               // the answer was merged into the slot
    bool complete = false;         // it had both alarmlocations and alarmtypes
    bool allLinksDefined = false;  // the undefined-links check after the merge (ok only)
    bool saved = false;            // a complete answer saves LinkDefs.xml at once
    int locationsAdded = 0;
    int alarmTypesAdded = 0;
    std::string fetchMessage;  // for FetchMessage: set when the answer was empty or unusable
    std::string error;         // why ok is false; the slot is then unchanged
};

// Merges the answer into the slot's document (which the caller opened from
// LinkDefs.xml in poDataDir). A complete answer also refreshes the exception
// texts and saves the file. An answer that is empty or not well-formed XML, or a
// slot without content, fails before anything changes.
DefinitionsMergeResult mergeDefinitions(std::string_view answer, DocumentSlot& linkDefs, const std::string& poDataDir,
                                        LookupMode lookup = LookupMode::Indexed);

// Copies the text of each alarm type onto the exceptions with its nr that
// already have a text, under the locations and among the general exceptions.
void refreshExceptionTexts(XmlDocument& linkDefs, LookupMode lookup = LookupMode::Indexed);

// True when the root is ZamPOLinkDefs and every location, location exception and
// general exception has a zam_alarm of exactly nine characters.
bool allLinksDefined(const XmlDocument& linkDefs);

}  // namespace zampo
