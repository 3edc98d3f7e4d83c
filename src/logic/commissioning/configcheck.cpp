#include "logic/commissioning/configcheck.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "logic/commissioning/routeexplain.h"
#include "logic/commissioning/siteread.h"
#include "logic/core/settings.h"
#include "logic/core/startguard.h"
#include "logic/core/webconfig.h"
#include "logic/encoding/textrules.h"
#include "logic/linkconfig/linkdefs.h"
#include "logic/linkconfig/zamdefs.h"

namespace zampo {

namespace {

namespace fs = std::filesystem;

struct IniEntry {
    std::string section, key, value;
    int line = 0;
};

// Sections and keys as they stand; names compare without regard to case, as the reader does.
std::vector<IniEntry> iniEntries(const std::string& path) {
    std::vector<IniEntry> out;
    std::ifstream in(path, std::ios::binary);
    std::string section;
    int n = 0;
    for (std::string line; std::getline(in, line);) {
        ++n;
        if (n == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
        line = trimmed(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = trimmed(line.substr(1, line.size() - 2));
            out.push_back({section, "", "", n});
            continue;
        }
        const auto eq = line.find('=');
        out.push_back(
            {section, trimmed(line.substr(0, eq)), eq == std::string::npos ? "" : trimmed(line.substr(eq + 1)), n});
    }
    return out;
}

// At most nine characters, a "-" allowed in front.
bool wholeNumber(const std::string& v, long& out) {
    if (v.size() > 9 || v.starts_with('+')) return false;
    const std::optional<long long> value = parseDecimal(v, true);
    if (!value) return false;
    out = static_cast<long>(*value);
    return true;
}

class Checker {
public:
    explicit Checker(ConfigReport& r) : r_(r) {}
    void add(ProblemLevel level, const std::string& file, const std::string& text, const std::string& element = {}) {
        r_.problems.push_back({level, file, element, text});
    }
    void error(const std::string& file, const std::string& text, const std::string& element = {}) {
        add(ProblemLevel::Error, file, text, element);
    }
    void warning(const std::string& file, const std::string& text, const std::string& element = {}) {
        add(ProblemLevel::Warning, file, text, element);
    }

private:
    ConfigReport& r_;
};

struct KeyRule {
    long min, max;
    bool error;  // a bad value keeps the gateway from working, not just from a setting
    const char* effect;
};

void checkIni(Checker& c, const std::string& path, const std::map<std::string, std::map<std::string, KeyRule>>& known) {
    for (const IniEntry& e : iniEntries(path)) {
        const std::string where = path + ":" + std::to_string(e.line);
        const auto section = known.find(lowerAscii(e.section));
        if (section == known.end()) {
            if (e.key.empty()) c.warning(where, "unknown section [" + e.section + "]; the gateway ignores it");
            continue;
        }
        if (e.key.empty()) continue;
        const auto rule = section->second.find(lowerAscii(e.key));
        if (rule == section->second.end()) {
            c.warning(where, "unknown key " + e.key + " in [" + e.section + "]; the gateway ignores it");
            continue;
        }
        const KeyRule& k = rule->second;
        if (lowerAscii(e.section) == "po" && lowerAscii(e.key) == "language" && e.value != "ENG" && e.value != "NLD") {
            c.warning(where, "language=" + e.value + " is neither ENG nor NLD; English is used");
            continue;
        }
        if (k.min > k.max) {  // a text: only an empty one is wrong
            if (e.value.empty())
                c.add(k.error ? ProblemLevel::Error : ProblemLevel::Warning, where, e.key + " is empty; " + k.effect);
            continue;
        }
        long v = 0;
        if (!wholeNumber(e.value, v))
            c.add(k.error ? ProblemLevel::Error : ProblemLevel::Warning, where,
                  e.key + "=" + e.value + " is not a number; " + k.effect);
        else if (v < k.min || v > k.max)
            c.add(k.error ? ProblemLevel::Error : ProblemLevel::Warning, where,
                  e.key + "=" + e.value + " is out of range " + std::to_string(k.min) + ".." + std::to_string(k.max) +
                      "; " + k.effect);
    }
}

const std::map<std::string, std::map<std::string, KeyRule>> kPoIniKeys{
    {"application", {{"datapath", {1, 0, false, "the default ~/zam/data is used"}}}}};

const KeyRule kText{1, 0, false, "the default is used"};
const KeyRule kSwitch{0, 1, false, "only 1 switches it on"};
const std::map<std::string, std::map<std::string, KeyRule>> kSettingsKeys{
    {"ip",
     {{"address", {1, 0, true, "ZamMeld cannot be reached"}},
      {"oiport", {1, 65535, true, "ZamMeld cannot be reached"}}}},
    {"po",
     {{"address", {1, 0, false, "127.0.0.1 is used"}},
      {"sendpcu", kSwitch},
      {"filterpunct", kSwitch},
      {"wdid", {0, 9, false, "watchdog ID 1 is used"}},
      {"language", kText},
      {"trace", kSwitch}}},
    {"metrics",
     {{"port", {0, 65535, false, "metrics are off"}},
      {"address", {1, 0, false, "127.0.0.1 is used"}},
      {"webconfig", {1, 0, false, "no users and no TLS"}}}},
};

// Why the process cannot write in dir (or make it, when missing); empty when it can.
std::string unwritable(const std::string& dir) {
    std::error_code ec;
    std::string target = dir;
    if (!fs::exists(dir, ec)) target = fs::path(dir).parent_path().string();
    if (::access(target.c_str(), W_OK | X_OK) == 0) return {};
    const int err = errno;
    return (target == dir ? dir : target + " (to make " + dir + ")") + " cannot be written: " + std::strerror(err);
}

void checkDirectories(Checker& c, DataPaths& paths, const Site& site, bool& unreadable) {
    (void)unreadable;
    if (const std::string problem = paths.zamDataDirProblem(); !problem.empty()) {
        c.error(site.zamDataDir, "the ZAM data directory " + problem + ". " + dataDirHint(paths, site.zamDataDir));
    } else if (std::error_code ec; !fs::exists(site.zamDataDir, ec)) {
        if (const std::string why = unwritable(site.zamDataDir); !why.empty())
            c.error(site.zamDataDir, why + ". " + dataDirHint(paths, site.zamDataDir));
        else
            c.warning(site.zamDataDir, "the ZAM data directory does not exist yet; the log and settings wait for it");
    }
    if (const std::string why = unwritable(site.poDataDir); !why.empty())
        c.error(site.poDataDir, "the PO data directory " + why + ". " + dataDirHint(paths, site.poDataDir));
}

void checkZamDefs(Checker& c, const Site& site) {
    const pugi::xml_node root = site.zamDefs.root();
    if (root && std::strcmp(root.name(), kZamDefsFile.rootName) != 0)
        c.error(site.zamDefsFile.path, std::string("the root is not ") + kZamDefsFile.rootName, elementStartTag(root));
}

void checkLinkDefs(Checker& c, const Site& site) {
    const std::string& file = site.linkDefsFile.path;
    const pugi::xml_node root = site.linkDefs.root();
    if (!root) return;
    if (std::strcmp(root.name(), kLinkDefsFile.rootName) != 0) {
        c.error(file, std::string("the root is not ") + kLinkDefsFile.rootName, elementStartTag(root));
        return;
    }
    std::set<std::string> types;
    for (pugi::xml_node t : searchNode(root, "PO_AlarmTypes").children("PO_Alarm"))
        types.insert(t.attribute("nr").value());

    // The ZAM alarm and group of one element; empty alarm of a location is "no link".
    auto checkRefs = [&](pugi::xml_node e, bool location) {
        const std::string tag = elementStartTag(e);
        const std::string alarm = e.attribute("zam_alarm").value();
        if (alarm.empty()) {
            if (location)
                c.warning(file, "location with no link: its alarms raise 9999/9 unless an exception links them", tag);
        } else if (!isDefinedLinkValue(alarm)) {
            c.error(file, "ZAM alarm reference \"" + alarm + "\" is not nine characters: its alarms raise 9999/9", tag);
        } else if (site.zamDefs.hasContent() && !zamAlarmExists(site.zamDefs, alarm)) {
            c.error(file, "ZAM alarm " + alarm + " is not in ZamDefs.xml: ZamMeld will refuse it", tag);
        }
        const std::string group = e.attribute("zam_group").value();
        if (group.empty()) return;
        if (!isDefinedLinkValue(group) || (site.zamDefs.hasContent() && !zamAlarmExists(site.zamDefs, group)))
            c.error(file, "group \"" + group + "\" is not a ZAM alarm of ZamDefs.xml", tag);
    };
    auto checkExceptions = [&](pugi::xml_node parent) {
        std::set<std::string> seen;
        for (pugi::xml_node x : parent.children("Except")) {
            const std::string nr = x.attribute("nr").value();
            if (!seen.insert(nr).second)
                c.warning(file, "duplicate exception nr=\"" + nr + "\": only the first one counts", elementStartTag(x));
            if (!types.empty() && !types.contains(nr))
                c.warning(file, "exception of alarm type " + nr + ", which no definitions fetch has listed",
                          elementStartTag(x));
            checkRefs(x, false);
        }
    };

    std::set<std::pair<std::string, std::string>> locations;
    for (pugi::xml_node loc : searchNode(root, "PO_Locations").children("PO_loc")) {
        if (!locations.insert({loc.attribute("pcu").value(), loc.attribute("text").value()}).second)
            c.warning(file, "duplicate location: only the first one counts", elementStartTag(loc));
        checkRefs(loc, true);
        checkExceptions(loc);
    }
    checkExceptions(searchNode(root, "PO_Exceptions"));
}

// The web configuration as the metrics endpoint would take it at a start.
void checkMetrics(Checker& c, const std::string& iniFile) {
    const Settings s = loadSettings(iniFile);
    if (s.metricsPort == 0) return;
    if (s.metricsWebConfig.empty()) {
        if (!isLoopbackAddress(s.metricsAddress))
            c.warning(iniFile, "[Metrics] address=" + s.metricsAddress +
                                   " without webconfig: /metrics is open to anyone who reaches it and the status "
                                   "page is off");
        return;
    }
    const WebConfigRead web = readWebConfig(s.metricsWebConfig);
    for (const WebConfigProblem& p : web.problems)
        c.add(p.error ? ProblemLevel::Error : ProblemLevel::Warning,
              s.metricsWebConfig + (p.line ? ":" + std::to_string(p.line) : ""),
              p.text + (p.error ? "; the gateway serves no metrics" : ""));
    if (web.usable() && web.config.users.empty() && !isLoopbackAddress(s.metricsAddress))
        c.warning(s.metricsWebConfig, "no basic_auth_users: the status page is off on " + s.metricsAddress);
}

}  // namespace

int ConfigReport::errors() const {
    int n = 0;
    for (const auto& p : problems) n += p.level == ProblemLevel::Error;
    return n;
}

int ConfigReport::warnings() const {
    return static_cast<int>(problems.size()) - errors();
}

int ConfigReport::exitStatus() const {
    return unreadable ? 2 : errors() > 0 ? 1 : 0;
}

ConfigReport checkConfig(DataPaths& paths) {
    ConfigReport report;
    Checker c(report);
    Site site;
    readSite(paths, site);

    if (site.poIni.missing)
        c.warning(site.poIni.path, "PO.ini not found; the ZAM data directory is the default " + site.zamDataDir);
    else
        checkIni(c, site.poIni.path, kPoIniKeys);
    checkDirectories(c, paths, site, report.unreadable);

    if (site.settingsFile.missing) {
        c.warning(site.settingsFile.path, "not found; the built-in settings are used");
    } else if (!site.settingsFile.error.empty()) {
        c.error(site.settingsFile.path, "cannot be read: " + site.settingsFile.error);
        report.unreadable = true;
    } else {
        checkIni(c, site.settingsFile.path, kSettingsKeys);
        checkMetrics(c, site.settingsFile.path);
    }

    for (const SiteFile* f : {&site.zamDefsFile, &site.linkDefsFile}) {
        if (f->missing) {
            c.warning(f->path, "not found; a start begins with an empty one");
        } else if (!f->error.empty()) {
            std::error_code ec;
            const bool readable = ::access(f->path.c_str(), R_OK) == 0 && fs::is_regular_file(f->path, ec);
            c.error(f->path,
                    (readable ? "not well-formed: " : "cannot be read: ") + f->error + "; a start does not load it");
            if (!readable) report.unreadable = true;
        }
    }
    if (site.linkDefsFromDefault)
        c.warning(dataFilePath(site.poDataDir, kLinkDefsFile), "not found; a start copies " + site.linkDefsFile.path);
    checkZamDefs(c, site);
    checkLinkDefs(c, site);
    return report;
}

std::string formatConfigReport(const ConfigReport& report) {
    std::ostringstream out;
    for (const ConfigProblem& p : report.problems) {
        out << (p.level == ProblemLevel::Error ? "error: " : "warning: ") << p.file << ": ";
        if (!p.element.empty()) out << p.element << ": ";
        std::string text = p.text;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        out << text << "\n";
    }
    const int e = report.errors(), w = report.warnings();
    out << (report.unreadable ? "could not read the configuration: "
            : e > 0           ? "configuration has errors: "
                              : "configuration OK: ")
        << e << (e == 1 ? " error, " : " errors, ") << w << (w == 1 ? " warning" : " warnings") << "\n";
    return out.str();
}

}  // namespace zampo
