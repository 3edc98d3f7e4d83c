#pragma once
// An integer field with a range, as the item dialog wants it: any digits may be
// typed; a value outside the range is brought to the nearest limit and an
// emptied field counts as its minimum.
#include <QSpinBox>

namespace zampo {

class SpinField : public QSpinBox {
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;

    // The value the typed text stands for, whether or not it has been taken yet.
    int enteredValue() const;

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
    void fixup(QString& input) const override;
};

}  // namespace zampo
