#pragma once
// The route of one alarm as the gateway would take it, read-only: the same
// explanation the gateway's commissioning option prints.
#include <QDialog>

class QPlainTextEdit;

namespace zampo {

class RouteDialog : public QDialog {
    Q_OBJECT
public:
    RouteDialog(const QString& explanation, QWidget* owner = nullptr);

    QString explanation() const;

private:
    QPlainTextEdit* text_ = nullptr;
};

}  // namespace zampo
