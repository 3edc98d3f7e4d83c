#pragma once
// The ZAM-Pro tcp/IP page: the receiver's address, port and watchdog ID, a panel
// that sends a test alarm, and the list of what went to and came from ZamMeld.
#include <QString>
#include <QStringList>
#include <QWidget>

#include "logic/core/settings.h"

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace zampo {

class ReceiverPage : public QWidget {
    Q_OBJECT
public:
    explicit ReceiverPage(QWidget* parent = nullptr);
    ~ReceiverPage() override;

    void applyTexts();
    void showSettings(const Settings& settings);
    // Writes the receiver fields as the operator left them into settings.
    void takeEdits(Settings& settings) const;
    // A line for the list, scrolled into view.
    void addLine(const QString& line);
    // Many lines at once; the list keeps the newest kMaxListLines.
    void addLines(const QStringList& lines);
    static constexpr int kMaxListLines = 5000;

signals:
    void sendTestRequested(const QString& location, const QString& input, const QString& state);

private:
    // The test alarm: a location, an alarm and a state sent as typed.
    QFrame* buildTestPanel();
    QLabel* settingsHeading_ = nullptr;
    QLabel* hostLabel_ = nullptr;
    QLineEdit* hostEdit_ = nullptr;
    QLabel* portLabel_ = nullptr;
    QLineEdit* portEdit_ = nullptr;
    QLabel* watchdogLabel_ = nullptr;
    QSpinBox* watchdogId_ = nullptr;
    QLabel* restartNote_ = nullptr;
    QLabel* testHeading_ = nullptr;
    QLabel* testLocationLabel_ = nullptr;
    QLabel* testAlarmLabel_ = nullptr;
    QLabel* testStateLabel_ = nullptr;
    QLineEdit* testLocation_ = nullptr;
    QLineEdit* testAlarm_ = nullptr;
    QLineEdit* testState_ = nullptr;
    QPushButton* sendTestButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QListWidget* lines_ = nullptr;
};

}  // namespace zampo
