#include "app/formlifecycle.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QMessageBox>
#include <filesystem>

#include "app/zamapplication.h"
#include "logic/core/atomicfile.h"
#include "logic/core/inifile.h"
#include "logic/core/settings.h"
#include "logic/diag/exceptionreport.h"
#include "logic/diag/logwriter.h"
#include "logic/diag/tracewriter.h"
#include "logic/texts/langtext.h"
#include "runtime/threadhandoff.h"
#include "ui/mainform.h"

namespace zampo {

const char* fileVersion() {
    return ZAMPO_VERSION_TEXT;
}

FormLifecycle::FormLifecycle(TMainForm& form, DataPaths& paths, const Clock& clock, ZamApplication* app)
    : QObject(&form), form_(form), paths_(paths), clock_(clock), app_(app), runtime_(paths, clock, form, this) {
    closeTimer_.setInterval(100);
    connect(&closeTimer_, &QTimer::timeout, this, &FormLifecycle::closeTimerTimer);
    form_.attachDocuments(runtime_.zamDefs, runtime_.linkDefs);
    form_.attachDataPaths(paths_);
    connect(&form_, &TMainForm::closeRequested, this, &FormLifecycle::formClose);
    connect(&form_, &TMainForm::refreshRequested, this, [this] { runtime_.state.refreshRequest = true; });
    connect(&form_, &TMainForm::sendTestRequested, this,
            [this](const QString& location, const QString& input, const QString& st) {
                runtime_.receiver.sendTestMessage(location.toStdString(), input.toStdString(), st.toStdString());
            });
    confirm = [this](const std::string& title, const std::string& text) {
        return QMessageBox::question(&form_, QString::fromStdString(title), QString::fromStdString(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    // exit, not quit: quit asks the window to close, and the window refuses.
    terminate = [] { QCoreApplication::exit(0); };
    // Log lines of the two lists come from any thread; the lists live in this one.
    TMainForm* f = &form_;
    logWriter().setListSink([f](int channel, const std::string& line) {
        invokeInThreadOf(
            f, [f, channel, line] { f->addListLine(channel, line); }, Qt::AutoConnection);
    });
}

FormLifecycle::~FormLifecycle() {
    logWriter().setListSink({});
}

void FormLifecycle::formCreate() {
    try {
        prepareStart();
    } catch (...) {
        // Whatever failed, the machines must run: the gateway is unattended.
        const ErrorInfo error = describeError(std::current_exception());
        writeLog("Start-up not completed: " + error.message + " (" + error.className + "); starting anyway",
                 kLogFileOnly);
    }
    runtime_.startMachines();
}

void FormLifecycle::prepareStart() {
    const std::string version = fileVersion();
    const std::string settingsFile = paths_.settingsFile();
    logWriter().setFileName(paths_.logFile());

    const std::string language = iniReadString(settingsFile, "PO", "language", "ENG");
    trace_ = iniReadInteger(settingsFile, "PO", "Trace", 0) == 1;
    loadLangTexts(language);

    const std::string poDir = paths_.poDataDir();
    std::error_code ec;
    if (!std::filesystem::exists(poDir + "/LinkDefs.xml", ec))
        std::filesystem::copy_file(paths_.programDir() + "/linkdefs.default", poDir + "/LinkDefs.xml",
                                   std::filesystem::copy_options::skip_existing, ec);

    caption_ = "ZAM-Pro - Priva Office (" + version + ") ";
    form_.setCaption(QString::fromStdString(caption_));
    writeLog("Main form created, program started: version " + version, kLogFileOnly);
    for (const std::string& dir : {paths_.zamDataDir(), poDir})
        for (const std::string& name : removeStaleTemporaryFiles(dir))
            writeLog("Removed " + dir + "/" + name + ", left behind by a save that was cut off", kLogFileOnly);

    form_.applyTexts();
    runtime_.state.shownStatus = 0;
    runtime_.state.mainLoopFinished = false;
    runtime_.state.closingRequest = false;
    form_.pages()->setCurrentIndex(0);

    if (::chdir(paths_.programDir().c_str()) != 0) {
        // Only relative paths would suffer; the gateway uses none.
    }
    if (app_) app_->floodGuard().reset();
    runtime_.state.refreshRequest = false;
    loadAtStartup();
}

void FormLifecycle::loadAtStartup() {
    const std::string settingsFile = paths_.settingsFile();
    traceWriter().setDirectory(paths_.traceDir());
    traceWriter().setEnabled(trace_);
    if (trace_) {
        iniWriteInteger(settingsFile, "PO", "Trace", 1);
        std::error_code ec;
        std::filesystem::create_directory(paths_.traceDir(), ec);
    } else {
        iniWriteInteger(settingsFile, "PO", "Trace", 0);
    }

    // Nothing is selected yet: both assign buttons off, no details.
    form_.tvZamLocClick();
    Settings s = loadSettings(settingsFile);
    form_.showSettings(s);
    // The runtime takes the stored values; only the watchdog ID comes from its field.
    s.watchdogId = form_.editedSettings().watchdogId;
    runtime_.applySettings(s);
    runtime_.openDocuments();
    form_.fillZamTree();
    form_.fillLinkGrid();
}

void FormLifecycle::formClose() {
    const std::string text = langText(1, "Priva Office alarms will no longer be sent to Zam Pro!") + "\n" +
                             langText(2, "Do you really want to exit?");
    if (!confirm(langText(3, "Warning"), text)) return;
    closeConfirmed();
}

void FormLifecycle::closeConfirmed() {
    if (runtime_.state.closingRequest && closeTimer_.isActive()) return;
    Settings edited = form_.editedSettings();
    saveSettings(paths_.settingsFile(), edited);
    runtime_.state.closingRequest = true;
    runtime_.state.mainLoopFinished = false;
    runtime_.state.closeRequestTime = clock_.nowUtc();
    closeTimer_.start();
    writeLog("Start closing application", kLogFileOnly);
}

void FormLifecycle::closeTimerTimer() {
    if (runtime_.state.mainLoopFinished || !withinSeconds(clock_, 10, 0, runtime_.state.closeRequestTime)) {
        closeTimer_.stop();
        terminate();
    }
}

}  // namespace zampo
