#include "core/gatewayruntime.h"

#include "poclient/fetchworker.h"

namespace zampo {

namespace {

// The worker runs in its own thread; the window may only be touched in this one.
std::unique_ptr<FetchPort> makeFetchPort(QObject* context, GatewayState& state, DataPaths& paths, const Clock& clock,
                                         WindowPort& window) {
    auto statusText = [context, &window](const std::string& text) {
        QMetaObject::invokeMethod(
            context, [&window, text] { window.setStatusText(text); }, Qt::QueuedConnection);
    };
    return std::make_unique<FetchWorker>(paths, state, clock, statusText);
}

}  // namespace

GatewayRuntime::GatewayRuntime(DataPaths& paths, const Clock& clock, WindowPort& window, QObject* parent)
    : QObject(parent),
      tmmMain(this),
      tmmSockets(this),
      receiver(tmmSockets, settings.zamHost, settings.zamPort, window, state, this),
      poMonitor(clock, receiver, this),
      fetchPort(makeFetchPort(this, state, paths, clock, window)),
      mainLoop(MainLoopDeps{state, clock, window, receiver, poMonitor, *fetchPort, paths, settings, zamDefs, linkDefs,
                            alarmStatus}),
      paths_(paths),
      clock_(clock),
      window_(window) {
    tmmMain.setInterval(1);
    tmmMain.setLoopCount(0);
    tmmMain.setDoState([this](tZamTimeMachine& m) { mainLoop.doState(m); });
    tmmSockets.setInterval(10);
    tmmSockets.setLoopCount(0);
}

void GatewayRuntime::applySettings(const Settings& s) {
    settings = s;
    state.watchdogId = s.watchdogId;
    receiver.setEndpoint(trimmed(s.zamHost), s.zamPort);
}

void GatewayRuntime::openDocuments() {
    const std::string dir = paths_.poDataDir();
    openDataFile(zamDefs, dir, kZamDefsFile);
    openDataFile(linkDefs, dir, kLinkDefsFile);
    openDataFile(alarmStatus, dir, kAlarmStatusFile);
}

void GatewayRuntime::startMachines() {
    tmmMain.setState(1);
    tmmMain.setEnabled(true);
    tmmSockets.setState(1);
    tmmSockets.setEnabled(true);
}

}  // namespace zampo
