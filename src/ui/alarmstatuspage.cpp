#include "ui/alarmstatuspage.h"

#include <QBrush>
#include <QDateTime>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <unordered_map>
#include <unordered_set>

#include "ui/widgettext.h"

namespace zampo {

namespace {

QString localTime(const std::optional<TimeMs>& t) {
    if (!t) return {};
    return QDateTime::fromMSecsSinceEpoch(t->time_since_epoch().count())
        .toLocalTime()
        .toString(QStringLiteral("dd-MM-yyyy HH:mm:ss"));
}

QVariant sortTime(const std::optional<TimeMs>& t) {
    return t ? QVariant(qint64(t->time_since_epoch().count())) : QVariant(qint64(-1));
}

QString delayText(int64_t seconds) {
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

bool sameElements(const std::vector<AlarmStatusRow>& a, const std::vector<AlarmStatusRow>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!sameElement(a[i], b[i])) return false;
    return true;
}

// Beyond this many runs of rows removed or added, one reset is cheaper than
// the proxy following each of them.
constexpr std::size_t kMostRowRuns = 64;

}  // namespace

void AlarmStatusModel::applyTexts() {
    headers_ = {uiText(13, "PCU"),       uiText(14, "Location"), uiText(201, "Nr"),         uiText(46, "Text"),
                uiText(16, "ZAM Alarm"), uiText(94, "Group"),    uiText(78, "State"),       uiText(202, "Since"),
                uiText(203, "Reported"), uiText(204, "Error"),   uiText(205, "Delay left"), uiText(206, "Next repeat")};
    emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

bool AlarmStatusModel::setRows(std::vector<AlarmStatusRow> rows) {
    if (rows_.empty() || !followElements(rows)) {
        beginResetModel();
        std::swap(rows_, rows);
        endResetModel();
        spare_ = std::move(rows);
        return true;
    }
    // Only the rows that changed: a signal for all would make the proxy sort and filter everything anew.
    std::vector<int> changed;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (!(rows_[i] == rows[i])) changed.push_back(int(i));
    std::swap(rows_, rows);
    spare_ = std::move(rows);
    for (std::size_t i = 0; i < changed.size();) {
        std::size_t j = i;
        while (j + 1 < changed.size() && changed[j + 1] == changed[j] + 1) ++j;
        emit dataChanged(index(changed[i], 0), index(changed[j], kColumns - 1));
        i = j + 1;
    }
    return false;
}

bool AlarmStatusModel::followElements(const std::vector<AlarmStatusRow>& rows) {
    if (sameElements(rows_, rows)) return true;
    // Elements removed and added row by row, so the proxy, the selection and the
    // scroll position follow them without a reset.
    const std::optional<AlarmStatusRowEdit> edit = planRowEdit(rows_, rows);
    if (!edit || edit->removed.size() + edit->inserted.size() > kMostRowRuns) return false;
    for (auto run = edit->removed.rbegin(); run != edit->removed.rend(); ++run) {
        beginRemoveRows({}, run->first, run->first + run->count - 1);
        rows_.erase(rows_.begin() + run->first, rows_.begin() + run->first + run->count);
        endRemoveRows();
    }
    for (const RowRange& run : edit->inserted) {
        beginInsertRows({}, run.first, run.first + run.count - 1);
        rows_.insert(rows_.begin() + run.first, rows.begin() + run.first, rows.begin() + run.first + run.count);
        endInsertRows();
    }
    return true;
}

int AlarmStatusModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int AlarmStatusModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString AlarmStatusModel::cellText(const AlarmStatusRow& row, int column) const {
    auto q = [](const std::string& s) { return QString::fromStdString(s); };
    switch (column) {
        case Pcu:
            return q(row.pcu);
        case Location:
            return q(row.location);
        case Nr:
            return q(row.nr);
        case Text:
            return q(row.text);
        case ZamAlarm:
            return q(row.zamAlarm);
        case ZamGroup:
            return q(row.zamGroup);
        case State:
            return q(row.stateText);
        case Since:
            return localTime(row.since);
        case Reported:
            return row.toReport ? uiText(213, "to report") : localTime(row.reportedAt);
        case Error:
            return row.error.empty() ? QString() : q(row.error) + QStringLiteral(": ") + q(row.errorText);
        case DelayLeft:
            return row.delayLeftSeconds ? delayText(*row.delayLeftSeconds) : QString();
        case NextRepeat:
            return localTime(row.nextRepeat);
        default:
            return {};
    }
}

QVariant AlarmStatusModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const AlarmStatusRow& row = rows_[std::size_t(index.row())];
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return cellText(row, column);
        case kSortRole:
            switch (column) {
                case Since:
                    return sortTime(row.since);
                case Reported:
                    return row.toReport ? QVariant(qint64(-2)) : sortTime(row.reportedAt);
                case NextRepeat:
                    return sortTime(row.nextRepeat);
                case DelayLeft:
                    return QVariant(qint64(row.delayLeftSeconds.value_or(-1)));
                default:
                    return cellText(row, column);
            }
        case Qt::BackgroundRole:
            if (row.toReport) return QBrush(QColor(255, 236, 160));
            return {};
        case Qt::FontRole:
            if (row.toReport) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::ForegroundRole:
            if ((column == Error && !row.error.empty()) || (column == ZamAlarm && !row.group && !row.linked))
                return QBrush(Qt::darkRed);
            return {};
        default:
            return {};
    }
}

QVariant AlarmStatusModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= int(headers_.size()))
        return QAbstractTableModel::headerData(section, orientation, role);
    return headers_[std::size_t(section)];
}

AlarmStatusPage::AlarmStatusPage(QWidget* parent) : QWidget(parent) {
    heading_ = named(new QLabel, "lblAlarmStatus");
    QFont headingFont = heading_->font();
    headingFont.setBold(true);
    heading_->setFont(headingFont);
    filterLabel_ = named(new QLabel, "lblAlarmFilter");
    filterEdit_ = named(new QLineEdit, "edtAlarmFilter");
    filterEdit_->setClearButtonEnabled(true);
    filterLabel_->setBuddy(filterEdit_);

    model_ = new AlarmStatusModel(this);
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model_);
    proxy_->setSortRole(AlarmStatusModel::kSortRole);
    proxy_->setFilterKeyColumn(-1);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    // The filter and sort follow a refresh of the rows by themselves.
    proxy_->setDynamicSortFilter(true);

    view_ = named(new QTableView, "gridAlarmStatus");
    view_->setModel(proxy_);
    view_->setSortingEnabled(true);
    view_->sortByColumn(-1, Qt::AscendingOrder);  // document order until the operator sorts
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setWordWrap(false);
    view_->verticalHeader()->setDefaultSectionSize(18);
    view_->verticalHeader()->setVisible(false);
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int widths[AlarmStatusModel::kColumns] = {70, 110, 40, 160, 150, 120, 55, 125, 125, 180, 70, 125};
    for (int c = 0; c < AlarmStatusModel::kColumns; ++c) view_->setColumnWidth(c, widths[c]);

    auto* top = new QHBoxLayout;
    top->addWidget(heading_, 1);
    top->addWidget(filterLabel_);
    top->addWidget(filterEdit_);
    filterEdit_->setFixedWidth(220);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addWidget(view_, 1);

    connect(filterEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        proxy_->setFilterFixedString(text);
        updateHeading();
    });
    connect(view_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        const QModelIndex source = proxy_->mapToSource(index);
        if (!source.isValid()) return;
        const AlarmStatusRow& row = model_->rows()[std::size_t(source.row())];
        if (!row.group) emit showLinkRequested(QString::fromStdString(row.pcu), QString::fromStdString(row.location));
    });
}

void AlarmStatusPage::applyTexts() {
    model_->applyTexts();
    filterLabel_->setText(uiText(70, "Filter:"));
    updateHeading();
}

std::vector<AlarmStatusRow> AlarmStatusModel::takeSpareRows() {
    return std::move(spare_);
}

void AlarmStatusPage::showRows(std::vector<AlarmStatusRow> rows) {
    QItemSelectionModel* selection = view_->selectionModel();
    std::unordered_set<std::string> selected;
    for (const QModelIndex& index : selection->selectedRows())
        selected.insert(model_->rows()[std::size_t(proxy_->mapToSource(index).row())].key());
    const QModelIndex current = proxy_->mapToSource(selection->currentIndex());
    const std::string currentKey = current.isValid() ? model_->rows()[std::size_t(current.row())].key() : std::string();
    const int currentColumn = current.isValid() ? current.column() : 0;
    const int scroll = view_->verticalScrollBar()->value();
    const int hscroll = view_->horizontalScrollBar()->value();

    const bool reset = model_->setRows(std::move(rows));
    if (reset && (!selected.empty() || !currentKey.empty())) {
        QItemSelection keep;
        QModelIndex newCurrent;
        const auto& all = model_->rows();
        for (int r = 0, n = int(all.size()); r < n; ++r) {
            const std::string key = all[std::size_t(r)].key();
            const QModelIndex index = proxy_->mapFromSource(model_->index(r, 0));
            if (!index.isValid()) continue;
            if (selected.count(key)) keep.select(index, index.siblingAtColumn(AlarmStatusModel::kColumns - 1));
            if (key == currentKey) newCurrent = index.siblingAtColumn(currentColumn);
        }
        if (newCurrent.isValid()) selection->setCurrentIndex(newCurrent, QItemSelectionModel::NoUpdate);
        selection->select(keep, QItemSelectionModel::ClearAndSelect);
    }
    view_->verticalScrollBar()->setValue(scroll);
    view_->horizontalScrollBar()->setValue(hscroll);
    updateHeading();
}

QString AlarmStatusPage::heading() const {
    return heading_->text();
}

void AlarmStatusPage::updateHeading() {
    const AlarmStatusCounts c = countAlarmStatusRows(model_->rows());
    QString text = uiText(200, "Active alarms") + QStringLiteral(": %1 %2, %3 %4, %5 %6")
                                                      .arg(c.active)
                                                      .arg(uiText(207, "active"))
                                                      .arg(c.reset)
                                                      .arg(uiText(208, "reset"))
                                                      .arg(c.toReport)
                                                      .arg(uiText(213, "to report"));
    if (!filterEdit_->text().isEmpty())
        text += QStringLiteral("  |  %1 %2").arg(uiText(70, "Filter:")).arg(proxy_->rowCount());
    heading_->setText(text);
}

}  // namespace zampo
