// The editing operations on the main window, offscreen: toolbar buttons and both
// dialogs driven with clicks and keys, the results read back from the files.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "logic/core/datapaths.h"
#include "logic/language/langtext.h"
#include "logic/linkconfig/linkdefslock.h"
#include "logic/linkconfig/zamdefs.h"
#include "logic/linkconfig/zamitems.h"
#include "support/tempdir.h"
#include "support/windowsetup.h"
#include "ui/exceptionsdialog.h"
#include "ui/itemdialog.h"
#include "ui/linkgridview.h"
#include "ui/linkpage.h"
#include "ui/mainwindow.h"
#include "ui/routedialog.h"

using namespace zampo;

namespace {

const char* const kLinkDefs = R"(<ZamPOLinkDefs><PO_Locations>
  <PO_loc pcu="PCU1" text="Kas 1" zam_alarm="0012 - 05" zam_group="0100 - 07">
    <Except nr="12" text="Pomp storing" zam_alarm="0001 - 02"/>
  </PO_loc>
  <PO_loc pcu="PCU1" text="Kas 2" zam_alarm="0"/>
  <PO_loc pcu="PCU1" text="Serre" zam_alarm="0001 - 02"/>
  <PO_loc pcu="PCU1" text="Kas 3" zam_alarm="0012 - 05"/>
  <PO_loc pcu="PCU2" text="Ketelhuis" zam_alarm="0012 - 05" zam_group="0001 - 02"/>
</PO_Locations>
<PO_AlarmTypes>
  <PO_Alarm nr="12" text="Pomp storing"/><PO_Alarm nr="13" text="Temp hoog"/><PO_Alarm nr="14" text="Pomp druk"/>
</PO_AlarmTypes>
<PO_Exceptions><Except nr="99" text="Brandmelding" zam_alarm="0001 - 01" zam_group="0001 - 02"/></PO_Exceptions>
</ZamPOLinkDefs>)";

const char* const kZamDefs = R"(<ZamAlarmDefinitions>
  <Location Code="1" Name="Brandmeldcentrale">
    <Alarm Code="1" Name="Brand"/><Alarm Code="2" Name="Storing" GroupDelay="30" Repeat="5"/>
  </Location>
  <Location Code="12" Name="Kassen"><Alarm Code="5" Name="Temperatuur" GroupDelay="90" Repeat="10"/></Location>
  <Location Code="100" Name="Groepen"><Alarm Code="7" Name="Kassen algemeen"/></Location>
</ZamAlarmDefinitions>)";

// The window with its questions, file dialogs and messages answered and recorded.
class EditingForm : public MainWindow {
public:
    std::vector<QString> messages;
    std::vector<QString> questions;
    std::deque<bool> answers;  // Yes when none is left
    QString openFile;
    QString saveFile;
    QStringList fileDialogs;  // title, start, filter of each

protected:
    void showMessage(const QString& text) override { messages.push_back(text); }
    bool askYesNo(Question, const QString& text) override {
        questions.push_back(text);
        if (answers.empty()) return true;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    QString askOpenFileName(const QString& title, const QString& directory, const QString& filter) override {
        fileDialogs << title << directory << filter;
        return openFile;
    }
    QString askSaveFileName(const QString& title, const QString& proposedPath, const QString& filter) override {
        fileDialogs << title << proposedPath << filter;
        return saveFile;
    }
};

// Runs one action on each showing of a modal dialog of type D, in order. A
// showing without an action left is cancelled, so a test fails instead of hanging.
template <class D>
class ModalScript {
public:
    explicit ModalScript(std::vector<std::function<void(D*)>> actions) : actions_(std::move(actions)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            if (next_ < actions_.size())
                actions_[next_++](dialog);
            else
                ++unexpected_, dialog->reject();
        });
        timer_.start(5);
    }
    std::size_t shown() const { return next_ + unexpected_; }

private:
    std::vector<std::function<void(D*)>> actions_;
    std::size_t next_ = 0;
    std::size_t unexpected_ = 0;
    QTimer timer_;
};

template <class W>
W* child(QWidget* parent, const char* name) {
    W* w = parent->findChild<W*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void clickButton(QWidget* parent, const char* name) {
    QTest::mouseClick(child<QAbstractButton>(parent, name), Qt::LeftButton);
}

void typeInto(QSpinBox* spin, const QString& text) {
    spin->setFocus();
    spin->selectAll();
    QTest::keyClick(spin, Qt::Key_Backspace);
    QTest::keyClicks(spin, text);
}

void typeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

class EditingTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.path() + "/zam");
        start("ENG", kLinkDefs, kZamDefs);
    }
    void TearDown() override { resetLangTexts(); }

    void start(const char* language, const char* linkDefsText, const char* zamDefsText) {
        resetLangTexts();
        loadLangTexts(language);
        // Written as the gateway writes them, so that an unchanged save is byte for byte the same.
        for (auto [file, text] : {std::pair{&kLinkDefsFile, linkDefsText}, std::pair{&kZamDefsFile, zamDefsText}}) {
            DocumentSlot slot = std::make_unique<XmlDocument>();
            ASSERT_TRUE(slot->loadText(text));
            ASSERT_TRUE(saveDataFile(slot, poDir(), *file));
        }
        linkDefs.reset();
        zamDefs.reset();
        openDataFile(linkDefs, poDir(), kLinkDefsFile);
        openDataFile(zamDefs, poDir(), kZamDefsFile);
        form = std::make_unique<EditingForm>();
        form->attachDataPaths(paths);
        test::showWindow(*form, &zamDefs, &linkDefs);
    }

    std::string poDir() { return paths.poDataDir(); }
    std::string linkDefsFile() { return test::readFile(dataFilePath(poDir(), kLinkDefsFile)); }
    std::string zamDefsFile() { return test::readFile(dataFilePath(poDir(), kZamDefsFile)); }
    XmlDocument onDisk(const DataFile& file) {
        XmlDocument d;
        EXPECT_TRUE(d.loadFile(dataFilePath(poDir(), file)));
        return d;
    }
    static std::string attr(pugi::xml_node n, const char* a) {
        return n.attribute(a) ? n.attribute(a).value() : "<absent>";
    }
    pugi::xml_node location(const XmlDocument& d, const char* text) {
        return d.root().child("PO_Locations").find_child_by_attribute("text", text);
    }
    // zam_alarm|zam_group of each location in file order.
    std::vector<std::string> locationLinks() {
        std::vector<std::string> links;
        const XmlDocument d = onDisk(kLinkDefsFile);
        for (pugi::xml_node l : d.root().child("PO_Locations").children())
            links.push_back(attr(l, "zam_alarm") + "|" + attr(l, "zam_group"));
        return links;
    }

    LinkPage* linkPage() const { return child<LinkPage>(form.get(), "tbsLinkSettings"); }
    LinkGridView* grid() const { return child<LinkGridView>(form.get(), "sgMain"); }
    QTreeWidget* tree() const { return child<QTreeWidget>(form.get(), "tvZamLoc"); }
    QWidget* toolButton(const char* name) { return child<QToolButton>(form.get(), name); }
    void click(const char* button) { QTest::mouseClick(toolButton(button), Qt::LeftButton); }

    QTreeWidgetItem* node(const char* caption) {
        const QList<QTreeWidgetItem*> found = tree()->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        EXPECT_EQ(found.size(), 1) << caption;
        return found.value(0);
    }
    void clickNode(const char* caption) {
        QTreeWidgetItem* n = node(caption);
        for (QTreeWidgetItem* p = n->parent(); p; p = p->parent()) p->setExpanded(true);
        tree()->scrollToItem(n);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(n).center());
        ASSERT_EQ(linkPage()->selectedZamNode(), n);
    }
    QStringList captions(const QTreeWidgetItem* parent) {
        QStringList list;
        for (int i = 0; i < parent->childCount(); ++i) list << parent->child(i)->text(0);
        return list;
    }

    // A click on the first row, a shift-click on the last: the rows between are
    // selected whether the filter shows them or not.
    void selectRows(int first, int last) {
        auto centre = [this](int row) { return grid()->visualRect(grid()->model()->index(row - 1, 1)).center(); };
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, centre(first));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, Qt::ShiftModifier, centre(last));
    }
    int rowOf(const char* pcu, const char* locationText, const char* alarmType) {
        for (int r = 1; r <= grid()->dataRowCount(); ++r) {
            const LinkGridRow& row = grid()->linkRow(r);
            if (row.cell(1) == pcu && row.cell(2) == locationText && row.cell(3) == alarmType) return r;
        }
        ADD_FAILURE() << locationText << " " << alarmType;
        return 0;
    }

    test::TempDir dir;
    DataPaths paths{dir.path(), dir.path()};
    DocumentSlot zamDefs, linkDefs;
    std::unique_ptr<EditingForm> form;
};

}  // namespace

TEST_F(EditingTest, AssignAndRemoveAlarmsAndGroupsOnVisibleSelectedRows) {
    // Kas 1 (row 1), its exception (2), Kas 2 (3), Serre (4, filtered out), Kas 3 (5).
    QTest::keyClicks(child<QLineEdit>(form.get(), "edFilter2"), "kas");
    ASSERT_TRUE(grid()->isDataRowHidden(4));
    selectRows(3, 5);
    ASSERT_EQ(grid()->selectedRows(), (std::vector<int>{3, 5}));
    selectRows(1, 5);

    // Only an alarm can be assigned: a location selected in the tree changes nothing.
    clickNode("Brandmeldcentrale (1)");
    EXPECT_FALSE(toolButton("tbConnect")->isEnabled());
    const std::string before = linkDefsFile();
    linkPage()->assignSelectedAlarm();
    EXPECT_EQ(linkDefsFile(), before);

    clickNode("Storing (2)");
    click("tbConnect");
    const XmlDocument d = onDisk(kLinkDefsFile);
    for (const char* assigned : {"Kas 1", "Kas 2", "Kas 3"})
        EXPECT_EQ(attr(location(d, assigned), "zam_alarm"), "0001 - 02") << assigned;
    EXPECT_EQ(attr(location(d, "Kas 1"), "zam_group"), "0100 - 07");  // written again as it stood
    EXPECT_EQ(attr(location(d, "Kas 2"), "zam_group"), "");
    EXPECT_EQ(attr(location(d, "Serre"), "zam_alarm"), "0001 - 02");  // hidden: untouched
    EXPECT_EQ(attr(location(d, "Ketelhuis"), "zam_alarm"), "0012 - 05");
    EXPECT_EQ(attr(location(d, "Kas 1").child("Except"), "zam_alarm"), "0001 - 02");
    EXPECT_EQ(grid()->linkRow(3).cell(4), "0001 - 02");
    EXPECT_TRUE(grid()->isDataRowHidden(4));  // edited in place, the filter still stands
    EXPECT_EQ(grid()->selectedRows(), (std::vector<int>{1, 2, 3, 5}));

    clickNode("Kassen algemeen (7)");
    click("tbGroup");
    EXPECT_EQ(locationLinks(),
              (std::vector<std::string>{"0001 - 02|0100 - 07", "0001 - 02|0100 - 07", "0001 - 02|<absent>",
                                        "0001 - 02|0100 - 07", "0012 - 05|0001 - 02"}));
    click("tbDeleteGroup");
    EXPECT_EQ(locationLinks(), (std::vector<std::string>{"0001 - 02|", "0001 - 02|", "0001 - 02|<absent>", "0001 - 02|",
                                                         "0012 - 05|0001 - 02"}));
    EXPECT_EQ(grid()->linkRow(5).cell(5), "");
    EXPECT_TRUE(form->messages.empty());
}

TEST_F(EditingTest, AnEditWaitingForAMergeKeepsBothTheMergeAndTheEdit) {
    std::mutex m;
    std::condition_variable cv;
    bool locked = false;
    std::thread merge([&] {
        std::lock_guard fileLock(linkDefsFileMutex());
        {
            std::lock_guard g(m);
            locked = true;
        }
        cv.notify_one();
        // The window's edit starts now and must wait for this save.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        DocumentSlot worker;
        openDataFile(worker, poDir(), kLinkDefsFile);
        pugi::xml_node added = worker->root().child("PO_Locations").append_child("PO_loc");
        added.append_attribute("pcu") = "PCU9";
        added.append_attribute("text") = "Nieuw";
        added.append_attribute("zam_alarm") = "0";
        saveDataFile(worker, poDir(), kLinkDefsFile);
    });
    {
        std::unique_lock g(m);
        cv.wait(g, [&] { return locked; });
    }
    selectRows(3, 3);
    clickNode("Storing (2)");
    click("tbConnect");
    merge.join();

    const XmlDocument d = onDisk(kLinkDefsFile);
    EXPECT_EQ(attr(location(d, "Kas 2"), "zam_alarm"), "0001 - 02");
    EXPECT_EQ(attr(location(d, "Nieuw"), "zam_alarm"), "0");
    // The window's document and grid hold the merged location as well.
    EXPECT_EQ(linkDefs->toText(), d.toText());
    EXPECT_EQ(grid()->linkRow(grid()->dataRowCount() - 1).cell(2), "Nieuw");
}

TEST_F(EditingTest, DeletingAZamAlarmClearsEveryLinkToItHiddenRowsIncluded) {
    child<QCheckBox>(form.get(), "cbFilterExcept")->setChecked(true);
    QTest::keyClicks(child<QLineEdit>(form.get(), "edFilter2"), "kas");
    selectRows(3, 3);

    clickNode("Storing (2)");
    form->answers = {false};
    click("tbDelete");
    EXPECT_EQ(form->questions.back(), "Delete this alarm?");
    EXPECT_TRUE(zamAlarmExists(onDisk(kZamDefsFile), "0001 - 02"));

    click("tbDelete");
    const XmlDocument zam = onDisk(kZamDefsFile);
    EXPECT_FALSE(zamAlarmExists(zam, "0001 - 02"));
    EXPECT_TRUE(zamAlarmExists(zam, "0001 - 01"));
    EXPECT_EQ(captions(node("Brandmeldcentrale (1)")), QStringList{"Brand (1)"});

    const XmlDocument d = onDisk(kLinkDefsFile);
    EXPECT_EQ(attr(location(d, "Serre"), "zam_alarm"), "");                  // hidden by the filter
    EXPECT_EQ(attr(location(d, "Kas 1").child("Except"), "zam_alarm"), "");  // an exception, hidden too
    EXPECT_EQ(attr(location(d, "Ketelhuis"), "zam_alarm") + "|" + attr(location(d, "Ketelhuis"), "zam_group"),
              "0012 - 05|");
    const pugi::xml_node general = d.root().child("PO_Exceptions").child("Except");
    EXPECT_EQ(attr(general, "zam_alarm") + "|" + attr(general, "zam_group"), "0001 - 01|");
    EXPECT_EQ(attr(location(d, "Kas 1"), "zam_alarm") + "|" + attr(location(d, "Kas 1"), "zam_group"),
              "0012 - 05|0100 - 07");
    // Rebuilt, filtered again, the noted row current.
    EXPECT_TRUE(grid()->isDataRowHidden(rowOf("PCU1", "Serre", "--")));
    EXPECT_EQ(grid()->selectedRows(), (std::vector<int>{3}));

    // A whole location goes with its alarms and their links.
    clickNode("Kassen (12)");
    click("tbDelete");
    EXPECT_EQ(form->questions.back(), "Delete this location completely?");
    EXPECT_FALSE(findZamLocationElement(onDisk(kZamDefsFile), 12));
    for (const std::string& links : locationLinks()) EXPECT_EQ(links.find("0012"), std::string::npos) << links;
}

TEST_F(EditingTest, RemovingRowsAsksFirstAndTakesExceptionsWithTheirLocation) {
    selectRows(1, 1);
    const std::string before = linkDefsFile();
    form->answers = {false};
    click("tbDeleteExcept");
    EXPECT_EQ(form->questions.back(), "Delete all selected exceptions and locations?");
    EXPECT_EQ(linkDefsFile(), before);
    EXPECT_EQ(grid()->dataRowCount(), 7);

    click("tbDeleteExcept");
    const XmlDocument d = onDisk(kLinkDefsFile);
    EXPECT_FALSE(location(d, "Kas 1"));
    EXPECT_EQ(grid()->dataRowCount(), 5);  // the location and its exception row
    EXPECT_EQ(grid()->linkRow(1).cell(2), "Kas 2");

    // The general exception alone; the row above becomes current.
    const int general = rowOf("--", "General Exception", "99: Brandmelding");
    selectRows(general, general);
    click("tbDeleteExcept");
    EXPECT_FALSE(onDisk(kLinkDefsFile).root().child("PO_Exceptions").first_child());
    EXPECT_EQ(grid()->selectedRows(), (std::vector<int>{general - 1}));
}

TEST_F(EditingTest, ExceptionsForTheSelectedLocationsAndGeneralOnes) {
    selectRows(1, 3);  // Kas 1, its exception row, Kas 2
    {
        ModalScript<ExceptionsDialog> script({[](ExceptionsDialog* dialog) {
            EXPECT_EQ(dialog->windowTitle(), "Add Exceptions");
            EXPECT_TRUE(child<QRadioButton>(dialog, "rbSelectedLocations")->isChecked());
            QTableWidget* types = dialog->findChild<QTableWidget*>("sgExcept");
            ASSERT_EQ(types->rowCount(), 3);
            typeInto(child<QLineEdit>(dialog, "edFilter2"), "pomp");
            EXPECT_TRUE(child<QCheckBox>(dialog, "cbFilter2")->isChecked());
            EXPECT_TRUE(types->isRowHidden(1));  // 13 Temp hoog
            types->setFocus();
            QTest::keyClick(types, Qt::Key_A, Qt::ControlModifier);
            clickButton(dialog, "OKBtn");
        }});
        click("tbAddExcept");
        ASSERT_EQ(script.shown(), 1u);
    }

    const XmlDocument d = onDisk(kLinkDefsFile);
    auto exceptions = [&](const char* text) {
        QStringList list;
        for (pugi::xml_node e : location(d, text).children())
            list << QString::fromStdString(attr(e, "nr") + " " + attr(e, "text") + " " + attr(e, "zam_alarm") + "|" +
                                           attr(e, "zam_group"));
        return list;
    };
    // 12 already existed under Kas 1: reset to the location's links.
    EXPECT_EQ(exceptions("Kas 1"),
              QStringList({"12 Pomp storing 0012 - 05|0100 - 07", "14 Pomp druk 0012 - 05|0100 - 07"}));
    EXPECT_EQ(exceptions("Kas 2"), QStringList({"12 Pomp storing |", "14 Pomp druk |"}));
    EXPECT_TRUE(exceptions("Serre").isEmpty());
    EXPECT_EQ(grid()->linkRow(rowOf("PCU1", "Kas 2", "--") + 2).cell(3), "14: Pomp druk");

    ModalScript<ExceptionsDialog> general({[](ExceptionsDialog* dialog) {
                                               QTableWidget* types = dialog->findChild<QTableWidget*>("sgExcept");
                                               QTest::mouseClick(
                                                   types->viewport(), Qt::LeftButton, {},
                                                   types->visualRect(types->model()->index(1, 1)).center());
                                               clickButton(dialog, "rbGeneralException");
                                               clickButton(dialog, "OKBtn");
                                           },
                                           [](ExceptionsDialog* dialog) { clickButton(dialog, "CancelBtn"); }});
    click("tbAddExcept");
    const XmlDocument afterGeneral = onDisk(kLinkDefsFile);
    const pugi::xml_node added = afterGeneral.root().child("PO_Exceptions").find_child_by_attribute("nr", "13");
    EXPECT_EQ(attr(added, "text") + " " + attr(added, "zam_alarm") + "|" + attr(added, "zam_group"), "Temp hoog |");
    const int row = rowOf("--", "General Exception", "13: Temp hoog");
    EXPECT_TRUE(grid()->linkRow(row).unlinked());

    const std::string before = linkDefsFile();
    click("tbAddExcept");
    EXPECT_EQ(general.shown(), 2u);
    EXPECT_EQ(linkDefsFile(), before);
}

TEST_F(EditingTest, ATakenCodeIsRefusedAndTheDialogShownAgainWithTheEntries) {
    clickNode("Zam");
    ModalScript<ItemDialog> script({
        [](ItemDialog* dialog) {
            EXPECT_EQ(dialog->windowTitle(), "Add Location");
            EXPECT_EQ(child<QSpinBox>(dialog, "spnCode")->value(), 101);
            EXPECT_EQ(child<QLineEdit>(dialog, "edtNaam")->text(), "Location");
            EXPECT_FALSE(child<QSpinBox>(dialog, "spnDelay")->isVisible());
            typeInto(child<QSpinBox>(dialog, "spnCode"), "12");
            typeInto(child<QLineEdit>(dialog, "edtNaam"), "  Nieuwe kas met een heel erg lange naam ervan  ");
            clickButton(dialog, "OKBtn");
        },
        [](ItemDialog* dialog) {
            EXPECT_EQ(child<QSpinBox>(dialog, "spnCode")->value(), 12);
            EXPECT_EQ(child<QLineEdit>(dialog, "edtNaam")->text(), "Nieuwe kas met een heel erg lange naam");
            typeInto(child<QSpinBox>(dialog, "spnCode"), "13");
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        },
    });
    click("tbAdd");
    EXPECT_EQ(script.shown(), 2u);
    EXPECT_EQ(form->messages, std::vector<QString>{"This code already exists!"});
    const XmlDocument zam = onDisk(kZamDefsFile);
    const pugi::xml_node added = findZamLocationElement(zam, 13);
    EXPECT_EQ(attr(added, "Name"), "Nieuwe kas met een heel erg lange naam");
    EXPECT_EQ(linkPage()->selectedZamNode()->text(0), "Nieuwe kas met een heel erg lange naam (13)");
    EXPECT_STREQ(findZamLocationElement(onDisk(kZamDefsFile), 12).attribute("Name").value(), "Kassen");
}

TEST_F(EditingTest, AlarmsAreAddedAndEditedWithDelayAndRepeat) {
    clickNode("Brand (1)");
    {
        ModalScript<ItemDialog> add({[](ItemDialog* dialog) {
            EXPECT_EQ(dialog->windowTitle(), "Add Alarm");
            EXPECT_EQ(child<QSpinBox>(dialog, "spnCode")->value(), 3);  // after its siblings 1 and 2
            typeInto(child<QSpinBox>(dialog, "spnDelay"), "4000");      // above the range: the limit
            typeInto(child<QSpinBox>(dialog, "spnHerhaal"), "");        // emptied: the minimum
            clickButton(dialog, "OKBtn");
        }});
        click("tbAdd");
        EXPECT_EQ(add.shown(), 1u);
    }
    XmlDocument zam = onDisk(kZamDefsFile);
    pugi::xml_node alarm = findZamAlarmElement(zam, 1, 3);
    EXPECT_EQ(attr(alarm, "Name") + "|" + attr(alarm, "GroupDelay") + "|" + attr(alarm, "Repeat"), "Alarm|3600|0");
    EXPECT_EQ(captions(node("Brandmeldcentrale (1)")), QStringList({"Brand (1)", "Storing (2)", "Alarm (3)"}));

    clickNode("Storing (2)");
    {
        ModalScript<ItemDialog> edit({
            [](ItemDialog* dialog) {
                EXPECT_EQ(dialog->windowTitle(), "Edit Alarm");
                EXPECT_EQ(child<QSpinBox>(dialog, "spnDelay")->value(), 30);
                EXPECT_EQ(child<QSpinBox>(dialog, "spnHerhaal")->value(), 5);
                typeInto(child<QSpinBox>(dialog, "spnCode"), "1");  // a sibling's code
                clickButton(dialog, "OKBtn");
            },
            [](ItemDialog* dialog) {
                typeInto(child<QSpinBox>(dialog, "spnCode"), "9");
                typeInto(child<QSpinBox>(dialog, "spnHerhaal"), "60");
                clickButton(dialog, "OKBtn");
            },
        });
        click("tbEdit");
        EXPECT_EQ(edit.shown(), 2u);
    }
    EXPECT_EQ(form->messages, std::vector<QString>{"This code already exists!"});
    zam.copyFrom(onDisk(kZamDefsFile));
    alarm = findZamAlarmElement(zam, 1, 9);
    EXPECT_EQ(attr(alarm, "Name") + "|" + attr(alarm, "GroupDelay") + "|" + attr(alarm, "Repeat"), "Storing|30|60");
    EXPECT_EQ(captions(node("Brandmeldcentrale (1)")), QStringList({"Brand (1)", "Alarm (3)", "Storing (9)"}));

    // Keeping its own code is no clash; Escape changes nothing.
    clickNode("Kassen (12)");
    ModalScript<ItemDialog> keep({[](ItemDialog* dialog) {
                                      typeInto(child<QLineEdit>(dialog, "edtNaam"), "Kassen zuid");
                                      clickButton(dialog, "OKBtn");
                                  },
                                  [](ItemDialog* dialog) {
                                      typeInto(child<QLineEdit>(dialog, "edtNaam"), "Weg");
                                      QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
                                  }});
    click("tbEdit");
    const std::string before = zamDefsFile();
    click("tbEdit");
    EXPECT_EQ(zamDefsFile(), before);
    EXPECT_STREQ(findZamLocationElement(onDisk(kZamDefsFile), 12).attribute("Name").value(), "Kassen zuid");
    EXPECT_EQ(linkPage()->selectedZamNode()->text(0), "Kassen zuid (12)");
}

TEST_F(EditingTest, ImportingTheFileJustExportedChangesNothing) {
    const QString exchange = QString::fromStdString(paths.xmlDir()) + "/PO Export Alarms.xml";
    form->saveFile = exchange;
    click("tbExport");
    EXPECT_EQ(form->fileDialogs, QStringList({"Save XML file", exchange, "XML file(*.xml)"}));
    const std::string exported = test::readFile(exchange.toStdString());
    EXPECT_NE(exported.find("<ZamDefinitions>"), std::string::npos);
    EXPECT_EQ(exported.find("GroupDelay"), std::string::npos);

    const std::string before = zamDefsFile();
    form->fileDialogs.clear();
    form->openFile = exchange;
    click("tbImport");
    EXPECT_EQ(form->questions.back(), "Importing can result in location- and alarmnames being overwritten.\nContinue?");
    EXPECT_EQ(form->fileDialogs, QStringList({"Open XML file", QString::fromStdString(paths.xmlDir()),
                                              "XML file(*.xml);;All files(*.*)"}));
    EXPECT_EQ(zamDefsFile(), before);
    EXPECT_TRUE(form->messages.empty());
    EXPECT_EQ(captions(tree()->topLevelItem(0)),
              QStringList({"Brandmeldcentrale (1)", "Groepen (100)", "Kassen (12)"}));

    // No to the warning: no file dialog, nothing written.
    form->fileDialogs.clear();
    form->answers = {false};
    click("tbImport");
    EXPECT_TRUE(form->fileDialogs.isEmpty());
}

TEST_F(EditingTest, ImportGivesTheSystemAlarmsTheirNamesInTheOperatorsLanguage) {
    const std::string file = dir.file("import.xml");
    test::writeFile(file, R"(<?xml version="1.0" encoding="ISO-8859-1"?><ZamDefinitions>
        <Location Code="9999" Name="Koppeling">
          <Alarm Code="5" Name="Uit bestand"/><Alarm Code="8" Name="Uit bestand"/>
          <Alarm Code="9" Name="Uit bestand"/><Alarm Code="3" Name="Uit bestand"/>
        </Location></ZamDefinitions>)");
    const char* zamDefsWithAlarm5 =
        R"(<ZamAlarmDefinitions><Location Code="9999" Name="PO"><Alarm Code="5" Name="Eigen"/></Location></ZamAlarmDefinitions>)";
    struct Language {
        const char* code;
        const char* alarm8;
        const char* alarm9;
        const char* question;
    };
    for (const Language& language :
         {Language{"ENG", "Priva Office Interface System Error", "Priva Office Interface Config Error", "Continue?"},
          Language{"NLD", "Priva Office Koppeling Systeemfout", "Priva Office Koppeling Instelfout", "Doorgaan?"}}) {
        start(language.code, kLinkDefs, zamDefsWithAlarm5);
        form->openFile = QString::fromStdString(file);
        click("tbImport");
        EXPECT_TRUE(form->questions.back().endsWith(language.question));
        const XmlDocument zam = onDisk(kZamDefsFile);
        auto name = [&](int code) { return attr(findZamAlarmElement(zam, 9999, code), "Name"); };
        EXPECT_EQ(name(5), "Eigen") << language.code;  // existed: kept
        EXPECT_EQ(name(8), language.alarm8);
        EXPECT_EQ(name(9), language.alarm9);
        EXPECT_EQ(name(3), "Uit bestand");
        EXPECT_EQ(captions(node("Koppeling (9999)")).size(), 4);
    }
}

TEST_F(EditingTest, AnImportThatCannotBeReadWholeChangesNothing) {
    const std::string before = zamDefsFile();
    const std::string inMemory = zamDefs->toText();
    struct Case {
        const char* content;
        const char* message;  // how the message starts
        const char* detail;
    };
    const Case cases[] = {
        {"<ZamDefinitions><Location Code=\"7\" Name=\"Zeven\"></ZamDefinitions>", "Incorrect file structure\n",
         "line 1"},
        {R"(<ZamDefinitions><Location Code="7" Name="Zeven"/><Location Code="12" Name="Kassen"><Alarm Code="x1" Name="Nee"/></Location></ZamDefinitions>)",
         "Incorrect file structure\n", "<Alarm Code=\"x1\" Name=\"Nee\">"},
        {"<ZamAlarmDefinitions/>", "Incorrect file structure", ""},
    };
    for (const Case& c : cases) {
        const std::string file = dir.file("bad.xml");
        test::writeFile(file, c.content);
        form->messages.clear();
        form->openFile = QString::fromStdString(file);
        click("tbImport");
        ASSERT_EQ(form->messages.size(), 1u) << c.content;
        EXPECT_TRUE(form->messages[0].startsWith(c.message)) << form->messages[0].toStdString();
        EXPECT_TRUE(form->messages[0].contains(c.detail)) << form->messages[0].toStdString();
        EXPECT_EQ(zamDefsFile(), before);
        EXPECT_EQ(zamDefs->toText(), inMemory);
        EXPECT_EQ(tree()->topLevelItem(0)->childCount(), 3);
    }
    form->messages.clear();
    form->openFile = QString::fromStdString(dir.file("missing.xml"));
    click("tbImport");
    EXPECT_EQ(form->messages, std::vector<QString>{"File not found: " + form->openFile});
}

namespace {

TEST_F(EditingTest, ARebuildKeepsTheSelectionSoAnAssignStillReachesIt) {
    selectRows(3, 5);  // Kas 2, Serre, Kas 3
    // A definitions fetch (or Refresh) rebuilds the grid from a file that gained a location.
    {
        XmlDocument d = onDisk(kLinkDefsFile);
        pugi::xml_node added = d.root().child("PO_Locations").prepend_child("PO_loc");
        added.append_attribute("pcu") = "PCU0";
        added.append_attribute("text") = "Nieuw";
        added.append_attribute("zam_alarm") = "";
        linkDefs->copyFrom(d);
    }
    form->refillLinkGrid();
    std::vector<std::string> selected;
    for (int r : grid()->selectedRows()) selected.push_back(grid()->linkRow(r).cell(2));
    EXPECT_EQ(selected, (std::vector<std::string>{"Kas 2", "Serre", "Kas 3"}));

    // With nothing selected, Assign says so instead of doing nothing in silence.
    grid()->clearSelection();
    clickNode("Storing (2)");
    const std::string before = linkDefsFile();
    click("tbConnect");
    EXPECT_EQ(linkDefsFile(), before);
    EXPECT_EQ(form->messages, std::vector<QString>{"No row of the grid is selected."});
    click("tbDeleteGroup");  // so does Delete group
    EXPECT_EQ(linkDefsFile(), before);
    EXPECT_EQ(form->messages.size(), 2u);
}

TEST_F(EditingTest, ExplainShowsTheRouteOfTheSelectedRowUnderTheWindowsOptions) {
    QStringList shown;
    auto keep = [&shown](RouteDialog* dialog) {
        EXPECT_TRUE(child<QPlainTextEdit>(dialog, "txtRoute")->isReadOnly());
        shown << dialog->explanation();
        dialog->reject();
    };
    ModalScript<RouteDialog> script({keep, keep});
    // Kas 1's exception of type 12 by the tool button, with PCU names switched off.
    child<QCheckBox>(form.get(), "cbPCU")->setChecked(false);
    selectRows(2, 2);
    click("tbExplain");
    // The general exception by the grid's context menu.
    selectRows(7, 7);
    auto* explain = child<QAction>(grid(), "actExplain");
    EXPECT_EQ(explain->text(), "Explain the route of the selected row");
    explain->trigger();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[0].contains("Rule: exception of the location\n")) << shown[0].toStdString();
    EXPECT_TRUE(shown[0].contains(R"(<Except nr="12" text="Pomp storing" zam_alarm="0001 - 02"/>)"));
    // Without the PCU name, as the Priva Office page now says.
    EXPECT_TRUE(shown[0].contains("Raise sends: [ZAM RCVALARM 02,0001,02,T,,Kas1 Pomp storing]\n"));
    EXPECT_TRUE(shown[1].contains("Rule: general exception\n")) << shown[1].toStdString();
}

TEST_F(EditingTest, TheExceptionsDialogOpensOnItsFirstRowAndSaysWhenNothingIsChosen) {
    start("NLD", kLinkDefs, kZamDefs);
    selectRows(3, 3);  // Kas 2
    ModalScript<ExceptionsDialog> script({[this](ExceptionsDialog* dialog) {
        // The long Dutch caption keeps clear of the button's edges.
        auto* add = child<QPushButton>(dialog, "OKBtn");
        EXPECT_GE(add->width(), add->fontMetrics().horizontalAdvance(add->text()) + 20) << add->text().toStdString();
        QTableWidget* types = dialog->findChild<QTableWidget*>("sgExcept");
        EXPECT_EQ(types->selectionModel()->selectedRows().size(), 1);
        types->clearSelection();
        clickButton(dialog, "OKBtn");
        EXPECT_TRUE(dialog->isVisible()) << "nothing chosen: the dialog stays";
        EXPECT_EQ(form->messages, std::vector<QString>{"Er is geen alarm geselecteerd."});
        types->selectRow(0);
        clickButton(dialog, "OKBtn");
    }});
    click("tbAddExcept");
    ASSERT_EQ(script.shown(), 1u);
    EXPECT_EQ(attr(location(onDisk(kLinkDefsFile), "Kas 2").child("Except"), "nr"), "12");
}

TEST_F(EditingTest, AnImportFileThatIsThereButUnreadableIsNotCalledMissing) {
    const std::string folder = dir.file("folder.xml");
    std::filesystem::create_directories(folder);
    form->openFile = QString::fromStdString(folder);
    click("tbImport");
    ASSERT_EQ(form->messages.size(), 1u);
    EXPECT_TRUE(form->messages[0].startsWith("File cannot be read: " + form->openFile + "\n"))
        << form->messages[0].toStdString();
    EXPECT_FALSE(form->messages[0].endsWith("\n"));
}

}  // namespace
