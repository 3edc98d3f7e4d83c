#include "logic/commissioning/siteread.h"

#include <filesystem>

namespace zampo {

namespace {

void readXml(SiteFile& file, XmlDocument& doc, const char* rootName) {
    std::error_code ec;
    if (!std::filesystem::exists(file.path, ec)) {
        file.missing = true;
        doc.startAfresh(rootName);
        return;
    }
    std::string error;
    if (!doc.loadFile(file.path, &error)) file.error = error.empty() ? "it could not be read" : error;
}

}  // namespace

void readSite(DataPaths& paths, Site& site) {
    std::error_code ec;
    site.poIni.path = paths.poIniFile();
    site.poIni.missing = !std::filesystem::exists(site.poIni.path, ec);
    site.zamDataDir = paths.zamDataDir();
    site.poDataDir = paths.poDataDirPath();
    site.settingsFile.path = paths.settingsFile();
    site.settingsFile.missing = !std::filesystem::exists(site.settingsFile.path, ec);
    site.settingsFile.error = settingsFileProblem(site.settingsFile.path);
    site.settings = loadSettings(site.settingsFile.path);

    site.zamDefsFile.path = dataFilePath(site.poDataDir, kZamDefsFile);
    readXml(site.zamDefsFile, site.zamDefs, kZamDefsFile.rootName);
    site.linkDefsFile.path = dataFilePath(site.poDataDir, kLinkDefsFile);
    if (!std::filesystem::exists(site.linkDefsFile.path, ec) &&
        std::filesystem::exists(paths.linkDefsDefaultFile(), ec)) {
        site.linkDefsFromDefault = true;
        site.linkDefsFile.path = paths.linkDefsDefaultFile();
    }
    readXml(site.linkDefsFile, site.linkDefs, kLinkDefsFile.rootName);
}

}  // namespace zampo
