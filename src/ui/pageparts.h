#pragma once
// Building blocks the window's pages share: the scheme colours, heading strips,
// tool strips, and the settings column of the two diagnostic pages.
#include <QColor>

class QBoxLayout;
class QFrame;
class QHBoxLayout;
class QIcon;
class QLabel;
class QListWidget;
class QPushButton;
class QToolBar;
class QToolButton;
class QVBoxLayout;
class QWidget;

namespace zampo {

inline const QColor kSchemeColour(43, 32, 78);

// Settings panels and heading strips: white text on the scheme colour.
void paintInScheme(QWidget* w);
// Some styles draw parts of input controls (the spin box arrows) in the window
// text colour, which would be white on white inside a scheme panel.
void keepDefaultColours(QWidget* w);

// A strip in the scheme colour with a bold heading; returns the heading.
QLabel* addHeading(QBoxLayout* into, const char* panelName, const char* labelName);
// A tool bar of fixed height in a raised strip.
QToolBar* addToolStrip(QBoxLayout* into, const char* name);
// A 16-pixel icon button on the bar, raised under the mouse only.
QToolButton* addToolButton(QToolBar* bar, const char* name, const QIcon& icon);
QLabel* wrappedLabel(const char* name);
QFrame* schemePanel(const char* name);
// A list of log lines that scroll sideways instead of wrapping.
QListWidget* diagnosticList(const char* name);
QPushButton* clearButton(const char* name);

// The skeleton both diagnostic pages share: a fixed-width column in the scheme
// colour on the left, its top panel holding the settings under a bold heading.
struct SettingsPage {
    QHBoxLayout* row;
    QWidget* column;
    QVBoxLayout* columnLayout;
    QFrame* settingsPanel;
    QVBoxLayout* settings;
    QLabel* heading;
};

// Lays the skeleton out on page.
SettingsPage settingsPage(QWidget* page, const char* columnName, int columnWidth, const char* panelName,
                          int panelHeight, const char* headingName);

}  // namespace zampo
