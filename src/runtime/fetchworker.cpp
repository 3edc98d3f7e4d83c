#include "runtime/fetchworker.h"

#include <unistd.h>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/diag/logwriter.h"
#include "logic/diag/tracewriter.h"
#include "logic/language/langtext.h"
#include "logic/linkconfig/linkdefslock.h"
#include "logic/poclient/alarmmerge.h"
#include "logic/poclient/definitionsmerge.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

namespace {

std::string noDataText() {
    return langText(TextId::PoEmptyAnswer);
}

// Saves the slot to its data file; false with the reason on the log file when it fails.
bool saveWithReason(const DocumentSlot& slot, const std::string& poDataDir, const DataFile& file) {
    std::string error;
    if (saveDocument(slot, dataFilePath(poDataDir, file), &error)) return true;
    writeLog(std::string(file.fileName) + " not saved: " + error, kLogFileOnly);
    return false;
}

}  // namespace

FetchWorker::FetchWorker(DataPaths& paths, GatewayState& state, const Clock& clock, StatusTextSink statusText,
                         FetchLimits limits)
    : paths_(paths), state_(state), clock_(clock), statusText_(std::move(statusText)), limits_(limits) {}

FetchWorker::~FetchWorker() {
    cancel_.store(true);
    if (thread_.joinable()) thread_.join();
}

void FetchWorker::initPoConnection() {
    // A running worker holds its own reference to the client it started with.
    client_ = std::make_shared<const HttpClient>();
}

void FetchWorker::startFetch(const std::string& url, FetchKind kind, DocumentSlot alarmStatus) {
    if (running_.load(std::memory_order_acquire)) {
        writeLog("Priva Office request not started: the previous one is still running", kLogFileOnly);
        return;
    }
    if (thread_.joinable()) thread_.join();  // finished; at most its last instructions remain
    if (!client_) initPoConnection();

    Job job;
    job.url = url;
    job.kind = kind;
    // Read here in the gateway's thread: neither the paths nor the clock are made for
    // calls from another thread.
    job.poDataDir = paths_.poDataDir();
    job.now = clock_.nowUtc();
    job.client = client_;
    job.limits.timeLimit = kind == kFetchDefinitions ? limits_.definitionsRequest : limits_.alarmsRequest;
    job.limits.maxBody = limits_.maxBody;
    job.alarmStatus = std::move(alarmStatus);
    job.linksInUse = linksInUse_;
    definitionsMerged_.store(false);
    {
        std::lock_guard lock(mergedMutex_);
        merged_.reset();
        mergedText_.clear();
    }
    timedOut_.store(false);

    done_.store(false, std::memory_order_release);
    setFetchMessage("");
    running_.store(true, std::memory_order_release);
    try {
        thread_ = std::thread([this, job = std::move(job)] { run(job); });
    } catch (const std::system_error& e) {
        writeLog(std::string("Priva Office request not started: ") + e.what(), kLogFileOnly);
        setFetchMessage(noDataText());
        running_.store(false, std::memory_order_release);
        done_.store(true, std::memory_order_release);
    }
}

void FetchWorker::clearFetchDone() {
    done_.store(false, std::memory_order_release);
}

bool FetchWorker::fetchDone() const {
    return done_.load(std::memory_order_acquire);
}

std::string FetchWorker::fetchMessage() const {
    std::lock_guard lock(messageMutex_);
    return message_;
}

bool FetchWorker::allLinksDefined() const {
    return allLinksDefined_.load(std::memory_order_acquire);
}

DocumentSlot FetchWorker::takeAlarmStatus() {
    std::lock_guard lock(mergedMutex_);
    return std::move(merged_);
}

std::string FetchWorker::takeAlarmStatusText() {
    std::lock_guard lock(mergedMutex_);
    return std::move(mergedText_);
}

bool FetchWorker::fetchTimedOut() const {
    return timedOut_.load(std::memory_order_acquire);
}

bool FetchWorker::definitionsMerged() const {
    return definitionsMerged_.load(std::memory_order_acquire);
}

bool FetchWorker::workerRunning() const {
    return running_.load(std::memory_order_acquire);
}

void FetchWorker::setFetchMessage(const std::string& text) {
    std::lock_guard lock(messageMutex_);
    message_ = text;
}

void FetchWorker::run(const Job& job) {
    try {
        const HttpResult answer = job.client->get(job.url, job.limits, &cancel_);
        // Cancelled by the destructor: the owner is going away, so touch nothing more.
        if (!cancel_.load()) {
            if (answer.ok) {
                int expected = kFaultPriva;
                if (state_.faultStatus.compare_exchange_strong(expected, kFaultCleared) && statusText_) statusText_("");
            } else if (answer.timedOut) {
                // The loop takes it as its own wait running out, and says so.
                timedOut_.store(true, std::memory_order_release);
                writeLog("Priva Office request " + job.url + " failed: " + answer.reason, kLogFileOnly);
            } else {
                const std::string text = langText(TextId::PoCommunicationError);
                if (statusText_) statusText_(text);
                writeLog(text, kLogPoList);
                writeLog("Priva Office request " + job.url + " failed: " + answer.reason, kLogFileOnly);
                state_.faultStatus.store(kFaultPriva);
            }
            if (answer.body.empty())
                setFetchMessage(noDataText());
            else
                process(job, answer.body);
        }
    } catch (const std::exception& e) {
        setFetchMessage(noDataText());
        writeLog(std::string("Priva Office answer not processed: ") + e.what(), kLogFileOnly);
    } catch (...) {
        setFetchMessage(noDataText());
        writeLog("Priva Office answer not processed", kLogFileOnly);
    }
    // Last, so that everything above is visible to whoever sees it set.
    done_.store(true, std::memory_order_release);
    running_.store(false, std::memory_order_release);
    if (finished_ && !cancel_.load()) finished_();
}

void FetchWorker::process(const Job& job, const std::string& answer) {
    if (job.kind == kFetchDefinitions)
        mergeDefinitionsAnswer(job, answer);
    else if (job.kind == kFetchAlarms)
        mergeAlarmsAnswer(job, answer);
}

void FetchWorker::mergeDefinitionsAnswer(const Job& job, const std::string& answer) {
    {
        // The operator's edits save LinkDefs.xml under the same lock, so the fresh
        // read below already holds them and the save cannot undo one.
        DefinitionsFileLock lock(job.poDataDir);
        if (job.linksInUse && ::access(dataFilePath(job.poDataDir, kLinkDefsFile).c_str(), F_OK) != 0) {
            writeLog(std::string("Priva Office definitions not merged: ") + kLinkDefsFile.fileName +
                         " is missing and is not made afresh while the gateway holds links of its own",
                     kLogFileOnly);
            return;
        }
        DocumentSlot linkDefs;
        openDataFile(linkDefs, job.poDataDir, kLinkDefsFile);
        const DefinitionsMergeResult result = mergeDefinitions(answer, linkDefs, job.poDataDir);
        if (result.ok) {
            allLinksDefined_.store(result.allLinksDefined, std::memory_order_release);
            definitionsMerged_.store(true, std::memory_order_release);
            if (!result.saved) saveWithReason(linkDefs, job.poDataDir, kLinkDefsFile);
        } else {
            setFetchMessage(result.fetchMessage);
            writeLog("Priva Office definitions not merged: " + result.error, kLogFileOnly);
        }
    }
    // The log may have grown past its limit without a line from the gateway's thread
    // to notice; check once per definitions answer.
    logWriter().rotateIfOversized();
}

void FetchWorker::mergeAlarmsAnswer(const Job& job, const std::string& answer) {
    const bool tracing = traceWriter().enabled();
    if (tracing) trace(answer, "00");
    const bool ownCopy = job.alarmStatus != nullptr;
    DocumentSlot status = std::move(job.alarmStatus);
    if (!ownCopy) openDataFile(status, job.poDataDir, kAlarmStatusFile);
    if (tracing) trace(status->toText(), "01");
    const AlarmMergeResult result = mergeActiveAlarms(answer, status, job.now);
    if (!result.fetchMessage.empty() || (result.ok && !result.listFound)) {
        // Not an active-alarms list (an error page, a proxy's answer): taken as a list
        // it would reset every active alarm and report resets that never happened.
        const std::string reason = result.ok ? "the answer's root is not active-alarms" : result.error;
        failExchange(job, reason);
        return;
    }
    if (!result.ok) {
        setFetchMessage(noDataText());
        writeLog("Priva Office active alarms not merged: " + result.error, kLogFileOnly);
        return;
    }
    for (const std::string& line : result.log) writeLog(line, kLogPoList);
    std::string text = status->toText();
    if (ownCopy) {
        // The loop saves its copy and has it traced then.
        std::lock_guard lock(mergedMutex_);
        merged_ = std::move(status);
        mergedText_ = std::move(text);
        return;
    }
    if (!saveWithReason(status, job.poDataDir, kAlarmStatusFile))
        writeLog(langText(TextId::StatusWriteError), kLogPoList);
    if (tracing) trace(text, "02");
}

void FetchWorker::traceSavedAlarmStatus(const std::string& text) {
    if (traceWriter().enabled()) trace(text, "02");
}

void FetchWorker::failExchange(const Job& job, const std::string& reason) {
    const std::string text = langText(TextId::PoCommunicationError);
    if (statusText_) statusText_(text);
    writeLog(text, kLogPoList);
    writeLog("Priva Office active alarms not merged, answer of " + job.url + " unusable: " + reason, kLogFileOnly);
    state_.faultStatus.store(kFaultPriva);
    setFetchMessage(noDataText());
}

void FetchWorker::trace(const std::string& data, const char* suffix) {
    // A trace is a diagnostic aid: when it cannot be written the alarms are still
    // merged and forwarded. The failure is logged once until a trace succeeds again.
    try {
        traceWriter().write(data, suffix);
        traceFailing_.store(false);
    } catch (const std::exception& e) {
        if (!traceFailing_.exchange(true))
            writeLog(std::string("Trace file not written, going on without it: ") + e.what(), kLogFileOnly);
    }
}

}  // namespace zampo
