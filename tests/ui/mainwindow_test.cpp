#include "ui/mainwindow.h"
#include "ui/officepage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSplitter>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "logic/language/langtext.h"
#include "support/windowsetup.h"
#include "ui/imagelists.h"
#include "ui/statusimagepanel.h"

using namespace zampo;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLangTexts();
        loadLangTexts("ENG");
    }
    void TearDown() override { resetLangTexts(); }

    template <class W = QWidget>
    W* child(const QWidget& form, const char* name) {
        W* w = form.findChild<W*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
};

// A desktop with a tray, which the offscreen platform lacks.
class TrayedWindow : public MainWindow {
protected:
    bool trayAvailable() const override { return true; }
};

QImage panelPicture(QWidget* panel) {
    QImage shot = panel->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    return shot.copy(QRect(static_cast<QFrame*>(panel)->contentsRect().topLeft(), QSize(16, 16)));
}

QImage expectedPicture(const QWidget* panel, int image) {
    QImage expected(16, 16, QImage::Format_ARGB32);
    expected.fill(panel->palette().color(QPalette::Button));
    if (image >= 0) {
        QPainter p(&expected);
        p.drawPixmap(0, 0, statusImage(image));
    }
    return expected;
}

}  // namespace

TEST_F(MainWindowTest, DutchTextsWithTheirAppendedBlanks) {
    resetLangTexts();
    loadLangTexts("NLD");
    MainWindow form;
    form.applyTexts();
    EXPECT_EQ(form.pages()->tabText(0), "Koppeling instellen");
    EXPECT_EQ(form.pages()->tabText(1), "ZAM-Pro tcp/IP koppeling");
    EXPECT_EQ(child<QLabel>(form, "lblFilter")->text(), "Filter: ");
    EXPECT_EQ(child<QLabel>(form, "lblReceiverSettings")->text(), "Instellingen ");
    EXPECT_EQ(child<QLabel>(form, "lblOfficeSettings")->text(), "Instellingen ");
    EXPECT_EQ(child<QLabel>(form, "lblTestHeading")->text(), "Test ");
    EXPECT_EQ(child<QGroupBox>(form, "grpLanguage")->title(), "Taal: ");
    EXPECT_EQ(child<QPushButton>(form, "btnClear")->text(), "Wis scherm");
    EXPECT_EQ(child<QPushButton>(form, "btnClearComDebug")->text(), "Wis scherm");
    EXPECT_EQ(child<QToolButton>(form, "tbRefresh")->toolTip(), "Ververs Priva Office definities");
    // The language names are not translated.
    EXPECT_EQ(child<QRadioButton>(form, "rbEnglish")->text(), "English");
    EXPECT_EQ(child<QRadioButton>(form, "rbDutch")->text(), "Nederlands");
}

TEST_F(MainWindowTest, AnEmptyTableShowsTheCallersOwnDefaults) {
    resetLangTexts();
    loadLangTexts("");
    MainWindow form;
    form.applyTexts();
    EXPECT_EQ(form.pages()->tabText(1), "_Zam tcp/IP settings");
    EXPECT_EQ(child<QToolButton>(form, "tbRefresh")->toolTip(), "_Refresh Priva Office Definitions");
    EXPECT_EQ(child<QLabel>(form, "lblZamHost")->text(), "_ZAM-Pro server hostname or address:");
    EXPECT_EQ(child<QLabel>(form, "lblPoHost")->text(), "_PO server hostname or address:");
    EXPECT_EQ(child<QLabel>(form, "lblFilter")->text(), "_Filter: ");
    EXPECT_EQ(child<QLabel>(form, "lblOfficeSettings")->text(), "_Settings: ");
}

TEST_F(MainWindowTest, ToolButtonsShowIconsAndHintsAndReportClicks) {
    MainWindow form;
    form.applyTexts();
    const std::pair<const char*, const char*> hints[] = {
        {"tbAddExcept", "Add exception"},
        {"tbDeleteExcept", "Remove selected exceptions"},
        {"tbConnect", "Assign alarm to selected items"},
        {"tbGroup", "Assign group alarm to selected items"},
        {"tbDeleteGroup", "Delete group alarm from selected items"},
        {"tbAdd", "Add alarm or location"},
        {"tbDelete", "Delete selected alarm or location"},
        {"tbEdit", "Edit selected alarm or location"},
        {"tbImport", "Import locations and alarms from ZAM-Pro"},
        {"tbExport", "Export locations and alarms to ZAM-Pro"},
    };
    EXPECT_FALSE(child<QToolButton>(form, "tbConnect")->isEnabled());
    EXPECT_FALSE(child<QToolButton>(form, "tbGroup")->isEnabled());
    // What each of these clicks does, editing_test.cpp checks by its effect on the files.
    for (const auto& [name, hint] : hints) {
        auto* button = child<QToolButton>(form, name);
        EXPECT_EQ(button->toolTip(), hint) << name;
        EXPECT_FALSE(button->icon().isNull()) << name;
    }

    auto* refresh = child<QToolButton>(form, "tbRefresh");
    EXPECT_EQ(refresh->toolTip(), "Refresh Priva Office definitions");
    QSignalSpy refreshSpy(&form, &MainWindow::refreshRequested);
    refresh->click();
    EXPECT_EQ(refreshSpy.count(), 1);
}

TEST_F(MainWindowTest, StatusImageShowsTheLatestFault) {
    MainWindow form;
    form.show();
    auto* panel = child(form, "sBarImage");
    EXPECT_EQ(child<StatusImagePanel>(form, "sBarImage")->shownImage(), -1);
    EXPECT_EQ(panelPicture(panel), expectedPicture(panel, -1));

    form.setStatusText("Error connecting to ZamMeld");
    form.showFaultStatus(kFaultReceiver);
    EXPECT_EQ(child<StatusImagePanel>(form, "sBarImage")->shownImage(), 1);
    EXPECT_EQ(panelPicture(panel), expectedPicture(panel, 1));

    form.setStatusText("Error communicating with PO server");
    form.showFaultStatus(kFaultPriva);
    EXPECT_EQ(child<StatusImagePanel>(form, "sBarImage")->shownImage(), 0);
    EXPECT_EQ(panelPicture(panel), expectedPicture(panel, 0));
    EXPECT_EQ(child<QLabel>(form, "sBarText")->text(), "Error communicating with PO server");
    EXPECT_NE(expectedPicture(panel, 0), expectedPicture(panel, 1));

    form.setStatusText("Application running");
    form.showFaultStatus(kFaultNone);
    EXPECT_EQ(child<StatusImagePanel>(form, "sBarImage")->shownImage(), -1);
    EXPECT_EQ(panelPicture(panel), expectedPicture(panel, -1));
}

TEST_F(MainWindowTest, ListsKeepTheirLinesUntilTheirOwnButtonClearsThem) {
    MainWindow form;
    form.addListLine(kLogReceiverList, "10:00:00 Send: [ZAM RCVALARM 02,0001,01,T,,Pump]");
    form.addListLine(kLogReceiverList, "10:00:01 Recv: OK");
    form.addListLine(kLogPoList, "10:00:02 Alarm status changed: Pump");
    form.addListLine(kLogFileOnly, "log file only");
    ASSERT_EQ(child<QListWidget>(form, "lbxDebug")->count(), 2);
    EXPECT_EQ(child<QListWidget>(form, "lbxDebug")->currentRow(), 1);  // the newest line is selected
    EXPECT_EQ(child<QListWidget>(form, "lbxComDebug")->count(), 1);

    child<QPushButton>(form, "btnClear")->click();
    EXPECT_EQ(child<QListWidget>(form, "lbxDebug")->count(), 0);
    EXPECT_EQ(child<QListWidget>(form, "lbxComDebug")->count(), 1);
    child<QPushButton>(form, "btnClear")->click();
    EXPECT_EQ(child<QListWidget>(form, "lbxDebug")->count(), 0);
    child<QPushButton>(form, "btnClearComDebug")->click();
    EXPECT_EQ(child<QListWidget>(form, "lbxComDebug")->count(), 0);

    // A batch: the newest line selected, the oldest beyond the list's bound gone.
    QStringList many;
    for (int i = 0; i < OfficePage::kMaxListLines + 10; ++i) many << QString::number(i);
    form.addListLines(kLogPoList, many);
    auto* list = child<QListWidget>(form, "lbxComDebug");
    ASSERT_EQ(list->count(), OfficePage::kMaxListLines);
    EXPECT_EQ(list->item(0)->text(), "10");
    EXPECT_EQ(list->currentRow(), list->count() - 1);
    EXPECT_EQ(child<QListWidget>(form, "lbxDebug")->count(), 0);
}

TEST_F(MainWindowTest, SettingsComeBackAsTheOperatorLeftThem) {
    MainWindow form;
    Settings in;
    in.zamHost = " 10.1.2.3 ";
    in.zamPort = 9001;
    in.poHost = "po-server";
    in.sendPcu = false;
    in.filterPunct = true;
    in.watchdogId = 0;
    in.language = "NLD";
    in.trace = true;
    form.showSettings(in);
    EXPECT_FALSE(child<QCheckBox>(form, "cbPCU")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(form, "cbPunct")->isChecked());
    const Settings out = form.editedSettings();
    EXPECT_EQ(out.zamHost, " 10.1.2.3 ");  // trimming is the saver's business
    EXPECT_EQ(out.zamPort, 9001);
    EXPECT_EQ(out.poHost, "po-server");
    EXPECT_FALSE(out.sendPcu);
    EXPECT_TRUE(out.filterPunct);
    EXPECT_EQ(out.watchdogId, 0);
    EXPECT_EQ(out.language, "NLD");
    EXPECT_TRUE(out.trace);

    // The port field takes digits only, five at most; emptied or out of range, it keeps the port.
    auto* port = child<QLineEdit>(form, "edtZamPort");
    port->clear();
    QTest::keyClicks(port, "18a1325");
    EXPECT_EQ(port->text(), "18132");
    EXPECT_EQ(form.editedSettings().zamPort, 18132);
    port->clear();
    EXPECT_EQ(form.editedSettings().zamPort, 9001);
    QTest::keyClicks(port, "99999");
    EXPECT_EQ(form.editedSettings().zamPort, 9001);

    in.watchdogId = 12;
    form.showSettings(in);
    EXPECT_EQ(form.editedSettings().watchdogId, 1);
}

TEST_F(MainWindowTest, OnlyExactNldChoosesNederlands) {
    MainWindow form;
    auto* dutch = child<QRadioButton>(form, "rbDutch");
    for (const char* language : {"nld", "Nld", "NLD ", "ENG", ""}) {
        Settings s;
        s.language = "NLD";
        form.showSettings(s);
        s.language = language;
        form.showSettings(s);
        EXPECT_FALSE(dutch->isChecked()) << language;
        EXPECT_EQ(form.editedSettings().language, "ENG") << language;
    }
}

TEST_F(MainWindowTest, ClickingASwitchLabelFlipsTheSwitch) {
    MainWindow form;
    form.applyTexts();
    form.show();
    const bool before = child<QCheckBox>(form, "cbPCU")->isChecked();
    QTest::mouseClick(child(form, "lblSendPcu"), Qt::LeftButton);
    EXPECT_NE(child<QCheckBox>(form, "cbPCU")->isChecked(), before);
    QTest::mouseClick(child(form, "lblFilterPunct"), Qt::LeftButton);
    EXPECT_TRUE(child<QCheckBox>(form, "cbPunct")->isChecked());
}

TEST_F(MainWindowTest, TestPanelAndCloseAreHandedToTheGateway) {
    MainWindow form;
    form.show();
    QSignalSpy send(&form, &MainWindow::sendTestRequested);
    child<QPushButton>(form, "SendButton")->click();
    ASSERT_EQ(send.count(), 1);
    EXPECT_EQ(send[0][0].toString(), "000001");
    EXPECT_EQ(send[0][1].toString(), "01");
    EXPECT_EQ(send[0][2].toString(), "A");

    // Closing needs the operator's confirmation, which the gateway asks for.
    QSignalSpy closing(&form, &MainWindow::closeRequested);
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(closing.count(), 1);

    form.setCaption("ZAM-Pro - Priva Office (1.2.3.4) ");
    EXPECT_EQ(child<QSystemTrayIcon>(form, "trayIcon")->toolTip(), "ZAM-Pro - Priva Office (1.2.3.4) ");
}

TEST_F(MainWindowTest, WithoutATrayTheWindowIsNeverHidden) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) GTEST_SKIP() << "this desktop has a tray";
    MainWindow fresh;  // hidden at first, as during start-up
    fresh.hideToTray();
    EXPECT_TRUE(fresh.isVisible());
    EXPECT_TRUE(fresh.isMinimized());

    MainWindow form;
    form.showNormal();
    form.showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(form.isVisible());
    form.restoreFromTray();
    EXPECT_FALSE(form.isMinimized());
    form.hideToTray();
    QApplication::processEvents();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.isMinimized());
}

TEST_F(MainWindowTest, WithATrayMinimisingHidesAndTheTrayBringsItBack) {
    TrayedWindow form;
    form.showNormal();
    form.showMinimized();
    QApplication::processEvents();
    EXPECT_FALSE(form.isVisible());

    emit child<QSystemTrayIcon>(form, "trayIcon")->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowStaysOnTopHint);

    form.hideToTray();
    EXPECT_FALSE(form.isVisible());
    emit child<QSystemTrayIcon>(form, "trayIcon")->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(MainWindowTest, RegionsKeepTheirSizesAsTheWindowGrows) {
    MainWindow form;
    form.applyTexts();
    form.showNormal();
    const QColor scheme(43, 32, 78);
    for (QSize size : {QSize(950, 577), QSize(1280, 760)}) {
        form.resize(size);
        for (int page = 0; page < 3; ++page) {
            form.pages()->setCurrentIndex(page);
            QApplication::processEvents();
        }
        form.pages()->setCurrentIndex(0);
        QApplication::processEvents();
        EXPECT_EQ(child(form, "pnlZamRegion")->width(), 223);
        EXPECT_EQ(child<QSplitter>(form, "splLinkPage")->handleWidth(), 7);
        EXPECT_EQ(child(form, "pnlOfficeHeading")->height(), 24);
        EXPECT_EQ(child(form, "pnlZamHeading")->height(), 24);
        EXPECT_EQ(child(form, "grpLinkFilter")->height(), 103);
        EXPECT_EQ(child(form, "vleTree")->height(), 119);
        form.pages()->setCurrentIndex(1);
        QApplication::processEvents();
        EXPECT_EQ(child(form, "pnlReceiverColumn")->width(), 137);
        EXPECT_EQ(child(form, "pnlReceiverSettings")->height(), 312);
        EXPECT_EQ(child(form, "pnlReceiverClear")->height(), 49);
        form.pages()->setCurrentIndex(2);
        QApplication::processEvents();
        EXPECT_EQ(child(form, "pnlOfficeColumn")->width(), 136);
        EXPECT_EQ(child(form, "pnlOfficeSettings")->height(), 333);
        EXPECT_EQ(child<QListWidget>(form, "lbxComDebug")->width(), 790);
        EXPECT_EQ(child<QListWidget>(form, "lbxComDebug")->geometry().right(),
                  child<QListWidget>(form, "lbxComDebug")->parentWidget()->width() - 1);
    }
    for (const char* name : {"pnlOfficeHeading", "pnlZamHeading", "pnlReceiverSettings", "pnlOfficeSettings"})
        EXPECT_EQ(child(form, name)->palette().color(QPalette::Window), scheme) << name;
    const QFont heading = child(form, "lblOfficeHeading")->font();
    EXPECT_TRUE(heading.bold());
    EXPECT_EQ(heading.pixelSize(), 13);
    EXPECT_EQ(child(form, "lblOfficeHeading")->palette().color(QPalette::WindowText), QColor(Qt::white));
}

namespace {

// The window's own message box and question, answered by whoever looks at them.
class PromptingWindow : public MainWindow {
public:
    using MainWindow::askYesNo;
    using MainWindow::showMessage;
};

// Runs look on the next modal message box, then closes it with its last button.
void onNextMessageBox(std::function<void(QMessageBox*)> look) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, look] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        look(box);
        box->buttons().last()->click();
    });
    timer->start(5);
}

}  // namespace

TEST_F(MainWindowTest, TheTestLocationTakesSixDigits) {
    MainWindow form;
    form.show();
    QSignalSpy send(&form, &MainWindow::sendTestRequested);
    auto* location = child<QLineEdit>(form, "medtLocatie");
    auto* button = child<QPushButton>(form, "SendButton");
    location->setFocus();
    location->selectAll();
    QTest::keyClick(location, Qt::Key_Delete);
    QTest::keyClicks(location, "00001");
    QTest::mouseClick(button, Qt::LeftButton);
    button->click();
    EXPECT_EQ(send.count(), 0);
    QTest::keyClicks(location, "2");
    button->click();
    ASSERT_EQ(send.count(), 1);
    EXPECT_EQ(send[0][0].toString(), "000012");
}

TEST_F(MainWindowTest, MessageBoxesCarryTheCaptionAndSpeakDutchWithTheTable) {
    PromptingWindow form;
    form.setCaption("ZAM-Pro - Priva Office (1.2.3.4) ");
    form.show();
    QString title;
    onNextMessageBox([&](QMessageBox* box) { title = box->windowTitle(); });
    form.showMessage("Saved");
    EXPECT_EQ(title, "ZAM-Pro - Priva Office (1.2.3.4) ");

    ASSERT_TRUE(installQtTranslations("NLD")) << "Qt's Dutch translations (qt6-translations-l10n) are missing";
    QStringList buttons;
    onNextMessageBox([&](QMessageBox* box) {
        for (QAbstractButton* b : box->buttons()) buttons << b->text().remove(QLatin1Char('&'));
        title = box->windowTitle();
    });
    form.askYesNo(OperatorPrompts::Question::Confirmation, "Doorgaan?");
    installQtTranslations("ENG");
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"Ja", "Nee"}));
    EXPECT_EQ(title, "ZAM-Pro - Priva Office (1.2.3.4) ");
}

TEST_F(MainWindowTest, FilterCaptionsKeepClearOfEachOtherAndInsideTheirFrame) {
    loadLangTexts("NLD");
    MainWindow form;
    test::showWindow(form);
    for (int i = 1; i <= 5; ++i) {
        auto* box = child<QCheckBox>(form, ("cbFilter" + std::to_string(i)).c_str());
        EXPECT_LE(box->sizeHint().width(), box->width()) << box->text().toStdString();
        if (i == 5) break;
        auto* next = child<QCheckBox>(form, ("cbFilter" + std::to_string(i + 1)).c_str());
        EXPECT_LT(box->geometry().right() + 1, next->geometry().left()) << box->text().toStdString();
    }
    // The frame's top line, as painted: the first row drawn in one colour across the box.
    auto* frame = child<QGroupBox>(form, "grpLinkFilter");
    const QImage picture = frame->grab().toImage();
    const QColor background = frame->palette().color(QPalette::Window);
    int line = -1;
    for (int y = 0; y < picture.height() && line < 0; ++y) {
        int same = 0;
        for (int x = 10; x < picture.width() - 10; ++x)
            same += picture.pixelColor(x, y) == picture.pixelColor(10, y) && picture.pixelColor(x, y) != background;
        if (same > (picture.width() - 20) * 9 / 10) line = y;
    }
    const QLabel* caption = child<QLabel>(form, "lblFilter");
    ASSERT_TRUE(caption && line >= 0);
    EXPECT_LT(line, caption->geometry().top()) << "the caption sits above the frame";
}

int main(int argc, char** argv) {
    // Widget tests never need a display, also when the test list is read at build time.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
