#pragma once
// How the main loop drives the Priva Office requests: start one, then poll for
// its end. The worker publishes fetchDone last, so everything else it wrote
// (values and saved files) is visible once fetchDone reads true.
#include <string>

#include "logic/xml/xmlstore.h"

namespace zampo {

enum FetchKind : int { kFetchDefinitions = 1, kFetchAlarms = 2 };

class FetchPort {
public:
    virtual ~FetchPort() = default;
    // A fresh HTTP client; a running request keeps the one it started with.
    virtual void initPoConnection() = 0;
    // Starts one request in the background and returns at once. An alarms fetch
    // merges into alarmStatus, the loop's copy of the alarm status, and hands the
    // result back through takeAlarmStatus; without one it merges the file and saves it.
    virtual void startFetch(const std::string& url, FetchKind kind, DocumentSlot alarmStatus = {}) = 0;
    // After fetchDone: the merged alarm status of the last alarms fetch, or an
    // empty slot when nothing was merged.
    virtual DocumentSlot takeAlarmStatus() = 0;
    // With it: the merged status as the text of its file, made in the worker so that
    // the loop need not; empty when none was made.
    virtual std::string takeAlarmStatusText() { return {}; }
    // The loop's copy after an alarms merge, as it was just saved: the trace of the
    // status after the merge follows the save, as it does when the worker saves.
    virtual void traceSavedAlarmStatus(const std::string& /*text*/) {}
    // After fetchDone: the request ran into its time limit.
    virtual bool fetchTimedOut() const = 0;
    virtual void clearFetchDone() = 0;
    virtual bool fetchDone() const = 0;
    // Empty, or what the loop logs for a finished fetch.
    virtual std::string fetchMessage() const = 0;
    // Result of the last definitions fetch that received an answer.
    virtual bool allLinksDefined() const = 0;
    // After fetchDone of a definitions fetch: its answer went into LinkDefs.xml. False
    // when the merge was refused (an unusable answer, a file that cannot be read).
    virtual bool definitionsMerged() const { return true; }
    // Before a definitions fetch: the loop holds links of its own, so a LinkDefs.xml
    // that has gone missing is not made afresh with every link empty.
    virtual void setLinksInUse(bool) {}
    // A worker thread is still alive; the loop never starts a second one.
    virtual bool workerRunning() const = 0;
};

}  // namespace zampo
