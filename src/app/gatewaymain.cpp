// zampo-gateway: the gateway without a window, for servers and service managers.
// The same PO.ini, ZamLocal.INI, data files and single-instance lock as zampo; its
// lists go to the log file only, each line also to standard error. Stops in order on
// SIGTERM and Ctrl+C; SIGHUP reads the settings and data files again. Under systemd
// it reports ready, watchdog pings and its stop. --check prints the running gateway's figures.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string_view>

#include "logic/core/clock.h"
#include "logic/core/datapaths.h"
#include "logic/core/startguard.h"
#include "logic/diag/logwriter.h"
#include "runtime/gatewayapplication.h"
#include "runtime/gatewayruntime.h"
#include "runtime/healthcheck.h"
#include "runtime/loggedstatus.h"
#include "runtime/servicenotify.h"
#include "runtime/stopsignals.h"

namespace {

int run(int argc, char** argv) {
    static zampo::SingleInstanceLock instanceLock;
    static zampo::ForwardingLock forwarding;
    zampo::DataPaths paths(zampo::programDirectory(), zampo::userHomeDirectory(), zampo::kPackageDirs);
    if (argc > 1 && std::string_view(argv[1]) == "--check") return zampo::runHealthCheck(paths, std::cout);
    zampo::StopSignals::holdUntilInstalled();
    if (const auto refused = zampo::refuseStart(instanceLock, forwarding, paths, zampo::kServiceProgram))
        return *refused;
    zampo::logWriter().setFileName(paths.logFile());
    zampo::logWriter().setMirrorToStderr(true);

    zampo::GatewayApplication app(argc, argv);
    QCoreApplication::setApplicationName("zampo-gateway");
    zampo::SystemClock clock;
    zampo::LoggedStatus status;
    zampo::GatewayRuntime gateway(paths, clock, status);
    QObject::connect(&gateway, &zampo::GatewayRuntime::stopped, &app, [] { QCoreApplication::exit(0); });
    zampo::ServiceNotify service;
    zampo::StopSignals stopSignals(
        [&gateway, &service] {
            service.stopping();
            gateway.requestStop();
        },
        [&gateway] { gateway.requestReload(); });
    gateway.prepare();
    gateway.watchDefinitionFiles();
    gateway.startMachines();
    service.ready(&gateway.tmmMain);
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
