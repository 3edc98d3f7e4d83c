#pragma once
// The operator's edits of the two definition files as the pages make them: saved
// at once, and when that fails the operator is told why and the log says so.
#include "logic/linkconfig/documentedit.h"
#include "ui/operatorprompts.h"

namespace zampo {

class DataPaths;

// The change saved to LinkDefs.xml (or ZamDefs.xml) and taken into the slot's
// document; false, with the operator told why, when it could not be saved.
bool changeLinkDefs(OperatorPrompts& prompts, DocumentSlot& linkDefs, DataPaths& paths, const DocumentChange& change);
bool changeZamDefs(OperatorPrompts& prompts, DocumentSlot& zamDefs, DataPaths& paths, const DocumentChange& change);

}  // namespace zampo
