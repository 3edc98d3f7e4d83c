#pragma once
// The gateway's settings in ZamLocal.INI.
#include <string>

namespace zampo {

struct Settings {
    std::string zamHost = "127.0.0.1";         // [IP] address
    int zamPort = 8132;                        // [IP] OIPort
    std::string poHost = "127.0.0.1";          // [PO] address
    bool sendPcu = true;                       // [PO] sendpcu, on only when exactly 1
    bool filterPunct = false;                  // [PO] filterpunct, on only when exactly 1
    int watchdogId = 1;                        // [PO] WDid, 0..9, else 1
    std::string language = "ENG";              // [PO] language
    bool trace = false;                        // [PO] Trace, on only when exactly 1
    int metricsPort = 0;                       // [Metrics] port, 1..65535; 0: no metrics
    std::string metricsAddress = "127.0.0.1";  // [Metrics] address
    std::string metricsWebConfig;              // [Metrics] webconfig, relative to ZamLocal.INI's directory
};

// Reads every key; missing or bad values give their defaults.
Settings loadSettings(const std::string& iniFile);
// Why the file cannot be read as settings (not a readable file, NUL bytes, text
// without a single [section]); empty when it can, or when it does not exist.
// Taken as read, such a file would give the defaults in silence.
std::string settingsFileProblem(const std::string& iniFile);
// Writes what a confirmed close stores (everything but Trace); addresses trimmed.
void saveSettings(const std::string& iniFile, const Settings& s);

std::string trimmed(const std::string& s);

}  // namespace zampo
