#include "ui/linkpage.h"

#include <QAction>
#include <QLabel>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "logic/encoding/textrules.h"
#include "logic/grid/linkfilter.h"
#include "logic/grid/linkgridrows.h"
#include "logic/linkconfig/linkediting.h"
#include "ui/definitionedits.h"
#include "ui/exceptionsdialog.h"
#include "ui/imagelists.h"
#include "ui/linkfilterpanel.h"
#include "ui/linkgridmodel.h"
#include "ui/linkgridview.h"
#include "ui/pageparts.h"
#include "ui/routedialog.h"
#include "ui/widgettext.h"
#include "ui/zampanel.h"
#include "ui/zamtree.h"

namespace zampo {
namespace {

constexpr int kZamRegionWidth = 223;
constexpr int kSplitterWidth = 7;

bool sameRows(const std::vector<LinkGridRow>& a, const std::vector<LinkGridRow>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const LinkGridRow& x, const LinkGridRow& y) {
        return x.kind == y.kind && x.cells == y.cells;
    });
}

// The alarm type's text of an exception's column 3, "12: Pomp storing".
std::string exceptionText(const LinkGridRow& row) {
    const std::string& cell = row.cell(3);
    const std::size_t colon = cell.find(':');
    if (colon == std::string::npos) return {};
    const std::size_t start = cell.find_first_not_of(' ', colon + 1);
    return start == std::string::npos ? std::string() : cell.substr(start);
}

}  // namespace

LinkPage::LinkPage(OperatorPrompts& prompts, QWidget* parent) : QWidget(parent), prompts_(prompts) {
    zamPanel_ = new ZamPanel(prompts_);
    connect(zamPanel_, &ZamPanel::assignAlarmClicked, this, &LinkPage::assignSelectedAlarm);
    connect(zamPanel_, &ZamPanel::assignGroupClicked, this, &LinkPage::assignSelectedGroup);
    connect(zamPanel_, &ZamPanel::removeGroupClicked, this, &LinkPage::removeGroupFromSelection);
    connect(zamPanel_, &ZamPanel::itemDeleted, this, &LinkPage::removeDeletedZamLinks);

    splitter_ = named(new QSplitter(Qt::Horizontal), "splLinkPage");
    splitter_->setHandleWidth(kSplitterWidth);
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(buildOfficeRegion());
    splitter_->addWidget(zamPanel_);
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
    officeHeading_ = addHeading(column, "pnlOfficeHeading", "lblOfficeHeading");

    QToolBar* bar = addToolStrip(column, "tbrOffice");
    auto add = [this, bar](const char* name, int image, auto action) {
        QToolButton* button = addToolButton(bar, name, officeToolImage(image));
        connect(button, &QToolButton::clicked, this, action);
        return button;
    };
    refreshButton_ = add("tbRefresh", 0, &LinkPage::refreshRequested);
    bar->addSeparator();
    addExceptionButton_ = add("tbAddExcept", 2, &LinkPage::chooseAndAddExceptions);
    deleteExceptionsButton_ = add("tbDeleteExcept", 3, &LinkPage::deleteSelectedExceptions);
    bar->addSeparator();
    explainButton_ = add("tbExplain", 4, &LinkPage::explainSelectedRow);

    grid_ = named(new LinkGridView, "sgMain");
    explainAction_ = new QAction(officeToolImage(4), QString(), grid_);
    explainAction_->setObjectName(QStringLiteral("actExplain"));
    connect(explainAction_, &QAction::triggered, this, &LinkPage::explainSelectedRow);
    grid_->addAction(explainAction_);
    grid_->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(grid_, &LinkGridView::rowDoubleClicked, this, &LinkPage::showLinkedZamAlarm);
    connect(grid_, &LinkGridView::dataColumnsResized, this, &LinkPage::placeFilterBox);
    gridFilter_.setGrid(&grid_->filterGrid());
    gridFilter_.showMessage = [this](const std::string& message) {
        // Not from inside the filter: the box's own event loop could refill the grid mid-way.
        QTimer::singleShot(0, this, [this, text = QString::fromStdString(message)] { prompts_.showMessage(text); });
    };
    filterPanel_ = new LinkFilterPanel;
    connect(filterPanel_, &LinkFilterPanel::changed, this, &LinkPage::filterLinkGrid);
    column->addWidget(grid_, 1);
    column->addWidget(filterPanel_);
    return region;
}

void LinkPage::placeFilterBox() {
    std::array<QString, LinkFilterPanel::kColumns> captions;
    for (std::size_t i = 0; i < captions.size(); ++i) captions[i] = QString::fromStdString(grid_->headers()[i]);
    filterPanel_->setColumns(captions, grid_->dataColumnWidths());
}

void LinkPage::applyTexts() {
    officeHeading_->setText(uiText(TextId::OfficeLocationsHeading));
    refreshButton_->setToolTip(uiText(TextId::RefreshDefinitionsHint));
    addExceptionButton_->setToolTip(uiText(TextId::AddExceptionHint));
    deleteExceptionsButton_->setToolTip(uiText(TextId::RemoveExceptionsHint));
    explainButton_->setToolTip(uiText(TextId::ExplainRoute));
    explainAction_->setText(explainButton_->toolTip());
    zamPanel_->applyTexts();
    filterPanel_->applyTexts();
}

void LinkPage::attachDocuments(DocumentSlot& zamDefs, DocumentSlot& linkDefs) {
    zamDefs_ = &zamDefs;
    linkDefs_ = &linkDefs;
    zamPanel_->attachDocument(zamDefs);
}

void LinkPage::attachDataPaths(DataPaths& paths) {
    paths_ = &paths;
    zamPanel_->attachDataPaths(paths);
}

void LinkPage::fillZamTree() {
    zamPanel_->fillTree();
}

void LinkPage::sortZamTree() {
    zamPanel_->sortTree();
}

void LinkPage::showSelectedZamItem() {
    zamPanel_->showSelectedItem();
}

QTreeWidgetItem* LinkPage::selectedZamNode() const {
    return zamPanel_->selectedNode();
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
    const LinkFilter filter = buildLinkFilter(filterPanel_->box(grid_->headers()));
    filterPanel_->showCorrections(filter);
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
        filterPanel_->uncheckAll();
        filterLinkGrid();
    }
    grid_->setCurrentDataRow(row);
    return true;
}

void LinkPage::showLinkedZamAlarm(int row) {
    if (row < 1 || row > grid_->dataRowCount()) return;
    zamPanel_->showAlarm(grid_->linkRow(row).cell(4));
}

void LinkPage::explainSelectedRow() {
    const std::vector<int> rows = grid_->selectedRows();
    if (rows.empty() || grid_->linkRow(rows.front()).kind == LinkRowKind::Empty) {
        prompts_.showMessage(uiText(TextId::NoGridRowSelected));
        return;
    }
    RouteDialog dialog(QString::fromStdString(explainRow(grid_->linkRow(rows.front()))), this);
    dialog.exec();
}

std::string LinkPage::explainRow(const LinkGridRow& row) const {
    const XmlDocument none;
    const XmlDocument& linkDefs = linkDefs_ && *linkDefs_ ? **linkDefs_ : none;
    const XmlDocument& zamDefs = zamDefs_ && *zamDefs_ ? **zamDefs_ : none;
    const TextOptions options = textOptions ? textOptions() : TextOptions{};
    std::string pcu, location, nr, text;
    if (row.kind != LinkRowKind::GeneralException) {
        pcu = row.cell(1);
        location = row.cell(2);
    }
    if (row.kind != LinkRowKind::Location) {
        nr = row.exceptionNumber();
        text = exceptionText(row);
    }
    return formatRoute(explainRoute(linkDefs, zamDefs, pcu, location, nr, text, options));
}

bool LinkPage::canEditLinks() const {
    return linkDefs_ && paths_;
}

std::vector<LinkRowCells> LinkPage::linkCells(const std::vector<int>& rows) const {
    std::vector<LinkRowCells> cells;
    cells.reserve(rows.size());
    for (int r : rows) {
        const LinkGridRow& row = grid_->linkRow(r);
        cells.push_back({row.cell(1), row.cell(2), row.cell(3), row.cell(4), row.cell(5)});
    }
    return cells;
}

bool LinkPage::changeLinkDefs(const DocumentChange& change) {
    return zampo::changeLinkDefs(prompts_, *linkDefs_, *paths_, change);
}

void LinkPage::syncLinkGridWithDocument() {
    XmlDocument* doc = linkDefs_->get();
    if (!doc) return;
    const std::vector<LinkGridRow> rows = buildLinkGridRows(doc, linkGridTexts().generalException);
    if (!sameRows(rows, grid_->linkModel()->rows())) refillLinkGridKeepingFilter();
}

void LinkPage::refillLinkGridAt(int row) {
    fillLinkGrid();
    grid_->setCurrentDataRow(row);
    filterLinkGrid();
}

void LinkPage::assignToSelectedRows(int column, const std::string& value) {
    const std::vector<int> rows = grid_->selectedRows();
    if (rows.empty()) {
        prompts_.showMessage(uiText(TextId::NoGridRowSelected));
        return;
    }
    std::vector<LinkRowCells> cells = linkCells(rows);
    for (LinkRowCells& c : cells) (column == 4 ? c.zamAlarm : c.zamGroup) = value;
    if (!changeLinkDefs([&cells](XmlDocument& doc) {
            writeRowLinks(doc, cells);
            return true;
        }))
        return;
    for (int r : rows) grid_->setLinkCell(r, column, value);
    if (!value.empty()) grid_->widenColumnToFit(column, value);
    syncLinkGridWithDocument();
}

void LinkPage::assignSelectedAlarm() {
    if (!canEditLinks()) return;
    const QTreeWidgetItem* node = selectedZamNode();
    if (!node || zamNodeLevel(node) != ZamNodeLevel::Alarm) return;
    assignToSelectedRows(4, zamAlarmRefOf(node));
}

void LinkPage::assignSelectedGroup() {
    if (!canEditLinks()) return;
    const QTreeWidgetItem* node = selectedZamNode();
    if (!node || zamNodeLevel(node) != ZamNodeLevel::Alarm) return;
    assignToSelectedRows(5, zamAlarmRefOf(node));
}

void LinkPage::removeGroupFromSelection() {
    if (!canEditLinks()) return;
    assignToSelectedRows(5, {});
}

void LinkPage::deleteSelectedExceptions() {
    if (!canEditLinks()) return;
    // The rows the operator confirms, as they stand now: a definitions merge may
    // rebuild the grid while the question is open.
    const std::vector<LinkRowCells> cells = linkCells(grid_->selectedRows());
    const int top = grid_->selectionTopRow();
    if (!prompts_.askYesNo(OperatorPrompts::Question::Confirmation, uiText(TextId::ConfirmRemoveExceptions))) return;
    if (!changeLinkDefs([&cells](XmlDocument& doc) {
            deleteLinkRows(doc, cells);
            return !cells.empty();
        }))
        return;
    refillLinkGridAt(top > 1 ? top - 1 : 0);
}

void LinkPage::chooseAndAddExceptions() {
    if (!canEditLinks()) return;
    // Taken before the dialog opens, for the same reason as above.
    const std::vector<LinkRowCells> rows = linkCells(grid_->selectedRows());
    const int top = grid_->selectionTopRow();
    auto commit = [this, &rows](const std::vector<AlarmTypeEntry>& types, ExceptionScope scope) {
        return changeLinkDefs([&](XmlDocument& doc) {
            addExceptions(doc, types, scope, rows);
            return true;
        });
    };
    ExceptionsDialog dialog(linkDefs_->get(), commit, this);
    dialog.tellNothingChosen = [this](const QString& text) { prompts_.showMessage(text); };
    dialog.exec();
    if (dialog.selectionAdded()) refillLinkGridAt(top);
}

void LinkPage::removeDeletedZamLinks() {
    if (!canEditLinks() || !zamDefs_ || !zamDefs_->get()) return;
    const XmlDocument& zamDefs = **zamDefs_;
    const int top = grid_->selectionTopRow();
    if (!changeLinkDefs([&zamDefs](XmlDocument& doc) {
            zampo::removeDeletedZamLinks(doc, zamDefs);
            return true;
        }))
        return;
    refillLinkGridAt(top);
}

}  // namespace zampo
