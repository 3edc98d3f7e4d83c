#include "runtime/gatewayruntime.h"

#include <filesystem>
#include <system_error>

#include "logic/diag/logwriter.h"
#include "logic/poclient/alarmstatusfile.h"
#include "runtime/fetchworker.h"

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

// Why the file at path does not parse; openDocument keeps no reason.
std::string parseError(const std::string& path) {
    XmlDocument probe;
    std::string error;
    if (probe.loadFile(path, &error)) return "it could not be read";
    return error;
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
    tmmMain.setDoState([this](StepTimer& m) { mainLoop.doState(m); });
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

    // The definitions are the operator's work: a damaged file stays as it is (no save
    // path writes a document without content) until the operator mends it.
    std::string fault;
    for (const auto& [slot, file] : {std::pair{&zamDefs, &kZamDefsFile}, std::pair{&linkDefs, &kLinkDefsFile}}) {
        if ((*slot)->hasContent()) continue;
        const std::string path = dataFilePath(dir, *file);
        const std::string line = std::string(file->fileName) + " is damaged and was not loaded (" + parseError(path) +
                                 "); it is left untouched until it is repaired";
        writeLog(line, kLogPoList);  // the list's lines go to the file as well
        fault += (fault.empty() ? "" : "; ") + std::string(file->fileName) + " is damaged";
    }
    state.dataFileFault = fault;
    if (!fault.empty()) window_.setStatusText(fault);

    // The alarm status is rebuilt by the next poll: keep the damaged file for a look, start afresh.
    if (!alarmStatus->hasContent()) {
        bool moved = false;
        const std::string line =
            moveDamagedStatusAside(dir, clock_.nowUtc(), parseError(dataFilePath(dir, kAlarmStatusFile)), &moved);
        if (moved) alarmStatus->startAfresh(kAlarmStatusFile.rootName);
        writeLog(line, kLogPoList);
    }
}

void GatewayRuntime::startMachines() {
    tmmMain.setState(1);
    tmmMain.setEnabled(true);
    tmmSockets.setState(1);
    tmmSockets.setEnabled(true);
}

}  // namespace zampo
