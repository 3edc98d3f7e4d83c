#pragma once
// Small helpers every window and dialog uses to label and name its controls.
#include <QLatin1String>
#include <QString>

#include "logic/language/langtext.h"

namespace zampo {

// The operator's text of that name, as langText gives it.
inline QString uiText(TextId id) {
    return QString::fromStdString(langText(id));
}
inline QString uiText(TextId id, const char* callerDefault) {
    return QString::fromStdString(langText(id, callerDefault));
}
inline QString uiText(int number, const char* callerDefault) {
    return QString::fromStdString(langText(number, callerDefault));
}

// Gives a control the name tests and the style sheet find it by.
template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

}  // namespace zampo
