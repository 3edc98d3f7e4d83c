#include "runtime/gatewayruntime.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "logic/core/atomicfile.h"
#include "logic/core/inifile.h"
#include "logic/diag/exceptionreport.h"
#include "logic/diag/tracewriter.h"
#include "logic/language/langtext.h"
#include "runtime/threadhandoff.h"

#include "logic/alarmstatus/alarmstatusfile.h"
#include "logic/diag/logwriter.h"
#include "runtime/fetchworker.h"

namespace zampo {

namespace {

// A step of a machine may take this long before the event loop has its turn again.
constexpr int kTurnBudgetMs = 4;

// The worker runs in its own thread; the window and the machines may only be touched in this one.
std::unique_ptr<FetchPort> makeFetchPort(QObject* context, GatewayState& state, DataPaths& paths, const Clock& clock,
                                         WindowPort& window, StepTimer& loop) {
    auto statusText = [context, &window](const std::string& text) {
        invokeInThreadOf(context, [&window, text] { window.setStatusText(text); });
    };
    auto worker = std::make_unique<FetchWorker>(paths, state, clock, statusText);
    worker->setOnFinished([context, &loop] { invokeInThreadOf(context, [&loop] { loop.wake(); }); });
    return worker;
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
      shown(window),
      tmmMain(this),
      tmmSockets(this),
      receiver(tmmSockets, settings.zamHost, settings.zamPort, shown, state, this),
      poMonitor(clock, receiver, this),
      fetchPort(makeFetchPort(this, state, paths, clock, shown, tmmMain)),
      mainLoop(MainLoopDeps{state, clock, shown, receiver, poMonitor, *fetchPort, paths, settings, zamDefs, linkDefs,
                            alarmStatus}),
      metrics(*this),
      paths_(paths),
      clock_(clock) {
    shown.start();
    poMonitor.setCounters(&state.counters);
    receiver.setClock(&clock_);
    // Both machines step when something they wait for happens, and rest otherwise.
    tmmMain.setTurnBudget(kTurnBudgetMs);
    mainLoop.setSafePoint([this] { atSafePoint(); });
    tmmMain.setDoState([this](StepTimer& m) { mainLoop.doState(m); });
    tmmSockets.setTurnBudget(kTurnBudgetMs);
    connect(&receiver, &SocketMachine::deliveryChanged, &tmmMain, &StepTimer::wake);
    connect(&receiver, &SocketMachine::socketFailed, &tmmMain, &StepTimer::wake);
    stopTimer_.setInterval(100);
    connect(&stopTimer_, &QTimer::timeout, this, &GatewayRuntime::checkStopped);
}

void GatewayRuntime::prepare() {
    try {
        prepareSteps();
    } catch (...) {
        const ErrorInfo error = describeError(std::current_exception());
        writeLog("Start-up not completed: " + error.message + " (" + error.className + "); starting anyway",
                 kLogFileOnly);
    }
}

void GatewayRuntime::prepareSteps() {
    const std::string settingsFile = paths_.settingsFile();
    logWriter().setFileName(paths_.logFile());
    const std::string settingsProblem = settingsFileProblem(settingsFile);
    const Settings stored = loadSettings(settingsFile);
    loadLangTexts(stored.language);

    const std::string poDir = paths_.poDataDir();
    std::error_code ec;
    if (!std::filesystem::exists(poDir + "/LinkDefs.xml", ec))
        std::filesystem::copy_file(paths_.linkDefsDefaultFile(), poDir + "/LinkDefs.xml",
                                   std::filesystem::copy_options::skip_existing, ec);
    writeLog(std::string("Main form created, program started: version ") + ZAMPO_VERSION_TEXT, kLogFileOnly);
    for (const std::string& dir : {paths_.zamDataDir(), poDir})
        for (const std::string& name : removeStaleTemporaryFiles(dir))
            writeLog("Removed " + dir + "/" + name + ", left behind by a save that was cut off", kLogFileOnly);

    state.shownStatus = 0;
    state.mainLoopFinished = false;
    state.closingRequest = false;
    state.refreshRequest = false;
    if (::chdir(paths_.programDir().c_str()) != 0) {
        // Only relative paths would suffer; the gateway uses none.
    }

    traceWriter().setDirectory(paths_.traceDir());
    traceWriter().setEnabled(stored.trace);
    if (settingsProblem.empty()) iniWriteInteger(settingsFile, "PO", "Trace", stored.trace ? 1 : 0);
    if (stored.trace) std::filesystem::create_directory(paths_.traceDir(), ec);

    applySettings(stored);
    if (!settingsProblem.empty()) {
        // Nothing else to go by at a start: the defaults, said loudly, and the file left alone.
        state.settingsFault =
            std::filesystem::path(settingsFile).filename().string() + " cannot be read; built-in settings in use";
        state.counters.settingsUnreadable = true;
        writeLog(settingsFile + " cannot be read (" + settingsProblem + "); starting with the built-in settings",
                 kLogPoList);
    }
    openDocuments();
    if (!state.settingsFault.empty()) shown.setStatusText(state.fileFaultText());
}

void GatewayRuntime::prepareEditor() {
    logWriter().setFileName(paths_.logFile());
    settings = loadSettings(paths_.settingsFile());
    state.watchdogId = settings.watchdogId;
    loadLangTexts(settings.language);
    writeLog(std::string("Editor opened, version ") + ZAMPO_VERSION_TEXT + ": the service forwards from " +
                 paths_.poDataDir(),
             kLogFileOnly);
    openDocuments();
}

void GatewayRuntime::requestStop() {
    if (state.closingRequest && stopTimer_.isActive()) return;
    state.closingRequest = true;
    state.mainLoopFinished = false;
    state.closeRequestTime = clock_.nowUtc();
    stopTimer_.start();
    tmmMain.wake();
    writeLog("Start closing application", kLogFileOnly);
}

void GatewayRuntime::checkStopped() {
    if (state.mainLoopFinished || !withinSeconds(clock_, 10, 0, state.closeRequestTime)) {
        stopTimer_.stop();
        emit stopped();
    }
}

void GatewayRuntime::applySettings(const Settings& s) {
    settings = s;
    state.watchdogId = s.watchdogId;
    receiver.setEndpoint(trimmed(s.zamHost), s.zamPort);
    metrics.listen(s.metricsAddress, s.metricsPort);
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
    if (!fault.empty()) shown.setStatusText(fault);

    // The alarm status is rebuilt by the next poll: keep the damaged file for a look, start afresh.
    if (!alarmStatus->hasContent()) {
        bool moved = false;
        const std::string line = moveDamagedStatusAside(
            dir, clock_.nowUtc(), parseError(dataFilePath(dir, kAlarmStatusFile)), "started afresh", &moved);
        if (moved) alarmStatus->startAfresh(kAlarmStatusFile.rootName);
        writeLog(line, kLogPoList);
    }
}

void GatewayRuntime::atSafePoint() {
    if (fetchPort->workerRunning() || state.closingRequest) return;
    if (reloadRequested_) {
        reloadRequested_ = false;
        reload();
    } else if (watching_) {
        // Before every poll, and now and then while waiting, without a stat at every step.
        const TimeMs now = clock_.nowUtc();
        if (mainLoop.pollTimer().due(now) || !withinSeconds(now, 0, 500, lastStampCheck_)) {
            lastStampCheck_ = now;
            checkDefinitionFiles(false);
        }
    }
}

GatewayRuntime::FileStamp GatewayRuntime::stampOf(const DataFile& file) {
    struct stat st {};
    if (::stat(dataFilePath(paths_.poDataDir(), file).c_str(), &st) != 0) return {};
    return {true, static_cast<unsigned long long>(st.st_ino), static_cast<unsigned long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000LL + st.st_mtim.tv_nsec};
}

void GatewayRuntime::watchDefinitionFiles() {
    watching_ = true;
    linkStamp_ = stampOf(kLinkDefsFile);
    zamStamp_ = stampOf(kZamDefsFile);
}

void GatewayRuntime::checkDefinitionFiles(bool force) {
    for (auto [slot, file, stamp] :
         {std::tuple{&zamDefs, &kZamDefsFile, &zamStamp_}, std::tuple{&linkDefs, &kLinkDefsFile, &linkStamp_}}) {
        const FileStamp now = stampOf(*file);
        if (!force && now == *stamp) continue;
        *stamp = now;
        // Its own merge writes LinkDefs.xml too; reading that again changes nothing.
        readAgain(*slot, *file, force ? "reload" : "changed on disk");
    }
}

bool GatewayRuntime::readAgain(DocumentSlot& slot, const DataFile& file, const std::string& why) {
    const std::string dir = paths_.poDataDir();
    if (::access(dataFilePath(dir, file).c_str(), F_OK) != 0) {
        writeLog(std::string(file.fileName) + " (" + why + ") is missing; the copy read before stays in use",
                 kLogPoList);
        return false;
    }
    DocumentSlot fresh;
    openDataFile(fresh, dir, file);
    if (!fresh || !fresh->hasContent()) {
        writeLog(std::string(file.fileName) + " (" + why + ") is damaged (" + parseError(dataFilePath(dir, file)) +
                     "); the copy read before stays in use",
                 kLogPoList);
        return false;
    }
    slot = std::move(fresh);
    writeLog(std::string(file.fileName) + " read again (" + why + ")", kLogPoList);
    return true;
}

void GatewayRuntime::reload() {
    const std::string file = paths_.settingsFile();
    const bool hadFault = !state.settingsFault.empty();
    if (const std::string problem = settingsFileProblem(file); !problem.empty()) {
        // Taken as read it would give the built-in defaults: another ZamMeld, another Priva Office.
        state.settingsFault =
            std::filesystem::path(file).filename().string() + " cannot be read; the settings in use stay";
        writeLog("Reload: " + file + " cannot be read (" + problem + "); the settings in use stay: ZamMeld " +
                     trimmed(settings.zamHost) + ":" + std::to_string(settings.zamPort) + ", Priva Office " +
                     trimmed(settings.poHost),
                 kLogPoList);
    } else {
        state.settingsFault.clear();
        const Settings s = loadSettings(file);
        loadLangTexts(s.language);
        traceWriter().setEnabled(s.trace);
        std::error_code ec;
        if (s.trace) std::filesystem::create_directory(paths_.traceDir(), ec);
        const bool endpointChanged = trimmed(s.zamHost) != trimmed(settings.zamHost) || s.zamPort != settings.zamPort;
        applySettings(s);
        // A new ZamMeld address counts from the next connection; nothing waiting is cut off.
        if (endpointChanged && receiver.queuedCount() == 0 && receiver.currentMessage().empty())
            receiver.dropConnection();
        writeLog("Reload: " + file + " read again: ZamMeld " + trimmed(s.zamHost) + ":" + std::to_string(s.zamPort) +
                     ", Priva Office " + trimmed(s.poHost) + ", sendpcu " + (s.sendPcu ? "1" : "0") + ", filterpunct " +
                     (s.filterPunct ? "1" : "0") + ", WDid " + std::to_string(s.watchdogId) + ", language " +
                     s.language + ", Trace " + (s.trace ? "1" : "0") + ", metrics " +
                     (s.metricsPort ? s.metricsAddress + ":" + std::to_string(s.metricsPort) : "off"),
                 kLogFileOnly);
    }
    state.counters.settingsUnreadable = !state.settingsFault.empty();

    checkDefinitionFiles(true);
    // After the save in flight, and only what someone else wrote: never the gateway's own file half-way.
    mainLoop.reloadStatusFile();
    if (zamDefs && zamDefs->hasContent() && linkDefs && linkDefs->hasContent())
        state.dataFileFault.clear();  // a file mended since the start is in use now
    if (const std::string fault = state.fileFaultText(); !fault.empty())
        shown.setStatusText(fault);
    else if (hadFault && state.faultStatus <= kFaultNone)
        shown.setStatusText(langText(28, "Application running"));
    // Locations added in Priva Office since come with the definitions, as the refresh button fetches them.
    state.refreshRequest = true;
    shown.refillLinkGrid();
}

void GatewayRuntime::startMachines() {
    tmmMain.setState(1);
    tmmMain.setEnabled(true);
    tmmSockets.setState(1);
    tmmSockets.setEnabled(true);
}

}  // namespace zampo
