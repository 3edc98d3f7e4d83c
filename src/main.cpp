// ZamPO: forwards Priva Office alarms to ZAM-Pro. One instance per desktop session.
#include <QStandardPaths>
#include <cstdlib>

#include "core/clock.h"
#include "core/datapaths.h"
#include "core/formlifecycle.h"
#include "core/singleinstance.h"
#include "core/stopsignals.h"
#include "diag/zamapplication.h"
#include "ui/mainform.h"

namespace {
std::string lockDirectory() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    return (xdg && *xdg) ? xdg : "/tmp";
}
}  // namespace

int main(int argc, char** argv) {
    static zampo::SingleInstanceLock instanceLock;
    if (instanceLock.alreadyRunning(lockDirectory())) return 0;

    // A gateway on a server without a desktop still runs, with its window offscreen.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    zampo::ZamApplication app(argc, argv);
    QApplication::setApplicationName("Zam - Priva Office");
    QApplication::setQuitOnLastWindowClosed(false);

    zampo::SystemClock clock;
    zampo::DataPaths paths(zampo::programDirectory(), zampo::userHomeDirectory());
    zampo::TMainForm form;
    zampo::FormLifecycle lifecycle(form, paths, clock, &app);
    zampo::StopSignals stopSignals([&lifecycle] { lifecycle.closeConfirmed(); });
    lifecycle.formCreate();
    form.showMinimized();
    return app.exec();
}
