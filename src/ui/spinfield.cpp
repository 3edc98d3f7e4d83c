#include "ui/spinfield.h"

#include <algorithm>

namespace zampo {

namespace {

bool allDigits(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

}  // namespace

int SpinField::enteredValue() const {
    return valueFromText(cleanText());
}

QValidator::State SpinField::validate(QString& input, int&) const {
    const QString text = input.trimmed();
    if (text.isEmpty()) return QValidator::Intermediate;
    if (!allDigits(text)) return QValidator::Invalid;
    const int value = valueFromText(text);
    return text == QString::number(value) ? QValidator::Acceptable : QValidator::Intermediate;
}

int SpinField::valueFromText(const QString& text) const {
    const QString digits = text.trimmed();
    if (digits.isEmpty() || !allDigits(digits)) return minimum();
    // Long inputs would overflow; anything that long lies above every range here.
    if (digits.size() > 9) return maximum();
    return std::clamp(digits.toInt(), minimum(), maximum());
}

void SpinField::fixup(QString& input) const {
    input = QString::number(valueFromText(input));
}

}  // namespace zampo
