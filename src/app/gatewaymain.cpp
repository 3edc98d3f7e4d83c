// zampo-gateway: the gateway without a window, for servers and service managers.
// The same PO.ini, ZamLocal.INI, data files and single-instance lock as zampo; its
// lists go to the log file only, each line also to standard error. Stops in order on
// SIGTERM and Ctrl+C. Under systemd it reports ready, watchdog pings and its stop.
#include <cstdio>
#include <exception>

#include "logic/core/clock.h"
#include "logic/core/datapaths.h"
#include "logic/core/startguard.h"
#include "logic/diag/logwriter.h"
#include "runtime/gatewayapplication.h"
#include "runtime/gatewayruntime.h"
#include "runtime/loggedstatus.h"
#include "runtime/servicenotify.h"
#include "runtime/stopsignals.h"

namespace {

int run(int argc, char** argv) {
    static zampo::SingleInstanceLock instanceLock;
    zampo::DataPaths paths(zampo::programDirectory(), zampo::userHomeDirectory(), zampo::kPackageDirs);
    if (const auto refused = zampo::refuseStart(instanceLock, paths, "zampo-gateway")) return *refused;
    zampo::logWriter().setFileName(paths.logFile());
    zampo::logWriter().setMirrorToStderr(true);

    zampo::GatewayApplication app(argc, argv);
    QCoreApplication::setApplicationName("zampo-gateway");
    zampo::SystemClock clock;
    zampo::LoggedStatus status;
    zampo::GatewayRuntime gateway(paths, clock, status);
    QObject::connect(&gateway, &zampo::GatewayRuntime::stopped, &app, [] { QCoreApplication::exit(0); });
    zampo::ServiceNotify service;
    zampo::StopSignals stopSignals([&gateway, &service] {
        service.stopping();
        gateway.requestStop();
    });
    gateway.prepare();
    gateway.startMachines();
    service.ready();
    const int rc = app.exec();
    char busy[96];
    std::snprintf(busy, sizeof busy, "Event loop: longest busy stretch %.1f ms", app.busyMeter().longestMs());
    zampo::writeLog(busy, zampo::kLogFileOnly);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    return zampo::runReportingErrors("zampo-gateway", [&] { return run(argc, argv); });
}
