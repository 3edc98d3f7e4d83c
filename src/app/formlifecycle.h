#pragma once
// The life of the gateway on its main window: the start-up sequence, the hiding
// into the tray, the confirmed close and the bounded wait for the main loop.
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

#include "logic/core/clock.h"
#include "logic/core/datapaths.h"
#include "runtime/gatewayruntime.h"

namespace zampo {

class TMainForm;
class ZamApplication;

class FormLifecycle : public QObject {
    Q_OBJECT
public:
    FormLifecycle(TMainForm& form, DataPaths& paths, const Clock& clock, ZamApplication* app = nullptr);
    ~FormLifecycle() override;

    // Reads settings and language, prepares the data files and starts both machines.
    void formCreate();
    void loadAtStartup();
    // The operator closes the window: asks first; on Yes saves and starts closing.
    void formClose();
    // A stop asked for from outside (SIGTERM, Ctrl+C): as a confirmed close.
    void closeConfirmed();
    void closeTimerTimer();

    GatewayRuntime& runtime() { return runtime_; }
    QTimer& closeTimer() { return closeTimer_; }
    const std::string& caption() const { return caption_; }

    // Asks a Yes/No question; tests answer it themselves.
    std::function<bool(const std::string& title, const std::string& text)> confirm;
    // Ends the program.
    std::function<void()> terminate;

private:
    // The start-up steps of formCreate before the machines start.
    void prepareStart();

    TMainForm& form_;
    DataPaths& paths_;
    const Clock& clock_;
    ZamApplication* app_;
    GatewayRuntime runtime_;
    QTimer closeTimer_;
    std::string caption_;
    bool trace_ = false;
};

// The four-number version shown in the caption and the start-up log line.
const char* fileVersion();

}  // namespace zampo
