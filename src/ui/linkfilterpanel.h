#pragma once
// The filter box under the link grid: a check box and an edit under each of the
// grid's data columns, and the two options below them. It only collects what the
// operator asks for; the link page filters the grid.
#include <QGroupBox>
#include <array>
#include <string>

#include "logic/grid/linkfilter.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace zampo {

class LinkFilterPanel : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int kColumns = kLinkGridColumns;

    explicit LinkFilterPanel(QWidget* parent = nullptr);

    void applyTexts();
    // Puts the check boxes and edits under the grid's data columns.
    void setColumns(const std::array<QString, kColumns>& captions, const std::array<int, kColumns>& widths);

    // The box as it stands, for the grid's column names.
    LinkFilterBox box(const std::array<std::string, kColumns>& headers) const;
    // Shows the texts the filter corrected, the caret where the operator typed.
    void showCorrections(const LinkFilter& filter);
    // Every box unchecked, without filtering.
    void uncheckAll();

signals:
    void changed();

private:
    // Typing in a column's filter checks its box and filters (column 1 to 5).
    void textChanged(int column);
    void placeOptions();

    QLabel* caption_ = nullptr;
    std::array<QCheckBox*, kColumns> checks_{};
    std::array<QLineEdit*, kColumns> edits_{};
    QCheckBox* hideExceptionsCheck_ = nullptr;
    QCheckBox* showUnassignedCheck_ = nullptr;
};

}  // namespace zampo
