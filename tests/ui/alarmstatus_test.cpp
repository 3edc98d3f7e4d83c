// The active-alarms page on the main window, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/core/clock.h"
#include "logic/language/langtext.h"
#include "support/windowsetup.h"
#include "ui/alarmstatuspage.h"
#include "ui/linkgridview.h"
#include "ui/linkpage.h"
#include "ui/mainwindow.h"

using namespace zampo;

namespace {

const char* const kLinkDefs = R"(<ZamPOLinkDefs><PO_Locations>
  <PO_loc pcu="PCU1" text="Kas 3" zam_alarm="0012 - 05"><Except nr="5" text="Koud" zam_alarm="0012 - 05"/></PO_loc>
  <PO_loc pcu="PCU2" text="Serre" zam_alarm=""/>
  <PO_loc pcu="PCU2" text="Ketelhuis" zam_alarm="0020 - 01" zam_group="0100 - 07"/>
</PO_Locations><PO_Exceptions>
  <Except nr="1" text="Brand" zam_alarm="0020 - 01" zam_group="0100 - 07"/>
</PO_Exceptions></ZamPOLinkDefs>)";

const char* const kZamDefs = R"(<ZamAlarmDefinitions>
  <Location Code="12" Name="Kassen"><Alarm Code="5" Name="Temperatuur"/></Location>
  <Location Code="20" Name="Ketelhuis"><Alarm Code="1" Name="Brander"/></Location>
  <Location Code="100" Name="Groepen"><Alarm Code="7" Name="Ketelhuis algemeen" GroupDelay="90"/></Location>
</ZamAlarmDefinitions>)";

// Reported and active; new, still to report; reset and reported after a refusal;
// unlinked with no answer; a group within its delay.
const char* const kStatus = R"(<POAlarmStatus>
  <Alarm pcu="PCU1" location="Kas 3" nr="4" text="Te warm" start="20240301T110000" State="A" Sent="20240301T110000"/>
  <Alarm pcu="PCU2" location="Ketelhuis" nr="1" text="Brand" start="20240301T115950" State="A" Sent=""/>
  <Alarm pcu="PCU1" location="Kas 3" nr="5" text="Te koud" start="20240301T100008" State="R" Sent="20240301T100008"
         Error="2"/>
  <Alarm pcu="PCU2" location="Serre" nr="2" text="Raam" start="20240301T090000" State="A" Sent="20240301T090000"
         Error="3"/>
  <Group ZamAlarm="0100 - 07" State="A" Timeout="20240301T120100" Text="Ketelhuis Brand" repeat="0"/>
</POAlarmStatus>)";

class AlarmStatusPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLangTexts();
        loadLangTexts("ENG");
        zamDefs = test::loadedDocument(kZamDefs);
        linkDefs = test::loadedDocument(kLinkDefs);
        status = test::loadedDocument(kStatus);
        clock.set(*parseStatusTime("20240301T120000"));
        form.attachAlarmStatus(status, clock);
        test::showWindow(form, &zamDefs, &linkDefs);
        form.pages()->setCurrentWidget(page());
        form.alarmStatusWalked();
    }
    void TearDown() override { resetLangTexts(); }

    AlarmStatusPage* page() const { return form.findChild<AlarmStatusPage*>("tbsActiveAlarms"); }
    QTableView* view() const { return page()->view(); }
    QString cell(int row, int column) const { return view()->model()->index(row, column).data().toString(); }
    int rowOf(const QString& location, const QString& nr) const {
        for (int r = 0; r < view()->model()->rowCount(); ++r)
            if (cell(r, AlarmStatusModel::Location) == location && cell(r, AlarmStatusModel::Nr) == nr) return r;
        return -1;
    }

    DocumentSlot zamDefs, linkDefs, status;
    ManualClock clock;
    MainWindow form;
};

TEST_F(AlarmStatusPageTest, RowsShowStateLinkErrorAndWhatIsStillToReport) {
    ASSERT_EQ(view()->model()->rowCount(), 5);
    EXPECT_EQ(form.pages()->tabText(3), "Active alarms");
    EXPECT_EQ(page()->heading(), "Active alarms: 4 active, 1 reset, 2 to report");

    const int reported = rowOf("Kas 3", "4");
    EXPECT_EQ(cell(reported, AlarmStatusModel::ZamAlarm), "0012 - 05 Temperatuur");
    EXPECT_EQ(cell(reported, AlarmStatusModel::State), "active");
    EXPECT_EQ(cell(reported, AlarmStatusModel::Since), cell(reported, AlarmStatusModel::Reported));
    EXPECT_FALSE(cell(reported, AlarmStatusModel::Since).isEmpty());

    const int pending = rowOf("Ketelhuis", "1");
    EXPECT_EQ(cell(pending, AlarmStatusModel::Reported), "to report");
    EXPECT_EQ(cell(pending, AlarmStatusModel::ZamGroup), "0100 - 07 Ketelhuis algemeen");
    // Rows still to report stand out from the rest.
    const QModelIndex pendingIndex = view()->model()->index(pending, 0);
    const QModelIndex reportedIndex = view()->model()->index(reported, 0);
    EXPECT_TRUE(pendingIndex.data(Qt::BackgroundRole).isValid());
    EXPECT_FALSE(reportedIndex.data(Qt::BackgroundRole).isValid());

    const int refused = rowOf("Kas 3", "5");
    EXPECT_EQ(cell(refused, AlarmStatusModel::State), "reset");
    EXPECT_EQ(cell(refused, AlarmStatusModel::Error), "2: not accepted after three attempts");
    const int unlinked = rowOf("Serre", "2");
    EXPECT_EQ(cell(unlinked, AlarmStatusModel::ZamAlarm), "no link");
    EXPECT_EQ(cell(unlinked, AlarmStatusModel::Error), "3: no answer within 10 seconds");

    const int group = rowOf("Group alarm", "");
    EXPECT_EQ(cell(group, AlarmStatusModel::DelayLeft), "1:00");
    EXPECT_EQ(cell(group, AlarmStatusModel::Reported), "to report");

    // The rule that routed each alarm, as the gateway's explanation finds it; a
    // location that names no ZAM alarm raises the configuration error.
    EXPECT_EQ(cell(reported, AlarmStatusModel::Rule), "location link");
    EXPECT_EQ(cell(pending, AlarmStatusModel::Rule), "general exception");
    EXPECT_EQ(cell(refused, AlarmStatusModel::Rule), "location exception");
    EXPECT_EQ(cell(unlinked, AlarmStatusModel::Rule), "location link \u2192 9999/9");
    EXPECT_EQ(cell(group, AlarmStatusModel::Rule), "");
}

TEST_F(AlarmStatusPageTest, DutchTextsAndAHiddenPageCatchesUpWhenShown) {
    loadLangTexts("NLD");
    form.applyTexts();
    form.pages()->setCurrentIndex(0);
    status = test::loadedDocument("<POAlarmStatus/>");
    form.alarmStatusWalked();
    EXPECT_EQ(view()->model()->rowCount(), 5) << "a hidden page is not rebuilt";
    form.pages()->setCurrentWidget(page());
    EXPECT_EQ(view()->model()->rowCount(), 0);
    EXPECT_EQ(form.pages()->tabText(3), "Actieve alarmen");
    EXPECT_EQ(page()->heading(), "Actieve alarmen: 0 actief, 0 hersteld, 0 nog te melden");
}

TEST_F(AlarmStatusPageTest, ARefreshKeepsTheSelectionAndTheScrollPosition) {
    std::string many = "<POAlarmStatus>";
    for (int i = 0; i < 300; ++i)
        many += R"(<Alarm pcu="PCU1" location="Kas 3" nr=")" + std::to_string(i) +
                R"(" start="20240301T110000" State="A" Sent="20240301T110000"/>)";
    status = test::loadedDocument(many + "</POAlarmStatus>");
    form.alarmStatusWalked();
    const int row = rowOf("Kas 3", "150");
    view()->selectRow(row);
    view()->verticalScrollBar()->setValue(120);
    const int scroll = view()->verticalScrollBar()->value();
    ASSERT_GT(scroll, 0);

    // The same elements with a state changed, then a new element in front of them,
    // then one gone above the selection and one more at the end: rows follow, no reset.
    QSignalSpy resets(page()->model(), &QAbstractItemModel::modelReset);
    status->root().child("Alarm").attribute("State").set_value("R");
    form.alarmStatusWalked();
    status->root().prepend_copy(status->root().last_child()).attribute("nr").set_value("new");
    form.alarmStatusWalked();
    status->root().remove_child(status->root().find_child_by_attribute("nr", "7"));
    status->root().append_copy(status->root().first_child()).attribute("nr").set_value("last");
    form.alarmStatusWalked();
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(page()->model()->rows(),
              buildAlarmStatusRows(status.get(), linkDefs.get(), zamDefs.get(), clock.nowUtc()));
    EXPECT_EQ(page()->heading(), "Active alarms: 300 active, 1 reset, 0 to report");

    ASSERT_EQ(view()->model()->rowCount(), 301);
    const QModelIndexList selected = view()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(cell(selected[0].row(), AlarmStatusModel::Nr), "150");
    EXPECT_EQ(view()->selectionModel()->currentIndex().row(), selected[0].row());
    EXPECT_EQ(view()->verticalScrollBar()->value(), scroll);
}

TEST_F(AlarmStatusPageTest, ColumnsSortAndTheFilterNarrowsTheRows) {
    QHeaderView* header = view()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(AlarmStatusModel::Since) + 5, header->height() / 2));
    QStringList since;
    for (int r = 0; r < view()->model()->rowCount(); ++r) since << cell(r, AlarmStatusModel::Nr);
    // By time, not by the text of a local date: 09:00, 10:00:08, 11:00, the group's 11:59:30, 11:59:50.
    EXPECT_EQ(since, QStringList({"2", "5", "4", "", "1"}));

    QLineEdit* filter = form.findChild<QLineEdit*>("edtAlarmFilter");
    QTest::keyClicks(filter, "kas 3");
    EXPECT_EQ(view()->model()->rowCount(), 2);
    EXPECT_TRUE(page()->heading().endsWith("|  Filter: 2")) << page()->heading().toStdString();
    filter->clear();
    QTest::keyClicks(filter, "no link");
    ASSERT_EQ(view()->model()->rowCount(), 1);
    EXPECT_EQ(cell(0, AlarmStatusModel::Location), "Serre");
}

TEST_F(AlarmStatusPageTest, DoubleClickShowsTheLocationInTheLinkGrid) {
    const int row = rowOf("Ketelhuis", "1");
    const QRect cellRect = view()->visualRect(view()->model()->index(row, AlarmStatusModel::Location));
    // As a real double click: the first press picks the row.
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cellRect.center());
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, cellRect.center());
    auto* link = form.findChild<LinkPage*>("tbsLinkSettings");
    EXPECT_EQ(form.pages()->currentWidget(), link);
    auto* grid = form.findChild<LinkGridView*>("sgMain");
    const std::vector<int> selected = grid->selectedRows();
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_EQ(grid->linkRow(selected[0]).cell(2), "Ketelhuis");
}

}  // namespace
