#include "logic/core/startguard.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "logic/diag/exceptionreport.h"
#include "logic/diag/logwriter.h"

namespace zampo {

std::optional<int> refuseStart(SingleInstanceLock& lock, DataPaths& paths, const char* program) {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (lock.alreadyRunning((xdg && *xdg) ? xdg : "/tmp")) return 0;
    // Without a usable data directory there is no log to report anything in.
    if (const std::string problem = paths.zamDataDirProblem(); !problem.empty()) {
        std::fprintf(stderr,
                     "%s: cannot start: the ZAM data directory %s\n"
                     "Set datapath in the [Application] section of %s to a directory.\n",
                     program, problem.c_str(), paths.poIniFile().c_str());
        return 1;
    }
    return std::nullopt;
}

int runReportingErrors(const char* program, const std::function<int()>& run) {
    try {
        return run();
    } catch (...) {
        const ErrorInfo error = describeError(std::current_exception());
        const std::string text = "Program ended by an error: " + error.message + " (" + error.className + ")";
        std::fprintf(stderr, "%s: %s\n", program, text.c_str());
        writeLog(text, kLogFileOnly);
        return 1;
    }
}

}  // namespace zampo
