#include "ui/dialogstyle.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>

namespace zampo {

QColor schemeColour() {
    return {43, 32, 78};
}

QWidget* buttonStrip(int height, std::initializer_list<QPushButton*> buttons) {
    auto* strip = new QFrame;
    strip->setObjectName(QStringLiteral("Panel2"));
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
        button->setMinimumWidth(75);
        row->addWidget(button);
    }
    return strip;
}

}  // namespace zampo
