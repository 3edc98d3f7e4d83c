#pragma once
// The exchange of the ZAM definitions with ZAM-Pro: its export file written from
// ZamDefs.xml, and an export of ZAM-Pro read into ZamDefs.xml, each through the
// operator's file dialog.
#include "logic/xml/xmlstore.h"
#include "ui/operatorprompts.h"

namespace zampo {

class DataPaths;

class ZamProExchange {
public:
    ZamProExchange(OperatorPrompts& prompts, DocumentSlot& zamDefs, DataPaths& paths)
        : prompts_(prompts), zamDefs_(zamDefs), paths_(paths) {}

    // ZamDefs.xml as the file ZAM-Pro imports, where the operator saves it.
    void exportToZamPro();
    // After the operator's yes, the file the operator opens into ZamDefs.xml;
    // true when it was imported and saved.
    bool importFromZamPro();

private:
    void writeExchangeFile();
    bool readExchangeFile();

    OperatorPrompts& prompts_;
    DocumentSlot& zamDefs_;
    DataPaths& paths_;
};

}  // namespace zampo
