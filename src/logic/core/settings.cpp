#include "logic/core/settings.h"

#include "logic/core/inifile.h"

namespace zampo {

std::string trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

Settings loadSettings(const std::string& f) {
    Settings s;
    s.zamHost = iniReadString(f, "IP", "address", "127.0.0.1");
    s.zamPort = iniReadInteger(f, "IP", "OIPort", 8132);
    s.poHost = iniReadString(f, "PO", "address", "127.0.0.1");
    s.sendPcu = iniReadInteger(f, "PO", "sendpcu", 1) == 1;
    s.filterPunct = iniReadInteger(f, "PO", "filterpunct", 0) == 1;
    const int wd = iniReadInteger(f, "PO", "WDid", 1);
    s.watchdogId = (wd >= 0 && wd <= 9) ? wd : 1;
    s.language = iniReadString(f, "PO", "language", "ENG");
    s.trace = iniReadInteger(f, "PO", "Trace", 0) == 1;
    const int port = iniReadInteger(f, "Metrics", "port", 0);
    s.metricsPort = port >= 1 && port <= 65535 ? port : 0;
    s.metricsAddress = trimmed(iniReadString(f, "Metrics", "address", "127.0.0.1"));
    if (s.metricsAddress.empty()) s.metricsAddress = "127.0.0.1";
    return s;
}

void saveSettings(const std::string& f, const Settings& s) {
    iniWriteString(f, "IP", "address", trimmed(s.zamHost));
    iniWriteString(f, "PO", "address", trimmed(s.poHost));
    iniWriteInteger(f, "IP", "OIPort", s.zamPort);
    iniWriteString(f, "PO", "language", s.language == "NLD" ? "NLD" : "ENG");
    iniWriteInteger(f, "PO", "sendpcu", s.sendPcu ? 1 : 0);
    iniWriteInteger(f, "PO", "filterpunct", s.filterPunct ? 1 : 0);
    iniWriteInteger(f, "PO", "WDid", s.watchdogId);
}

}  // namespace zampo
