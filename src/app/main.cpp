// zampo: the gateway with its window. One instance per desktop session; started
// while the service forwards for the same data directory, the editor of its links.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "app/windowapplication.h"
#include "app/windowsession.h"
#include "logic/core/clock.h"
#include "logic/core/commandline.h"
#include "logic/core/datapaths.h"
#include "logic/core/startguard.h"
#include "logic/diag/logwriter.h"
#include "runtime/gatewayruntime.h"
#include "runtime/stopsignals.h"
#include "ui/mainwindow.h"

namespace {

const char* const kHelp =
    "Usage: zampo\n"
    "\n"
    "The ZamPO gateway with its window: polls the Priva Office alarm server and reports\n"
    "its alarms to ZAM-Pro's receiver (ZamMeld) through the link definitions. The\n"
    "window, behind a tray icon, holds the link editor, the settings and two live\n"
    "lists. Started while zampo-gateway forwards for the same data directory, it is\n"
    "the editor of the links only. Without a display it runs offscreen.\n"
    "\n"
    "Options:\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "\n"
    "Files:\n"
    "  PO.ini beside the program, else /etc/zampo/PO.ini: [Application] datapath, the\n"
    "  ZAM data directory (default ~/zam/data), which holds ZamLocal.INI (the settings)\n"
    "  and ZAMPO.LOG (the log); the data files are in PoData beside it.\n"
    "\n"
    "Stops in order on SIGTERM or Ctrl+C, or when the window is closed.\n"
    "\n"
    "Exit status: 0 after an orderly stop or when it already runs, 1 when it cannot\n"
    "start, 2 for a bad argument.\n";

int run(int argc, char** argv) {
    // Qt's own options (-platform, -style) are not taken either: QT_QPA_PLATFORM and
    // QT_STYLE_OVERRIDE do the same.
    if (const int rc =
            zampo::CommandLine("zampo", [] { return std::string(kHelp); })
                .parse(argc, argv, {}, {}, [](const std::string&, const std::string&) { return std::string(); });
        rc >= 0)
        return rc;
    zampo::StopSignals::holdUntilInstalled();
    static zampo::SingleInstanceLock instanceLock;
    static zampo::ForwardingLock forwarding;
    zampo::DataPaths paths(zampo::programDirectory(), zampo::userHomeDirectory(), zampo::kPackageDirs);
    bool editor = false;  // the service forwards for this data directory, or nobody can tell who does
    std::string editorReason;
    if (const auto refused = zampo::refuseStart(instanceLock, forwarding, paths, "zampo", &editor, &editorReason))
        return *refused;
    zampo::logWriter().setFileName(paths.logFile());

    // A gateway on a server without a desktop still runs, with its window offscreen.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    zampo::WindowApplication app(argc, argv);
    QApplication::setApplicationName("Zam - Priva Office");
    QApplication::setQuitOnLastWindowClosed(false);

    zampo::SystemClock clock;
    zampo::MainWindow form;
    zampo::GatewayRuntime gateway(paths, clock, form);
    zampo::WindowSession session(form, gateway, &app);
    zampo::StopSignals stopSignals([&session] { session.closeConfirmed(); });
    if (editor)
        session.startAsEditor(editorReason);
    else
        session.start();
    form.showMinimized();
    form.hideToTray();  // the window lives behind its tray icon
    const int rc = app.exec();
    zampo::writeLog(app.busyMeter().summary(), zampo::kLogFileOnly);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    return zampo::runReportingErrors("zampo", [&] { return run(argc, argv); });
}
