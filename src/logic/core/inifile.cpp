#include "logic/core/inifile.h"

// Plain 8-bit keys and values; the files hold ASCII and UTF-8 passes through unchanged.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION  // Debian ships the template bodies behind this switch
#include <SimpleIni.h>
#include <charconv>
#include <filesystem>

#include "logic/core/atomicfile.h"

namespace zampo {

namespace {
enum class IniSource { Missing, Loaded, Unreadable };

// Reads the file ourselves: SimpleIni's own loader trusts the size of whatever it
// opens, and a directory in the file's place makes it ask for an absurd allocation.
IniSource load(CSimpleIniA& ini, const std::string& file) {
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (status.type() == std::filesystem::file_type::not_found) return IniSource::Missing;
    std::string data;
    if (ec || status.type() != std::filesystem::file_type::regular || !readWholeFile(file, data))
        return IniSource::Unreadable;
    return ini.LoadData(data) >= 0 ? IniSource::Loaded : IniSource::Unreadable;
}
}  // namespace

std::string iniReadString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& def) {
    CSimpleIniA ini;
    if (load(ini, file) != IniSource::Loaded) return def;
    const char* v = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (!v || !*v) return def;
    return v;
}

int iniReadInteger(const std::string& file, const std::string& section, const std::string& key, int def) {
    const std::string s = iniReadString(file, section, key, "");
    if (s.empty()) return def;
    // Leading and trailing blanks are tolerated, anything else makes it not a number.
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t");
    if (b == std::string::npos) return def;
    const char* first = s.data() + b;
    const char* last = s.data() + e + 1;
    if (*first == '+') ++first;
    int value = 0;
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last) return def;
    return value;
}

bool iniWriteString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value) {
    try {
        CSimpleIniA ini;
        // A file that exists but cannot be read must not be replaced by one key.
        if (load(ini, file) == IniSource::Unreadable) return false;
        ini.SetSpaces(false);  // key=value, as other tools write it
        ini.SetValue(section.c_str(), key.c_str(), value.c_str());
        std::string out;
        if (ini.Save(out) < 0) return false;
        return writeFileAtomically(file, out);
    } catch (...) {
        return false;
    }
}

bool iniWriteInteger(const std::string& file, const std::string& section, const std::string& key, int value) {
    return iniWriteString(file, section, key, std::to_string(value));
}

}  // namespace zampo
