#include "logic/core/datapaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "logic/core/inifile.h"
#include "logic/encoding/textrules.h"

namespace zampo {

namespace fs = std::filesystem;

std::string programDirectory() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::current_path(ec).string();
    return exe.parent_path().string();
}

std::string userHomeDirectory() {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir) return pw->pw_dir;
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    return "/tmp";
}

DataPaths::DataPaths(std::string programDir, std::string homeDir, SystemDirs system)
    : programDir_(std::move(programDir)), homeDir_(std::move(homeDir)), system_(std::move(system)) {}

std::string DataPaths::firstExisting(const std::string& name, const std::string& systemDir) const {
    std::string beside = programDir_ + "/" + name;  // not const: returned by moving
    std::error_code ec;
    if (systemDir.empty() || fs::exists(beside, ec)) return beside;
    const std::string installed = systemDir + "/" + name;
    return fs::exists(installed, ec) ? installed : beside;
}

std::string DataPaths::poIniFile() const {
    return firstExisting("PO.ini", system_.config);
}

std::string DataPaths::linkDefsDefaultFile() const {
    return firstExisting("linkdefs.default", system_.shared);
}

std::string DataPaths::zamDataDir() {
    if (!cachedZamDataDir_.empty()) return cachedZamDataDir_;
    std::string dir = iniReadString(poIniFile(), "Application", "datapath", homeDir_ + "/zam/data");
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    cachedZamDataDir_ = dir;
    return dir;
}

std::string DataPaths::zamDataDirProblem() {
    const std::string dir = zamDataDir();
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) {
        // A directory not made yet is allowed, as it always was: the files wait for it.
        if (errno == ENOENT) return {};
        return dir + " cannot be used: " + std::strerror(errno);
    }
    if (!S_ISDIR(st.st_mode)) return dir + " is not a directory";
    if (::access(dir.c_str(), R_OK | W_OK | X_OK) != 0) return dir + " cannot be used: " + std::strerror(errno);
    return {};
}

std::string DataPaths::derived(const std::string& leaf, bool create) {
    const std::string zam = zamDataDir();
    const std::string lower = lowerAscii(zam);
    std::string result;
    const size_t at = lower.find("/data");
    std::error_code ec;
    if (at != std::string::npos) {
        result = zam.substr(0, at + 1) + leaf;
    } else {
        const std::string base = homeDir_ + "/zam";
        if (create) fs::create_directory(base, ec);
        result = base + "/" + leaf;
    }
    if (create) fs::create_directory(result, ec);  // one level; a failure shows in the later file operation
    return result;
}

std::string DataPaths::poDataDir() {
    return derived("PoData");
}
std::string DataPaths::poDataDirPath() {
    return derived("PoData", false);
}
std::string DataPaths::xmlDir() {
    return derived("Xml");
}

}  // namespace zampo
