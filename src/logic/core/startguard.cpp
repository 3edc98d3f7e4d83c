#include "logic/core/startguard.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace zampo {

std::optional<int> refuseStart(SingleInstanceLock& lock, DataPaths& paths, const char* program) {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (lock.alreadyRunning((xdg && *xdg) ? xdg : "/tmp")) return 0;
    // Without a usable data directory there is no log to report anything in.
    if (const std::string problem = paths.zamDataDirProblem(); !problem.empty()) {
        std::fprintf(stderr,
                     "%s: cannot start: the ZAM data directory %s\n"
                     "Set datapath in the [Application] section of %s/PO.ini to a directory.\n",
                     program, problem.c_str(), paths.programDir().c_str());
        return 1;
    }
    return std::nullopt;
}

}  // namespace zampo
