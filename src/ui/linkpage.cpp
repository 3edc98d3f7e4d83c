#include "ui/linkpage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <set>

#include "logic/encoding/textrules.h"
#include "logic/grid/linkfilter.h"
#include "logic/grid/linkgridrows.h"
#include "logic/grid/zamcaptions.h"
#include "logic/linkconfig/linkdefs.h"
#include "ui/dialogstyle.h"
#include "ui/imagelists.h"
#include "ui/linkgridview.h"
#include "ui/pageparts.h"
#include "ui/widgettext.h"
#include "ui/zamtree.h"

namespace zampo {
namespace {

constexpr int kZamRegionWidth = 223;
constexpr int kSplitterWidth = 7;
constexpr int kDetailsHeight = 119;
constexpr int kDetailsKeyWidth = 95;
constexpr int kFilterBoxHeight = 103;
// Left edge of the first filter column: the grid's 2-pixel border and its
// 13-pixel fixed column come before the first data column.
constexpr int kFilterOrigin = 15;
constexpr int kFilterDefaultWidth = 70;

}  // namespace

LinkPage::LinkPage(OperatorPrompts& prompts, QWidget* parent) : QWidget(parent), prompts_(prompts) {
    splitter_ = named(new QSplitter(Qt::Horizontal), "Splitter1");
    splitter_->setHandleWidth(kSplitterWidth);
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(buildOfficeRegion());
    splitter_->addWidget(buildZamRegion());
    // Only the Priva Office side grows with the window.
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 0);
    splitter_->setSizes({950 - kZamRegionWidth - kSplitterWidth, kZamRegionWidth});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(splitter_);
}

LinkPage::~LinkPage() {
    // The child widgets outlive this part of the page; none may call back into it.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

QWidget* LinkPage::buildOfficeRegion() {
    auto* region = new QWidget;
    auto* column = new QVBoxLayout(region);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    officeHeading_ = addHeading(column, "Panel11", "Label5");

    QToolBar* bar = addToolStrip(column, "ToolBar2");
    refreshButton_ = addToolButton(bar, "tbRefresh", officeToolImage(0), &LinkPage::refreshRequested);
    bar->addSeparator();
    addExceptionButton_ = addToolButton(bar, "tbAddExcept", officeToolImage(2), &LinkPage::chooseAndAddExceptions);
    deleteExceptionsButton_ =
        addToolButton(bar, "tbDeleteExcept", officeToolImage(3), &LinkPage::deleteSelectedExceptions);

    grid_ = named(new LinkGridView, "sgMain");
    connect(grid_, &LinkGridView::rowDoubleClicked, this, &LinkPage::showLinkedZamAlarm);
    connect(grid_, &LinkGridView::dataColumnsResized, this, &LinkPage::placeFilterBox);
    gridFilter_.setGrid(&grid_->filterGrid());
    gridFilter_.showMessage = [this](const std::string& message) {
        // Not from inside the filter: the box's own event loop could refill the grid mid-way.
        QTimer::singleShot(0, this, [this, text = QString::fromStdString(message)] { prompts_.showMessage(text); });
    };
    column->addWidget(grid_, 1);
    column->addWidget(buildFilterBox());
    return region;
}

QWidget* LinkPage::buildFilterBox() {
    // No layout: the boxes follow the grid's column widths (setFilterColumns).
    filterBox_ = named(new QGroupBox, "GroupBox1");
    filterBox_->setFixedHeight(kFilterBoxHeight);
    // The caption inside the frame: the desktop style would put a title above it.
    filterCaption_ = named(new QLabel(filterBox_), "lblFilter");
    filterCaption_->move(6, 7);
    for (int i = 0; i < kFilterColumns; ++i) {
        const std::string n = std::to_string(i + 1);
        filterChecks_[std::size_t(i)] = named(new QCheckBox(filterBox_), ("cbFilter" + n).c_str());
        useFilterBoxStyle(filterChecks_[std::size_t(i)]);
        filterEdits_[std::size_t(i)] = named(new QLineEdit(filterBox_), ("edFilter" + n).c_str());
    }
    hideExceptionsCheck_ = named(new QCheckBox(filterBox_), "cbFilterExcept");
    showUnassignedCheck_ = named(new QCheckBox(filterBox_), "cbFilterEmpty");
    for (int i = 0; i < kFilterColumns; ++i) {
        connect(filterEdits_[std::size_t(i)], &QLineEdit::textChanged, this, [this, i] { filterTextChanged(i + 1); });
        connect(filterChecks_[std::size_t(i)], &QCheckBox::toggled, this, &LinkPage::filterLinkGrid);
    }
    connect(hideExceptionsCheck_, &QCheckBox::toggled, this, &LinkPage::filterLinkGrid);
    connect(showUnassignedCheck_, &QCheckBox::toggled, this, &LinkPage::filterLinkGrid);
    std::array<int, kFilterColumns> widths{};
    widths.fill(kFilterDefaultWidth);
    setFilterColumns({}, widths);
    return filterBox_;
}

void LinkPage::setFilterColumns(const std::array<QString, kFilterColumns>& captions,
                                const std::array<int, kFilterColumns>& widths) {
    // Below the caption, which sits below the frame's top line.
    const int checkTop = 22;
    const int editTop = 42;
    const int rowHeight = 20;
    int left = kFilterOrigin;
    // A gap before the next column's box, so that a caption never runs into it.
    constexpr int kCaptionGap = 1;
    for (std::size_t i = 0; i < filterChecks_.size(); ++i) {
        QCheckBox* box = filterChecks_[i];
        box->setGeometry(left, checkTop, std::max(0, widths[i] - kCaptionGap), rowHeight);
        box->setText(captions[i]);
        box->setToolTip(captions[i]);  // for a column the operator narrowed below its caption
        filterEdits_[i]->setGeometry(left, editTop, widths[i], rowHeight + 1);
        left += widths[i];
    }
    placeFilterOptions();
}

void LinkPage::placeFilterBox() {
    std::array<QString, kFilterColumns> captions;
    for (std::size_t i = 0; i < captions.size(); ++i) captions[i] = QString::fromStdString(grid_->headers()[i]);
    setFilterColumns(captions, grid_->dataColumnWidths());
}

// The two options share a line below the column filters, each as wide as its text.
void LinkPage::placeFilterOptions() {
    const int top = 70;
    hideExceptionsCheck_->adjustSize();
    hideExceptionsCheck_->move(kFilterOrigin, top);
    showUnassignedCheck_->adjustSize();
    showUnassignedCheck_->move(hideExceptionsCheck_->geometry().right() + 24, top);
}

QWidget* LinkPage::buildZamRegion() {
    auto* region = named(new QWidget, "Panel10");
    region->setMinimumWidth(120);
    auto* column = new QVBoxLayout(region);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    zamHeading_ = addHeading(column, "Panel12", "Label7");

    QToolBar* bar = addToolStrip(column, "ToolBar1");
    assignAlarmButton_ = addToolButton(bar, "tbConnect", zamToolImage(6), &LinkPage::assignSelectedAlarm);
    assignGroupButton_ = addToolButton(bar, "tbGroup", zamToolImage(7), &LinkPage::assignSelectedGroup);
    removeGroupButton_ = addToolButton(bar, "tbDeleteGroup", zamToolImage(8), &LinkPage::removeGroupFromSelection);
    bar->addSeparator();
    addItemButton_ = addToolButton(bar, "tbAdd", zamToolImage(2), &LinkPage::addZamItem);
    deleteItemButton_ = addToolButton(bar, "tbDelete", zamToolImage(1), &LinkPage::deleteSelectedZamItem);
    editItemButton_ = addToolButton(bar, "tbEdit", zamToolImage(3), &LinkPage::editSelectedZamItem);
    bar->addSeparator();
    importButton_ = addToolButton(bar, "tbImport", zamToolImage(4), &LinkPage::importFromZamPro);
    exportButton_ = addToolButton(bar, "tbExport", zamToolImage(5), &LinkPage::exportToZamPro);
    // Nothing is selected in the tree yet, so there is nothing to assign.
    assignAlarmButton_->setEnabled(false);
    assignGroupButton_->setEnabled(false);

    zamTree_ = named(new QTreeWidget, "tvZamLoc");
    zamTree_->setHeaderHidden(true);
    zamTree_->setColumnCount(1);
    zamTree_->setIndentation(19);
    zamTree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    zamTree_->setSelectionMode(QAbstractItemView::SingleSelection);
    zamTree_->setSortingEnabled(false);
    // The selected node stays marked while the operator works in the grid.
    QPalette treeColours = zamTree_->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        treeColours.setColor(QPalette::Inactive, role, treeColours.color(QPalette::Active, role));
    zamTree_->setPalette(treeColours);
    connect(zamTree_, &QTreeWidget::itemSelectionChanged, this, &LinkPage::showSelectedZamItem);
    column->addWidget(zamTree_, 1);

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
    column->addWidget(details_);
    return region;
}

QToolButton* LinkPage::addToolButton(QToolBar* bar, const char* name, const QIcon& icon, void (LinkPage::*action)()) {
    auto* button = named(new QToolButton, name);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setFixedSize(23, 22);
    bar->addWidget(button);
    connect(button, &QToolButton::clicked, this, action);
    return button;
}

void LinkPage::applyTexts() {
    officeHeading_->setText(uiText(59, "Priva Office Locations"));
    zamHeading_->setText(uiText(60, "Zam Locations and Alarms"));

    refreshButton_->setToolTip(uiText(61, "Refresh Priva Office Definitions"));
    addExceptionButton_->setToolTip(uiText(62, "Add exception"));
    deleteExceptionsButton_->setToolTip(uiText(63, "Remove selected exceptions"));
    assignAlarmButton_->setToolTip(uiText(64, "Assign alarm to selected items"));
    assignGroupButton_->setToolTip(uiText(96, "Assign group alarm to selected items"));
    removeGroupButton_->setToolTip(uiText(102, "Delete group alarm from selected items"));
    addItemButton_->setToolTip(uiText(65, "Add alarm or location"));
    deleteItemButton_->setToolTip(uiText(66, "Delete selected alarm or location"));
    editItemButton_->setToolTip(uiText(67, "Edit selected alarm or location"));
    importButton_->setToolTip(uiText(68, "Import locations and alarms from ZAM-Pro"));
    exportButton_->setToolTip(uiText(69, "Export locations and alarms to ZAM-Pro"));

    filterCaption_->setText(uiText(70, "Filter:") + ' ');
    filterCaption_->adjustSize();
    hideExceptionsCheck_->setText(uiText(71, "Hide exceptions"));
    showUnassignedCheck_->setText(uiText(92, "Show unassigned alarms"));
    placeFilterOptions();
}

void LinkPage::attachDocuments(DocumentSlot& zamDefs, DocumentSlot& linkDefs) {
    zamDefs_ = &zamDefs;
    linkDefs_ = &linkDefs;
}

void LinkPage::attachDataPaths(DataPaths& paths) {
    paths_ = &paths;
}

void LinkPage::fillZamTree() {
    zampo::fillZamTree(zamTree_, zamDefs_ ? zamDefs_->get() : nullptr);
}

void LinkPage::sortZamTree() {
    zampo::sortZamTree(zamTree_);
}

QTreeWidgetItem* LinkPage::selectedZamNode() const {
    const QList<QTreeWidgetItem*> selected = zamTree_->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void LinkPage::showSelectedZamItem() {
    QTreeWidgetItem* node = selectedZamNode();
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

void LinkPage::fillLinkGrid() {
    const LinkGridTexts texts = linkGridTexts();
    XmlDocument* doc = linkDefs_ ? linkDefs_->get() : nullptr;
    std::vector<LinkGridRow> rows = buildLinkGridRows(doc, texts.generalException);
    const QFontMetrics metrics = grid_->fontMetrics();
    const auto widths = linkGridColumnWidths(texts.headers, rows, [&metrics](std::string_view t) {
        return metrics.horizontalAdvance(QString::fromUtf8(t.data(), qsizetype(t.size())));
    });
    grid_->fill(texts.headers, std::move(rows), widths);
    placeFilterBox();
}

void LinkPage::filterLinkGrid() {
    // No repaint per row while the rows change.
    const bool updates = grid_->updatesEnabled();
    grid_->setUpdatesEnabled(false);
    gridFilter_.showAllRows();

    LinkFilterBox box;
    box.headers = grid_->headers();
    for (std::size_t i = 0; i < filterChecks_.size(); ++i) {
        box.checked[i] = filterChecks_[i]->isChecked();
        box.texts[i] = filterEdits_[i]->text().toStdString();
    }
    box.hideExceptions = hideExceptionsCheck_->isChecked();
    box.showUnassigned = showUnassignedCheck_->isChecked();
    const LinkFilter filter = buildLinkFilter(box);

    for (std::size_t i = 0; i < filterEdits_.size(); ++i) {
        if (!filter.correctedTexts[i]) continue;
        QLineEdit* edit = filterEdits_[i];
        const QString text = QString::fromStdString(*filter.correctedTexts[i]);
        const int caret = edit->cursorPosition();
        {
            const QSignalBlocker quiet(edit);
            edit->setText(text);
        }
        // Typing a second "." leaves the caret where the operator typed it.
        if (caret <= text.size() + 1) edit->setCursorPosition(std::max(0, caret - 1));
    }
    if (!filter.expression.empty()) gridFilter_.setFilter(filter.expression);
    grid_->setUpdatesEnabled(updates);
}

void LinkPage::refillLinkGridKeepingFilter() {
    // A rebuild drops the selection; an Assign after it would do nothing.
    std::set<std::array<std::string, 3>> selected;
    for (int r : grid_->selectedRows()) {
        const LinkGridRow& row = grid_->linkRow(r);
        selected.insert({row.cell(1), row.cell(2), row.cell(3)});
    }
    fillLinkGrid();
    filterLinkGrid();
    if (selected.empty()) return;
    std::vector<int> again;
    for (int r = 1; r <= grid_->dataRowCount(); ++r) {
        const LinkGridRow& row = grid_->linkRow(r);
        if (!grid_->isDataRowHidden(r) && selected.count({row.cell(1), row.cell(2), row.cell(3)})) again.push_back(r);
    }
    grid_->selectDataRows(again);
}

bool LinkPage::showLocation(const std::string& pcu, const std::string& location) {
    auto find = [this](const std::string& p, const std::string& l) {
        for (int r = 1; r <= grid_->dataRowCount(); ++r) {
            const LinkGridRow& row = grid_->linkRow(r);
            if (row.kind == LinkRowKind::Location && row.cell(1) == p && row.cell(2) == l) return r;
        }
        return 0;
    };
    // As the gateway links an alarm: the names as stored, then without their first blank.
    int row = find(pcu, location);
    if (row == 0) row = find(removeFirstBlank(pcu), removeFirstBlank(location));
    if (row == 0) return false;
    if (grid_->isDataRowHidden(row)) {
        for (QCheckBox* box : filterChecks_) {
            const QSignalBlocker quiet(box);
            box->setChecked(false);
        }
        for (QCheckBox* box : {hideExceptionsCheck_, showUnassignedCheck_}) {
            const QSignalBlocker quiet(box);
            box->setChecked(false);
        }
        filterLinkGrid();
    }
    grid_->setCurrentDataRow(row);
    return true;
}

void LinkPage::filterTextChanged(int column) {
    QCheckBox* box = filterChecks_.at(std::size_t(column - 1));
    if (!box->isChecked()) {
        // Checking it would filter once more with the same result.
        const QSignalBlocker quiet(box);
        box->setChecked(true);
    }
    filterLinkGrid();
}

void LinkPage::showLinkedZamAlarm(int row) {
    if (row < 1 || row > grid_->dataRowCount()) return;
    const std::string reference = grid_->linkRow(row).cell(4);
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
    QTreeWidgetItem* root = zamTree_->topLevelItem(0);
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
    zamTree_->setCurrentItem(target);
    zamTree_->scrollToItem(target);
}

}  // namespace zampo
