#pragma once
// Picks Priva Office alarm types from the link definitions and adds
// them as exceptions, to the locations selected in the link grid or as general
// exceptions. A narrowing filter works on the list as on the link grid.
#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "logic/grid/gridfilter.h"
#include "logic/linkconfig/linkediting.h"
#include "logic/xml/xmlstore.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace zampo {

class ExceptionsDialog : public QDialog {
    Q_OBJECT
public:
    // Adds the chosen alarm types and saves them; true when saved.
    using Commit = std::function<bool(const std::vector<AlarmTypeEntry>& types, ExceptionScope scope)>;

    // linkDefs is read when the dialog is shown; it stays the owner's.
    ExceptionsDialog(const XmlDocument* linkDefs, Commit commit, QWidget* owner = nullptr);

    // True after a confirmed and saved addition.
    bool selectionAdded() const { return selectionAdded_; }
    // Tells the operator that Add Selection found nothing to add; the dialog stays open.
    std::function<void(const QString&)> tellNothingChosen;

    // Add Selection: the chosen types handed to the commit.
    void addChosenTypes();
    void cancel();
    // Shows all rows, then hides those the checked filters rule out.
    void applyFilter();
    // Escape and the close box cancel.
    void reject() override;

protected:
    // The alarm types read afresh from the link definitions.
    void showEvent(QShowEvent* event) override;
    // Ctrl+A in the list selects every row.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildAlarmTypes();
    void buildFilterBox();
    void buildScopeChoice();
    void fillAlarmTypes();
    void placeFilterEdits();
    void filterTextChanged(int column);
    // Selected rows from top to bottom that the filter left visible.
    std::vector<AlarmTypeEntry> chosenTypes() const;

    class AlarmTypeGrid : public FilterGrid {
    public:
        explicit AlarmTypeGrid(ExceptionsDialog& dialog) : dialog_(dialog) {}
        int rowCount() const override;
        int columnCount() const override;
        std::string_view cellText(int column, int row) const override;
        bool rowVisible(int row) const override;
        void setRowVisible(int row, bool visible) override;

    private:
        ExceptionsDialog& dialog_;
    };

    const XmlDocument* linkDefs_;
    Commit commit_;
    bool selectionAdded_ = false;
    std::array<std::string, 2> headers_;
    std::vector<AlarmTypeEntry> rows_;  // as the grid shows them, one empty row when none
    AlarmTypeGrid grid_{*this};
    GridFilter typeFilter_;

    QTableWidget* alarmTypes_;
    QGroupBox* filterBox_;
    QCheckBox* codeFilterCheck_;
    QCheckBox* textFilterCheck_;
    QLineEdit* codeFilterEdit_;
    QLineEdit* textFilterEdit_;
    QGroupBox* scopeChoice_;
    QRadioButton* selectedLocations_;
    QRadioButton* generalException_;
    QPushButton* cancelButton_;
    QPushButton* okButton_;
};

}  // namespace zampo
