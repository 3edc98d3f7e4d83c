#include "ui/dialogstyle.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <algorithm>

namespace zampo {

QColor schemeColour() {
    return {43, 32, 78};
}

QWidget* buttonStrip(int height, std::initializer_list<QPushButton*> buttons) {
    auto* strip = new QFrame;
    strip->setObjectName(QStringLiteral("pnlDialogButtons"));
    strip->setFixedHeight(height);
    QPalette p = strip->palette();
    p.setColor(QPalette::Window, schemeColour());
    p.setColor(QPalette::WindowText, Qt::white);
    strip->setPalette(p);
    strip->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(6);
    row->addStretch(1);
    for (QPushButton* button : buttons) {
        // The buttons keep the ordinary colours on the dark strip.
        button->setPalette(QApplication::palette(button));
        // Room around the caption: a long one ("Selectie toevoegen") must not touch the edges.
        constexpr int kCaptionMargin = 12;
        const int captionWidth = button->fontMetrics().horizontalAdvance(button->text().remove(QLatin1Char('&')));
        button->setMinimumWidth(std::max(75, captionWidth + 2 * kCaptionMargin));
        row->addWidget(button);
    }
    return strip;
}

namespace {

// The desktop's style with a check box's caption closer to its box: the filter
// boxes sit under grid columns as narrow as their header.
class FilterBoxStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_CheckBoxLabelSpacing) return 1;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QStyle* filterBoxStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new FilterBoxStyle;
        style->setParent(qApp);
    }
    return style;
}

}  // namespace

void useFilterBoxStyle(QWidget* widget) {
    widget->setStyle(filterBoxStyle());
}

}  // namespace zampo
