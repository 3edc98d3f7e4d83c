#pragma once
// Where the gateway keeps its files, derived from the ZAM-Pro data directory.
#include <string>

namespace zampo {

// Directory of the running executable.
std::string programDirectory();

// Where an installed package keeps PO.ini and linkdefs.default when they are not
// beside the program; empty members are not searched.
struct SystemDirs {
    std::string config;
    std::string shared;
};
inline const SystemDirs kPackageDirs{"/etc/zampo", "/usr/share/zampo"};

class DataPaths {
public:
    // programDir holds PO.ini and linkdefs.default; homeDir gives the defaults ~/zam/...
    // A file missing beside the program is looked for in the system directories.
    DataPaths(std::string programDir, std::string homeDir, SystemDirs system = {});

    const std::string& programDir() const { return programDir_; }
    // PO.ini beside the program, else in the config directory when it is there.
    std::string poIniFile() const;
    // linkdefs.default beside the program, else in the shared directory when it is there.
    std::string linkDefsDefaultFile() const;
    // From PO.ini [Application] datapath, else ~/zam/data; fixed once found.
    std::string zamDataDir();
    // Why the ZAM data directory cannot be used (it exists but is no directory, or
    // its path cannot be searched or written); empty when usable or not there yet.
    std::string zamDataDirProblem();
    // The part of the ZAM data directory up to its first "/data" (any case) plus
    // "PoData"; ~/zam/PoData when there is none. Created when missing; never cached.
    std::string poDataDir();
    std::string xmlDir();
    // Where poDataDir() is, without making anything: for the read-only commands.
    std::string poDataDirPath();
    std::string traceDir() { return poDataDir() + "/trace"; }
    std::string settingsFile() { return zamDataDir() + "/ZamLocal.INI"; }
    std::string logFile() { return zamDataDir() + "/ZAMPO.LOG"; }

private:
    std::string derived(const std::string& leaf, bool create = true);
    std::string firstExisting(const std::string& name, const std::string& systemDir) const;
    std::string programDir_;
    std::string homeDir_;
    SystemDirs system_;
    std::string cachedZamDataDir_;
};

// The user's home directory from the account database, else $HOME.
std::string userHomeDirectory();

}  // namespace zampo
