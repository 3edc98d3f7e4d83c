#include "runtime/gatewayruntime.h"

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

}  // namespace

GatewayRuntime::GatewayRuntime(DataPaths& paths, const Clock& clock, WindowPort& window, QObject* parent)
    : QObject(parent),
      shown_(window),
      loopSteps_(this),
      socketSteps_(this),
      receiver_(socketSteps_, settings_.zamHost, settings_.zamPort, shown_, state_, this),
      poMonitor_(clock, receiver_, this),
      fetchPort_(makeFetchPort(this, state_, paths, clock, shown_, loopSteps_)),
      mainLoop_(MainLoopDeps{state_, clock, shown_, receiver_, poMonitor_, *fetchPort_, paths, settings_, zamDefs_,
                             linkDefs_, alarmStatus_}),
      metrics_(*this),
      definitionFiles_(paths, zamDefs_, linkDefs_),
      paths_(paths),
      clock_(clock) {
    shown_.start();
    poMonitor_.setCounters(&state_.counters);
    receiver_.setClock(&clock_);
    // Both machines step when something they wait for happens, and rest otherwise.
    loopSteps_.setTurnBudget(kTurnBudgetMs);
    mainLoop_.setSafePoint([this] { atSafePoint(); });
    loopSteps_.setStepHandler([this](StepTimer& m) { mainLoop_.step(m); });
    socketSteps_.setTurnBudget(kTurnBudgetMs);
    connect(&receiver_, &SocketMachine::deliveryChanged, &loopSteps_, &StepTimer::wake);
    connect(&receiver_, &SocketMachine::socketFailed, &loopSteps_, &StepTimer::wake);
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

    state_.shownStatus = kFaultNone;
    state_.mainLoopFinished = false;
    state_.closingRequest = false;
    state_.refreshRequest = false;
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
        state_.settingsFault =
            std::filesystem::path(settingsFile).filename().string() + " cannot be read; built-in settings in use";
        state_.counters.settingsUnreadable = true;
        writeLog(settingsFile + " cannot be read (" + settingsProblem + "); starting with the built-in settings",
                 kLogPoList);
    }
    openDocuments();
    if (!state_.settingsFault.empty()) shown_.setStatusText(state_.fileFaultText());
}

void GatewayRuntime::prepareEditor() {
    logWriter().setFileName(paths_.logFile());
    settings_ = loadSettings(paths_.settingsFile());
    state_.watchdogId = settings_.watchdogId;
    loadLangTexts(settings_.language);
    writeLog(std::string("Editor opened, version ") + ZAMPO_VERSION_TEXT + ": the service forwards from " +
                 paths_.poDataDir(),
             kLogFileOnly);
    openDocuments();
}

void GatewayRuntime::requestStop() {
    if (state_.closingRequest && stopTimer_.isActive()) return;
    state_.closingRequest = true;
    state_.mainLoopFinished = false;
    state_.closeRequestTime = clock_.nowUtc();
    stopTimer_.start();
    loopSteps_.wake();
    writeLog("Start closing application", kLogFileOnly);
}

void GatewayRuntime::checkStopped() {
    if (state_.mainLoopFinished || !withinSeconds(clock_, 10, 0, state_.closeRequestTime)) {
        stopTimer_.stop();
        emit stopped();
    }
}

void GatewayRuntime::applySettings(const Settings& s) {
    settings_ = s;
    state_.watchdogId = s.watchdogId;
    receiver_.setEndpoint(trimmed(s.zamHost), s.zamPort);
    metrics_.listen(s.metricsAddress, s.metricsPort, s.metricsWebConfig);
}

void GatewayRuntime::openDocuments() {
    const std::string dir = paths_.poDataDir();
    openDataFile(zamDefs_, dir, kZamDefsFile);
    openDataFile(linkDefs_, dir, kLinkDefsFile);
    openDataFile(alarmStatus_, dir, kAlarmStatusFile);

    // The definitions are the operator's work: a damaged file stays as it is (no save
    // path writes a document without content) until the operator mends it.
    std::string fault;
    for (const auto& [slot, file] : {std::pair{&zamDefs_, &kZamDefsFile}, std::pair{&linkDefs_, &kLinkDefsFile}}) {
        if ((*slot)->hasContent()) continue;
        const std::string path = dataFilePath(dir, *file);
        const std::string line = std::string(file->fileName) + " is damaged and was not loaded (" + parseError(path) +
                                 "); it is left untouched until it is repaired";
        writeLog(line, kLogPoList);  // the list's lines go to the file as well
        fault += (fault.empty() ? "" : "; ") + std::string(file->fileName) + " is damaged";
    }
    state_.dataFileFault = fault;
    if (!fault.empty()) shown_.setStatusText(fault);

    // The alarm status is rebuilt by the next poll: keep the damaged file for a look, start afresh.
    if (!alarmStatus_->hasContent()) {
        bool moved = false;
        const std::string line = moveDamagedStatusAside(
            dir, clock_.nowUtc(), parseError(dataFilePath(dir, kAlarmStatusFile)), "started afresh", &moved);
        if (moved) alarmStatus_->startAfresh(kAlarmStatusFile.rootName);
        writeLog(line, kLogPoList);
    }
}

void GatewayRuntime::atSafePoint() {
    if (fetchPort_->workerRunning() || state_.closingRequest) return;
    if (reloadRequested_) {
        reloadRequested_ = false;
        reload();
    } else if (definitionFiles_.watching()) {
        const TimeMs now = clock_.nowUtc();
        definitionFiles_.lookIfDue(now, mainLoop_.pollTimer().due(now));
    }
}

void GatewayRuntime::reload() {
    const std::string file = paths_.settingsFile();
    const bool hadFault = !state_.settingsFault.empty();
    if (const std::string problem = settingsFileProblem(file); !problem.empty()) {
        // Taken as read it would give the built-in defaults: another ZamMeld, another Priva Office.
        state_.settingsFault =
            std::filesystem::path(file).filename().string() + " cannot be read; the settings in use stay";
        writeLog("Reload: " + file + " cannot be read (" + problem + "); the settings in use stay: ZamMeld " +
                     trimmed(settings_.zamHost) + ":" + std::to_string(settings_.zamPort) + ", Priva Office " +
                     trimmed(settings_.poHost),
                 kLogPoList);
    } else {
        state_.settingsFault.clear();
        const Settings s = loadSettings(file);
        loadLangTexts(s.language);
        traceWriter().setEnabled(s.trace);
        std::error_code ec;
        if (s.trace) std::filesystem::create_directory(paths_.traceDir(), ec);
        const bool endpointChanged = trimmed(s.zamHost) != trimmed(settings_.zamHost) || s.zamPort != settings_.zamPort;
        applySettings(s);
        // A new ZamMeld address counts from the next connection; nothing waiting is cut off.
        if (endpointChanged && receiver_.queuedCount() == 0 && receiver_.currentMessage().empty())
            receiver_.dropConnection();
        writeLog("Reload: " + file + " read again: ZamMeld " + trimmed(s.zamHost) + ":" + std::to_string(s.zamPort) +
                     ", Priva Office " + trimmed(s.poHost) + ", sendpcu " + (s.sendPcu ? "1" : "0") + ", filterpunct " +
                     (s.filterPunct ? "1" : "0") + ", WDid " + std::to_string(s.watchdogId) + ", language " +
                     s.language + ", Trace " + (s.trace ? "1" : "0") + ", metrics " +
                     (s.metricsPort ? s.metricsAddress + ":" + std::to_string(s.metricsPort) : "off"),
                 kLogFileOnly);
    }
    state_.counters.settingsUnreadable = !state_.settingsFault.empty();

    definitionFiles_.check(true);
    // After the save in flight, and only what someone else wrote: never the gateway's own file half-way.
    mainLoop_.reloadStatusFile();
    if (zamDefs_ && zamDefs_->hasContent() && linkDefs_ && linkDefs_->hasContent())
        state_.dataFileFault.clear();  // a file mended since the start is in use now
    if (const std::string fault = state_.fileFaultText(); !fault.empty())
        shown_.setStatusText(fault);
    else if (hadFault && state_.faultStatus <= kFaultNone)
        shown_.setStatusText(langText(TextId::ApplicationRunning));
    // Locations added in Priva Office since come with the definitions, as the refresh button fetches them.
    state_.refreshRequest = true;
    shown_.refillLinkGrid();
}

void GatewayRuntime::startMachines() {
    loopSteps_.setState(MainLoop::State::Start);
    loopSteps_.setEnabled(true);
    socketSteps_.setState(SocketMachine::State::Start);
    socketSteps_.setEnabled(true);
}

}  // namespace zampo
