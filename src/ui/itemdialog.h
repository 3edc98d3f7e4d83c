#pragma once
// TOKBottomDlg: the small dialog that adds or edits a ZAM location or alarm. The
// caller sets the fields, shows it modally and reads them back when accepted.
#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zampo {

class SpinField;

class TOKBottomDlg : public QDialog {
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

    explicit TOKBottomDlg(QWidget* owner = nullptr);

    Fields fields;
    // Closed with OK.
    bool accepted() const { return accepted_; }

    void OKBtnClick();
    void CancelBtnClick();
    // Escape and the close box cancel.
    void reject() override;

protected:
    // FormShow: the layout for the kind, then the fields into the controls.
    void showEvent(QShowEvent* event) override;

private:
    void formShow();

    bool accepted_ = false;
    QLabel* lblCode_;
    SpinField* spnCode_;
    QLabel* lblNaam_;
    QLineEdit* edtNaam_;
    QLabel* lblDelay_;
    SpinField* spnDelay_;
    QLabel* lblSeconds_;
    QLabel* lblHerhaal_;
    SpinField* spnHerhaal_;
    QLabel* lblminutes_;
    QPushButton* cancelBtn_;
    QPushButton* okBtn_;
};

}  // namespace zampo
