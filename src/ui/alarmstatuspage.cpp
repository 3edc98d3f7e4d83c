#include "ui/alarmstatuspage.h"

#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <unordered_set>

#include "ui/widgettext.h"

namespace zampo {

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
    const int widths[AlarmStatusModel::kColumns] = {70, 110, 40, 160, 150, 120, 150, 55, 125, 125, 180, 70, 125};
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
    filterLabel_->setText(uiText(TextId::FilterCaption));
    updateHeading();
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
    QString text = uiText(TextId::ActiveAlarms) + QStringLiteral(": %1 %2, %3 %4, %5 %6")
                                                      .arg(c.active)
                                                      .arg(uiText(TextId::StatusActive))
                                                      .arg(c.reset)
                                                      .arg(uiText(TextId::StatusReset))
                                                      .arg(c.toReport)
                                                      .arg(uiText(TextId::StatusToReport));
    if (!filterEdit_->text().isEmpty())
        text += QStringLiteral("  |  %1 %2").arg(uiText(TextId::FilterCaption)).arg(proxy_->rowCount());
    heading_->setText(text);
}

}  // namespace zampo
