#include "runtime/endpointstart.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <mutex>
#include <sstream>

namespace zampo {

namespace {

// CivetWeb says why it could not start only through its log callback.
std::mutex startMutex;
std::string startError;
bool starting = false;  // under startMutex: the first message while a server starts is why it failed

int civetLog(const mg_connection*, const char* message) {
    std::lock_guard lock(startMutex);
    if (starting && message && startError.empty()) startError = message;
    return 1;  // nothing on stderr: a hostile client's TLS garbage is no news
}

}  // namespace

// Debian's CivetWeb opens OpenSSL as libssl.so and libcrypto.so, names only the
// development package has, and with OpenSSL 3 it would call a missing function.
// Ours, loaded first under those sonames, are what its dlopen finds.
std::string openSslNamesProblem() {
    static const std::string problem = [] {
        char exe[4096];
        const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
        const std::string self = n > 0 ? std::string(exe, std::size_t(n)) : std::string();
        const std::string dir = self.starts_with(std::string(ZAMPO_BUILD_DIR) + "/")
                                    ? std::string(ZAMPO_BUILD_TLS_LIBDIR)
                                    : self.substr(0, self.rfind('/')) + "/../lib/zampo";
        for (const char* name : {"libcrypto.so", "libssl.so"})
            if (!::dlopen((dir + "/" + name).c_str(), RTLD_NOW | RTLD_LOCAL)) return std::string(::dlerror());
        return std::string();
    }();
    return problem;
}

// CivetWeb wants the key and the certificate in one PEM file; it gets them in
// memory, so the key is never copied to disk.
int pemInMemory(const WebConfig& web, std::string& problem) {
    std::string pem;
    for (const std::string* f : {&web.certFile, &web.keyFile}) {
        std::ifstream in(*f, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in) {
            problem = *f + " cannot be read";
            return -1;
        }
        pem += text.str() + "\n";
    }
    const int fd = memfd_create("zampo-tls", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, pem.data(), pem.size()) != ssize_t(pem.size())) {
        problem = std::string("no memory file for the certificate: ") + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

std::unique_ptr<CivetServer> startCivetServer(const std::vector<std::string>& options, std::string& why) {
    CivetCallbacks callbacks;
    callbacks.log_message = civetLog;
    {
        std::lock_guard lock(startMutex);
        startError.clear();
        starting = true;
    }
    std::unique_ptr<CivetServer> server;
    try {
        server = std::make_unique<CivetServer>(options, &callbacks);
    } catch (const std::exception& e) {
        why = e.what();
    }
    std::lock_guard lock(startMutex);
    starting = false;
    if (!server && !startError.empty()) why = startError;
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) why.pop_back();
    return server;
}

}  // namespace zampo
