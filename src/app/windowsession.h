#pragma once
// The window beside the gateway: fills the window at start-up, hands the
// operator's changes to the gateway, asks before a close and ends the program once
// the gateway has stopped. The gateway does not depend on it.
#include <QObject>
#include <functional>
#include <string>

#include "app/listlinebatcher.h"
#include "runtime/gatewayruntime.h"

namespace zampo {

class MainWindow;
class WindowApplication;

class WindowSession : public QObject {
    Q_OBJECT
public:
    WindowSession(MainWindow& window, GatewayRuntime& gateway, WindowApplication* app = nullptr);
    ~WindowSession() override;

    // The gateway's start-up, then the window filled from it, then both machines.
    void start();
    // While the service forwards for the same data directory: the documents and the
    // window only, no loop and no connection; the status bar says so, or says why
    // when whyNotForwarding is given (nobody can tell whether another process forwards).
    void startAsEditor(const std::string& whyNotForwarding = {});
    bool editor() const { return editor_; }
    // The operator closes the window: asks first; on Yes as closeConfirmed.
    void askToClose();
    // A confirmed close, or a stop asked for from outside (SIGTERM, Ctrl+C): the
    // settings saved and the gateway stopped in order.
    void closeConfirmed();

    GatewayRuntime& runtime() { return gateway_; }
    const std::string& caption() const { return caption_; }

    // Asks a Yes/No question; tests answer it themselves.
    std::function<bool(const std::string& title, const std::string& text)> confirm;
    // Ends the program.
    std::function<void()> terminate;

private:
    void fillWindow();
    void followOperatorChanges();

    MainWindow& window_;
    GatewayRuntime& gateway_;
    WindowApplication* app_;
    std::string caption_;
    bool editor_ = false;
    ListLineBatcher* listLines_ = nullptr;
};

// The four-number version shown in the caption and the start-up log line.
const char* fileVersion();

}  // namespace zampo
