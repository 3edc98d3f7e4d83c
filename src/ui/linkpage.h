#pragma once
// The link configuration page: the Priva Office locations in the link grid with
// its filter box on the left, the ZAM locations and alarms (ZamPanel) on the
// right. Edits the links of the grid's selected rows, and explains the route of
// a row as the gateway would take it.
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "logic/commissioning/routeexplain.h"
#include "logic/grid/gridfilter.h"
#include "logic/linkconfig/documentedit.h"
#include "logic/xml/xmlstore.h"
#include "ui/operatorprompts.h"

class QAction;
class QLabel;
class QSplitter;
class QToolButton;
class QTreeWidgetItem;

namespace zampo {

class DataPaths;
class LinkFilterPanel;
class LinkGridView;
class ZamPanel;
struct LinkGridRow;
struct LinkRowCells;

class LinkPage : public QWidget {
    Q_OBJECT
public:
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
    // The two text options the explanation's lines are built with (the Priva
    // Office page's, as the operator left them).
    std::function<TextOptions()> textOptions;

    void fillZamTree();
    void sortZamTree();
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

    // The route of an alarm of the selected row, in a read-only dialog.
    void explainSelectedRow();
    // The same as text: a location's row for an alarm without an exception of its
    // own, an exception's row for its alarm type.
    std::string explainRow(const LinkGridRow& row) const;

signals:
    void refreshRequested();

private:
    QWidget* buildOfficeRegion();
    // The filter boxes under the grid's columns as they now stand.
    void placeFilterBox();
    // Shows the double-clicked row's ZAM alarm in the tree.
    void showLinkedZamAlarm(int row);

    bool canEditLinks() const;
    std::vector<LinkRowCells> linkCells(const std::vector<int>& rows) const;
    bool changeLinkDefs(const DocumentChange& change);
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

    OperatorPrompts& prompts_;

    QSplitter* splitter_ = nullptr;
    QLabel* officeHeading_ = nullptr;
    QToolButton* refreshButton_ = nullptr;
    QToolButton* addExceptionButton_ = nullptr;
    QToolButton* deleteExceptionsButton_ = nullptr;
    QToolButton* explainButton_ = nullptr;
    QAction* explainAction_ = nullptr;
    LinkGridView* grid_ = nullptr;
    LinkFilterPanel* filterPanel_ = nullptr;
    ZamPanel* zamPanel_ = nullptr;
    GridFilter gridFilter_;
    DocumentSlot* zamDefs_ = nullptr;
    DocumentSlot* linkDefs_ = nullptr;
    DataPaths* paths_ = nullptr;
};

}  // namespace zampo
