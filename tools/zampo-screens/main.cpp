// Saves a picture of each page of the main window, as an operator sees it a few
// minutes after start, for the documentation.
//   zampo-screens ENG|NLD <directory> <prefix>
// writes <directory>/<prefix>-link.png, -receiver.png and -office.png, and of the
// link configuration also -link-filter.png (a filter at work) and -tree.png (the
// ZAM side on its own, an alarm selected), -item.png (an alarm being edited) and
// -exceptions.png (alarm types chosen as exceptions), -route.png (the route of the
// selected row), and -alarms.png (the alarm status as the gateway holds it).
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QTreeWidget>
#include <cstdio>
#include <string>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/core/clock.h"
#include "logic/core/settings.h"
#include "logic/language/langtext.h"
#include "ui/exceptionsdialog.h"
#include "ui/itemdialog.h"
#include "ui/linkgridview.h"
#include "ui/linkpage.h"
#include "ui/mainwindow.h"
#include "ui/routedialog.h"

using namespace zampo;

namespace {

// A widget of the window by its object name; the pictures need them all.
template <class W>
W* widget(const QWidget& window, const char* name) {
    W* w = window.findChild<W*>(QLatin1String(name));
    if (!w) std::fprintf(stderr, "no widget %s\n", name);
    return w;
}

void fillLists(MainWindow& form) {
    const auto sent = langText(TextId::ReceiverSentPrefix) + " ";
    const auto received = langText(TextId::ReceiverReceivedPrefix) + " ";
    form.addListLine(kLogReceiverList, "09:14:02 " + langText(TextId::PoConnectionInitialized));
    form.addListLine(kLogReceiverList, "09:14:03 " + sent + "[ZAM WD 09 1]");
    form.addListLine(kLogReceiverList, "09:14:03 " + received + "OK");
    form.addListLine(kLogReceiverList, "09:15:11 " + sent + "[ZAM RCVALARM 02,0012,03,T,,PCU1 Kas4 Temp hoog]");
    form.addListLine(kLogReceiverList, "09:15:11 " + received + "OK");
    form.addListLine(kLogReceiverList, "09:15:14 " + sent + "[ZAM RCVALARM 02,000001,01,A]");
    form.addListLine(kLogReceiverList, "09:15:44 " + langText(TextId::ZamMeldSocketError) + " 111");

    form.addListLine(kLogPoList, "09:14:02 " + langText(TextId::CollectingDefinitions));
    form.addListLine(kLogPoList,
                     "09:14:04 " + langText(TextId::DefinitionsCollected, "Definitions collected from Priva Office"));
    form.addListLine(kLogPoList, "09:14:04 " + langText(TextId::UndefinedLinksFound));
    form.addListLine(kLogPoList, "09:15:10 " + langText(TextId::AlarmStatusChanged) + ": PCU1 Kas4 Temp hoog");
    form.addListLine(kLogPoList,
                     "09:15:11 " + langText(TextId::AlarmStatusChanged) + ": PCU2 Ketelhuis Storing brander");
}

// A small greenhouse site: some locations linked, some not yet, a few exceptions
// of their own and two general ones.
const char* const kLinkDefs = R"(<ZamPOLinkDefs><PO_Locations>
  <PO_loc pcu="PCU1" text="Kas 1" zam_alarm="0012 - 01" zam_group="0100 - 07"/>
  <PO_loc pcu="PCU1" text="Kas 2" zam_alarm="0012 - 02" zam_group="0100 - 07">
    <Except nr="3" text="Temp hoog" zam_alarm="0012 - 05"/>
  </PO_loc>
  <PO_loc pcu="PCU1" text="Kas 3" zam_alarm="0"/>
  <PO_loc pcu="PCU1" text="Kas 4" zam_alarm="0012 - 05">
    <Except nr="3" text="Temp hoog" zam_alarm="0012 - 06" zam_group="0100 - 07"/>
    <Except nr="14" text="Scherm storing" zam_alarm="0"/>
  </PO_loc>
  <PO_loc pcu="PCU2" text="Ketelhuis" zam_alarm="0020 - 01" zam_group="0100 - 07">
    <Except nr="12" text="Pomp storing" zam_alarm="0020 - 02" zam_group="0100 - 07"/>
  </PO_loc>
  <PO_loc pcu="PCU2" text="Ketelhuis buffer" zam_alarm=""/>
  <PO_loc pcu="PCU2" text="Verwerkingsruimte" zam_alarm="0030 - 01"/>
  <PO_loc pcu="-\-" text="Weerstation" zam_alarm="0040 - 01"/>
  <PO_loc pcu="PCU3" text="Opslag noord" zam_alarm="0"/>
</PO_Locations><PO_AlarmTypes>
  <PO_Alarm nr="3" text="Temp hoog"/><PO_Alarm nr="4" text="Temp laag"/><PO_Alarm nr="7" text="Vocht hoog"/>
  <PO_Alarm nr="12" text="Pomp storing"/><PO_Alarm nr="14" text="Scherm storing"/><PO_Alarm nr="15" text="Raam storing"/>
  <PO_Alarm nr="21" text="CO2 hoog"/><PO_Alarm nr="98" text="Inbraak"/><PO_Alarm nr="99" text="Brandmelding"/>
</PO_AlarmTypes><PO_Exceptions>
  <Except nr="99" text="Brandmelding" zam_alarm="0001 - 01"/>
  <Except nr="98" text="Inbraak" zam_alarm=""/>
</PO_Exceptions></ZamPOLinkDefs>)";

const char* const kZamDefs = R"(<ZamAlarmDefinitions>
  <Location Code="12" Name="Kassen">
    <Alarm Code="1" Name="Kas 1" GroupDelay="0" Repeat="0"/>
    <Alarm Code="2" Name="Kas 2" GroupDelay="0" Repeat="0"/>
    <Alarm Code="5" Name="Temperatuur" GroupDelay="0" Repeat="10"/>
    <Alarm Code="6" Name="Temperatuur kas 4" GroupDelay="0" Repeat="10"/>
  </Location>
  <Location Code="20" Name="Ketelhuis">
    <Alarm Code="10" Name="Rookmelder"/>
    <Alarm Code="1" Name="Brander" GroupDelay="0" Repeat="0"/>
    <Alarm Code="2" Name="Pomp" GroupDelay="90" Repeat="30"/>
  </Location>
  <Location Code="30" Name="Verwerking"><Alarm Code="1" Name="Koelcel"/></Location>
  <Location Code="40" Name="Buiten"><Alarm Code="1" Name="Weerstation"/></Location>
  <Location Code="1" Name="Brandmeldcentrale"><Alarm Code="1" Name="Brand"/></Location>
  <Location Code="100" Name="Groepen"><Alarm Code="7" Name="Kassen algemeen" GroupDelay="15"/></Location>
  <Location Code="9999" Name="Priva Office koppeling">
    <Alarm Code="5" Name="Priva Office Interface System Error"/>
    <Alarm Code="8" Name="Priva Office Interface Connection Lost"/>
    <Alarm Code="9" Name="Priva Office Interface Config Error"/>
  </Location>
</ZamAlarmDefinitions>)";

// The morning's alarms: reported, one still to report, a group waiting out its
// delay, a reset, one refused and one that no link covers.
const char* const kAlarmStatus = R"(<POAlarmStatus>
  <Alarm pcu="PCU1" location="Kas 4" nr="3" text="Temp hoog" start="20240301T081511" State="A"
         Sent="20240301T081511" repeat_at="20240301T092511"/>
  <Alarm pcu="PCU2" location="Ketelhuis" nr="12" text="Pomp storing" start="20240301T091442" State="A" Sent=""/>
  <Group ZamAlarm="0100 - 07" State="A" Timeout="20240301T091457" Text="PCU2 Ketelhuis Pomp storing" repeat="0"/>
  <Alarm pcu="PCU1" location="Kas 1" nr="7" text="Vocht hoog" start="20240301T074008" State="R"
         Sent="20240301T074008" Group="0100 - 07"/>
  <Alarm pcu="PCU2" location="Verwerkingsruimte" nr="21" text="CO2 hoog" start="20240301T070312" State="A"
         Sent="20240301T070312" Error="2" ErrDt="20240301T070312"/>
  <Alarm pcu="PCU3" location="Opslag noord" nr="98" text="Inbraak" start="20240301T062005" State="A"
         Sent="20240301T062005" Error="3" ErrDt="20240301T062005"/>
  <Alarm pcu="PCU2" location="Ketelhuis" nr="99" text="Brandmelding" start="20240301T055901" State="A"
         Sent="20240301T055901"/>
</POAlarmStatus>)";

DocumentSlot document(const char* text) {
    auto slot = std::make_unique<XmlDocument>();
    if (!slot->loadText(text)) std::fprintf(stderr, "bad built-in document\n");
    return slot;
}

// The boiler room's pump selected in the tree, the boiler room and its exception in the grid.
bool selectSomething(MainWindow& form) {
    QTreeWidget* tree = widget<QTreeWidget>(form, "tvZamLoc");
    LinkGridView* grid = widget<LinkGridView>(form, "sgMain");
    if (!tree || !grid) return false;
    const QList<QTreeWidgetItem*> found =
        tree->findItems(QStringLiteral("Pomp (2)"), Qt::MatchExactly | Qt::MatchRecursive);
    if (!found.isEmpty()) {
        found.first()->parent()->setExpanded(true);
        tree->setCurrentItem(found.first());
    }
    grid->selectionModel()->select(QItemSelection(grid->model()->index(7, 0), grid->model()->index(8, 4)),
                                   QItemSelectionModel::ClearAndSelect);
    return true;
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

    DocumentSlot zamDefs = document(kZamDefs);
    DocumentSlot linkDefs = document(kLinkDefs);
    DocumentSlot alarmStatus = document(kAlarmStatus);
    ManualClock clock(*parseStatusTime("20240301T091445"));
    installQtTranslations(args[1].toStdString());
    MainWindow form;
    form.setCaption(QStringLiteral("ZAM-Pro - Priva Office (%1) ").arg(QLatin1String(ZAMPO_VERSION_TEXT)));
    form.applyTexts();
    form.attachDocuments(zamDefs, linkDefs);
    form.attachAlarmStatus(alarmStatus, clock);
    form.showSelectedZamItem();
    form.fillZamTree();
    form.fillLinkGrid();
    Settings settings;
    settings.language = args[1].toStdString();
    form.showSettings(settings);
    fillLists(form);
    form.setStatusText(langText(TextId::ZamMeldConnectError));
    form.showFaultStatus(kFaultReceiver);
    form.showNormal();
    settle();

    auto save = [&](QWidget* what, const char* name) {
        settle();
        const QString file = dir.filePath(QStringLiteral("%1-%2.png").arg(args[3], QLatin1String(name)));
        if (!what->grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return false;
        }
        std::printf("%s\n", qPrintable(file));
        return true;
    };
    if (!selectSomething(form)) return 1;
    const char* pages[] = {"link", "receiver", "office"};
    for (int i = 0; i < 3; ++i) {
        form.pages()->setCurrentIndex(i);
        if (!save(&form, pages[i])) return 1;
    }
    form.pages()->setCurrentIndex(3);
    form.alarmStatusWalked();
    if (!save(&form, "alarms")) return 1;
    form.pages()->setCurrentIndex(0);
    if (!save(form.findChild<QWidget*>(QStringLiteral("pnlZamRegion")), "tree")) return 1;

    // Kassen or the boiler room, locations only.
    auto* locationFilter = widget<QLineEdit>(form, "edFilter2");
    auto* hideExceptions = widget<QCheckBox>(form, "cbFilterExcept");
    if (!locationFilter || !hideExceptions) return 1;
    locationFilter->setText(QStringLiteral("kas.ketel"));
    hideExceptions->setChecked(true);
    if (!selectSomething(form)) return 1;
    if (!save(&form, "link-filter")) return 1;

    // The route of the selected row, as the Explain button shows it.
    auto* linkPage = form.findChild<LinkPage*>(QStringLiteral("tbsLinkSettings"));
    auto* grid = form.findChild<LinkGridView*>(QStringLiteral("sgMain"));
    if (!linkPage || !grid || grid->selectedRows().empty()) return 1;
    RouteDialog route(QString::fromStdString(linkPage->explainRow(grid->linkRow(grid->selectedRows().front()))), &form);
    route.show();
    const bool routeSaved = save(&route, "route");
    route.hide();
    if (!routeSaved) return 1;

    // The boiler room's pump as the item dialog shows it for editing.
    ItemDialog item(&form);
    item.fields = {ItemDialog::kAlarmKind, ItemDialog::kEditMode, 2, "Pomp", 90, 30};
    item.show();
    const bool itemSaved = save(&item, "item");
    item.hide();
    if (!itemSaved) return 1;

    // The failures, narrowed by the text filter, picked for the selected locations.
    ExceptionsDialog exceptions(linkDefs.get(), {}, &form);
    exceptions.show();
    if (auto* filter = exceptions.findChild<QLineEdit*>(QStringLiteral("edFilter2")))
        filter->setText(QStringLiteral("storing"));
    auto* types = exceptions.findChild<QTableWidget*>(QStringLiteral("sgExcept"));
    if (!types) return 1;
    types->selectionModel()->select(QItemSelection(types->model()->index(3, 0), types->model()->index(5, 1)),
                                    QItemSelectionModel::ClearAndSelect);
    types->setFocus();
    const bool exceptionsSaved = save(&exceptions, "exceptions");
    exceptions.hide();
    return exceptionsSaved ? 0 : 1;
}
