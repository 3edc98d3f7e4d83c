// The link grid, its filter box and the ZAM tree on the main window, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>

#include "app/windowsession.h"
#include "logic/diag/logwriter.h"
#include "logic/language/langtext.h"
#include "support/tempdir.h"
#include "support/windowsetup.h"
#include "ui/linkgriddelegate.h"
#include "ui/linkgridview.h"
#include "ui/linkpage.h"
#include "ui/mainwindow.h"
#include "ui/zamtree.h"

using namespace zampo;

namespace {

// A widget of the window by its object name.
template <class W>
W* widget(const QWidget& window, const char* name) {
    W* w = window.findChild<W*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

const char* const kLinkDefs = R"(<ZamPOLinkDefs><PO_Locations>
  <PO_loc pcu="PCU1" text="Kas 3" zam_alarm="0012 - 05">
    <Except nr="12" text="Pomp storing" zam_alarm="0020 - 02" zam_group="0100 - 07"/>
  </PO_loc>
  <PO_loc pcu="PCU2" text="Serre" zam_alarm="0"/>
  <PO_loc pcu="PCU2" text="Ketelhuis" zam_alarm="0020 - 01" zam_group="0100 - 07"/>
  <PO_loc pcu="PCU3" text="kassen" zam_alarm="0777 - 01"/>
  <PO_loc pcu="PCU4" text="Opslag" zam_alarm="0020 - 09"/>
</PO_Locations><PO_Exceptions>
  <Except nr="99" text="Brandmelding" zam_alarm="0001 - 01"/>
</PO_Exceptions></ZamPOLinkDefs>)";

const char* const kZamDefs = R"(<ZamAlarmDefinitions>
  <Location Code="20" Name="Ketelhuis">
    <Alarm Code="10" Name="Rook"/>
    <Alarm Code="2" Name="Pomp" GroupDelay="90" Repeat="0"/>
    <Alarm Code="1" Name="Brander"/>
  </Location>
  <Location Code="12" Name="kas 4"><Alarm Code="5" Name="Temperatuur" GroupDelay="0" Repeat="1"/></Location>
  <Location Code="1" Name="Brandmeldcentrale"><Alarm Code="1" Name="Brand"/></Location>
  <Location Code="100" Name="Groepen"><Alarm Code="7" Name="Ketelhuis algemeen" GroupDelay="15"/></Location>
</ZamAlarmDefinitions>)";

class RecordingForm : public MainWindow {
public:
    std::vector<QString> messages;

protected:
    void showMessage(const QString& text) override { messages.push_back(text); }
};

class GridTest : public ::testing::Test {
protected:
    void SetUp() override { start("ENG"); }
    void TearDown() override { resetLangTexts(); }

    void start(const char* language) {
        resetLangTexts();
        loadLangTexts(language);
        form = std::make_unique<RecordingForm>();
        zamDefs = test::loadedDocument(kZamDefs);
        linkDefs = test::loadedDocument(kLinkDefs);
        test::showWindow(*form, &zamDefs, &linkDefs);
    }

    LinkPage* linkPage() const { return widget<LinkPage>(*form, "tbsLinkSettings"); }
    LinkGridView* grid() const { return widget<LinkGridView>(*form, "sgMain"); }
    QTreeWidget* tree() const { return widget<QTreeWidget>(*form, "tvZamLoc"); }
    QTableWidget* detailsList() const { return widget<QTableWidget>(*form, "vleTree"); }
    QToolButton* assignButton() const { return widget<QToolButton>(*form, "tbConnect"); }
    QToolButton* assignGroupButton() const { return widget<QToolButton>(*form, "tbGroup"); }
    QCheckBox* filterCheck(int column) const {
        return widget<QCheckBox>(*form, ("cbFilter" + std::to_string(column)).c_str());
    }
    QLineEdit* filterEdit(int column) const {
        return widget<QLineEdit>(*form, ("edFilter" + std::to_string(column)).c_str());
    }
    QCheckBox* hideExceptionsCheck() const { return widget<QCheckBox>(*form, "cbFilterExcept"); }
    QCheckBox* showUnassignedCheck() const { return widget<QCheckBox>(*form, "cbFilterEmpty"); }
    QTreeWidgetItem* selectedZamNode() const { return linkPage()->selectedZamNode(); }

    std::vector<int> shownRows() const {
        std::vector<int> rows;
        for (int r = 1; r <= grid()->dataRowCount(); ++r)
            if (!grid()->isDataRowHidden(r)) rows.push_back(r);
        return rows;
    }
    std::vector<int> allRows() const {
        std::vector<int> rows;
        for (int r = 1; r <= grid()->dataRowCount(); ++r) rows.push_back(r);
        return rows;
    }

    QStringList details() const {
        QStringList lines;
        QTableWidget* list = detailsList();
        for (int r = 0; r < list->rowCount(); ++r) lines << list->item(r, 0)->text() + "=" + list->item(r, 1)->text();
        return lines;
    }

    QTreeWidgetItem* location(const char* caption) const {
        const QList<QTreeWidgetItem*> found = tree()->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        EXPECT_EQ(found.size(), 1) << caption;
        return found.value(0);
    }

    void clickNode(QTreeWidgetItem* node, Qt::MouseButton button = Qt::LeftButton) {
        tree()->scrollToItem(node);
        QTest::mouseClick(tree()->viewport(), button, {}, tree()->visualItemRect(node).center());
    }

    void doubleClickRow(int row) {
        const QRect cell = grid()->visualRect(grid()->model()->index(row - 1, 1));
        // As a real double click: the first press picks the row.
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, cell.center());
    }

    std::unique_ptr<RecordingForm> form;
    DocumentSlot zamDefs, linkDefs;
};

}  // namespace

TEST_F(GridTest, TreeListsLocationsByCaptionAndAlarmsByCode) {
    auto captions = [](const QTreeWidgetItem* parent) {
        QStringList list;
        for (int i = 0; i < parent->childCount(); ++i) list << parent->child(i)->text(0);
        return list;
    };
    ASSERT_EQ(tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree()->topLevelItem(0);
    EXPECT_EQ(root->text(0), "Zam");
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(captions(root), QStringList({"Brandmeldcentrale (1)", "Groepen (100)", "Ketelhuis (20)", "kas 4 (12)"}));
    QTreeWidgetItem* boiler = location("Ketelhuis (20)");
    EXPECT_FALSE(boiler->isExpanded());
    EXPECT_EQ(captions(boiler), QStringList({"Brander (1)", "Pomp (2)", "Rook (10)"}));
    addZamNode(tree(), boiler, "Deur (3)");
    linkPage()->sortZamTree();
    EXPECT_EQ(captions(boiler), QStringList({"Brander (1)", "Pomp (2)", "Deur (3)", "Rook (10)"}));

    zamDefs = test::loadedDocument("<ZamAlarmDefinitions/>");
    form->fillZamTree();
    ASSERT_EQ(tree()->topLevelItemCount(), 1);
    EXPECT_EQ(captions(tree()->topLevelItem(0)), QStringList());
    EXPECT_TRUE(tree()->topLevelItem(0)->isExpanded());
}

TEST_F(GridTest, TreeClickSwitchesTheAssignButtonsAndFillsTheDetails) {
    EXPECT_FALSE(assignButton()->isEnabled());
    EXPECT_FALSE(assignGroupButton()->isEnabled());
    EXPECT_EQ(detailsList()->rowCount(), 0);

    QTreeWidgetItem* boiler = location("Ketelhuis (20)");
    clickNode(boiler);
    EXPECT_EQ(selectedZamNode(), boiler);
    EXPECT_FALSE(assignButton()->isEnabled());
    EXPECT_EQ(details(), QStringList({"Type=Location", "Number=20", "Description=Ketelhuis"}));

    boiler->setExpanded(true);
    clickNode(boiler->child(1));
    EXPECT_TRUE(assignButton()->isEnabled());
    EXPECT_TRUE(assignGroupButton()->isEnabled());
    EXPECT_EQ(details(), QStringList({"Type=Alarm", "Number=2", "Description=Pomp", "Group delay=90 seconds",
                                      "Repeat interval=0 minutes"}));
    EXPECT_EQ(detailsList()->currentRow(), 0);

    // The keyboard moves the selection too, and the details follow it.
    QTest::keyClick(tree(), Qt::Key_Down);
    EXPECT_EQ(details().value(2), "Description=Rook");

    // A right click selects the node under the mouse.
    clickNode(location("Groepen (100)"), Qt::RightButton);
    EXPECT_EQ(details().value(1), "Number=100");

    clickNode(tree()->topLevelItem(0));
    EXPECT_FALSE(assignButton()->isEnabled());
    EXPECT_FALSE(assignGroupButton()->isEnabled());
    EXPECT_EQ(detailsList()->rowCount(), 0);
}

TEST_F(GridTest, GridRowsAndTheFilterBoxUnderTheirColumns) {
    ASSERT_EQ(grid()->dataRowCount(), 7);
    EXPECT_EQ(grid()->model()->headerData(2, Qt::Horizontal).toString(), "Alarm");
    EXPECT_EQ(grid()->verticalHeader()->width(), 13);
    EXPECT_EQ(grid()->rowHeight(0), 16);

    // Measured in the grid's own font.
    const QFontMetrics metrics = grid()->fontMetrics();
    EXPECT_EQ(grid()->dataColumnWidth(3),
              std::max({metrics.horizontalAdvance("Alarm") + 22, metrics.horizontalAdvance("12: Pomp storing") + 15,
                        metrics.horizontalAdvance("99: Brandmelding") + 15}));

    auto checkPlacement = [&] {
        for (int k = 1, left = filterEdit(1)->x(); k <= 5; left += grid()->dataColumnWidth(k++)) {
            EXPECT_EQ(filterEdit(k)->geometry().left(), left) << k;
            EXPECT_EQ(filterCheck(k)->geometry().left(), left) << k;
            EXPECT_EQ(filterEdit(k)->width(), grid()->dataColumnWidth(k)) << k;
            // A gap before the next column's box.
            EXPECT_EQ(filterCheck(k)->width(), grid()->dataColumnWidth(k) - 1) << k;
        }
    };
    checkPlacement();
    EXPECT_EQ(filterCheck(2)->text(), "Location");
    EXPECT_EQ(filterCheck(5)->text(), "Group");
    // Dragging a column border takes the filter box along.
    grid()->horizontalHeader()->resizeSection(1, 200);
    EXPECT_EQ(filterEdit(2)->width(), 200);
    checkPlacement();

    // Nothing to show: the header and one empty row.
    linkDefs = test::loadedDocument("<ZamPOLinkDefs/>");
    form->fillLinkGrid();
    EXPECT_EQ(grid()->dataRowCount(), 1);
    EXPECT_EQ(grid()->linkRow(1).kind, LinkRowKind::Empty);
    grid()->selectAllRows();
    EXPECT_TRUE(grid()->selectedRows().empty());
}

namespace {

struct CellLook {
    QColor background;
    QColor leftEdge;
    int darkestText;  // the grey value of the darkest pixel of the cell's text
};

CellLook look(LinkGridView* grid, int row, int column) {
    const QImage shot = grid->viewport()->grab().toImage();
    const QRect cell = grid->visualRect(grid->model()->index(row - 1, column - 1));
    CellLook l{shot.pixelColor(cell.right() - 2, cell.top() + 1), shot.pixelColor(cell.left(), cell.center().y()), 255};
    for (int y = cell.top() + 2; y < cell.bottom(); ++y)
        for (int x = cell.left() + 2; x < cell.right() - 1; ++x)
            l.darkestText = std::min(l.darkestText, qGray(shot.pixel(x, y)));
    return l;
}

}  // namespace

TEST_F(GridTest, RowsArePaintedByKindAndUnlinkedRowsAreBoxedInRed) {
    const QPalette palette = grid()->palette();
    const QColor window = palette.color(QPalette::Active, QPalette::Base);
    const QColor grey(221, 221, 221);
    const QColor red(255, 0, 0);

    for (int column = 1; column <= 5; ++column) {
        EXPECT_EQ(look(grid(), 1, column).background, window) << column;
        EXPECT_EQ(look(grid(), 2, column).background, grey) << column;
        EXPECT_EQ(look(grid(), 7, column).background, grey) << column;
        // Serre has no ZAM alarm: every cell of its row is framed.
        EXPECT_EQ(look(grid(), 3, column).leftEdge, red) << column;
        EXPECT_EQ(look(grid(), 3, column).background, window) << column;
        EXPECT_NE(look(grid(), 1, column).leftEdge, red) << column;
    }
    // Exception rows grey out the location they repeat.
    EXPECT_GE(look(grid(), 2, 1).darkestText, 165);
    EXPECT_LE(look(grid(), 2, 1).darkestText, 200);
    EXPECT_LT(look(grid(), 2, 3).darkestText, 100);

    grid()->selectRow(0);
    EXPECT_EQ(look(grid(), 1, 2).background, palette.color(QPalette::Active, QPalette::Highlight));
    grid()->selectRow(1);
    EXPECT_EQ(look(grid(), 2, 2).background, QColor(Qt::black));
    EXPECT_EQ(LinkGridDelegate::cellColours(LinkRowKind::GeneralException, true, 1, palette).text, QColor(Qt::white));

    // A ZAM alarm written in place by an assignment takes the frame away.
    grid()->clearSelection();
    grid()->setLinkCell(3, 4, "0020 - 01");
    EXPECT_NE(look(grid(), 3, 1).leftEdge, red);
    grid()->setLinkCell(3, 4, "");
    EXPECT_EQ(look(grid(), 3, 5).leftEdge, red);
}

TEST_F(GridTest, CtrlASelectsEveryRowTheEditsSeeOnlyTheShownOnes) {
    QTest::keyClicks(filterEdit(2), "kas");
    ASSERT_EQ(shownRows(), std::vector<int>({1, 2, 5}));

    QTest::keyClick(grid(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(grid()->selectionModel()->hasSelection());

    QTest::keyClick(grid(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(grid()->selectionModel()->selectedRows().size(), 7);
    EXPECT_EQ(grid()->selectedRows(), std::vector<int>({1, 2, 5}));

    // A block from row 2 to row 5 holds rows 3 and 4 hidden inside it.
    grid()->selectionModel()->select(QItemSelection(grid()->model()->index(1, 0), grid()->model()->index(4, 4)),
                                     QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(grid()->selectedRows(), std::vector<int>({2, 5}));
    grid()->clearSelection();
    EXPECT_TRUE(grid()->selectedRows().empty());
}

TEST_F(GridTest, TypingFiltersAndTheCheckBoxesSwitchTermsOnAndOff) {
    QLineEdit* location = filterEdit(2);
    QTest::keyClicks(location, "kas");
    EXPECT_TRUE(filterCheck(2)->isChecked());
    EXPECT_EQ(shownRows(), std::vector<int>({1, 2, 5}));

    QTest::keyClicks(location, ".serre");
    EXPECT_EQ(shownRows(), std::vector<int>({1, 2, 3, 5}));
    // A second "." goes again; the caret stays at the end.
    QTest::keyClicks(location, ".");
    EXPECT_EQ(location->text(), "kas.serre");
    EXPECT_EQ(location->cursorPosition(), 9);
    QTest::keyClicks(location, "x");
    EXPECT_EQ(location->text(), "kas.serrex");

    filterCheck(2)->click();
    EXPECT_EQ(shownRows(), allRows());
    filterCheck(2)->click();
    EXPECT_EQ(shownRows(), std::vector<int>({1, 2, 5}));
    location->clear();
    EXPECT_EQ(shownRows(), allRows());

    // A checked box with a blank edit adds nothing.
    filterEdit(1)->setText("   ");
    EXPECT_TRUE(filterCheck(1)->isChecked());
    EXPECT_EQ(shownRows(), allRows());

    hideExceptionsCheck()->click();
    EXPECT_EQ(shownRows(), std::vector<int>({1, 3, 4, 5, 6}));
    showUnassignedCheck()->click();
    EXPECT_EQ(shownRows(), std::vector<int>({3}));
    hideExceptionsCheck()->click();
    showUnassignedCheck()->click();
    EXPECT_EQ(shownRows(), allRows());

    // A lone "." hides every data row.
    location->setText(".");
    EXPECT_EQ(shownRows(), std::vector<int>{});
    location->clear();

    for (int k = 1; k <= 5; ++k) filterEdit(k)->setText("a.b");
    QApplication::processEvents();
    EXPECT_EQ(form->messages, std::vector<QString>({"Filter too complex"}));
    EXPECT_EQ(shownRows(), allRows());
}

TEST_F(GridTest, TheDutchFilterNamesTheDutchColumn) {
    start("NLD");
    EXPECT_EQ(filterCheck(2)->text(), "Locatie");
    QTest::keyClicks(filterEdit(2), "KAS");
    EXPECT_EQ(shownRows(), std::vector<int>({1, 2, 5}));
}

TEST_F(GridTest, ARefillShowsTheNewDefinitionsThroughTheSameFilter) {
    QTest::keyClicks(filterEdit(2), "kas");
    pugi::xml_node added = linkDefs->root().child("PO_Locations").append_child("PO_loc");
    added.append_attribute("pcu") = "PCU5";
    added.append_attribute("text") = "Kas 9";
    added.append_attribute("zam_alarm") = "0";

    QSignalSpy refilled(form.get(), &MainWindow::linkGridRefillRequested);
    WindowPort& port = *form;
    port.refillLinkGrid();
    EXPECT_EQ(refilled.count(), 1);
    ASSERT_EQ(grid()->dataRowCount(), 8);
    EXPECT_EQ(grid()->linkRow(7).cell(2), "Kas 9");
    EXPECT_EQ(shownRows(), std::vector<int>({1, 2, 5, 7}));

    // The plain rebuild shows every row; its caller filters when it wants to.
    form->fillLinkGrid();
    EXPECT_EQ(shownRows(), allRows());
    linkPage()->refillLinkGridKeepingFilter();
    EXPECT_EQ(shownRows(), std::vector<int>({1, 2, 5, 7}));
}

TEST_F(GridTest, DoubleClickShowsTheLinkedAlarmInTheTree) {
    doubleClickRow(2);  // 0020 - 02
    QTreeWidgetItem* pump = selectedZamNode();
    ASSERT_NE(pump, nullptr);
    EXPECT_EQ(pump->text(0), "Pomp (2)");
    EXPECT_TRUE(pump->parent()->isExpanded());
    EXPECT_TRUE(assignButton()->isEnabled());
    EXPECT_EQ(details().value(3), "Group delay=90 seconds");
    EXPECT_EQ(zamAlarmRefOf(pump), "0020 - 02");
    EXPECT_EQ(zamAlarmRefOf(pump->parent()), "");

    // No ZAM alarm, or a location the tree does not hold: nothing changes.
    for (int row : {3, 5}) {
        doubleClickRow(row);
        EXPECT_EQ(selectedZamNode(), pump) << row;
    }
    // General exception 0001 - 01.
    doubleClickRow(7);
    EXPECT_EQ(selectedZamNode()->text(0), "Brand (1)");
    EXPECT_EQ(selectedZamNode()->parent()->text(0), "Brandmeldcentrale (1)");
    // The location holds no alarm 9: the location itself is shown.
    doubleClickRow(6);
    EXPECT_EQ(selectedZamNode()->text(0), "Ketelhuis (20)");
    EXPECT_FALSE(assignButton()->isEnabled());
    // A second location with code 20 (an import can leave one) that holds alarm 9.
    QTreeWidgetItem* second = addZamNode(tree(), tree()->topLevelItem(0), "Ketelhuis oost (20)");
    addZamNode(tree(), second, "Rook (9)");
    sortZamTree(tree());
    tree()->collapseAll();
    doubleClickRow(6);
    EXPECT_EQ(selectedZamNode()->text(0), "Rook (9)");
    EXPECT_EQ(selectedZamNode()->parent(), second);
    EXPECT_TRUE(second->isExpanded());
    for (int i = 0; i < tree()->topLevelItem(0)->childCount(); ++i) {
        QTreeWidgetItem* location = tree()->topLevelItem(0)->child(i);
        EXPECT_EQ(location->isExpanded(), captionCode(zamNodeCaption(location)) == 20) << i;
    }
}

TEST(GridStartUp, TheStartFillsTreeAndGridWithNothingSelected) {
    resetLangTexts();
    test::TempDir prog, root, home;
    const std::string data = root.path() + "/Zam/Data";
    const std::string po = root.path() + "/Zam/PoData";
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(po);
    test::writeFile(prog.file("PO.ini"), "[Application]\ndatapath=" + data + "\n");
    test::writeFile(po + "/ZamDefs.xml", kZamDefs);
    test::writeFile(po + "/LinkDefs.xml", kLinkDefs);
    {
        DataPaths paths(prog.path(), home.path());
        ManualClock clock;
        MainWindow form;
        GatewayRuntime gateway(paths, clock, form);
        WindowSession life(form, gateway);
        life.start();
        EXPECT_EQ(widget<QTreeWidget>(form, "tvZamLoc")->topLevelItem(0)->childCount(), 4);
        EXPECT_EQ(widget<LinkGridView>(form, "sgMain")->dataRowCount(), 7);
        EXPECT_FALSE(widget<QToolButton>(form, "tbConnect")->isEnabled());
        EXPECT_EQ(widget<QTableWidget>(form, "vleTree")->rowCount(), 0);
        EXPECT_EQ(widget<QCheckBox>(form, "cbFilter4")->text(), "ZAM Alarm");
        life.runtime().loopSteps().setEnabled(false);
        life.runtime().socketSteps().setEnabled(false);
    }
    logWriter().setFileName("");
    resetLangTexts();
}
