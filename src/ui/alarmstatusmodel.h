#pragma once
// The rows of the active-alarms page as a table: every element of the alarm
// status as the gateway holds it, with the rule of the link definitions that
// routes each alarm, as the commissioning explanation finds it.
#include <QAbstractTableModel>
#include <string>
#include <unordered_map>
#include <vector>

#include "logic/alarmstatus/alarmstatusrows.h"
#include "logic/commissioning/routeexplain.h"
#include "logic/xml/xmlstore.h"

namespace zampo {

class AlarmStatusModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Pcu,
        Location,
        Nr,
        Text,
        ZamAlarm,
        ZamGroup,
        Rule,
        State,
        Since,
        Reported,
        Error,
        DelayLeft,
        NextRepeat
    };
    static constexpr int kColumns = NextRepeat + 1;
    // What the proxy sorts by: times as numbers, the rest as its text.
    static constexpr int kSortRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    // The documents the Rule column is read from; the slots outlive the model's use of them.
    void setRouteDocuments(const DocumentSlot* linkDefs, const DocumentSlot* zamDefs);

    // Changed cells in place, and elements removed or added as rows, when the
    // other elements kept their order (the usual case after a walk); otherwise a
    // reset. Returns whether it was a reset.
    bool setRows(std::vector<AlarmStatusRow> rows);
    const std::vector<AlarmStatusRow>& rows() const { return rows_; }
    // The rows the model let go at its last change, for the next build to fill
    // again without allocating.
    std::vector<AlarmStatusRow> takeSpareRows();
    void applyTexts();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // Brings rows_ to the same elements as rows, telling the views; false when
    // only a reset can.
    bool followElements(const std::vector<AlarmStatusRow>& rows);
    QString cellText(const AlarmStatusRow& row, int column) const;
    // The rule of each alarm row, by element hash, before the rows are taken.
    void updateRules(const std::vector<AlarmStatusRow>& rows);
    QString ruleText(const AlarmStatusRow& row) const;

    std::vector<AlarmStatusRow> rows_;
    std::vector<AlarmStatusRow> spare_;
    std::vector<QString> headers_;
    const DocumentSlot* linkDefs_ = nullptr;
    const DocumentSlot* zamDefs_ = nullptr;
    std::unordered_map<std::uint64_t, QString> rules_;
};

// "location link", "general exception", ...; with "→ 9999/9" when the walk raises
// the configuration error for it.
QString routeRuleText(const Link& link);

}  // namespace zampo
