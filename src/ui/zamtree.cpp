#include "ui/zamtree.h"

#include <QTreeWidget>

namespace zampo {

bool ZamTreeItem::operator<(const QTreeWidgetItem& other) const {
    return zamNodeSortsBefore(zamNodeLevel(this), zamNodeCaption(this), zamNodeCaption(&other));
}

ZamNodeLevel zamNodeLevel(const QTreeWidgetItem* node) {
    const QTreeWidgetItem* parent = node->parent();
    const QTreeWidget* tree = node->treeWidget();
    const auto isRoot = [tree](const QTreeWidgetItem* n) {
        return n->parent() == nullptr && tree && tree->topLevelItem(0) == n;
    };
    if (isRoot(node)) return ZamNodeLevel::Root;
    if (parent && isRoot(parent)) return ZamNodeLevel::Location;
    return ZamNodeLevel::Alarm;
}

std::string zamNodeCaption(const QTreeWidgetItem* node) {
    return node->text(0).toStdString();
}

std::string zamAlarmRefOf(const QTreeWidgetItem* node) {
    if (!node || zamNodeLevel(node) != ZamNodeLevel::Alarm || !node->parent()) return {};
    return zamNodeAlarmRef(zamNodeCaption(node->parent()), zamNodeCaption(node));
}

QTreeWidgetItem* addZamNode(QTreeWidget* tree, QTreeWidgetItem* parent, const std::string& caption) {
    auto* node = parent ? new ZamTreeItem(parent) : new ZamTreeItem(tree);
    node->setText(0, QString::fromStdString(caption));
    return node;
}

void fillZamTree(QTreeWidget* tree, const XmlDocument* zamDefs) {
    tree->clear();
    QTreeWidgetItem* root = addZamNode(tree, nullptr, std::string(kZamRootCaption));
    const pugi::xml_node defs = zamDefs ? zamDefs->root() : pugi::xml_node();
    for (pugi::xml_node location : defs.children()) {
        if (location.type() != pugi::node_element) continue;
        QTreeWidgetItem* locationNode =
            addZamNode(tree, root, zamCaption(location.attribute("Name").value(), location.attribute("Code").value()));
        for (pugi::xml_node alarm : location.children()) {
            if (alarm.type() != pugi::node_element) continue;
            addZamNode(tree, locationNode,
                       zamCaption(alarm.attribute("Name").value(), alarm.attribute("Code").value()));
        }
    }
    root->setExpanded(true);
    sortZamTree(tree);
}

void sortZamTree(QTreeWidget* tree) {
    tree->sortItems(0, Qt::AscendingOrder);
}

}  // namespace zampo
