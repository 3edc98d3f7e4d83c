#include "logic/core/startguard.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "logic/diag/exceptionreport.h"
#include "logic/diag/logwriter.h"

namespace zampo {

std::string dataDirHint(DataPaths& paths, const std::string& dir) {
    if (::access(dir.c_str(), W_OK) != 0 && errno == EROFS)
        // Under systemd that is the sandbox, not the disk: the unit lets it write
        // only to the directories it names.
        return "If it runs as a systemd service, allow the directory with a drop-in: "
               "systemctl edit zampo-gateway, then\n  [Service]\n  ReadWritePaths=" +
               dir + "\n";
    return "Set datapath in the [Application] section of " + paths.poIniFile() + " to a directory.\n";
}

std::optional<int> refuseStart(SingleInstanceLock& lock, ForwardingLock& forwarding, DataPaths& paths,
                               const char* program, bool* editor, std::string* editorReason) {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    const char* sessionDir = (xdg && *xdg) ? xdg : "/tmp";
    // The window looks for the service first: it may run in this very session.
    if (!editor && lock.alreadyRunning(sessionDir)) return 0;
    // Without a usable data directory there is no log to report anything in.
    if (const std::string problem = paths.zamDataDirProblem(); !problem.empty()) {
        std::fprintf(stderr, "%s: cannot start: the ZAM data directory %s\n%s", program, problem.c_str(),
                     dataDirHint(paths, paths.zamDataDir()).c_str());
        return 1;
    }
    switch (forwarding.take(paths.poDataDir(), program)) {
        case ForwardingLock::Outcome::Taken:
            break;
        case ForwardingLock::Outcome::HeldBy:
            if (editor && forwarding.holder() == kServiceProgram) {
                *editor = true;
                return std::nullopt;
            }
            // Two loops on one data directory would report every alarm twice.
            if (!editor)
                std::fprintf(stderr, "%s: %s already forwards the alarms of %s; not started\n", program,
                             forwarding.holder().empty() ? "another gateway" : forwarding.holder().c_str(),
                             paths.poDataDir().c_str());
            return 0;
        case ForwardingLock::Outcome::Unusable: {
            // Whether another process forwards cannot be known: forwarding too might make two.
            const std::string why = "the forwarding lock cannot be taken (" + forwarding.problem() +
                                    "), so this process does not forward the alarms";
            if (editor) {
                *editor = true;
                if (editorReason) *editorReason = why;
                return std::nullopt;
            }
            std::fprintf(stderr, "%s: %s; not started\n", program, why.c_str());
            return 1;
        }
    }
    if (editor && lock.alreadyRunning(sessionDir)) return 0;
    return std::nullopt;
}

std::optional<int> refuseWrongOwner(DataPaths& paths, const char* program) {
    if (::geteuid() != 0) return std::nullopt;
    // The directory, or the nearest one above it that is there: it would be made by root.
    std::filesystem::path dir = paths.zamDataDir();
    struct stat st {};
    while (::stat(dir.c_str(), &st) != 0) {
        if (!dir.has_relative_path()) return std::nullopt;
        dir = dir.parent_path();
    }
    if (st.st_uid == 0) return std::nullopt;
    const passwd* owner = ::getpwuid(st.st_uid);
    const std::string name = owner ? owner->pw_name : std::to_string(st.st_uid);
    std::fprintf(stderr,
                 "%s: not started as root: %s belongs to %s, and files made by root there could not be written "
                 "by %s.\nRun it as that account: sudo -u %s %s (or start the service: systemctl start %s)\n",
                 program, dir.c_str(), name.c_str(), name.c_str(), name.c_str(), program, kServiceProgram);
    return 1;
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
