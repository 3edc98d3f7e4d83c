#include "ui/zampanel.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>

#include "logic/grid/zamcaptions.h"
#include "logic/linkconfig/linkdefs.h"
#include "logic/linkconfig/zamdefs.h"
#include "logic/linkconfig/zamitems.h"
#include "ui/definitionedits.h"
#include "ui/imagelists.h"
#include "ui/pageparts.h"
#include "ui/widgettext.h"
#include "ui/zamproexchange.h"
#include "ui/zamtree.h"

namespace zampo {
namespace {

constexpr int kDetailsHeight = 119;
constexpr int kDetailsKeyWidth = 95;

std::vector<int> childCodes(const QTreeWidgetItem* parent, const QTreeWidgetItem* except = nullptr) {
    std::vector<int> codes;
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i) != except) codes.push_back(captionCode(zamNodeCaption(parent->child(i))));
    return codes;
}

bool contains(const std::vector<int>& codes, int code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

}  // namespace

ZamPanel::ZamPanel(OperatorPrompts& prompts, QWidget* parent) : QWidget(parent), prompts_(prompts) {
    setObjectName(QStringLiteral("pnlZamRegion"));
    setMinimumWidth(120);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    heading_ = addHeading(column, "pnlZamHeading", "lblZamHeading");
    buildToolBar(column);

    tree_ = named(new QTreeWidget, "tvZamLoc");
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setIndentation(19);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setSortingEnabled(false);
    // The selected node stays marked while the operator works in the grid.
    QPalette treeColours = tree_->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        treeColours.setColor(QPalette::Inactive, role, treeColours.color(QPalette::Active, role));
    tree_->setPalette(treeColours);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &ZamPanel::showSelectedItem);
    column->addWidget(tree_, 1);
    buildDetails();
    column->addWidget(details_);
}

ZamPanel::~ZamPanel() {
    // The child widgets outlive this part of the panel; none may call back into it.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

void ZamPanel::buildToolBar(QVBoxLayout* column) {
    QToolBar* bar = addToolStrip(column, "tbrZam");
    auto add = [this, bar](const char* name, int image, auto action) {
        QToolButton* button = addToolButton(bar, name, zamToolImage(image));
        connect(button, &QToolButton::clicked, this, action);
        return button;
    };
    assignAlarmButton_ = add("tbConnect", 6, &ZamPanel::assignAlarmClicked);
    assignGroupButton_ = add("tbGroup", 7, &ZamPanel::assignGroupClicked);
    removeGroupButton_ = add("tbDeleteGroup", 8, &ZamPanel::removeGroupClicked);
    bar->addSeparator();
    addItemButton_ = add("tbAdd", 2, &ZamPanel::addItem);
    deleteItemButton_ = add("tbDelete", 1, &ZamPanel::deleteSelectedItem);
    editItemButton_ = add("tbEdit", 3, &ZamPanel::editSelectedItem);
    bar->addSeparator();
    importButton_ = add("tbImport", 4, &ZamPanel::importFromZamPro);
    exportButton_ = add("tbExport", 5, &ZamPanel::exportToZamPro);
    // Nothing is selected in the tree yet, so there is nothing to assign.
    assignAlarmButton_->setEnabled(false);
    assignGroupButton_->setEnabled(false);
}

void ZamPanel::buildDetails() {
    details_ = named(new QTableWidget(0, 2), "vleTree");
    details_->setFixedHeight(kDetailsHeight);
    details_->horizontalHeader()->hide();
    details_->verticalHeader()->hide();
    details_->verticalHeader()->setDefaultSectionSize(details_->fontMetrics().height() + 6);
    details_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    details_->horizontalHeader()->setStretchLastSection(true);
    details_->setColumnWidth(0, kDetailsKeyWidth);
    details_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    details_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    details_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    details_->setSelectionBehavior(QAbstractItemView::SelectRows);
    details_->setSelectionMode(QAbstractItemView::SingleSelection);
}

void ZamPanel::applyTexts() {
    heading_->setText(uiText(TextId::ZamTreeHeading));
    assignAlarmButton_->setToolTip(uiText(TextId::AssignAlarmHint));
    assignGroupButton_->setToolTip(uiText(TextId::AssignGroupHint));
    removeGroupButton_->setToolTip(uiText(TextId::RemoveGroupHint));
    addItemButton_->setToolTip(uiText(TextId::AddItemHint));
    deleteItemButton_->setToolTip(uiText(TextId::DeleteItemHint));
    editItemButton_->setToolTip(uiText(TextId::EditItemHint));
    importButton_->setToolTip(uiText(TextId::ImportHint));
    exportButton_->setToolTip(uiText(TextId::ExportHint));
}

void ZamPanel::attachDocument(DocumentSlot& zamDefs) {
    zamDefs_ = &zamDefs;
}

void ZamPanel::attachDataPaths(DataPaths& paths) {
    paths_ = &paths;
}

void ZamPanel::fillTree() {
    fillZamTree(tree_, zamDefs_ ? zamDefs_->get() : nullptr);
}

void ZamPanel::sortTree() {
    sortZamTree(tree_);
}

QTreeWidgetItem* ZamPanel::selectedNode() const {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void ZamPanel::showSelectedItem() {
    QTreeWidgetItem* node = selectedNode();
    const ZamNodeLevel level = node ? zamNodeLevel(node) : ZamNodeLevel::Root;
    const bool alarm = node && level == ZamNodeLevel::Alarm;
    assignAlarmButton_->setEnabled(alarm);
    assignGroupButton_->setEnabled(alarm);

    const DetailLines lines =
        node ? zamNodeDetails(level, zamNodeCaption(node), node->parent() ? zamNodeCaption(node->parent()) : "",
                              zamDefs_ ? zamDefs_->get() : nullptr)
             : DetailLines{};
    details_->setRowCount(int(lines.size()));
    for (int r = 0; r < int(lines.size()); ++r) {
        auto* key = new QTableWidgetItem(QString::fromStdString(lines[std::size_t(r)].first));
        key->setFlags(Qt::ItemIsEnabled);
        details_->setItem(r, 0, key);
        details_->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(lines[std::size_t(r)].second)));
    }
    // The keys keep their column; a longer translation widens it, leaving the values room.
    details_->resizeColumnToContents(0);
    details_->setColumnWidth(0, std::clamp(details_->columnWidth(0), kDetailsKeyWidth,
                                           std::max(kDetailsKeyWidth, details_->viewport()->width() - 80)));
    if (!lines.empty()) details_->setCurrentCell(0, 1);
}

void ZamPanel::showAlarm(const std::string& reference) {
    if (!isDefinedLinkValue(reference)) return;
    auto number = [](std::string_view digits, int& value) {
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return ec == std::errc{} && end == digits.data() + digits.size();
    };
    int locationCode = 0;
    if (!number(std::string_view(reference).substr(0, 4), locationCode)) return;
    int alarmCode = 0;
    const bool namesAlarm = number(std::string_view(reference).substr(reference.size() - 2), alarmCode);
    // An import may have left two locations with one code: each is opened, and the
    // alarm the reference names is selected in whichever holds it; else the first
    // such location.
    QTreeWidgetItem* target = nullptr;
    bool alarmFound = false;
    QTreeWidgetItem* root = tree_->topLevelItem(0);
    for (int l = 0; root && l < root->childCount(); ++l) {
        QTreeWidgetItem* location = root->child(l);
        if (captionCode(zamNodeCaption(location)) != locationCode) continue;
        location->setExpanded(true);
        if (!target) target = location;
        for (int i = 0; namesAlarm && !alarmFound && i < location->childCount(); ++i) {
            if (captionCode(zamNodeCaption(location->child(i))) == alarmCode) {
                target = location->child(i);
                alarmFound = true;
            }
        }
    }
    if (!target) return;
    tree_->setCurrentItem(target);
    tree_->scrollToItem(target);
}

bool ZamPanel::canEdit() const {
    return zamDefs_ && zamDefs_->get() && paths_;
}

bool ZamPanel::changeZamDefs(const DocumentChange& change) {
    return zampo::changeZamDefs(prompts_, *zamDefs_, *paths_, change);
}

void ZamPanel::addItem() {
    editItem(ItemEdit::Add);
}

void ZamPanel::editSelectedItem() {
    editItem(ItemEdit::Edit);
}

void ZamPanel::editItem(ItemEdit edit) {
    QTreeWidgetItem* node = selectedNode();
    if (!canEdit() || !node) return;
    ItemDialog dialog(this);
    proposeFields(edit, node, dialog.fields);
    const bool nothingToEdit = edit == ItemEdit::Edit && zamNodeLevel(node) == ZamNodeLevel::Root;
    // Shown again after a refused code, with what the operator entered.
    for (bool again = !nothingToEdit; again;) {
        dialog.exec();
        if (!dialog.accepted()) break;
        const ItemDialog::Fields& f = dialog.fields;
        const ItemSave saved =
            f.kind == ItemDialog::kLocationKind ? saveLocation(edit, node, f) : saveAlarm(edit, node, f);
        again = saved == ItemSave::Refused;
        if (again) prompts_.showMessage(uiText(TextId::CodeTaken));
    }
    sortTree();
    showSelectedItem();
}

void ZamPanel::proposeFields(ItemEdit edit, QTreeWidgetItem* node, ItemDialog::Fields& f) const {
    const ZamNodeLevel level = zamNodeLevel(node);
    f.mode = edit == ItemEdit::Edit ? ItemDialog::kEditMode : ItemDialog::kAddMode;
    if (edit == ItemEdit::Add) {
        if (level == ZamNodeLevel::Root) {
            f.kind = ItemDialog::kLocationKind;
            f.code = proposedItemCode(childCodes(node), kMaxLocationCode);
            f.name = langText(TextId::NewLocationName);
        } else {
            f.kind = ItemDialog::kAlarmKind;
            f.code =
                proposedItemCode(childCodes(level == ZamNodeLevel::Location ? node : node->parent()), kMaxAlarmCode);
            f.name = langText(TextId::NewAlarmName);
        }
    } else if (level != ZamNodeLevel::Root) {
        f.kind = level == ZamNodeLevel::Location ? ItemDialog::kLocationKind : ItemDialog::kAlarmKind;
        f.code = captionCode(zamNodeCaption(node));
        f.name = captionName(zamNodeCaption(node));
        if (level == ZamNodeLevel::Alarm) {
            const std::string reference = zamAlarmRefOf(node);
            f.groupDelay = getGroupDelay(**zamDefs_, reference);
            f.repeat = getRepeat(**zamDefs_, reference);
        }
    }
}

ZamPanel::ItemSave ZamPanel::saveLocation(ItemEdit edit, QTreeWidgetItem* node, const ItemDialog::Fields& f) {
    QTreeWidgetItem* root = tree_->topLevelItem(0);
    const std::string caption = zamCaption(f.name, std::to_string(f.code));
    if (edit == ItemEdit::Add) {
        if (findZamLocationElement(**zamDefs_, f.code)) return ItemSave::Refused;
        if (changeZamDefs([&](XmlDocument& doc) { return appendZamLocation(doc, f.code, f.name); }))
            tree_->setCurrentItem(addZamNode(tree_, root, caption));
        return ItemSave::Done;
    }
    if (contains(childCodes(root, node), f.code)) return ItemSave::Refused;
    const int oldCode = captionCode(zamNodeCaption(node));
    if (changeZamDefs([&](XmlDocument& doc) { return updateZamLocation(doc, oldCode, f.code, f.name); }))
        node->setText(0, QString::fromStdString(caption));
    return ItemSave::Done;
}

ZamPanel::ItemSave ZamPanel::saveAlarm(ItemEdit edit, QTreeWidgetItem* node, const ItemDialog::Fields& f) {
    QTreeWidgetItem* locationNode = zamNodeLevel(node) == ZamNodeLevel::Location ? node : node->parent();
    const int locationCode = captionCode(zamNodeCaption(locationNode));
    if (!findZamLocationElement(**zamDefs_, locationCode)) return ItemSave::Done;
    const std::string caption = zamCaption(f.name, std::to_string(f.code));
    const ZamAlarmFields alarm{f.code, f.name, f.groupDelay, f.repeat};
    if (edit == ItemEdit::Add) {
        if (findZamAlarmElement(**zamDefs_, locationCode, f.code)) return ItemSave::Refused;
        if (changeZamDefs([&](XmlDocument& doc) { return appendZamAlarm(doc, locationCode, alarm); }))
            tree_->setCurrentItem(addZamNode(tree_, locationNode, caption));
        return ItemSave::Done;
    }
    if (contains(childCodes(locationNode, node), f.code)) return ItemSave::Refused;
    const int oldCode = captionCode(zamNodeCaption(node));
    if (changeZamDefs([&](XmlDocument& doc) { return updateZamAlarm(doc, locationCode, oldCode, alarm); }))
        node->setText(0, QString::fromStdString(caption));
    return ItemSave::Done;
}

void ZamPanel::deleteSelectedItem() {
    QTreeWidgetItem* node = selectedNode();
    if (!canEdit() || !node) return;
    const ZamNodeLevel level = zamNodeLevel(node);
    if (level != ZamNodeLevel::Root) {
        const bool location = level == ZamNodeLevel::Location;
        const QString question = location ? uiText(TextId::ConfirmDeleteLocation) : uiText(TextId::ConfirmDeleteAlarm);
        const int code = captionCode(zamNodeCaption(node));
        const int locationCode = location ? code : captionCode(zamNodeCaption(node->parent()));
        if (prompts_.askYesNo(OperatorPrompts::Question::Confirmation, question) &&
            changeZamDefs([&](XmlDocument& doc) {
                return location ? removeZamLocation(doc, code) : removeZamAlarm(doc, locationCode, code);
            })) {
            delete node;
            emit itemDeleted();
        }
    }
    showSelectedItem();
}

void ZamPanel::exportToZamPro() {
    if (!canEdit()) return;
    ZamProExchange(prompts_, *zamDefs_, *paths_).exportToZamPro();
}

void ZamPanel::importFromZamPro() {
    if (!canEdit()) return;
    if (!ZamProExchange(prompts_, *zamDefs_, *paths_).importFromZamPro()) return;
    fillTree();
    showSelectedItem();
}

}  // namespace zampo
