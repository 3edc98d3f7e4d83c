#pragma once
// The status text as the gateway sets it, with the log file's fault added for as
// long as the log cannot be written: a log that is lost must show where the
// operator looks, not only in the file that cannot take it.
#include <QObject>
#include <QTimer>
#include <string>

#include "runtime/windowport.h"

namespace zampo {

class LogFaultStatus : public QObject, public WindowPort {
    Q_OBJECT
public:
    // Looks at the log writer every second once start() ran.
    explicit LogFaultStatus(WindowPort& shown, QObject* parent = nullptr);
    void start() { timer_.start(); }
    // Takes in a change of the log writer's fault.
    void check();

    void setStatusText(const std::string& text) override;
    void showFaultStatus(FaultStatus shown) override { shown_.showFaultStatus(shown); }
    void addListLine(LogChannel list, const std::string& line) override { shown_.addListLine(list, line); }
    void refillLinkGrid() override { shown_.refillLinkGrid(); }
    void alarmStatusWalked() override { shown_.alarmStatusWalked(); }

private:
    void show();
    WindowPort& shown_;
    std::string text_;   // as the gateway set it
    std::string fault_;  // the log writer's, empty while it writes
    QTimer timer_;
};

}  // namespace zampo
