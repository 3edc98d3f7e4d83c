#include "ui/alarmstatusmodel.h"

#include <QBrush>
#include <QDateTime>
#include <QFont>

#include "logic/alarmstatus/alarmstatusrowedit.h"
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

QString routeRuleText(const Link& link) {
    QString text;
    switch (link.rule) {
        case LinkRule::LocationLink:
            text = uiText(TextId::LocationLink);
            break;
        case LinkRule::LocationException:
            text = uiText(TextId::LocationException);
            break;
        case LinkRule::GeneralException:
            text = uiText(TextId::GeneralException);
            break;
        case LinkRule::None:
            text = uiText(TextId::RuleNone);
            break;
    }
    // The walk raises the configuration error instead of an alarm it cannot name.
    return link.found ? text : text + QStringLiteral(" \u2192 9999/9");
}

void AlarmStatusModel::applyTexts() {
    headers_ = {uiText(TextId::GridPcuHeader),
                uiText(TextId::GridLocationHeader),
                uiText(TextId::StatusNrHeader),
                uiText(TextId::ExceptionsTextHeader),
                uiText(TextId::GridZamAlarmHeader, "ZAM Alarm"),
                uiText(TextId::GridGroupHeader, "Group"),
                uiText(TextId::Rule),
                uiText(TextId::TestStateLabel),
                uiText(TextId::StatusSinceHeader),
                uiText(TextId::StatusReportedHeader),
                uiText(TextId::StatusErrorHeader),
                uiText(TextId::StatusDelayLeftHeader),
                uiText(TextId::StatusNextRepeatHeader)};
    emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

void AlarmStatusModel::setRouteDocuments(const DocumentSlot* linkDefs, const DocumentSlot* zamDefs) {
    linkDefs_ = linkDefs;
    zamDefs_ = zamDefs;
    rules_.clear();
}

void AlarmStatusModel::updateRules(const std::vector<AlarmStatusRow>& rows) {
    // An element's hash covers its attributes and the definitions it was read
    // with: a rule found for it before still holds.
    std::unordered_map<std::uint64_t, QString> rules;
    const XmlDocument empty;
    const XmlDocument& linkDefs = linkDefs_ && *linkDefs_ ? **linkDefs_ : empty;
    const XmlDocument& zamDefs = zamDefs_ && *zamDefs_ ? **zamDefs_ : empty;
    for (const AlarmStatusRow& row : rows) {
        if (row.group) continue;
        auto found = rules_.find(row.elementHash);
        if (found != rules_.end()) {
            rules.emplace(row.elementHash, std::move(found->second));
            continue;
        }
        // The rule alone: the texts of the lines do not matter here.
        const RouteExplanation route = explainRoute(linkDefs, zamDefs, row.pcu, row.location, row.nr, row.text, {});
        rules.emplace(row.elementHash, routeRuleText(route.link));
    }
    rules_ = std::move(rules);
}

QString AlarmStatusModel::ruleText(const AlarmStatusRow& row) const {
    const auto found = row.group ? rules_.end() : rules_.find(row.elementHash);
    return found == rules_.end() ? QString() : found->second;
}

bool AlarmStatusModel::setRows(std::vector<AlarmStatusRow> rows) {
    updateRules(rows);
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
        case Rule:
            return ruleText(row);
        case State:
            return q(row.stateText);
        case Since:
            return localTime(row.since);
        case Reported:
            return row.toReport ? uiText(TextId::StatusToReport) : localTime(row.reportedAt);
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

std::vector<AlarmStatusRow> AlarmStatusModel::takeSpareRows() {
    return std::move(spare_);
}

}  // namespace zampo
