#pragma once
// How the main loop drives the Priva Office requests: start one, then poll for
// its end. The worker publishes fetchDone last, so everything else it wrote
// (values and saved files) is visible once fetchDone reads true.
#include <string>

namespace zampo {

enum FetchKind : int { kFetchDefinitions = 1, kFetchAlarms = 2 };

class FetchPort {
public:
    virtual ~FetchPort() = default;
    // A fresh HTTP client; a running request keeps the one it started with.
    virtual void initPoConnection() = 0;
    // Starts one request in the background and returns at once.
    virtual void startFetch(const std::string& url, int kind) = 0;
    virtual void clearFetchDone() = 0;
    virtual bool fetchDone() const = 0;
    // Empty, or what the loop logs for a finished fetch.
    virtual std::string fetchMessage() const = 0;
    // Result of the last definitions fetch that received an answer.
    virtual bool allLinksDefined() const = 0;
    // A worker thread is still alive; the loop never starts a second one.
    virtual bool workerRunning() const = 0;
};

}  // namespace zampo
