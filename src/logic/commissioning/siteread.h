#pragma once
// The files of a site read as a start reads them, without writing or making
// anything: for the commissioning commands, which may run beside a service.
#include <string>

#include "logic/core/datapaths.h"
#include "logic/core/settings.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

struct SiteFile {
    std::string path;
    bool missing = false;
    std::string error;  // why it could not be read or parsed; empty when it was
};

struct Site {
    SiteFile poIni, settingsFile, linkDefsFile, zamDefsFile;
    std::string zamDataDir, poDataDir;
    Settings settings;
    XmlDocument linkDefs, zamDefs;
    // LinkDefs.xml is missing and a start would copy this default in its place.
    bool linkDefsFromDefault = false;
};

// Settings, link and ZAM definitions. A missing definitions file reads as the
// empty document a start would begin with.
void readSite(DataPaths& paths, Site& site);

}  // namespace zampo
