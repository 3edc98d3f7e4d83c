#pragma once
// TOKBottomDlg1: picks Priva Office alarm types from the link definitions and adds
// them as exceptions, to the locations selected in the link grid or as general
// exceptions. A narrowing filter works on the list as on the link grid.
#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "logic/linkconfig/linkediting.h"
#include "logic/linkconfig/xmlstore.h"
#include "logic/grid/gridfilter.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace zampo {

class TOKBottomDlg1 : public QDialog {
    Q_OBJECT
public:
    // Adds the chosen alarm types and saves them; true when saved.
    using Commit = std::function<bool(const std::vector<AlarmTypeEntry>& types, ExceptionScope scope)>;

    // linkDefs is read when the dialog is shown; it stays the owner's.
    TOKBottomDlg1(const XmlDocument* linkDefs, Commit commit, QWidget* owner = nullptr);

    // True after a confirmed and saved addition.
    bool selectionAdded() const { return selectionAdded_; }

    QTableWidget* sgExcept() const { return sgExcept_; }
    TGridFilter& gfAlarm() { return gfAlarm_; }

    void OKBtnClick();
    void CancelBtnClick();
    // Shows all rows, then hides those the checked filters rule out.
    void applyExceptFilter();
    // Escape and the close box cancel.
    void reject() override;

protected:
    // FormShow: FillAlarmTypes.
    void showEvent(QShowEvent* event) override;
    // sgExceptKeyDown: Ctrl+A selects every row.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillAlarmTypes();
    void placeFilterEdits();
    void edFilterChange(int column);
    // Selected rows from top to bottom that the filter left visible.
    std::vector<AlarmTypeEntry> chosenTypes() const;

    class AlarmTypeGrid : public FilterGrid {
    public:
        explicit AlarmTypeGrid(TOKBottomDlg1& dialog) : dialog_(dialog) {}
        int rowCount() const override;
        int columnCount() const override;
        std::string_view cellText(int column, int row) const override;
        bool rowVisible(int row) const override;
        void setRowVisible(int row, bool visible) override;

    private:
        TOKBottomDlg1& dialog_;
    };

    const XmlDocument* linkDefs_;
    Commit commit_;
    bool selectionAdded_ = false;
    std::array<std::string, 2> headers_;
    std::vector<AlarmTypeEntry> rows_;  // as the grid shows them, one empty row when none
    AlarmTypeGrid grid_{*this};
    TGridFilter gfAlarm_;

    QTableWidget* sgExcept_;
    QGroupBox* groupBox1_;
    QCheckBox* cbFilter1_;
    QCheckBox* cbFilter2_;
    QLineEdit* edFilter1_;
    QLineEdit* edFilter2_;
    QGroupBox* rgSelected_;
    QRadioButton* selectedLocations_;
    QRadioButton* generalException_;
    QPushButton* cancelBtn_;
    QPushButton* okBtn_;
};

}  // namespace zampo
