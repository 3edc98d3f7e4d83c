// Saves a picture of each page of the main window, as an operator sees it a few
// minutes after start, for the documentation.
//   zampo-screens ENG|NLD <directory> <prefix>
// writes <directory>/<prefix>-link.png, -receiver.png and -office.png.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <cstdio>
#include <string>

#include "core/settings.h"
#include "texts/langtext.h"
#include "ui/mainform.h"

using namespace zampo;

namespace {

void fillLists(TMainForm& form) {
    const auto sent = langText(4, "Send:") + " ";
    const auto received = langText(87, "Recv:") + " ";
    form.addListLine(1, "09:14:02 " + langText(111, "PO connection initialized"));
    form.addListLine(1, "09:14:03 " + sent + "[ZAM WD 09 1]");
    form.addListLine(1, "09:14:03 " + received + "OK");
    form.addListLine(1, "09:15:11 " + sent + "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp hoog]");
    form.addListLine(1, "09:15:11 " + received + "OK");
    form.addListLine(1, "09:15:14 " + sent + "[ZAM RCVALARM 02,000001,01,A]");
    form.addListLine(1, "09:15:44 " + langText(6, "Zam PO socket error:") + " 111");

    form.addListLine(2, "09:14:02 " + langText(29, "Collect alarm definitions"));
    form.addListLine(2, "09:14:04 " + langText(89, "Definitions collected from Priva Office"));
    form.addListLine(2, "09:14:04 " + langText(30, "Undefined links found!"));
    form.addListLine(2, "09:15:10 " + langText(90, "Alarm status changed") + ": PCU1 Kas4 Temp hoog");
    form.addListLine(2, "09:15:11 " + langText(90, "Alarm status changed") + ": PCU2 Ketelhuis Storing brander");
}

// The filter boxes as they stand under an empty grid, whose columns are as wide
// as their headers.
void placeFilters(TMainForm& form) {
    const std::array<std::pair<int, const char*>, TMainForm::kFilterColumns> headers{
        {{13, "PCU"}, {14, "Location"}, {15, "Alarmtype"}, {16, "Zam Alarm"}, {94, "Groep"}}};
    std::array<QString, TMainForm::kFilterColumns> captions;
    std::array<int, TMainForm::kFilterColumns> widths{};
    for (std::size_t i = 0; i < headers.size(); ++i) {
        captions[i] = QString::fromStdString(langText(headers[i].first, headers[i].second));
        widths[i] = form.linkGrid()->fontMetrics().horizontalAdvance(captions[i]) + 22;
    }
    form.setFilterColumns(captions, widths);
}

void settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: zampo-screens ENG|NLD <directory> <prefix>\n");
        return 2;
    }
    loadLangTexts(args[1].toStdString());
    const QDir dir(args[2]);
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(args[2]));
        return 1;
    }

    TMainForm form;
    form.setCaption(QStringLiteral("ZAM-Pro - Priva Office (%1) ").arg(QLatin1String(ZAMPO_VERSION_TEXT)));
    form.applyTexts();
    placeFilters(form);
    Settings settings;
    settings.language = args[1].toStdString();
    form.showSettings(settings);
    fillLists(form);
    form.setStatusText(langText(5, "Error connecting to ZamMeld"));
    form.showFaultStatus(2);
    form.showNormal();
    settle();

    const char* pages[] = {"link", "receiver", "office"};
    for (int i = 0; i < 3; ++i) {
        form.pages()->setCurrentIndex(i);
        settle();
        const QString file = dir.filePath(QStringLiteral("%1-%2.png").arg(args[3], QLatin1String(pages[i])));
        if (!form.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return 0;
}
