#pragma once
// The operator's window: the link configuration page, the receiver page, the
// Priva Office page and the active alarms in tabs, the status bar and the tray icon. It normally lives
// hidden behind the tray icon; the runtime reaches it only through WindowPort.
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <string>

#include "logic/core/settings.h"
#include "logic/xml/xmlstore.h"
#include "runtime/windowport.h"
#include "ui/operatorprompts.h"

class QLabel;
class QSystemTrayIcon;
class QTabWidget;

namespace zampo {

class AlarmStatusPage;
class Clock;
class DataPaths;
class LinkPage;
class OfficePage;
class ReceiverPage;
class StatusImagePanel;

// Qt's own texts (Yes/No, OK/Cancel, the file dialogs) in the language of the
// table: Dutch for "NLD", Qt's English otherwise. False when Qt's Dutch
// translation is not installed.
bool installQtTranslations(const std::string& language);

class MainWindow : public QMainWindow, public WindowPort, protected OperatorPrompts {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Looks up every caption and hint in the loaded text table. Called once at
    // start-up; a change of language shows at the next start.
    void applyTexts();
    // The tray icon's tooltip follows the caption.
    void setCaption(const QString& caption);

    void showSettings(const Settings& settings);
    // The settings as the operator left them; fields the window does not show
    // keep the values last passed to showSettings.
    Settings editedSettings() const;

    // The documents and paths of the link page (see LinkPage).
    void attachDocuments(DocumentSlot& zamDefs, DocumentSlot& linkDefs);
    void attachDataPaths(DataPaths& paths);
    // The alarm status the active-alarms page shows, read at the clock's time.
    void attachAlarmStatus(DocumentSlot& alarmStatus, const Clock& clock);
    // The active-alarms page anew from the documents; at once when it shows,
    // else when it is next shown.
    void refreshAlarmStatusPage();
    void fillZamTree();
    void fillLinkGrid();
    // The assign buttons and details for the tree's selection (none at start-up).
    void showSelectedZamItem();

    QTabWidget* pages() const { return pages_; }

    // Behind the tray icon; minimised where the desktop has no tray.
    void hideToTray();

    // WindowPort
    void setStatusText(const std::string& text) override;
    void showFaultStatus(FaultStatus shownStatus) override;
    void addListLine(LogChannel channel, const std::string& line) override;
    // Many lines at once, the newest selected once; each list keeps its newest lines.
    void addListLines(LogChannel channel, const QStringList& lines);
    void refillLinkGrid() override;
    void alarmStatusWalked() override;

public slots:
    // Brings the window back from the tray (or from the task bar) to the front.
    void restoreFromTray();

signals:
    void refreshRequested();
    void sendTestRequested(const QString& location, const QString& input, const QString& state);
    // The operator asked to close; the window stays open until the program ends.
    void closeRequested();
    // The grid has been rebuilt because the link definitions changed on disk.
    void linkGridRefillRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Whether hiding the window leaves a tray icon to bring it back by.
    virtual bool trayAvailable() const;

    // OperatorPrompts: message boxes and the platform's file dialogs.
    void showMessage(const QString& text) override;
    bool askYesNo(Question kind, const QString& text) override;
    QString askOpenFileName(const QString& title, const QString& directory, const QString& filter) override;
    QString askSaveFileName(const QString& title, const QString& proposedPath, const QString& filter) override;

private:
    void buildStatusBar();
    void buildTray();
    // The link page with the location's row selected and shown.
    void showLinkOf(const QString& pcu, const QString& location);

    Settings shown_;
    QTabWidget* pages_ = nullptr;
    LinkPage* linkPage_ = nullptr;
    ReceiverPage* receiverPage_ = nullptr;
    OfficePage* officePage_ = nullptr;
    AlarmStatusPage* alarmPage_ = nullptr;
    DocumentSlot* zamDefs_ = nullptr;
    DocumentSlot* linkDefs_ = nullptr;
    DocumentSlot* alarmStatus_ = nullptr;
    const Clock* clock_ = nullptr;
    bool alarmPageStale_ = false;
    StatusImagePanel* statusImage_ = nullptr;
    QLabel* statusText_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
};

}  // namespace zampo
