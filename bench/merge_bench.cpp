// Both merges at the size of a large site, in the steady state: the answer lists
// what the file already holds, as it does on every fetch of a quiet day.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/poclient/alarmmerge.h"
#include "logic/poclient/definitionsmerge.h"
#include "logic/xml/xmlstore.h"

using namespace zampo;

namespace {

class ScratchDir {
public:
    ScratchDir() {
        std::string tmpl = "/tmp/zampo-bench-XXXXXX";
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

const TimeMs kNow = *parseStatusTime("20240301T120000");

std::string alarmKey(int i) {
    return "pcu=\"PCU " + std::to_string(i / 100) + "\" location=\"Afdeling " + std::to_string(i) + "\" nr=\"" +
           std::to_string(i % 97) + "\"";
}

std::string activeAlarmsAnswer(int n) {
    std::string s = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<active-alarms>\n";
    for (int i = 0; i < n; ++i)
        s += "<alarm " + alarmKey(i) + " text=\"Temperatuur te hoog\" start=\"20240301T100000\"/>\n";
    return s + "</active-alarms>\n";
}

// Every alarm active and reported: Sent equals start.
DocumentSlot steadyStatus(int n) {
    std::string s = "<POAlarmStatus>";
    for (int i = 0; i < n; ++i)
        s += "<Alarm " + alarmKey(i) +
             " text=\"Temperatuur te hoog\" start=\"20240301T100000\" State=\"A\" Sent=\"20240301T100000\" "
             "repeat_at=\"\"/>";
    s += "</POAlarmStatus>";
    auto slot = std::make_unique<XmlDocument>();
    if (!slot->loadText(s)) throw std::runtime_error("bad status");
    return slot;
}

void activeAlarmMerge(benchmark::State& state, LookupMode mode) {
    const int n = static_cast<int>(state.range(0));
    const std::string answer = activeAlarmsAnswer(n);
    DocumentSlot slot = steadyStatus(n);
    for (auto _ : state) {
        AlarmMergeResult r = mergeActiveAlarms(answer, slot, kNow, mode);
        if (!r.ok || r.added != 0) state.SkipWithError("merge did not reach the steady state");
    }
}

void BM_ActiveAlarmMerge(benchmark::State& state) {
    activeAlarmMerge(state, LookupMode::Indexed);
}
void BM_ActiveAlarmMergeWithoutIndex(benchmark::State& state) {
    activeAlarmMerge(state, LookupMode::Search);
}

// The worker's whole cycle: read AlarmStatus.xml, merge, save it.
void BM_ActiveAlarmFetchCycle(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string answer = activeAlarmsAnswer(n);
    ScratchDir dir;
    if (!saveDataFile(steadyStatus(n), dir.path(), kAlarmStatusFile)) throw std::runtime_error("cannot save");
    for (auto _ : state) {
        DocumentSlot slot;
        openDataFile(slot, dir.path(), kAlarmStatusFile);
        AlarmMergeResult r = mergeActiveAlarms(answer, slot, kNow);
        if (!r.ok || !saveDataFile(slot, dir.path(), kAlarmStatusFile)) state.SkipWithError("cycle failed");
    }
}

constexpr int kLocations = 5000;
constexpr int kAlarmTypes = 500;

std::string definitionsAnswer() {
    std::string s = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<alarmserverconfig>\n<alarmlocations>\n";
    for (int i = 0; i < kLocations; ++i)
        s += "<alarmlocation pcu=\"PCU " + std::to_string(i / 100) + "\" text=\"Afdeling " + std::to_string(i) +
             "\"/>\n";
    s += "</alarmlocations>\n<alarmtypes>\n";
    for (int i = 0; i < kAlarmTypes; ++i)
        s += "<alarmtype nr=\"" + std::to_string(i) + "\" text=\"Alarmtype " + std::to_string(i) + "\"/>\n";
    return s + "</alarmtypes>\n</alarmserverconfig>\n";
}

// Every location linked, every tenth with two exceptions, and 50 general exceptions.
DocumentSlot linkedLinkDefs() {
    std::string s = "<ZamPOLinkDefs><PO_Locations>";
    for (int i = 0; i < kLocations; ++i) {
        s += "<PO_loc pcu=\"PCU " + std::to_string(i / 100) + "\" text=\"Afdeling " + std::to_string(i) +
             "\" zam_alarm=\"0001 - 02\" zam_group=\"\">";
        if (i % 10 == 0)
            for (int nr : {i % kAlarmTypes, (i + 7) % kAlarmTypes})
                s += "<Except nr=\"" + std::to_string(nr) + "\" text=\"Alarmtype " + std::to_string(nr) +
                     "\" zam_alarm=\"0001 - 03\" zam_group=\"\"/>";
        s += "</PO_loc>";
    }
    s += "</PO_Locations><PO_AlarmTypes>";
    for (int i = 0; i < kAlarmTypes; ++i)
        s += "<PO_Alarm nr=\"" + std::to_string(i) + "\" text=\"Alarmtype " + std::to_string(i) + "\"/>";
    s += "</PO_AlarmTypes><PO_Exceptions>";
    for (int i = 0; i < 50; ++i)
        s += "<Except nr=\"" + std::to_string(i * 3) + "\" text=\"Alarmtype " + std::to_string(i * 3) +
             "\" zam_alarm=\"0002 - 01\" zam_group=\"\"/>";
    s += "</PO_Exceptions></ZamPOLinkDefs>";
    auto slot = std::make_unique<XmlDocument>();
    if (!slot->loadText(s)) throw std::runtime_error("bad link definitions");
    return slot;
}

// Includes the merge's own save of LinkDefs.xml, which a complete answer makes.
void definitionsMerge(benchmark::State& state, LookupMode mode) {
    const std::string answer = definitionsAnswer();
    DocumentSlot slot = linkedLinkDefs();
    ScratchDir dir;
    for (auto _ : state) {
        DefinitionsMergeResult r = mergeDefinitions(answer, slot, dir.path(), mode);
        if (!r.ok || !r.saved || r.locationsAdded + r.alarmTypesAdded != 0 || !r.allLinksDefined)
            state.SkipWithError("merge did not reach the steady state");
    }
}

void BM_DefinitionsMerge(benchmark::State& state) {
    definitionsMerge(state, LookupMode::Indexed);
}
void BM_DefinitionsMergeWithoutIndex(benchmark::State& state) {
    definitionsMerge(state, LookupMode::Search);
}

}  // namespace

BENCHMARK(BM_ActiveAlarmMerge)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ActiveAlarmMergeWithoutIndex)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ActiveAlarmFetchCycle)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DefinitionsMerge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DefinitionsMergeWithoutIndex)->Unit(benchmark::kMillisecond);
