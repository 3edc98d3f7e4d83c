// zampo: the gateway with its window. One instance per desktop session; started
// while the service forwards for the same data directory, the editor of its links.
#include <cstdlib>
#include <exception>
#include <string>

#include "app/formlifecycle.h"
#include "app/zamapplication.h"
#include "logic/core/clock.h"
#include "logic/core/datapaths.h"
#include "logic/core/startguard.h"
#include "logic/diag/logwriter.h"
#include "runtime/gatewayruntime.h"
#include "runtime/stopsignals.h"
#include "ui/mainwindow.h"

namespace {

int run(int argc, char** argv) {
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

    zampo::ZamApplication app(argc, argv);
    QApplication::setApplicationName("Zam - Priva Office");
    QApplication::setQuitOnLastWindowClosed(false);

    zampo::SystemClock clock;
    zampo::MainWindow form;
    zampo::GatewayRuntime gateway(paths, clock, form);
    zampo::FormLifecycle lifecycle(form, gateway, &app);
    zampo::StopSignals stopSignals([&lifecycle] { lifecycle.closeConfirmed(); });
    if (editor)
        lifecycle.startAsEditor(editorReason);
    else
        lifecycle.start();
    form.showMinimized();
    form.hideToTray();  // the window lives behind its tray icon
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    return zampo::runReportingErrors("zampo", [&] { return run(argc, argv); });
}
