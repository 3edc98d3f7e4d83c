// The link page's editing: links on the grid's selection, the items of the
// ZAM tree, the exceptions dialog, and the exchange with ZAM-Pro.
#include <QFile>
#include <QFileInfo>
#include <QTreeWidget>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "logic/core/atomicfile.h"
#include "logic/core/datapaths.h"
#include "logic/diag/logwriter.h"
#include "logic/grid/linkgridrows.h"
#include "logic/language/langtext.h"
#include "logic/linkconfig/linkediting.h"
#include "logic/linkconfig/zamdefs.h"
#include "logic/linkconfig/zamexchange.h"
#include "logic/linkconfig/zamitems.h"
#include "ui/exceptionsdialog.h"
#include "ui/itemdialog.h"
#include "ui/linkgridmodel.h"
#include "ui/linkgridview.h"
#include "ui/linkpage.h"
#include "ui/widgettext.h"
#include "ui/zamtree.h"

namespace zampo {

namespace {

bool sameRows(const std::vector<LinkGridRow>& a, const std::vector<LinkGridRow>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const LinkGridRow& x, const LinkGridRow& y) {
        return x.kind == y.kind && x.cells == y.cells;
    });
}

std::vector<int> childCodes(const QTreeWidgetItem* parent, const QTreeWidgetItem* except = nullptr) {
    std::vector<int> codes;
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i) != except) codes.push_back(captionCode(zamNodeCaption(parent->child(i))));
    return codes;
}

bool contains(const std::vector<int>& codes, int code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

std::string localPath(const QString& file) {
    return QFile::encodeName(file).toStdString();
}

}  // namespace

bool LinkPage::canEditLinks() const {
    return linkDefs_ && paths_;
}

bool LinkPage::canEditZamDefs() const {
    return zamDefs_ && zamDefs_->get() && paths_;
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
    const EditOutcome outcome = editLinkDefs(*linkDefs_, paths_->poDataDir(), change);
    reportEditFailure(outcome);
    return outcome.saved();
}

bool LinkPage::changeZamDefs(const DocumentChange& change) {
    const EditOutcome outcome = editZamDefs(*zamDefs_, paths_->poDataDir(), change);
    reportEditFailure(outcome);
    return outcome.saved();
}

void LinkPage::reportEditFailure(const EditOutcome& outcome) {
    if (outcome.status != EditStatus::Failed) return;
    writeLog("Change not saved: " + outcome.error, kLogFileOnly);
    prompts_.showMessage(uiText(215, "Change not saved:") + '\n' + QString::fromStdString(outcome.error));
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
        prompts_.showMessage(uiText(219, "No row of the grid is selected."));
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
    if (!prompts_.askYesNo(OperatorPrompts::Question::Confirmation, uiText(18, "Delete all selected exceptions?")))
        return;
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
    if (!canEditLinks() || !canEditZamDefs()) return;
    const XmlDocument& zamDefs = **zamDefs_;
    const int top = grid_->selectionTopRow();
    if (!changeLinkDefs([&zamDefs](XmlDocument& doc) {
            zampo::removeDeletedZamLinks(doc, zamDefs);
            return true;
        }))
        return;
    refillLinkGridAt(top);
}

void LinkPage::addZamItem() {
    editZamItem(ItemEdit::Add);
}

void LinkPage::editSelectedZamItem() {
    editZamItem(ItemEdit::Edit);
}

void LinkPage::editZamItem(ItemEdit mode) {
    QTreeWidgetItem* node = selectedZamNode();
    if (!canEditZamDefs() || !node) return;
    const ZamNodeLevel level = zamNodeLevel(node);
    QTreeWidgetItem* root = zamTree_->topLevelItem(0);
    ItemDialog dialog(this);
    ItemDialog::Fields& f = dialog.fields;
    f.mode = mode == ItemEdit::Edit ? ItemDialog::kEditMode : ItemDialog::kAddMode;
    const int oldCode = captionCode(zamNodeCaption(node));
    if (mode == ItemEdit::Add) {
        if (level == ZamNodeLevel::Root) {
            f.kind = ItemDialog::kLocationKind;
            f.code = proposedItemCode(childCodes(node), kMaxLocationCode);
            f.name = langText(10, "Location");
        } else {
            f.kind = ItemDialog::kAlarmKind;
            f.code =
                proposedItemCode(childCodes(level == ZamNodeLevel::Location ? node : node->parent()), kMaxAlarmCode);
            f.name = langText(11, "Alarm");
        }
    } else if (level != ZamNodeLevel::Root) {
        f.kind = level == ZamNodeLevel::Location ? ItemDialog::kLocationKind : ItemDialog::kAlarmKind;
        f.code = oldCode;
        f.name = captionName(zamNodeCaption(node));
        if (level == ZamNodeLevel::Alarm) {
            const std::string reference = zamAlarmRefOf(node);
            f.groupDelay = getGroupDelay(**zamDefs_, reference);
            f.repeat = getRepeat(**zamDefs_, reference);
        }
    }

    const bool nothingToEdit = mode == ItemEdit::Edit && level == ZamNodeLevel::Root;
    // Shown again after a refused code, with what the operator entered.
    for (bool again = !nothingToEdit; again;) {
        again = false;
        dialog.exec();
        if (!dialog.accepted()) break;
        const std::string caption = zamCaption(f.name, std::to_string(f.code));
        auto refuse = [&] {
            prompts_.showMessage(uiText(12, "This code already exists!"));
            again = true;
        };
        if (f.kind == ItemDialog::kLocationKind) {
            if (mode == ItemEdit::Add) {
                if (findZamLocationElement(**zamDefs_, f.code)) {
                    refuse();
                    continue;
                }
                if (changeZamDefs([&](XmlDocument& doc) { return appendZamLocation(doc, f.code, f.name); }))
                    zamTree_->setCurrentItem(addZamNode(zamTree_, root, caption));
            } else {
                if (contains(childCodes(root, node), f.code)) {
                    refuse();
                    continue;
                }
                if (changeZamDefs([&](XmlDocument& doc) { return updateZamLocation(doc, oldCode, f.code, f.name); }))
                    node->setText(0, QString::fromStdString(caption));
            }
            continue;
        }
        QTreeWidgetItem* locationNode = level == ZamNodeLevel::Location ? node : node->parent();
        const int locationCode = captionCode(zamNodeCaption(locationNode));
        if (!findZamLocationElement(**zamDefs_, locationCode)) break;
        const ZamAlarmFields alarm{f.code, f.name, f.groupDelay, f.repeat};
        if (mode == ItemEdit::Add) {
            if (findZamAlarmElement(**zamDefs_, locationCode, f.code)) {
                refuse();
                continue;
            }
            if (changeZamDefs([&](XmlDocument& doc) { return appendZamAlarm(doc, locationCode, alarm); }))
                zamTree_->setCurrentItem(addZamNode(zamTree_, locationNode, caption));
        } else {
            if (contains(childCodes(locationNode, node), f.code)) {
                refuse();
                continue;
            }
            if (changeZamDefs([&](XmlDocument& doc) { return updateZamAlarm(doc, locationCode, oldCode, alarm); }))
                node->setText(0, QString::fromStdString(caption));
        }
    }
    sortZamTree();
    showSelectedZamItem();
}

void LinkPage::deleteSelectedZamItem() {
    QTreeWidgetItem* node = selectedZamNode();
    if (!canEditZamDefs() || !node) return;
    const ZamNodeLevel level = zamNodeLevel(node);
    if (level != ZamNodeLevel::Root) {
        const bool location = level == ZamNodeLevel::Location;
        const QString question =
            location ? uiText(8, "Delete this location completely?") : uiText(9, "Delete this alarm?");
        const int code = captionCode(zamNodeCaption(node));
        const int locationCode = location ? code : captionCode(zamNodeCaption(node->parent()));
        if (prompts_.askYesNo(OperatorPrompts::Question::Confirmation, question) &&
            changeZamDefs([&](XmlDocument& doc) {
                return location ? removeZamLocation(doc, code) : removeZamAlarm(doc, locationCode, code);
            })) {
            delete node;
            removeDeletedZamLinks();
        }
    }
    showSelectedZamItem();
}

void LinkPage::exportToZamPro() {
    if (!canEditZamDefs()) return;
    openDataFile(*zamDefs_, paths_->poDataDir(), kZamDefsFile);
    writeExchangeFile();
}

void LinkPage::writeExchangeFile() {
    const QString proposed = QString::fromStdString(paths_->xmlDir()) + '/' + QString::fromLatin1(kExchangeFileName);
    const QString file = prompts_.askSaveFileName(uiText(20, "Save XML file"), proposed,
                                                  uiText(19, "XML file") + QStringLiteral("(*.xml)"));
    if (file.isEmpty()) return;
    std::string data;
    if (!zamDefs_->get() || !buildZamExchange(**zamDefs_, data)) return;
    std::string error;
    if (!writeFileAtomically(localPath(file), data, &error)) {
        writeLog("Export not written: " + error, kLogFileOnly);
        prompts_.showMessage(uiText(216, "Export not written:") + '\n' + QString::fromStdString(error));
    }
}

void LinkPage::importFromZamPro() {
    if (!canEditZamDefs()) return;
    if (!prompts_.askYesNo(OperatorPrompts::Question::Warning, uiText(84, "") + '\n' + uiText(85, ""))) return;
    readExchangeFile();
}

void LinkPage::readExchangeFile() {
    const QString filter =
        uiText(19, "XML file") + QStringLiteral("(*.xml);;") + uiText(21, "All files") + QStringLiteral("(*.*)");
    const QString file =
        prompts_.askOpenFileName(uiText(22, "Open XML file"), QString::fromStdString(paths_->xmlDir()), filter);
    if (file.isEmpty()) return;
    std::string data;
    const QFileInfo info(file);
    if (!info.exists()) {
        prompts_.showMessage(uiText(23, "File not found:") + ' ' + file);
        return;
    }
    if (info.isDir() || !readWholeFile(localPath(file), data)) {
        // It is there: say why it cannot be read instead of "not found".
        QString reason = QString::fromLocal8Bit(std::strerror(EISDIR));
        if (!info.isDir()) {
            QFile probe(file);
            reason = probe.open(QIODevice::ReadOnly) ? QString() : probe.errorString();
        }
        writeLog("Import file not read: " + localPath(file) + ": " + reason.toStdString(), kLogFileOnly);
        prompts_.showMessage(uiText(218, "File cannot be read:") + ' ' + file + '\n' + reason);
        return;
    }
    const SystemAlarmNames names{langText(24, "Priva Office Koppeling Watchdog Fout"),
                                 langText(25, "Priva Office Koppeling Systeemfout"),
                                 langText(26, "Priva Office Koppeling Instelfout")};
    ImportResult result;
    const bool saved = changeZamDefs([&](XmlDocument& doc) {
        result = zampo::importZamDefinitions(doc, data, names);
        return result.status == ImportStatus::Imported;
    });
    if (result.status != ImportStatus::Imported) {
        QString message = uiText(27, "Incorrect file structure");
        if (result.status != ImportStatus::WrongRoot) {
            // Why, in the parser's words or as the entry stands in the file.
            message +=
                '\n' + uiText(217, "Import refused:") + ' ' + file + '\n' + QString::fromStdString(result.detail);
            writeLog("Import refused: " + localPath(file) + ": " + result.detail, kLogFileOnly);
        }
        prompts_.showMessage(message);
        return;
    }
    if (!saved) return;
    fillZamTree();
    showSelectedZamItem();
}

}  // namespace zampo
