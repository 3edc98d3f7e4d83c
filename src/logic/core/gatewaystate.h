#pragma once
// Values shared across the gateway's parts. The fault status is also written by
// the fetch worker, hence atomic; everything else lives in the window's thread.
#include <atomic>
#include <string>

#include "logic/core/clock.h"
#include "logic/core/gatewaycounters.h"

namespace zampo {

enum FaultStatus : int { kFaultCleared = -1, kFaultNone = 0, kFaultPriva = 1, kFaultReceiver = 2 };

struct GatewayState {
    std::atomic<int> faultStatus{kFaultNone};
    int shownStatus = 0;
    bool closingRequest = false;
    bool mainLoopFinished = false;
    bool refreshRequest = false;
    TimeMs closeRequestTime{};
    int watchdogId = 1;
    // A definitions file that could not be read at start-up: shown instead of
    // "Application running" until the operator mends it and restarts.
    std::string dataFileFault;
    GatewayCounters counters;
};

}  // namespace zampo
