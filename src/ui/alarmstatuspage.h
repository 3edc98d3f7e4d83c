#pragma once
// The active-alarms page: every element of the alarm status as the gateway holds
// it, sortable by each column and filtered by a text box, with a count per state
// in its heading. Rows still to be reported stand out.
#include <QSortFilterProxyModel>
#include <QWidget>
#include <string>
#include <vector>

#include "ui/alarmstatusmodel.h"

class QLabel;
class QLineEdit;
class QTableView;

namespace zampo {

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
