#include "ui/exceptionsdialog.h"
#include "ui/widgettext.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "logic/language/langtext.h"
#include "ui/dialogstyle.h"

namespace zampo {

namespace {

constexpr int kClientWidth = 501;
constexpr int kClientHeight = 419;
constexpr int kFixedColumnWidth = 15;
constexpr int kCodeColumnWidth = 60;
constexpr int kTextColumnWidth = 400;
constexpr int kRowHeight = 16;
constexpr int kFilterBoxHeight = 62;
constexpr int kChoiceHeight = 60;
constexpr int kButtonStripHeight = 28;

}  // namespace

ExceptionsDialog::ExceptionsDialog(const XmlDocument* linkDefs, Commit commit, QWidget* owner)
    : QDialog(owner), linkDefs_(linkDefs), commit_(std::move(commit)) {
    setObjectName(QStringLiteral("dlgExceptions"));
    if (owner) setFont(owner->font());
    setModal(true);
    setWindowTitle(uiText(TextId::ExceptionsDialogTitle));

    buildAlarmTypes();
    buildFilterBox();
    buildScopeChoice();

    cancelButton_ = named(new QPushButton(uiText(TextId::ExceptionsCancel)), "CancelBtn");
    okButton_ = named(new QPushButton(uiText(TextId::ExceptionsAddSelection)), "OKBtn");
    okButton_->setDefault(true);
    cancelButton_->setAutoDefault(false);
    connect(okButton_, &QPushButton::clicked, this, &ExceptionsDialog::addChosenTypes);
    connect(cancelButton_, &QPushButton::clicked, this, &ExceptionsDialog::cancel);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(alarmTypes_, 1);
    column->addWidget(filterBox_);
    column->addWidget(scopeChoice_);
    column->addWidget(buttonStrip(kButtonStripHeight, {cancelButton_, okButton_}));
    setFixedSize(kClientWidth, kClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void ExceptionsDialog::buildAlarmTypes() {
    alarmTypes_ = named(new QTableWidget(0, 2), "sgExcept");
    alarmTypes_->setSelectionBehavior(QAbstractItemView::SelectRows);
    alarmTypes_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    alarmTypes_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    alarmTypes_->setShowGrid(false);
    alarmTypes_->setWordWrap(false);
    alarmTypes_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    alarmTypes_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QHeaderView* fixed = alarmTypes_->verticalHeader();
    fixed->setFixedWidth(kFixedColumnWidth);
    fixed->setMinimumSectionSize(1);
    fixed->setDefaultSectionSize(kRowHeight);
    fixed->setSectionResizeMode(QHeaderView::Fixed);
    fixed->setHighlightSections(false);
    QHeaderView* header = alarmTypes_->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    alarmTypes_->installEventFilter(this);
    typeFilter_.setGrid(&grid_);
}

void ExceptionsDialog::buildFilterBox() {
    filterBox_ = named(new QGroupBox(uiText(TextId::ExceptionsFilter)), "grpTypeFilter");
    filterBox_->setFixedHeight(kFilterBoxHeight);
    codeFilterCheck_ = named(new QCheckBox(uiText(TextId::ExceptionsFilterNumber), filterBox_), "cbFilter1");
    textFilterCheck_ = named(new QCheckBox(uiText(TextId::ExceptionsFilterText), filterBox_), "cbFilter2");
    codeFilterEdit_ = named(new QLineEdit(filterBox_), "edFilter1");
    textFilterEdit_ = named(new QLineEdit(filterBox_), "edFilter2");
    connect(codeFilterCheck_, &QCheckBox::toggled, this, &ExceptionsDialog::applyFilter);
    connect(textFilterCheck_, &QCheckBox::toggled, this, &ExceptionsDialog::applyFilter);
    connect(codeFilterEdit_, &QLineEdit::textChanged, this, [this] { filterTextChanged(1); });
    connect(textFilterEdit_, &QLineEdit::textChanged, this, [this] { filterTextChanged(2); });
}

void ExceptionsDialog::buildScopeChoice() {
    scopeChoice_ = named(new QGroupBox, "grpExceptionScope");
    scopeChoice_->setFixedHeight(kChoiceHeight);
    selectedLocations_ = named(new QRadioButton(uiText(TextId::ExceptionsToSelectedLocations)), "rbSelectedLocations");
    generalException_ = named(new QRadioButton(uiText(TextId::ExceptionsAsGeneral)), "rbGeneralException");
    auto* choice = new QButtonGroup(scopeChoice_);
    choice->addButton(selectedLocations_, 0);
    choice->addButton(generalException_, 1);
    selectedLocations_->setChecked(true);
    auto* choices = new QVBoxLayout(scopeChoice_);
    choices->setContentsMargins(8, 4, 8, 4);
    choices->addWidget(selectedLocations_);
    choices->addWidget(generalException_);
}

void ExceptionsDialog::showEvent(QShowEvent* event) {
    fillAlarmTypes();
    QDialog::showEvent(event);
}

void ExceptionsDialog::fillAlarmTypes() {
    headers_ = {uiText(TextId::ExceptionsCodeHeader).toStdString(), uiText(TextId::ExceptionsTextHeader).toStdString()};
    alarmTypes_->setHorizontalHeaderLabels({QString::fromStdString(headers_[0]), QString::fromStdString(headers_[1])});
    alarmTypes_->setColumnWidth(0, kCodeColumnWidth);
    alarmTypes_->setColumnWidth(1, kTextColumnWidth);

    rows_ = linkDefs_ ? listAlarmTypes(*linkDefs_) : std::vector<AlarmTypeEntry>{};
    if (rows_.empty()) rows_.emplace_back();
    alarmTypes_->clearContents();
    alarmTypes_->setRowCount(int(rows_.size()));
    for (int r = 0; r < int(rows_.size()); ++r) {
        const AlarmTypeEntry& type = rows_[std::size_t(r)];
        alarmTypes_->setVerticalHeaderItem(r, new QTableWidgetItem(QString()));
        alarmTypes_->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(type.nr)));
        alarmTypes_->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(type.text)));
        alarmTypes_->setRowHidden(r, false);
    }
    // The first row chosen, as the operator knows the dialog.
    alarmTypes_->setCurrentCell(0, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    placeFilterEdits();
}

// Each filter edit under its column, its check box above it.
void ExceptionsDialog::placeFilterEdits() {
    const int left = alarmTypes_->frameWidth() + kFixedColumnWidth;
    const int checkTop = 16;
    const int editTop = 34;
    const int checkHeight = 18;
    const int editHeight = 21;
    const int codeWidth = alarmTypes_->columnWidth(0);
    const int textWidth = alarmTypes_->columnWidth(1);
    codeFilterCheck_->setGeometry(left, checkTop, codeWidth, checkHeight);
    codeFilterEdit_->setGeometry(left, editTop, codeWidth, editHeight);
    textFilterCheck_->setGeometry(left + codeWidth, checkTop, textWidth, checkHeight);
    textFilterEdit_->setGeometry(left + codeWidth, editTop, textWidth, editHeight);
}

void ExceptionsDialog::filterTextChanged(int column) {
    QCheckBox* box = column == 1 ? codeFilterCheck_ : textFilterCheck_;
    if (!box->isChecked()) {
        // Checking it would filter once more with the same result.
        const QSignalBlocker quiet(box);
        box->setChecked(true);
    }
    applyFilter();
}

void ExceptionsDialog::applyFilter() {
    typeFilter_.showAllRows();
    std::string expression;
    auto add = [&](QCheckBox* box, QLineEdit* edit, const std::string& header) {
        const std::string value = edit->text().trimmed().toStdString();
        if (!box->isChecked() || value.empty()) return;
        if (!expression.empty()) expression += " AND ";
        expression += "[" + header + "] LIKE \"" + value + "\"";
    };
    add(codeFilterCheck_, codeFilterEdit_, headers_[0]);
    add(textFilterCheck_, textFilterEdit_, headers_[1]);
    if (!expression.empty()) typeFilter_.setFilter(expression);
}

std::vector<AlarmTypeEntry> ExceptionsDialog::chosenTypes() const {
    std::vector<AlarmTypeEntry> chosen;
    const QItemSelection selection = alarmTypes_->selectionModel()->selection();
    if (selection.isEmpty()) return chosen;
    int top = alarmTypes_->rowCount();
    int bottom = -1;
    for (const QItemSelectionRange& range : selection) {
        top = std::min(top, range.top());
        bottom = std::max(bottom, range.bottom());
    }
    for (int r = top; r <= bottom && r < int(rows_.size()); ++r)
        if (!alarmTypes_->isRowHidden(r)) chosen.push_back(rows_[std::size_t(r)]);
    return chosen;
}

void ExceptionsDialog::addChosenTypes() {
    const ExceptionScope scope =
        generalException_->isChecked() ? ExceptionScope::General : ExceptionScope::SelectedLocations;
    std::vector<AlarmTypeEntry> chosen = chosenTypes();
    // The empty row of an empty list is no alarm type.
    std::erase_if(chosen, [](const AlarmTypeEntry& type) { return type.nr.empty(); });
    if (chosen.empty()) {
        if (tellNothingChosen) tellNothingChosen(uiText(TextId::NoAlarmSelected));
        return;
    }
    selectionAdded_ = commit_ && commit_(chosen, scope);
    done(QDialog::Accepted);
}

void ExceptionsDialog::cancel() {
    selectionAdded_ = false;
    done(QDialog::Rejected);
}

void ExceptionsDialog::reject() {
    cancel();
}

bool ExceptionsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == alarmTypes_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_A && key->modifiers() == Qt::ControlModifier) {
            const int last = alarmTypes_->rowCount() - 1;
            if (last >= 0)
                alarmTypes_->selectionModel()->select(
                    QItemSelection(alarmTypes_->model()->index(0, 0), alarmTypes_->model()->index(last, 1)),
                    QItemSelectionModel::ClearAndSelect);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

int ExceptionsDialog::AlarmTypeGrid::rowCount() const {
    return int(dialog_.rows_.size()) + 1;
}

int ExceptionsDialog::AlarmTypeGrid::columnCount() const {
    return 3;
}

std::string_view ExceptionsDialog::AlarmTypeGrid::cellText(int column, int row) const {
    if (column < 1 || column > 2 || row < 0 || row > int(dialog_.rows_.size())) return {};
    if (row == 0) return dialog_.headers_[std::size_t(column - 1)];
    const AlarmTypeEntry& type = dialog_.rows_[std::size_t(row - 1)];
    return column == 1 ? type.nr : type.text;
}

bool ExceptionsDialog::AlarmTypeGrid::rowVisible(int row) const {
    return row == 0 || !dialog_.alarmTypes_->isRowHidden(row - 1);
}

void ExceptionsDialog::AlarmTypeGrid::setRowVisible(int row, bool visible) {
    if (row < 1 || row > int(dialog_.rows_.size())) return;
    dialog_.alarmTypes_->setRowHidden(row - 1, !visible);
}

}  // namespace zampo
