#include "ui/pageparts.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/widgettext.h"

namespace zampo {
namespace {

constexpr int kHeadingHeight = 24;
constexpr int kToolBarHeight = 30;

// Keeps the heading's 13-pixel bold face where it fits; a longer translation
// steps down a pixel at a time instead of being cut off.
class HeadingLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect room = contentsRect();
        QFont f = font();
        while (f.pixelSize() > 9 && QFontMetrics(f).horizontalAdvance(text()) > room.width())
            f.setPixelSize(f.pixelSize() - 1);
        p.setFont(f);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(room, Qt::AlignLeft | Qt::AlignVCenter, text());
    }
};

}  // namespace

void paintInScheme(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, kSchemeColour);
    p.setColor(QPalette::WindowText, Qt::white);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

void keepDefaultColours(QWidget* w) {
    QPalette p = w->palette();
    const QPalette standard = QApplication::palette(w);
    p.setColor(QPalette::Window, standard.color(QPalette::Window));
    p.setColor(QPalette::WindowText, standard.color(QPalette::WindowText));
    w->setPalette(p);
}

QLabel* addHeading(QBoxLayout* into, const char* panelName, const char* labelName) {
    auto* strip = named(new QFrame, panelName);
    strip->setFixedHeight(kHeadingHeight);
    paintInScheme(strip);
    QLabel* label = named(new HeadingLabel, labelName);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont f;
    f.setBold(true);
    f.setPixelSize(13);
    label->setFont(f);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(6, 0, 6, 0);
    row->addWidget(label);
    into->addWidget(strip);
    return label;
}

QToolBar* addToolStrip(QBoxLayout* into, const char* name) {
    // The bar sits in its own strip so that it keeps its height whatever the style.
    auto* strip = new QFrame;
    strip->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    strip->setFixedHeight(kToolBarHeight);
    auto* bar = named(new QToolBar, name);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setContentsMargins(0, 0, 0, 0);
    bar->layout()->setSpacing(0);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(1, 0, 1, 0);
    row->addWidget(bar);
    into->addWidget(strip);
    return bar;
}

QToolButton* addToolButton(QToolBar* bar, const char* name, const QIcon& icon) {
    auto* button = named(new QToolButton, name);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setFixedSize(23, 22);
    bar->addWidget(button);
    return button;
}

QLabel* wrappedLabel(const char* name) {
    auto* label = named(new QLabel, name);
    label->setWordWrap(true);
    return label;
}

QFrame* schemePanel(const char* name) {
    auto* panel = named(new QFrame, name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    paintInScheme(panel);
    return panel;
}

QListWidget* diagnosticList(const char* name) {
    auto* list = named(new QListWidget, name);
    // Lines are kept whole; long ones scroll sideways instead of wrapping.
    list->setUniformItemSizes(true);
    list->setWordWrap(false);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return list;
}

QPushButton* clearButton(const char* name) {
    auto* button = named(new QPushButton, name);
    button->setMinimumWidth(100);
    return button;
}

SettingsPage settingsPage(QWidget* page, const char* columnName, int columnWidth, const char* panelName,
                          int panelHeight, const char* headingName) {
    SettingsPage p{};
    p.row = new QHBoxLayout(page);
    p.row->setContentsMargins(0, 0, 0, 0);
    p.row->setSpacing(0);
    p.column = named(new QWidget, columnName);
    p.column->setFixedWidth(columnWidth);
    paintInScheme(p.column);
    p.columnLayout = new QVBoxLayout(p.column);
    p.columnLayout->setContentsMargins(0, 0, 0, 0);
    p.columnLayout->setSpacing(0);
    p.settingsPanel = schemePanel(panelName);
    p.settingsPanel->setFixedHeight(panelHeight);
    p.settings = new QVBoxLayout(p.settingsPanel);
    p.settings->setContentsMargins(6, 6, 6, 6);
    p.settings->setSpacing(3);
    p.heading = wrappedLabel(headingName);
    QFont bold = p.heading->font();
    bold.setBold(true);
    p.heading->setFont(bold);
    return p;
}

}  // namespace zampo
