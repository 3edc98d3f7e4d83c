#pragma once
// The Priva Office / other settings page: the Priva Office server, the language,
// the two options for alarm texts, and the list of the Priva Office exchange.
#include <QString>
#include <QStringList>
#include <QWidget>

#include "logic/core/settings.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace zampo {

class OfficePage : public QWidget {
    Q_OBJECT
public:
    explicit OfficePage(QWidget* parent = nullptr);
    ~OfficePage() override;

    void applyTexts();
    void showSettings(const Settings& settings);
    // Writes the Priva Office fields as the operator left them into settings.
    void takeEdits(Settings& settings) const;
    // A line for the list, scrolled into view.
    void addLine(const QString& line);
    // Many lines at once; the list keeps the newest kMaxListLines.
    void addLines(const QStringList& lines);
    static constexpr int kMaxListLines = 5000;

protected:
    // A click on an option's text flips the option.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLanguageBox();
    QLabel* settingsHeading_ = nullptr;
    QLabel* hostLabel_ = nullptr;
    QLineEdit* hostEdit_ = nullptr;
    QGroupBox* languageBox_ = nullptr;
    QButtonGroup* languageChoice_ = nullptr;
    QRadioButton* english_ = nullptr;
    QRadioButton* dutch_ = nullptr;
    QCheckBox* sendPcuCheck_ = nullptr;
    QLabel* sendPcuLabel_ = nullptr;
    QCheckBox* filterPunctCheck_ = nullptr;
    QLabel* filterPunctLabel_ = nullptr;
    QLabel* restartNote_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QListWidget* lines_ = nullptr;
};

}  // namespace zampo
