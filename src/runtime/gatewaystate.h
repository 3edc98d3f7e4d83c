#pragma once
// Values shared across the gateway's parts. The fault status is also written by
// the fetch worker, hence atomic; everything else lives in the gateway's thread.
#include <atomic>
#include <string>

#include "logic/core/clock.h"
#include "logic/core/gatewaycounters.h"

namespace zampo {

enum FaultStatus : int { kFaultCleared = -1, kFaultNone = 0, kFaultPriva = 1, kFaultReceiver = 2 };

struct GatewayState {
    std::atomic<int> faultStatus{kFaultNone};
    FaultStatus shownStatus = kFaultNone;
    bool closingRequest = false;
    bool mainLoopFinished = false;
    bool refreshRequest = false;
    TimeMs closeRequestTime{};
    int watchdogId = 1;
    // A definitions file that could not be read at start-up: shown instead of
    // "Application running" until the operator mends it and restarts.
    std::string dataFileFault;
    // ZamLocal.INI could not be read (at the start or a reload): the settings in use
    // stay, and the status text says so until a reload reads it.
    std::string settingsFault;
    // What the status text shows instead of "Application running", or empty.
    std::string fileFaultText() const {
        if (settingsFault.empty()) return dataFileFault;
        return dataFileFault.empty() ? settingsFault : dataFileFault + "; " + settingsFault;
    }
    GatewayCounters counters;
};

}  // namespace zampo
