// The link grid at the size of a large site: 5,000 locations and 2,000 exceptions
// (1,500 of them under every tenth location, 500 general). Runs offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <memory>
#include <stdexcept>
#include <string>

#include "logic/grid/linkgridrows.h"
#include "logic/language/langtext.h"
#include "logic/linkconfig/linkdefs.h"
#include "ui/linkgridview.h"
#include "ui/mainwindow.h"

using namespace zampo;

namespace {

constexpr int kLocations = 5000;
constexpr int kExceptionsPerTenth = 3;
constexpr int kGeneralExceptions = 500;

std::string largeSite() {
    std::string s = "<ZamPOLinkDefs><PO_Locations>";
    for (int i = 0; i < kLocations; ++i) {
        // One location in seven is not linked yet.
        const std::string alarm = i % 7 == 0 ? "0" : zamAlarmRef(1 + i % 900, 1 + i % 40);
        s += "<PO_loc pcu=\"PCU " + std::to_string(i / 50) + "\" text=\"Afdeling " + std::to_string(i) + " Kas " +
             std::to_string(i % 40) + "\" zam_alarm=\"" + alarm + "\" zam_group=\"" +
             (i % 3 == 0 ? zamAlarmRef(9000, 1 + i % 20) : "0") + "\">";
        if (i % 10 == 0)
            for (int e = 0; e < kExceptionsPerTenth; ++e)
                s += "<Except nr=\"" + std::to_string(100 + e) + "\" text=\"Storing pomp " + std::to_string(e) +
                     "\" zam_alarm=\"" + zamAlarmRef(2000 + e, 1 + e) + "\"/>";
        s += "</PO_loc>";
    }
    s += "</PO_Locations><PO_Exceptions>";
    for (int i = 0; i < kGeneralExceptions; ++i)
        s += "<Except nr=\"" + std::to_string(500 + i) + "\" text=\"Algemene melding " + std::to_string(i) +
             "\" zam_alarm=\"" + (i % 5 == 0 ? std::string() : zamAlarmRef(3000, 1 + i % 99)) + "\"/>";
    return s + "</PO_Exceptions></ZamPOLinkDefs>";
}

struct Window {
    Window() : zamDefs(std::make_unique<XmlDocument>()), linkDefs(std::make_unique<XmlDocument>()) {
        loadLangTexts("ENG");
        zamDefs->startAfresh("ZamAlarmDefinitions");
        if (!linkDefs->loadText(largeSite())) throw std::runtime_error("bad site");
        form.attachDocuments(zamDefs, linkDefs);
        form.applyTexts();
        form.resize(950, 577);
        form.show();
        form.fillLinkGrid();
        QApplication::processEvents();
    }
    LinkGridView* grid() const { return form.findChild<LinkGridView*>(QStringLiteral("sgMain")); }
    QLineEdit* filterEdit(int column) const {
        return form.findChild<QLineEdit*>(QStringLiteral("edFilter%1").arg(column));
    }
    DocumentSlot zamDefs, linkDefs;
    MainWindow form;
};

// What the rebuild does without widgets: rows and cells from the document.
void BM_BuildLinkGridRows(benchmark::State& state) {
    Window w;
    for (auto _ : state) benchmark::DoNotOptimize(buildLinkGridRows(w.linkDefs.get(), "General Exception"));
}
BENCHMARK(BM_BuildLinkGridRows)->Unit(benchmark::kMillisecond);

// The whole rebuild, including measuring the texts, and the repaint that follows it.
void BM_FillLinkGrid(benchmark::State& state) {
    Window w;
    for (auto _ : state) {
        w.form.fillLinkGrid();
        QApplication::processEvents();
    }
    state.counters["rows"] = w.grid()->dataRowCount();
}
BENCHMARK(BM_FillLinkGrid)->Unit(benchmark::kMillisecond);

// One keystroke in the location filter, flipping between two texts, and the
// repaint that follows. Each case names what the keystroke changes.
void keystrokes(benchmark::State& state, int column, const char* before, const char* after) {
    Window w;
    QLineEdit* edit = w.filterEdit(column);
    edit->setText(QString::fromLatin1(before));
    QApplication::processEvents();
    bool flip = false;
    for (auto _ : state) {
        edit->setText(QString::fromLatin1(flip ? before : after));
        QApplication::processEvents();
        flip = !flip;
    }
    // How many rows each of the two texts leaves on show.
    for (const char* text : {before, after}) {
        edit->setText(QString::fromLatin1(text));
        int shown = 0;
        for (int r = 1; r <= w.grid()->dataRowCount(); ++r) shown += !w.grid()->isDataRowHidden(r);
        state.counters[text == before ? "shown_before" : "shown_after"] = shown;
    }
}
// A few hundred rows stay, the rest flips between shown and hidden.
void BM_FilterKeystrokeNarrowing(benchmark::State& state) {
    keystrokes(state, 2, "Kas 1", "Kas 12");
}
// Every row flips: nothing matches, then everything does.
void BM_FilterKeystrokeAllRowsFlip(benchmark::State& state) {
    keystrokes(state, 2, "Afdeling", "Afdelingx");
}
// A dotted filter: two alternatives in one column.
void BM_FilterKeystrokeDotted(benchmark::State& state) {
    keystrokes(state, 2, "Kas 3.Kas 1", "Kas 3.Kas 17");
}
BENCHMARK(BM_FilterKeystrokeNarrowing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterKeystrokeAllRowsFlip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterKeystrokeDotted)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
