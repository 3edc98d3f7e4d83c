#include "core/gatewayruntime.h"

#include "diag/logwriter.h"
#include "texts/langtext.h"

namespace zampo {

GatewayRuntime::GatewayRuntime(DataPaths& paths, const Clock& clock, WindowPort& window, QObject* parent)
    : QObject(parent),
      tmmMain(this),
      tmmSockets(this),
      mainLoop(state, clock, window),
      receiver(tmmSockets, settings.zamHost, settings.zamPort, window, state, this),
      poMonitor(clock, receiver, this),
      paths_(paths),
      clock_(clock),
      window_(window) {
    tmmMain.setInterval(1);
    tmmMain.setLoopCount(0);
    tmmMain.setDoState([this](tZamTimeMachine& m) { mainLoop.doState(m); });
    tmmSockets.setInterval(10);
    tmmSockets.setLoopCount(0);
    mainLoop.initPoConnection = [this] { initPoConnection(); };
    mainLoop.resetPoFailure = [this] { poMonitor.reset(); };
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

void GatewayRuntime::initPoConnection() {
    writeLog(langText(111, "PO connection initialized"), kLogReceiverList);
}

}  // namespace zampo
