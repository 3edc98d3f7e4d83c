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
#include "logic/core/settings.h"
#include "logic/xml/xmlstore.h"
#include "runtime/definitionfileswatcher.h"
#include "runtime/fetchport.h"
#include "runtime/gatewaystate.h"
#include "runtime/logfaultstatus.h"
#include "runtime/mainloop.h"
#include "runtime/metricsexporter.h"
#include "runtime/poexchangemonitor.h"
#include "runtime/socketmachine.h"
#include "runtime/steptimer.h"
#include "runtime/windowport.h"

namespace zampo {

class GatewayRuntime : public QObject {
    Q_OBJECT
public:
    GatewayRuntime(DataPaths& paths, const Clock& clock, WindowPort& window, QObject* parent = nullptr);

    // The start-up before the machines run: log file, settings and language, the
    // default link definitions, stale temporary files, trace files, the documents.
    // A step that fails is logged and the rest goes on: the gateway is unattended.
    void prepare();
    // For the editor beside the service: settings and language, the documents; no
    // trace, metrics or clean-up of files the service may be writing.
    void prepareEditor();
    // Takes the addresses, port and watchdog ID for the life of the process.
    void applySettings(const Settings& s);
    // Opens ZamDefs.xml, LinkDefs.xml and AlarmStatus.xml from the PO data directory.
    void openDocuments();
    // Both machines to their start and running.
    void startMachines();

    // The operator's changes, in effect from the next message on.
    void setSendPcuNames(bool on) { settings_.sendPcu = on; }
    void setFilterPunctuation(bool on) { settings_.filterPunct = on; }
    void requestDefinitions() {
        state_.refreshRequest = true;
        loopSteps_.wake();
    }

    // SIGHUP: ZamLocal.INI's settings and the three data files are read again at the
    // loop's next safe point (waiting, no fetch running, no walk).
    void requestReload() {
        reloadRequested_ = true;
        loopSteps_.wake();
    }
    bool reloadPending() const { return reloadRequested_; }
    // The service's own: LinkDefs.xml and ZamDefs.xml written by another process (the
    // editor) are read again at a safe point, at the latest right before the next poll.
    // Not for the window, whose grid and tree hold on to the documents it edits.
    void watchDefinitionFiles() { definitionFiles_.start(); }

    // The orderly stop: the loop stops at its next wait; stopped() follows once it
    // has, or 10 seconds after the request at the latest. Queued messages are not sent.
    void requestStop();
    bool stopRequested() const { return state_.closingRequest; }
    bool stopping() const { return stopTimer_.isActive(); }
    // One look whether the stop is complete; the stop wait runs it every 100 ms.
    void checkStopped();

    DataPaths& paths() { return paths_; }
    const Clock& clock() const { return clock_; }
    // Everything the gateway shows goes through here: the port it was given, with
    // the log file's fault added to the status text while there is one.
    WindowPort& window() { return shown_; }
    GatewayState& state() { return state_; }
    const GatewayState& state() const { return state_; }
    Settings& settings() { return settings_; }
    const Settings& settings() const { return settings_; }
    DocumentSlot& zamDefs() { return zamDefs_; }
    DocumentSlot& linkDefs() { return linkDefs_; }
    DocumentSlot& alarmStatus() { return alarmStatus_; }
    const DocumentSlot& alarmStatus() const { return alarmStatus_; }
    // The machines that step the main loop and the ZamMeld connection.
    StepTimer& loopSteps() { return loopSteps_; }
    StepTimer& socketSteps() { return socketSteps_; }
    SocketMachine& receiver() { return receiver_; }
    const SocketMachine& receiver() const { return receiver_; }
    PoExchangeMonitor& poMonitor() { return poMonitor_; }
    FetchPort& fetchPort() { return *fetchPort_; }
    MainLoop& mainLoop() { return mainLoop_; }
    MetricsExporter& metrics() { return metrics_; }

signals:
    void stopped();

private:
    void prepareSteps();
    // Runs before every step of the loop while it waits.
    void atSafePoint();
    void reload();

    LogFaultStatus shown_;
    GatewayState state_;
    Settings settings_;
    DocumentSlot zamDefs_, linkDefs_, alarmStatus_;
    StepTimer loopSteps_, socketSteps_;
    SocketMachine receiver_;
    PoExchangeMonitor poMonitor_;
    // The Priva Office requests; makeFetchPort in the .cpp chooses the implementation.
    std::unique_ptr<FetchPort> fetchPort_;
    MainLoop mainLoop_;
    MetricsExporter metrics_;
    DefinitionFilesWatcher definitionFiles_;
    bool reloadRequested_ = false;

    QTimer stopTimer_;
    DataPaths& paths_;
    const Clock& clock_;
};

}  // namespace zampo
