#pragma once
// The loopback address of every test that binds a fixed port (Priva Office's 8080,
// a metrics port) or needs an address nothing listens on. CTest runs tests side by
// side, and two that share an address fail now and then: each has its own entry
// here, and the address is made from the entry's place, so no two can be equal.
// scripts/check-layers fails on an address written out anywhere else in tests/.
#include <QString>
#include <string>

namespace zampo::test {

enum class TestHost : int {
    // tests/runtime
    PosimServesTheFixedRequest,
    PosimBusyAddress,
    FetchFailedRequests,
    FetchMergesTheFile,
    FetchNoAlarmList,
    FetchDefinitions,
    FetchOperatorSave,
    FetchOneWorkerAtATime,
    // tests/e2e
    ForwardingRaiseAndReset,
    ForwardingRefusedAndUnanswered,
    ForwardingGroupOfTwo,
    ForwardingListedAgainAfterReset,
    ForwardingOtherRoot,
    ForwardingLineZamMeldHangsUpOn,
    ForwardingLineNeverAnswered,
    ForwardingChangesDuringAnOutage,
    ForwardingClockAhead,
    SupervisionWatchdogShortForm,
    SupervisionPrivaOfficeFailing,
    SupervisionDefinitionsFetch,
    SupervisionErrorInAStep,
    HealthMetrics,
    HealthStorm,
    HealthAcceptAndClose,
    HealthAcceptAndCloseMetrics,
    ServiceReload,
    ServiceStop,
    ServiceUnreadableFiles,
    ServiceWindowBeside,
    ServiceLogUnwritable,
    ServiceDryRun,
    // tests/reliability
    PrivaOfficeFaults,
    PrivaOfficeNobodyThere,
    PrivaOfficeStartsThatAreNoStamps,
    PrivaOfficeControlCharacters,
    PrivaOfficeTrickle,
    ReceiverBlackHole,
    ReceiverClosesAnswersGarbage,
    ReceiverAway,
    ReceiverDefinitionsHang,
    ReceiverLateAnswer,
    ReceiverOutageSoak,
    ReceiverHangingConnect,
    DataFilesDamagedStatus,
    DataFilesDamagedDefinitions,
    DataFilesFullDisk,
    DataFilesUnreadableLinks,
    DataFilesReloadDuringSave,
    KillRestart,
    // h-web: the metrics endpoint behind users and TLS.
    HealthWebTls,
    // Keep last: the number of entries.
    Count
};

// 127.0.100.1 on: apart from the addresses tests choose with port 0.
inline std::string testHostAddress(TestHost host) {
    const int i = static_cast<int>(host);
    return "127.0." + std::to_string(100 + i / 250) + "." + std::to_string(1 + i % 250);
}

inline QString testHost(TestHost host) {
    return QString::fromStdString(testHostAddress(host));
}

}  // namespace zampo::test
