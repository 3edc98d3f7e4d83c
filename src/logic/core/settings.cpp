#include "logic/core/settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

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
    s.metricsWebConfig = trimmed(iniReadString(f, "Metrics", "webconfig", ""));
    if (!s.metricsWebConfig.empty() && s.metricsWebConfig.front() != '/' && f.find('/') != std::string::npos)
        s.metricsWebConfig = f.substr(0, f.rfind('/') + 1) + s.metricsWebConfig;
    return s;
}

std::string settingsFileProblem(const std::string& f) {
    struct stat st {};
    if (::stat(f.c_str(), &st) != 0) return errno == ENOENT ? "" : std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "it is a directory";
    if (!S_ISREG(st.st_mode)) return "it is not a regular file";
    std::ifstream in(f, std::ios::binary);
    if (!in) return std::strerror(errno);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return "it could not be read";
    std::string content = text.str();
    if (content.starts_with("\xEF\xBB\xBF")) content.erase(0, 3);
    if (content.find('\0') != std::string::npos) return "it holds binary data";
    std::istringstream lines(content);
    bool blank = true;
    for (std::string line; std::getline(lines, line);) {
        line = trimmed(line);
        if (line.empty()) continue;
        blank = false;
        if (line.front() == '[' && line.back() == ']') return "";
    }
    return blank ? "" : "it holds no [section]";
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
