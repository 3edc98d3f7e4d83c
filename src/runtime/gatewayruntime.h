#pragma once
// The gateway itself: settings, the three documents, both state machines, the
// fetch worker, the start-up and the orderly stop. It runs with no window at all;
// what it shows it publishes through the WindowPort it is given, and what the
// operator changes it is handed through its setters.
#include <QObject>
#include <QTimer>
#include <memory>
#include <string>

#include "logic/core/clock.h"
#include "logic/core/datapaths.h"
#include "logic/core/fetchport.h"
#include "logic/core/gatewaystate.h"
#include "logic/core/settings.h"
#include "logic/core/windowport.h"
#include "logic/linkconfig/xmlstore.h"
#include "runtime/mainloop.h"
#include "runtime/metricsexporter.h"
#include "runtime/poexchangemonitor.h"
#include "runtime/socketmachine.h"
#include "runtime/steptimer.h"

namespace zampo {

class GatewayRuntime : public QObject {
    Q_OBJECT
public:
    GatewayRuntime(DataPaths& paths, const Clock& clock, WindowPort& window, QObject* parent = nullptr);

    // The start-up before the machines run: log file, settings and language, the
    // default link definitions, stale temporary files, trace files, the documents.
    // A step that fails is logged and the rest goes on: the gateway is unattended.
    void prepare();
    // Takes the addresses, port and watchdog ID for the life of the process.
    void applySettings(const Settings& s);
    // Opens ZamDefs.xml, LinkDefs.xml and AlarmStatus.xml from the PO data directory.
    void openDocuments();
    // Both machines to state 1 and running.
    void startMachines();

    // The operator's changes, in effect from the next message on.
    void setSendPcuNames(bool on) { settings.sendPcu = on; }
    void setFilterPunctuation(bool on) { settings.filterPunct = on; }
    void setWatchdogId(int id) { settings.watchdogId = state.watchdogId = id; }
    void requestDefinitions() { state.refreshRequest = true; }

    // The orderly stop: the loop stops at its next wait; stopped() follows once it
    // has, or 10 seconds after the request at the latest. Queued messages are not sent.
    void requestStop();
    bool stopRequested() const { return state.closingRequest; }
    bool stopping() const { return stopTimer_.isActive(); }
    // One look whether the stop is complete; the stop wait runs it every 100 ms.
    void checkStopped();

    DataPaths& paths() { return paths_; }
    const Clock& clock() const { return clock_; }
    WindowPort& window() { return window_; }

    GatewayState state;
    Settings settings;
    DocumentSlot zamDefs, linkDefs, alarmStatus;
    StepTimer tmmMain, tmmSockets;
    SocketMachine receiver;
    PoExchangeMonitor poMonitor;
    // The Priva Office requests; makeFetchPort in the .cpp chooses the implementation.
    std::unique_ptr<FetchPort> fetchPort;
    MainLoop mainLoop;
    MetricsExporter metrics;

signals:
    void stopped();

private:
    void prepareSteps();

    QTimer stopTimer_;
    DataPaths& paths_;
    const Clock& clock_;
    WindowPort& window_;
};

}  // namespace zampo
