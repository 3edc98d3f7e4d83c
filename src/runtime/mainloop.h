#pragma once
// The gateway's heartbeat: waits in Wait and from there runs the watchdog, the
// alarm poll and the definitions fetch on their own timers, and after each poll
// walks the alarm status document, one element or one message per step. A step
// that waits rests its machine until the event it waits for or its deadline.
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "logic/alarmstatus/alarmstatusfile.h"
#include "logic/core/clock.h"
#include "logic/core/datapaths.h"
#include "logic/core/settings.h"
#include "logic/forwarding/elementwalk.h"
#include "logic/xml/xmlstore.h"
#include "runtime/fetchport.h"
#include "runtime/gatewaystate.h"
#include "runtime/statussaver.h"
#include "runtime/steptimer.h"
#include "runtime/windowport.h"

namespace zampo {

class SocketMachine;
class PoExchangeMonitor;

// A repeating timer of the loop: due once at least interval seconds have passed
// since last, in either direction of the clock.
struct LoopTimer {
    TimeMs last{};
    int64_t interval = 0;
    bool due(TimeMs now) const { return !withinSeconds(now, interval, 0, last); }
};

// Everything the loop drives or reads. All of it outlives the loop.
struct MainLoopDeps {
    GatewayState& state;
    const Clock& clock;
    WindowPort& window;
    SocketMachine& receiver;
    PoExchangeMonitor& poMonitor;
    FetchPort& fetch;
    DataPaths& paths;          // the PO data directory, for reloads and saves
    const Settings& settings;  // the Priva Office host and the two message options
    DocumentSlot& zamDefs;
    DocumentSlot& linkDefs;
    DocumentSlot& alarmStatus;
};

class MainLoop {
public:
    // The numbers are those the error lines in the log have always shown.
    enum class State : uint32_t {
        Start = 1,
        Init = 2,
        Wait = 3,
        GetDefinitions = 4,
        WaitDefinitions = 5,
        StartGetAlarms = 7,
        WaitAlarms = 8,
        CheckAlarms = 9,
        SendAlarm = 10,
        CheckResponse = 11,
        SendWatchdog = 12,
        WaitWatchdog = 13,
        Stop = 16,
    };
    // What the machine shows for a state: " 3 wait ", "10 send alarm to zam ".
    static std::string stateText(State state);

    explicit MainLoop(const MainLoopDeps& deps);
    MainLoop(const MainLoop&) = delete;
    MainLoop& operator=(const MainLoop&) = delete;

    // The step handler of the loop's machine: runs one step and turns an error into
    // a log line and a restart at Start. The safe point runs first, inside the same
    // guard, at every step in Wait.
    void step(StepTimer& machine);
    void setSafePoint(std::function<void()> atSafePoint) { safePoint_ = std::move(atSafePoint); }

    const AlarmStatusFile& statusFile() const { return statusFile_; }
    const LoopTimer& watchdogTimer() const { return watchdog_; }
    const LoopTimer& pollTimer() const { return poll_; }
    const LoopTimer& definitionsTimer() const { return definitions_; }
    const ElementCycle& cycle() const { return cycle_; }
    // At a reload: waits for a save in flight and writes what is left, then takes the
    // file over only when someone else wrote it since; the gateway never reads its
    // own save back, half-written or older than its copy.
    void reloadStatusFile();
    // What writes a save beside the loop; a test stands in a slow disk with it.
    void setStatusWriter(StatusSaver::StatusWriter writer) { saver_.setStatusWriter(std::move(writer)); }
    // A save is being written or waits for its moment.
    bool savePending() const { return saver_.pending(); }
    int32_t retryCount() const { return retryCount_; }

    // The error line for a failed step.
    // How far a wait-alarms step got, for the "<sub N>" piece of its error line;
    // the numbers are those the sites' log readers know.
    enum class WaitAlarmsPoint : int {
        None = 0,
        Entered = 1,
        FetchDone = 2,
        FaultSeen = 3,
        FailureReported = 4,
        TakingAnswer = 5,
        LoggingMessage = 6,
        ReportingSuccess = 7,
        SuccessReported = 8,
        MergeTaken = 9,
        StatusReplaced = 11,
        StatusInPlace = 12,
        NotDone = 13,
        TimeoutLogged = 14,
        TimeoutReported = 15,
    };
    static std::string errorLine(State state, WaitAlarmsPoint reached, const std::string& location,
                                 const std::string& message, const std::string& className);

private:
    struct StateRow;
    // The one table of the states: number, name and the function that runs it.
    static const StateRow* rowOf(State state);
    // One step; errors escape to step().
    void runStep(StepTimer& machine);

    void start(StepTimer& m, TimeMs now);
    void init(StepTimer& m, TimeMs now);
    void wait(StepTimer& m, TimeMs now);
    void getDefinitions(StepTimer& m, TimeMs now);
    void waitDefinitions(StepTimer& m, TimeMs now);
    // After a merge: LinkDefs.xml as the merge left it, when it can be read.
    void takeMergedLinks();
    void startGetAlarms(StepTimer& m, TimeMs now);
    void waitAlarms(StepTimer& m, TimeMs now);
    void checkAlarms(StepTimer& m, TimeMs now);
    void sendAlarm(StepTimer& m, TimeMs now);
    void checkResponse(StepTimer& m, TimeMs now);
    // The element's line was cut off by ZamMeld: does that count as a send?
    bool cutOffCountsAsSend();
    void sendWatchdog(StepTimer& m, TimeMs now);
    void waitWatchdog(StepTimer& m, TimeMs now);
    void stop(StepTimer& m, TimeMs now);

    void showFaultStatus();
    // From Wait and from the states that wait on a fetch or walk the elements: a
    // due watchdog goes out, and the loop comes back to returnState.
    bool startWatchdogIfDue(StepTimer& m, TimeMs now, State returnState);
    // From the walk: a due poll goes out between two elements while the exchanges
    // go well, and the walk starts over on the merged document.
    bool startPollIfDue(StepTimer& m, TimeMs now);
    void startPoll(StepTimer& m, TimeMs now);
    // Milliseconds until a wait of seconds since since runs out; 0 when it has.
    static int64_t msUntil(TimeMs now, TimeMs since, int64_t seconds);
    // Milliseconds until the watchdog is due.
    int64_t untilWatchdog(TimeMs now) const;
    // Before an alarms fetch: the file as someone else left it, and a copy with content.
    void prepareStatusForFetch(TimeMs now);
    void takeMergedAlarms();
    void timeoutCollectingAlarms(StepTimer& m);
    // False, after logging it once, while an earlier request is still running.
    bool fetchSlotFree();
    std::string poUrl(const char* path) const;
    CycleDocuments documents();
    void follow(StepTimer& m, const CycleOutcome& outcome, TimeMs now);

    MainLoopDeps d_;
    LoopTimer watchdog_, poll_, definitions_;
    TimeMs requestTime_{};
    int32_t retryCount_ = 0;  // watchdog sends; the element cycle keeps its own
    ElementCycle cycle_;
    AlarmStatusFile statusFile_;
    uint64_t messageTicket_ = 0;   // the element's message in flight
    std::string message_;          // its text, as queued
    bool messageWritten_ = false;  // seen on the wire: its answer wait has started
    // Lines ZamMeld hung up on, with the answers it had given by the first time.
    std::map<std::string, uint64_t> cutOffLines_;
    uint64_t watchdogTicket_ = 0;
    bool watchdogWritten_ = false;
    TimeMs watchdogSentAt_{};
    State watchdogReturn_ = State::Wait;
    bool definitionsPending_ = false;  // a definitions fetch waits for a running worker
    bool busyLogged_ = false;
    std::function<void()> safePoint_;
    StatusSaver saver_;  // after statusFile_: it waits for its thread before the file goes
    WaitAlarmsPoint reached_ = WaitAlarmsPoint::None;  // None at the start of every step
    DocumentSlot fetchCopy_;                           // the alarm status for the fetch, being copied
    pugi::xml_node copyNext_;                          // the next of its elements to copy
};

}  // namespace zampo
