#pragma once
// The fetch worker: one Priva Office request at a time on a thread of its own,
// merged into the data files, with the outcome left for the main loop. The loop
// polls fetchDone(); once it reads true, every other value and every file the
// worker wrote are complete.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "logic/core/clock.h"
#include "logic/core/datapaths.h"
#include "runtime/fetchport.h"
#include "runtime/gatewaystate.h"
#include "runtime/httpclient.h"

namespace zampo {

// Each request ends well before the loop stops waiting for it (60 s for the alarms,
// 400 s for the definitions), leaving time for the merge and the saves, so no
// worker saves a file after the loop has given up on it.
struct FetchLimits {
    std::chrono::milliseconds alarmsRequest{45000};
    std::chrono::milliseconds definitionsRequest{360000};
    std::size_t maxBody = kMaxAnswerBytes;
};

class FetchWorker : public FetchPort {
public:
    // Sets the status text panel. Called from the worker's thread: the owner passes
    // one that hands the text to the gateway's thread.
    using StatusTextSink = std::function<void(const std::string&)>;

    FetchWorker(DataPaths& paths, GatewayState& state, const Clock& clock, StatusTextSink statusText,
                FetchLimits limits = {});
    // Cancels a running request and waits for its thread.
    ~FetchWorker() override;
    FetchWorker(const FetchWorker&) = delete;
    FetchWorker& operator=(const FetchWorker&) = delete;

    // Called in the worker's thread once a request has ended and fetchDone reads true.
    void setOnFinished(std::function<void()> finished) { finished_ = std::move(finished); }

    void initPoConnection() override;
    // Refused, with a log line, while a worker is still running.
    void startFetch(const std::string& url, FetchKind kind, DocumentSlot alarmStatus = {}) override;
    DocumentSlot takeAlarmStatus() override;
    std::string takeAlarmStatusText() override;
    // May be called from any thread.
    void traceSavedAlarmStatus(const std::string& text) override;
    bool fetchTimedOut() const override;
    void clearFetchDone() override;
    bool fetchDone() const override;
    std::string fetchMessage() const override;
    bool allLinksDefined() const override;
    bool definitionsMerged() const override;
    void setLinksInUse(bool inUse) override { linksInUse_ = inUse; }
    bool workerRunning() const override;

private:
    struct Job {
        std::string url;
        FetchKind kind = kFetchDefinitions;
        std::string poDataDir;
        TimeMs now{};
        std::shared_ptr<const HttpClient> client;
        HttpLimits limits;
        mutable DocumentSlot alarmStatus;  // the loop's copy, or none; the merge takes it
        bool linksInUse = false;
    };
    void run(const Job& job);
    void process(const Job& job, const std::string& answer);
    void mergeDefinitionsAnswer(const Job& job, const std::string& answer);
    void mergeAlarmsAnswer(const Job& job, const std::string& answer);
    // An answer that is no active-alarms list: a failed exchange, nothing saved.
    void failExchange(const Job& job, const std::string& reason);
    void trace(const std::string& data, const char* suffix);
    void setFetchMessage(const std::string& text);

    DataPaths& paths_;
    GatewayState& state_;
    const Clock& clock_;
    StatusTextSink statusText_;
    std::function<void()> finished_;
    FetchLimits limits_;
    std::shared_ptr<const HttpClient> client_;

    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> cancel_{false};
    std::atomic<bool> done_{false};
    std::atomic<bool> allLinksDefined_{false};
    std::atomic<bool> definitionsMerged_{false};
    bool linksInUse_ = false;
    std::atomic<bool> traceFailing_{false};
    std::atomic<bool> timedOut_{false};
    std::mutex mergedMutex_;
    DocumentSlot merged_;
    std::string mergedText_;
    mutable std::mutex messageMutex_;
    std::string message_;
};

}  // namespace zampo
