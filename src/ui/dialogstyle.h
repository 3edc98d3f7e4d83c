#pragma once
// What the two dialogs share with the main window's look.
#include <QColor>
#include <initializer_list>

class QPushButton;
class QWidget;

namespace zampo {

// The heading strips and panels: RGB(43, 32, 78) with white text.
QColor schemeColour();

// A strip of the given height in the scheme colour with the buttons at its right,
// in the order given.
QWidget* buttonStrip(int height, std::initializer_list<QPushButton*> buttons);

// For the filter check boxes under a grid: the caption closer to its box.
void useFilterBoxStyle(QWidget* widget);

}  // namespace zampo
