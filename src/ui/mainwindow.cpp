#include "ui/mainwindow.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QTranslator>

#include "logic/alarmstatus/alarmstatusrows.h"
#include "logic/core/clock.h"
#include "ui/alarmstatuspage.h"
#include "ui/imagelists.h"
#include "ui/linkpage.h"
#include "ui/officepage.h"
#include "ui/receiverpage.h"
#include "ui/statusimagepanel.h"
#include "ui/widgettext.h"

namespace zampo {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    // The layout was drawn for an 8-point sans serif. "MS Sans Serif" does not
    // exist on Linux, so the desktop's own sans at 8 points stands in.
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setPointSize(8);
    setFont(f);
    setWindowIcon(applicationIcon());

    pages_ = named(new QTabWidget, "tabPages");
    linkPage_ = named(new LinkPage(*this), "tbsLinkSettings");
    receiverPage_ = named(new ReceiverPage, "tbsIP");
    officePage_ = named(new OfficePage, "tbsOffice");
    pages_->addTab(linkPage_, QString());
    pages_->addTab(receiverPage_, QString());
    pages_->addTab(officePage_, QString());
    alarmPage_ = named(new AlarmStatusPage, "tbsActiveAlarms");
    pages_->addTab(alarmPage_, QString());
    connect(pages_, &QTabWidget::currentChanged, this, [this] {
        if (alarmPageStale_ && pages_->currentWidget() == alarmPage_) refreshAlarmStatusPage();
    });
    connect(alarmPage_, &AlarmStatusPage::showLinkRequested, this, &MainWindow::showLinkOf);
    pages_->setCurrentIndex(0);
    setCentralWidget(pages_);
    connect(linkPage_, &LinkPage::refreshRequested, this, &MainWindow::refreshRequested);
    // The explanation builds its lines with the options as the operator sees them.
    linkPage_->textOptions = [this] {
        const Settings s = editedSettings();
        return TextOptions{s.sendPcu, s.filterPunct};
    };
    connect(receiverPage_, &ReceiverPage::sendTestRequested, this, &MainWindow::sendTestRequested);

    buildStatusBar();
    buildTray();

    resize(950, 577);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

MainWindow::~MainWindow() {
    // The child widgets outlive this part of the window; none may call back into it.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

void MainWindow::buildStatusBar() {
    auto* bar = named(new QStatusBar, "sBar");
    statusImage_ = new StatusImagePanel;
    statusText_ = named(new QLabel, "sBarText");
    statusText_->setFixedWidth(400);
    auto* empty = named(new QLabel, "sBarEmpty");
    empty->setFixedWidth(50);
    for (QLabel* panel : {statusText_, empty}) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setIndent(3);
    }
    bar->addWidget(statusImage_);
    bar->addWidget(statusText_);
    bar->addWidget(empty);
    setStatusBar(bar);
}

void MainWindow::buildTray() {
    tray_ = new QSystemTrayIcon(applicationIcon(), this);
    tray_->setObjectName(QStringLiteral("trayIcon"));
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // Trays that speak the StatusNotifier protocol report a plain
        // activation instead of a double click; either must bring the window back.
        if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) restoreFromTray();
    });
    // Where no tray exists yet, Qt adds the icon when one appears.
    tray_->show();
}

void MainWindow::applyTexts() {
    pages_->setTabText(0, uiText(TextId::LinkPageTab));
    pages_->setTabText(1, uiText(TextId::ReceiverPageTab));
    pages_->setTabText(2, uiText(TextId::OfficePageTab));
    pages_->setTabText(3, uiText(TextId::ActiveAlarms));
    alarmPage_->applyTexts();
    linkPage_->applyTexts();
    receiverPage_->applyTexts();
    officePage_->applyTexts();
}

bool installQtTranslations(const std::string& language) {
    static QTranslator* installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    if (language != "NLD") return true;
    auto* translator = new QTranslator;
    // qtbase_nl holds the buttons and the file dialogs (Debian: qt6-translations-l10n).
    if (!translator->load(QStringLiteral("qtbase_nl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

void MainWindow::setCaption(const QString& caption) {
    setWindowTitle(caption);
    tray_->setToolTip(caption);
}

void MainWindow::showSettings(const Settings& settings) {
    shown_ = settings;
    receiverPage_->showSettings(settings);
    officePage_->showSettings(settings);
}

Settings MainWindow::editedSettings() const {
    Settings s = shown_;
    receiverPage_->takeEdits(s);
    officePage_->takeEdits(s);
    return s;
}

void MainWindow::attachDocuments(DocumentSlot& zamDefs, DocumentSlot& linkDefs) {
    zamDefs_ = &zamDefs;
    linkDefs_ = &linkDefs;
    linkPage_->attachDocuments(zamDefs, linkDefs);
    alarmPage_->model()->setRouteDocuments(&linkDefs, &zamDefs);
}

void MainWindow::attachDataPaths(DataPaths& paths) {
    linkPage_->attachDataPaths(paths);
}

void MainWindow::attachAlarmStatus(DocumentSlot& alarmStatus, const Clock& clock) {
    alarmStatus_ = &alarmStatus;
    clock_ = &clock;
}

void MainWindow::refreshAlarmStatusPage() {
    if (!alarmStatus_ || !clock_) return;
    // Hidden, the page waits: the walk should not pay for rows nobody looks at.
    alarmPageStale_ = pages_->currentWidget() != alarmPage_;
    if (alarmPageStale_) return;
    auto doc = [](DocumentSlot* slot) { return slot ? slot->get() : nullptr; };
    std::vector<AlarmStatusRow> rows = alarmPage_->model()->takeSpareRows();
    buildAlarmStatusRows(doc(alarmStatus_), doc(linkDefs_), doc(zamDefs_), clock_->nowUtc(), rows,
                         alarmPage_->model()->rows());
    alarmPage_->showRows(std::move(rows));
}

void MainWindow::alarmStatusWalked() {
    refreshAlarmStatusPage();
}

void MainWindow::showLinkOf(const QString& pcu, const QString& location) {
    pages_->setCurrentWidget(linkPage_);
    linkPage_->showLocation(pcu.toStdString(), location.toStdString());
}

void MainWindow::fillZamTree() {
    linkPage_->fillZamTree();
}

void MainWindow::fillLinkGrid() {
    linkPage_->fillLinkGrid();
}

void MainWindow::showSelectedZamItem() {
    linkPage_->showSelectedZamItem();
}

void MainWindow::restoreFromTray() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    // raise() and activateWindow() bring the window to the front without making
    // it stay on top of other windows.
    raise();
    activateWindow();
}

bool MainWindow::trayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized() || !trayAvailable()) return;
    // Hiding inside the state change would race the window manager's own
    // iconify; let it finish first.
    QTimer::singleShot(0, this, [this] {
        if (isMinimized()) hide();
    });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit closeRequested();
}

void MainWindow::showMessage(const QString& text) {
    QMessageBox::information(this, windowTitle(), text);
}

bool MainWindow::askYesNo(Question kind, const QString& question) {
    QMessageBox box(kind == Question::Warning ? QMessageBox::Warning : QMessageBox::Question, windowTitle(), question,
                    QMessageBox::Yes | QMessageBox::No, this);
    return box.exec() == QMessageBox::Yes;
}

QString MainWindow::askOpenFileName(const QString& title, const QString& directory, const QString& filter) {
    return QFileDialog::getOpenFileName(this, title, directory, filter);
}

QString MainWindow::askSaveFileName(const QString& title, const QString& proposedPath, const QString& filter) {
    return QFileDialog::getSaveFileName(this, title, proposedPath, filter);
}

// WindowPort

void MainWindow::setStatusText(const std::string& text) {
    statusText_->setText(QString::fromStdString(text));
}

void MainWindow::showFaultStatus(FaultStatus shownStatus) {
    statusImage_->setShownStatus(shownStatus);
}

void MainWindow::addListLine(LogChannel channel, const std::string& line) {
    if (channel == 1) receiverPage_->addLine(QString::fromStdString(line));
    if (channel == 2) officePage_->addLine(QString::fromStdString(line));
}

void MainWindow::addListLines(LogChannel channel, const QStringList& lines) {
    if (channel == 1) receiverPage_->addLines(lines);
    if (channel == 2) officePage_->addLines(lines);
}

void MainWindow::hideToTray() {
    // Without a tray a hidden window could never be brought back: minimise it
    // to the task bar instead.
    if (trayAvailable())
        hide();
    else
        showMinimized();
}

void MainWindow::refillLinkGrid() {
    linkPage_->refillLinkGridKeepingFilter();
    emit linkGridRefillRequested();
}

}  // namespace zampo
