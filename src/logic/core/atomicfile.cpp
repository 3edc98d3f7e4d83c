#include "logic/core/atomicfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zampo {

namespace {

constexpr std::string_view kTempMarker = ".zampo-tmp-";
constexpr size_t kTempRandomLength = 6;  // mkstemp's XXXXXX

bool fail(std::string* error, const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return false;
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a save of path must replace: path itself, or the end of its chain of
// symbolic links (which need not exist yet). Replacing the link would cut it off
// from the file an operator pointed it at.
bool resolveLinks(const std::string& path, std::string& target, std::string* error) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n < 0) return fail(error, "cannot read the link " + target);
        link.resize(static_cast<size_t>(n));
        target = link.starts_with('/') ? link : directoryOf(target) + "/" + link;
    }
    errno = ELOOP;
    return fail(error, "cannot follow the links of " + path);
}

bool isOurTemporaryName(std::string_view name) {
    const size_t at = name.rfind(kTempMarker);
    if (at == std::string_view::npos || at == 0) return false;
    const std::string_view random = name.substr(at + kTempMarker.size());
    if (random.size() != kTempRandomLength) return false;
    for (char c : random)
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view data, std::string* error) {
    std::string target;
    if (!resolveLinks(path, target, error)) return false;
    // mkstemp creates 0600; data files are ordinary user files unless the operator
    // has made them otherwise.
    mode_t mode = 0644;
    if (struct stat st{}; ::stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;

    std::string tmp = target + std::string(kTempMarker) + std::string(kTempRandomLength, 'X');
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return fail(error, "cannot create a temporary file beside " + target);
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(error, "cannot write " + tmp);
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) {
        fail(error, "cannot flush " + tmp);
        ::close(fd);
        ::unlink(tmp.c_str());
        return false;
    }
    ::fchmod(fd, mode);
    if (::close(fd) != 0) {
        fail(error, "cannot close " + tmp);
        ::unlink(tmp.c_str());
        return false;
    }
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        fail(error, "cannot replace " + target);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

std::vector<std::string> removeStaleTemporaryFiles(const std::string& dir) {
    std::vector<std::string> removed;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return removed;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (!isOurTemporaryName(name)) continue;
        const std::string path = dir + "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (::unlink(path.c_str()) == 0) removed.push_back(name);
    }
    ::closedir(d);
    return removed;
}

bool readWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return false;
    out = ss.str();
    return true;
}

}  // namespace zampo
