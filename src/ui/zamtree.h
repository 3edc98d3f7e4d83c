#pragma once
// The ZAM tree of the link page: a root "Zam", a node "name (code)" per ZAM location and
// below it one per alarm. A node's level follows from its place in the tree.
#include <QTreeWidgetItem>
#include <string>

#include "logic/grid/zamcaptions.h"
#include "logic/xml/xmlstore.h"

class QTreeWidget;

namespace zampo {

// Locations sort by caption, alarms by code.
class ZamTreeItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override;
};

// The root is the tree's first top-level node; a location's parent is the root;
// every other node is an alarm.
ZamNodeLevel zamNodeLevel(const QTreeWidgetItem* node);
std::string zamNodeCaption(const QTreeWidgetItem* node);
// The ZAM alarm reference ("0020 - 02") of an alarm node; empty for any other node.
std::string zamAlarmRefOf(const QTreeWidgetItem* node);
// Appends a node that sorts with the others; parent null adds a top-level node.
QTreeWidgetItem* addZamNode(QTreeWidget* tree, QTreeWidgetItem* parent, const std::string& caption);

// Rebuilds the tree from the ZAM definitions, root expanded, sorted.
void fillZamTree(QTreeWidget* tree, const XmlDocument* zamDefs);
// All levels in ZamTreeItem order.
void sortZamTree(QTreeWidget* tree);

}  // namespace zampo
