#include "core/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zampo {

namespace {
bool fail(std::string* error, const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return false;
}
}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view data, std::string* error) {
    std::string tmp = path + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return fail(error, "cannot create a temporary file beside " + path);
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
    // mkstemp creates 0600; data files are ordinary user files.
    ::fchmod(fd, 0644);
    if (::close(fd) != 0) {
        fail(error, "cannot close " + tmp);
        ::unlink(tmp.c_str());
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        fail(error, "cannot replace " + path);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
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
