#include "app/windowsession.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QMessageBox>
#include <QSpinBox>

#include "app/windowapplication.h"
#include "logic/core/settings.h"
#include "logic/diag/exceptionreport.h"
#include "logic/diag/logwriter.h"
#include "logic/language/langtext.h"
#include "runtime/threadhandoff.h"
#include "ui/mainwindow.h"

namespace zampo {

const char* fileVersion() {
    return ZAMPO_VERSION_TEXT;
}

WindowSession::WindowSession(MainWindow& window, GatewayRuntime& gateway, WindowApplication* app)
    : QObject(&window), window_(window), gateway_(gateway), app_(app) {
    window_.attachDocuments(gateway_.zamDefs(), gateway_.linkDefs());
    window_.attachDataPaths(gateway_.paths());
    window_.attachAlarmStatus(gateway_.alarmStatus(), gateway_.clock());
    connect(&window_, &MainWindow::closeRequested, this, &WindowSession::askToClose);
    connect(&window_, &MainWindow::refreshRequested, this, [this] { gateway_.requestDefinitions(); });
    connect(&window_, &MainWindow::sendTestRequested, this,
            [this](const QString& location, const QString& input, const QString& st) {
                gateway_.receiver().sendTestMessage(location.toStdString(), input.toStdString(), st.toStdString());
            });
    connect(&gateway_, &GatewayRuntime::stopped, this, [this] { terminate(); });
    confirm = [this](const std::string& title, const std::string& text) {
        return QMessageBox::question(&window_, QString::fromStdString(title), QString::fromStdString(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    // exit, not quit: quit asks the window to close, and the window refuses.
    terminate = [] { QCoreApplication::exit(0); };
    // Log lines of the two lists come from any thread; the lists live in this one.
    // Shown a batch at a time, so that a storm's lines never hold up the loop.
    MainWindow* f = &window_;
    listLines_ = new ListLineBatcher(
        [f](int channel, const QStringList& lines) { f->addListLines(static_cast<LogChannel>(channel), lines); }, this);
    logWriter().setListSink(
        [batcher = listLines_](int channel, const std::string& line) { batcher->add(channel, line); });
}

WindowSession::~WindowSession() {
    logWriter().setListSink({});
}

void WindowSession::start() {
    gateway_.prepare();
    try {
        fillWindow();
    } catch (...) {
        // Whatever failed, the machines must run: the gateway is unattended.
        const ErrorInfo error = describeError(std::current_exception());
        writeLog("Start-up not completed: " + error.message + " (" + error.className + "); starting anyway",
                 kLogFileOnly);
    }
    followOperatorChanges();
    gateway_.startMachines();
}

void WindowSession::startAsEditor(const std::string& whyNotForwarding) {
    editor_ = true;
    gateway_.prepareEditor();
    if (!whyNotForwarding.empty()) writeLog("Editor only: " + whyNotForwarding, kLogFileOnly);
    fillWindow();
    followOperatorChanges();
    // Both would wait on a loop and a connection that only the service has.
    for (const char* name : {"SendButton", "tbRefresh"})
        if (auto* w = window_.findChild<QWidget*>(name)) w->setEnabled(false);
    window_.setStatusText(whyNotForwarding.empty() ? langText(TextId::EditorServiceForwards)
                                                   : "Editor only: " + whyNotForwarding);
}

void WindowSession::fillWindow() {
    caption_ = std::string("ZAM-Pro - Priva Office (") + fileVersion() + ") ";
    window_.setCaption(QString::fromStdString(caption_));
    if (!installQtTranslations(gateway_.settings().language))
        writeLog("Qt's Dutch texts not found; its buttons and file dialogs stay English", kLogFileOnly);
    window_.applyTexts();
    window_.pages()->setCurrentIndex(0);
    if (app_) app_->floodGuard().reset();
    // Nothing is selected yet: both assign buttons off, no details.
    window_.showSelectedZamItem();
    window_.showSettings(gateway_.settings());
    window_.fillZamTree();
    window_.fillLinkGrid();
}

void WindowSession::followOperatorChanges() {
    // The two check boxes take effect at once, through the gateway's settings. The
    // watchdog ID does not: every step of its spin box would go on the wire, and each
    // may be another client's ID. It is saved at the close and taken at the next start.
    if (auto* box = window_.findChild<QCheckBox*>("cbPCU"))
        connect(box, &QCheckBox::toggled, this, [this](bool on) { gateway_.setSendPcuNames(on); });
    if (auto* box = window_.findChild<QCheckBox*>("cbPunct"))
        connect(box, &QCheckBox::toggled, this, [this](bool on) { gateway_.setFilterPunctuation(on); });
}

void WindowSession::askToClose() {
    if (editor_) {  // the service forwards on: nothing to warn about
        closeConfirmed();
        return;
    }
    const std::string text = langText(TextId::ExitStopsForwarding) + "\n" + langText(TextId::ExitQuestion);
    if (!confirm(langText(TextId::ExitWarningTitle), text)) return;
    closeConfirmed();
}

void WindowSession::closeConfirmed() {
    if (gateway_.stopRequested()) return;
    saveSettings(gateway_.paths().settingsFile(), window_.editedSettings());
    if (editor_) {  // no loop to wait for; the service takes the settings at its next reload
        terminate();
        return;
    }
    gateway_.requestStop();
}

}  // namespace zampo
