#pragma once
// The small dialog that adds or edits a ZAM location or alarm. The
// caller sets the fields, shows it modally and reads them back when accepted.
#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zampo {

class SpinField;

class ItemDialog : public QDialog {
    Q_OBJECT
public:
    enum Kind { kLocationKind = 1, kAlarmKind = 2 };
    enum Mode { kAddMode = 1, kEditMode = 2 };

    struct Fields {
        int kind = 0;
        int mode = 0;
        int code = 0;
        std::string name;
        int groupDelay = 0;  // seconds, alarms only
        int repeat = 0;      // minutes, alarms only
    };

    explicit ItemDialog(QWidget* owner = nullptr);

    Fields fields;
    // Closed with OK.
    bool accepted() const { return accepted_; }

    // OK: the controls read back into fields.
    void acceptFields();
    void cancel();
    // Escape and the close box cancel.
    void reject() override;

protected:
    // The layout for the kind, then the fields into the controls.
    void showEvent(QShowEvent* event) override;

private:
    void showFields();

    bool accepted_ = false;
    QLabel* codeLabel_;
    SpinField* codeField_;
    QLabel* nameLabel_;
    QLineEdit* nameEdit_;
    QLabel* delayLabel_;
    SpinField* delayField_;
    QLabel* secondsLabel_;
    QLabel* repeatLabel_;
    SpinField* repeatField_;
    QLabel* minutesLabel_;
    QPushButton* cancelButton_;
    QPushButton* okButton_;
};

}  // namespace zampo
