#pragma once
// The right side of the link page: the ZAM locations and alarms in a tree under a
// tool bar, the selected item's details below it. Adds, edits and deletes the
// items of ZamDefs.xml and exchanges them with ZAM-Pro; the links to the selected
// alarm are the link page's.
#include <QWidget>
#include <string>

#include "logic/linkconfig/documentedit.h"
#include "ui/itemdialog.h"
#include "ui/operatorprompts.h"

class QLabel;
class QTableWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

namespace zampo {

class DataPaths;

class ZamPanel : public QWidget {
    Q_OBJECT
public:
    explicit ZamPanel(OperatorPrompts& prompts, QWidget* parent = nullptr);
    ~ZamPanel() override;

    void applyTexts();
    // The ZAM definitions shown; the slot outlives the panel's use of it.
    void attachDocument(DocumentSlot& zamDefs);
    // Where the edits save ZamDefs.xml; without it the editing buttons do nothing.
    void attachDataPaths(DataPaths& paths);

    // The tree anew from the ZAM definitions.
    void fillTree();
    // Locations by caption, alarms by code, on all levels (after an item was added or renamed).
    void sortTree();
    // The assign buttons and the details list for the selected node. Runs
    // whenever the tree's selection changes.
    void showSelectedItem();
    QTreeWidgetItem* selectedNode() const;
    // Selects the alarm a link names ("0012 - 05"), or its location.
    void showAlarm(const std::string& reference);

    void addItem();
    void editSelectedItem();
    void deleteSelectedItem();
    void importFromZamPro();
    void exportToZamPro();

signals:
    // The tool bar's buttons for the links of the grid's selection.
    void assignAlarmClicked();
    void assignGroupClicked();
    void removeGroupClicked();
    // A location or alarm left ZamDefs.xml.
    void itemDeleted();

private:
    enum class ItemEdit { Add, Edit };
    enum class ItemSave { Done, Refused };
    void buildToolBar(QVBoxLayout* column);
    void buildDetails();
    bool canEdit() const;
    void editItem(ItemEdit edit);
    void proposeFields(ItemEdit edit, QTreeWidgetItem* node, ItemDialog::Fields& f) const;
    ItemSave saveLocation(ItemEdit edit, QTreeWidgetItem* node, const ItemDialog::Fields& f);
    ItemSave saveAlarm(ItemEdit edit, QTreeWidgetItem* node, const ItemDialog::Fields& f);
    bool changeZamDefs(const DocumentChange& change);

    OperatorPrompts& prompts_;
    QLabel* heading_ = nullptr;
    QToolButton* assignAlarmButton_ = nullptr;
    QToolButton* assignGroupButton_ = nullptr;
    QToolButton* removeGroupButton_ = nullptr;
    QToolButton* addItemButton_ = nullptr;
    QToolButton* deleteItemButton_ = nullptr;
    QToolButton* editItemButton_ = nullptr;
    QToolButton* importButton_ = nullptr;
    QToolButton* exportButton_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QTableWidget* details_ = nullptr;
    DocumentSlot* zamDefs_ = nullptr;
    DataPaths* paths_ = nullptr;
};

}  // namespace zampo
