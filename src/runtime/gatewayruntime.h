#pragma once
// Everything the gateway runs, without a window: shared state, runtime copies of
// the settings, the three documents and the state machines on their timers.
#include <QObject>
#include <memory>

#include "logic/core/clock.h"
#include "logic/core/datapaths.h"
#include "logic/core/fetchport.h"
#include "logic/core/gatewaystate.h"
#include "runtime/mainloop.h"
#include "logic/core/settings.h"
#include "logic/core/windowport.h"
#include "runtime/steptimer.h"
#include "logic/linkconfig/xmlstore.h"
#include "runtime/poexchangemonitor.h"
#include "runtime/socketmachine.h"

namespace zampo {

class GatewayRuntime : public QObject {
    Q_OBJECT
public:
    GatewayRuntime(DataPaths& paths, const Clock& clock, WindowPort& window, QObject* parent = nullptr);

    // Takes the addresses, port and watchdog ID for the life of the process.
    void applySettings(const Settings& s);
    // Opens ZamDefs.xml, LinkDefs.xml and AlarmStatus.xml from the PO data directory.
    void openDocuments();
    // Both machines to state 1 and running.
    void startMachines();

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

private:
    DataPaths& paths_;
    const Clock& clock_;
    WindowPort& window_;
};

}  // namespace zampo
