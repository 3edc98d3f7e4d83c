#pragma once
// The active-alarms page: every element of the alarm status as the gateway holds
// it, sortable by each column and filtered by a text box, with a count per state
// in its heading. Rows still to be reported stand out.
#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>
#include <string>
#include <vector>

#include "logic/alarmstatus/alarmstatusrowedit.h"
#include "logic/alarmstatus/alarmstatusrows.h"

class QLabel;
class QLineEdit;
class QTableView;

namespace zampo {

class AlarmStatusModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Pcu, Location, Nr, Text, ZamAlarm, ZamGroup, State, Since, Reported, Error, DelayLeft, NextRepeat };
    static constexpr int kColumns = NextRepeat + 1;
    // What the proxy sorts by: times as numbers, the rest as its text.
    static constexpr int kSortRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

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

    std::vector<AlarmStatusRow> rows_;
    std::vector<AlarmStatusRow> spare_;
    std::vector<QString> headers_;
};

class AlarmStatusPage : public QWidget {
    Q_OBJECT
public:
    explicit AlarmStatusPage(QWidget* parent = nullptr);

    void applyTexts();
    // The rows anew; the selection (by element) and the scroll position stay.
    void showRows(std::vector<AlarmStatusRow> rows);

    QTableView* view() const { return view_; }
    AlarmStatusModel* model() const { return model_; }
    QSortFilterProxyModel* proxy() const { return proxy_; }
    QString heading() const;

signals:
    // A double click: the row's location in the link grid.
    void showLinkRequested(const QString& pcu, const QString& location);

private:
    void updateHeading();

    QLabel* heading_ = nullptr;
    QLabel* filterLabel_ = nullptr;
    QLineEdit* filterEdit_ = nullptr;
    QTableView* view_ = nullptr;
    AlarmStatusModel* model_ = nullptr;
    QSortFilterProxyModel* proxy_ = nullptr;
};

}  // namespace zampo
