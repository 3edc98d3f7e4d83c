// The active-alarms page at 10,000 elements: 1,000 Priva Office locations with ten
// alarms each in the alarm status, every location linked (one in three with a
// group), 100 groups among the elements. Runs offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QItemSelectionModel>
#include <QTabWidget>
#include <QTableView>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/alarmstatus/alarmstatusrows.h"
#include "logic/language/langtext.h"
#include "logic/linkconfig/linkdefs.h"
#include "ui/alarmstatuspage.h"
#include "ui/mainwindow.h"

using namespace zampo;

namespace {

constexpr int kLocations = 1000;
constexpr int kAlarmsPerLocation = 10;
constexpr int kGroups = 100;

std::string locationName(int i) {
    return "Afdeling " + std::to_string(i) + " Kas " + std::to_string(i % 40);
}

std::string linkDefsText() {
    std::string s = "<ZamPOLinkDefs><PO_Locations>";
    for (int i = 0; i < kLocations; ++i)
        s += "<PO_loc pcu=\"PCU " + std::to_string(i / 50) + "\" text=\"" + locationName(i) + "\" zam_alarm=\"" +
             zamAlarmRef(1 + i % 900, 1 + i % 40) + "\" zam_group=\"" +
             (i % 3 == 0 ? zamAlarmRef(9000, 1 + i % kGroups % 99) : "0") + "\"/>";
    return s + "</PO_Locations><PO_Exceptions><Except nr=\"99\" text=\"Brand\" zam_alarm=\"0001 - 01\"/>" +
           "</PO_Exceptions></ZamPOLinkDefs>";
}

std::string zamDefsText() {
    std::string s = "<ZamAlarmDefinitions>";
    for (int l = 1; l <= 900; ++l) {
        s += "<Location Code=\"" + std::to_string(l) + "\" Name=\"Locatie " + std::to_string(l) + "\">";
        for (int a = 1; a <= 40; ++a)
            s += "<Alarm Code=\"" + std::to_string(a) + "\" Name=\"Alarm " + std::to_string(a) + "\"/>";
        s += "</Location>";
    }
    s += "<Location Code=\"9000\" Name=\"Groepen\">";
    for (int a = 1; a <= kGroups; ++a)
        s += "<Alarm Code=\"" + std::to_string(a) + "\" Name=\"Groep " + std::to_string(a) + "\" GroupDelay=\"60\"/>";
    return s + "</Location></ZamAlarmDefinitions>";
}

// All reported and active, every fiftieth still to report, some with an error.
std::string statusText(int elements) {
    std::string s = "<POAlarmStatus>";
    int n = 0;
    for (int i = 0; i < kLocations && n < elements; ++i)
        for (int a = 0; a < kAlarmsPerLocation && n < elements; ++a, ++n)
            s += "<Alarm pcu=\"PCU " + std::to_string(i / 50) + "\" location=\"" + locationName(i) + "\" nr=\"" +
                 std::to_string(a) + "\" text=\"Melding " + std::to_string(a) +
                 "\" start=\"20240301T110000\" State=\"A\" Sent=\"" + (n % 50 == 0 ? "" : "20240301T110000") + "\"" +
                 (n % 97 == 0 ? " Error=\"3\"" : "") + "/>";
    for (int g = 0; g < kGroups && n < elements + kGroups; ++g, ++n)
        s += "<Group ZamAlarm=\"" + zamAlarmRef(9000, 1 + g) +
             "\" State=\"A\" Timeout=\"20240301T110100\" Sent=\"20240301T110101\" repeat=\"0\"/>";
    return s + "</POAlarmStatus>";
}

DocumentSlot document(const std::string& text) {
    auto slot = std::make_unique<XmlDocument>();
    if (!slot->loadText(text)) throw std::runtime_error("bad document");
    return slot;
}

struct Window {
    explicit Window(int elements)
        : zamDefs(document(zamDefsText())),
          linkDefs(document(linkDefsText())),
          status(document(statusText(elements - kGroups))) {
        loadLangTexts("ENG");
        clock.set(*parseStatusTime("20240301T120000"));
        form.attachDocuments(zamDefs, linkDefs);
        form.attachAlarmStatus(status, clock);
        form.applyTexts();
        form.resize(950, 577);
        form.show();
        form.pages()->setCurrentWidget(page());
        form.alarmStatusWalked();
        QApplication::processEvents();
        // An operator's selection half way down, which every refresh keeps.
        page()->view()->selectRow(elements / 2);
    }
    AlarmStatusPage* page() const { return form.findChild<AlarmStatusPage*>(QStringLiteral("tbsActiveAlarms")); }
    DocumentSlot zamDefs, linkDefs, status;
    ManualClock clock;
    MainWindow form;
};

// What the refresh does without widgets: rows from the three documents, from
// nothing (second argument 0) or, as the window does it, into the rows of the
// build before last with those of the last build to take over (1).
void BM_BuildAlarmStatusRows(benchmark::State& state) {
    Window w(int(state.range(0)));
    std::vector<AlarmStatusRow> rows, earlier;
    for (auto _ : state) {
        if (state.range(1)) {
            buildAlarmStatusRows(w.status.get(), w.linkDefs.get(), w.zamDefs.get(), w.clock.nowUtc(), rows, earlier);
            std::swap(rows, earlier);
        } else {
            benchmark::DoNotOptimize(
                buildAlarmStatusRows(w.status.get(), w.linkDefs.get(), w.zamDefs.get(), w.clock.nowUtc()));
        }
    }
}
BENCHMARK(BM_BuildAlarmStatusRows)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);

// One refresh as the event loop runs it: the call after a walk, then the repaint
// it caused, which is an event of its own. Each is reported apart as the mean
// time per refresh ("walked", "paint"); the benchmark's time is both together.
struct RefreshTimes {
    double walkedMs = 0, paintMs = 0;
    void refresh(Window& w) {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        w.form.alarmStatusWalked();
        const auto walked = Clock::now();
        QApplication::processEvents();
        walkedMs += std::chrono::duration<double, std::milli>(walked - start).count();
        paintMs += std::chrono::duration<double, std::milli>(Clock::now() - walked).count();
    }
    void report(benchmark::State& state) const {
        state.counters["walked"] = walkedMs / double(state.iterations());
        state.counters["paint"] = paintMs / double(state.iterations());
    }
};

// The operator sorted by "Since" (second argument 1) or left document order (0).
void sortIf(Window& w, benchmark::State& state) {
    if (state.range(1)) w.page()->view()->sortByColumn(AlarmStatusModel::Since, Qt::DescendingOrder);
    QApplication::processEvents();
}

// The refresh after a walk that changed states only (the usual case): rows,
// cells changed in place, sort and filter, and the repaint.
void BM_RefreshAlarmPageSameElements(benchmark::State& state) {
    Window w(int(state.range(0)));
    sortIf(w, state);
    pugi::xml_attribute flipped = w.status->root().first_child().attribute("State");
    bool reset = false;
    RefreshTimes times;
    for (auto _ : state) {
        flipped.set_value((reset = !reset) ? "R" : "A");
        times.refresh(w);
    }
    times.report(state);
    state.counters["rows"] = double(w.page()->model()->rowCount());
}
BENCHMARK(BM_RefreshAlarmPageSameElements)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);

// The refresh after a walk that added or removed an element in front of all
// others, so that every row below moves: the rows follow without a reset, the
// operator's selection with them, and the view is painted anew.
void BM_RefreshAlarmPageElementAdded(benchmark::State& state) {
    Window w(int(state.range(0)));
    sortIf(w, state);
    pugi::xml_node root = w.status->root();
    RefreshTimes times;
    for (auto _ : state) {
        if (root.first_child().attribute("nr").as_string() == std::string("extra"))
            root.remove_child(root.first_child());
        else
            root.prepend_copy(root.first_child()).attribute("nr").set_value("extra");
        times.refresh(w);
    }
    times.report(state);
    state.counters["selected"] = double(w.page()->view()->selectionModel()->selectedRows().size());
}
BENCHMARK(BM_RefreshAlarmPageElementAdded)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
