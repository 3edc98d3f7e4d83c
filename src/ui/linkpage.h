#pragma once
// The link configuration page: the Priva Office locations in the link grid with
// its filter box on the left, the ZAM locations and alarms in a tree with the
// selected item's details on the right, a tool bar over each. Editing the links
// and the ZAM items, and the exchange with ZAM-Pro, are in linkediting.cpp.
#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "logic/grid/gridfilter.h"
#include "logic/linkconfig/documentedit.h"
#include "logic/xml/xmlstore.h"
#include "ui/operatorprompts.h"

class QCheckBox;
class QGroupBox;
class QIcon;
class QLabel;
class QLineEdit;
class QSplitter;
class QTableWidget;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zampo {

class DataPaths;
class LinkGridView;
struct LinkRowCells;

class LinkPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFilterColumns = 5;

    // The page asks and tells the operator through prompts.
    explicit LinkPage(OperatorPrompts& prompts, QWidget* parent = nullptr);
    ~LinkPage() override;

    void applyTexts();

    // The ZAM definitions shown in the tree and the link definitions shown in the
    // grid; the slots belong to the runtime and outlive the page's use of them.
    void attachDocuments(DocumentSlot& zamDefs, DocumentSlot& linkDefs);
    // Where the edits save the two files and where the exchange files are looked
    // for. Without it the editing buttons do nothing.
    void attachDataPaths(DataPaths& paths);

    // The tree anew from the ZAM definitions.
    void fillZamTree();
    // Locations by caption, alarms by code, on all levels (after an item was added or renamed).
    void sortZamTree();
    // The assign buttons and the details list for the selected node. Runs
    // whenever the tree's selection changes.
    void showSelectedZamItem();
    QTreeWidgetItem* selectedZamNode() const;

    // Rows, widths and filter box anew from the link definitions; every row shows.
    void fillLinkGrid();
    // Shows all rows, then hides those the filter box rules out.
    void filterLinkGrid();
    // After a change of the link definitions: rebuilt, with the filter box applied
    // and the rows that were selected selected again (by PCU, location and alarm).
    void refillLinkGridKeepingFilter();
    // Selects and shows the location's row; a filter that hides it is cleared.
    // False when the grid has no such location.
    bool showLocation(const std::string& pcu, const std::string& location);

    // Link editing on the grid's selected rows (hidden rows skipped). Each change
    // is saved at once; a change that cannot be saved is not made at all.
    void assignSelectedAlarm();
    void assignSelectedGroup();
    void removeGroupFromSelection();
    void deleteSelectedExceptions();
    void chooseAndAddExceptions();

    // Items of the ZAM tree.
    void addZamItem();
    void editSelectedZamItem();
    void deleteSelectedZamItem();

    // Exchange of the ZAM definitions with ZAM-Pro.
    void importFromZamPro();
    void exportToZamPro();

signals:
    void refreshRequested();

private:
    QWidget* buildOfficeRegion();
    QWidget* buildZamRegion();
    QWidget* buildFilterBox();
    QToolButton* addToolButton(QToolBar* bar, const char* name, const QIcon& icon, void (LinkPage::*action)());
    // Puts the filter check boxes and edits under the grid's data columns.
    void setFilterColumns(const std::array<QString, kFilterColumns>& captions,
                          const std::array<int, kFilterColumns>& widths);
    void placeFilterOptions();
    // The filter boxes under the grid's columns as they now stand.
    void placeFilterBox();
    // Typing in a column's filter checks its box and filters (column 1 to 5).
    void filterTextChanged(int column);
    // Shows the double-clicked row's ZAM alarm in the tree.
    void showLinkedZamAlarm(int row);

    bool canEditLinks() const;
    bool canEditZamDefs() const;
    std::vector<LinkRowCells> linkCells(const std::vector<int>& rows) const;
    // The change saved to LinkDefs.xml (or ZamDefs.xml) and taken into the page's
    // document; false, with the operator told why, when it could not be saved.
    bool changeLinkDefs(const DocumentChange& change);
    bool changeZamDefs(const DocumentChange& change);
    void reportEditFailure(const EditOutcome& outcome);
    // Writes value into the column (4 or 5) of the selected rows and saves it.
    void assignToSelectedRows(int column, const std::string& value);
    // Rebuilds the grid when the document holds rows it does not show (a
    // definitions merge saved just before the edit).
    void syncLinkGridWithDocument();
    // Rebuilt, the row made current, the filter box applied.
    void refillLinkGridAt(int row);
    // After a ZAM location or alarm was deleted: links to alarms that no longer
    // exist are cleared, on every row.
    void removeDeletedZamLinks();
    enum class ItemEdit { Add, Edit };
    void editZamItem(ItemEdit edit);
    void writeExchangeFile();
    void readExchangeFile();

    OperatorPrompts& prompts_;

    QSplitter* splitter_ = nullptr;
    QLabel* officeHeading_ = nullptr;
    QLabel* zamHeading_ = nullptr;
    QToolButton* refreshButton_ = nullptr;
    QToolButton* addExceptionButton_ = nullptr;
    QToolButton* deleteExceptionsButton_ = nullptr;
    QToolButton* assignAlarmButton_ = nullptr;
    QToolButton* assignGroupButton_ = nullptr;
    QToolButton* removeGroupButton_ = nullptr;
    QToolButton* addItemButton_ = nullptr;
    QToolButton* deleteItemButton_ = nullptr;
    QToolButton* editItemButton_ = nullptr;
    QToolButton* importButton_ = nullptr;
    QToolButton* exportButton_ = nullptr;
    LinkGridView* grid_ = nullptr;
    QGroupBox* filterBox_ = nullptr;
    QLabel* filterCaption_ = nullptr;
    std::array<QCheckBox*, kFilterColumns> filterChecks_{};
    std::array<QLineEdit*, kFilterColumns> filterEdits_{};
    QCheckBox* hideExceptionsCheck_ = nullptr;
    QCheckBox* showUnassignedCheck_ = nullptr;
    QTreeWidget* zamTree_ = nullptr;
    QTableWidget* details_ = nullptr;
    GridFilter gridFilter_;
    DocumentSlot* zamDefs_ = nullptr;
    DocumentSlot* linkDefs_ = nullptr;
    DataPaths* paths_ = nullptr;
};

}  // namespace zampo
