// ZamPO: forwards Priva Office alarms to ZAM-Pro. One instance per desktop session.
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "logic/core/clock.h"
#include "logic/core/datapaths.h"
#include "app/formlifecycle.h"
#include "logic/core/singleinstance.h"
#include "runtime/stopsignals.h"
#include "logic/diag/exceptionreport.h"
#include "logic/diag/logwriter.h"
#include "app/zamapplication.h"
#include "ui/mainform.h"

namespace {
std::string lockDirectory() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    return (xdg && *xdg) ? xdg : "/tmp";
}

int run(int argc, char** argv) {
    static zampo::SingleInstanceLock instanceLock;
    if (instanceLock.alreadyRunning(lockDirectory())) return 0;

    zampo::DataPaths paths(zampo::programDirectory(), zampo::userHomeDirectory());
    // Without a usable data directory there is no log to report anything in.
    if (const std::string problem = paths.zamDataDirProblem(); !problem.empty()) {
        std::fprintf(stderr,
                     "zampo: cannot start: the ZAM data directory %s\n"
                     "Set datapath in the [Application] section of %s/PO.ini to a directory.\n",
                     problem.c_str(), paths.programDir().c_str());
        return 1;
    }
    zampo::logWriter().setFileName(paths.logFile());

    // A gateway on a server without a desktop still runs, with its window offscreen.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    zampo::ZamApplication app(argc, argv);
    QApplication::setApplicationName("Zam - Priva Office");
    QApplication::setQuitOnLastWindowClosed(false);

    zampo::SystemClock clock;
    zampo::TMainForm form;
    zampo::FormLifecycle lifecycle(form, paths, clock, &app);
    zampo::StopSignals stopSignals([&lifecycle] { lifecycle.closeConfirmed(); });
    lifecycle.formCreate();
    form.showMinimized();
    return app.exec();
}
}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (...) {
        // Only what comes before the start-up steps or after the event loop ends up here.
        const zampo::ErrorInfo error = zampo::describeError(std::current_exception());
        const std::string text = "Program ended by an error: " + error.message + " (" + error.className + ")";
        std::fprintf(stderr, "zampo: %s\n", text.c_str());
        zampo::writeLog(text, zampo::kLogFileOnly);
        return 1;
    }
}
