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

#include "logic/texts/langtext.h"
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

TOKBottomDlg1::TOKBottomDlg1(const XmlDocument* linkDefs, Commit commit, QWidget* owner)
    : QDialog(owner), linkDefs_(linkDefs), commit_(std::move(commit)) {
    setObjectName(QStringLiteral("OKBottomDlg1"));
    if (owner) setFont(owner->font());
    setModal(true);
    setWindowTitle(uiText(49, "Add Exceptions"));

    sgExcept_ = named(new QTableWidget(0, 2), "sgExcept");
    sgExcept_->setSelectionBehavior(QAbstractItemView::SelectRows);
    sgExcept_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    sgExcept_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgExcept_->setShowGrid(false);
    sgExcept_->setWordWrap(false);
    sgExcept_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgExcept_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QHeaderView* fixed = sgExcept_->verticalHeader();
    fixed->setFixedWidth(kFixedColumnWidth);
    fixed->setMinimumSectionSize(1);
    fixed->setDefaultSectionSize(kRowHeight);
    fixed->setSectionResizeMode(QHeaderView::Fixed);
    fixed->setHighlightSections(false);
    QHeaderView* header = sgExcept_->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    sgExcept_->installEventFilter(this);
    gfAlarm_.setGrid(&grid_);

    groupBox1_ = named(new QGroupBox(uiText(48, "Filter")), "GroupBox1");
    groupBox1_->setFixedHeight(kFilterBoxHeight);
    cbFilter1_ = named(new QCheckBox(uiText(50, "nr"), groupBox1_), "cbFilter1");
    cbFilter2_ = named(new QCheckBox(uiText(51, "text"), groupBox1_), "cbFilter2");
    edFilter1_ = named(new QLineEdit(groupBox1_), "edFilter1");
    edFilter2_ = named(new QLineEdit(groupBox1_), "edFilter2");
    connect(cbFilter1_, &QCheckBox::toggled, this, &TOKBottomDlg1::applyExceptFilter);
    connect(cbFilter2_, &QCheckBox::toggled, this, &TOKBottomDlg1::applyExceptFilter);
    connect(edFilter1_, &QLineEdit::textChanged, this, [this] { edFilterChange(1); });
    connect(edFilter2_, &QLineEdit::textChanged, this, [this] { edFilterChange(2); });

    rgSelected_ = named(new QGroupBox, "rgSelected");
    rgSelected_->setFixedHeight(kChoiceHeight);
    selectedLocations_ = named(new QRadioButton(uiText(52, "Add only to the selected location(s)")), "rgSelected0");
    generalException_ =
        named(new QRadioButton(uiText(53, "Add as general exception (independent from locations)")), "rgSelected1");
    auto* choice = new QButtonGroup(rgSelected_);
    choice->addButton(selectedLocations_, 0);
    choice->addButton(generalException_, 1);
    selectedLocations_->setChecked(true);
    auto* choices = new QVBoxLayout(rgSelected_);
    choices->setContentsMargins(8, 4, 8, 4);
    choices->addWidget(selectedLocations_);
    choices->addWidget(generalException_);

    cancelBtn_ = named(new QPushButton(uiText(54, "Cancel")), "CancelBtn");
    okBtn_ = named(new QPushButton(uiText(55, "Add Selection")), "OKBtn");
    okBtn_->setDefault(true);
    cancelBtn_->setAutoDefault(false);
    connect(okBtn_, &QPushButton::clicked, this, &TOKBottomDlg1::OKBtnClick);
    connect(cancelBtn_, &QPushButton::clicked, this, &TOKBottomDlg1::CancelBtnClick);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(sgExcept_, 1);
    column->addWidget(groupBox1_);
    column->addWidget(rgSelected_);
    column->addWidget(buttonStrip(kButtonStripHeight, {cancelBtn_, okBtn_}));
    setFixedSize(kClientWidth, kClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TOKBottomDlg1::showEvent(QShowEvent* event) {
    fillAlarmTypes();
    QDialog::showEvent(event);
}

void TOKBottomDlg1::fillAlarmTypes() {
    headers_ = {uiText(45, "Code").toStdString(), uiText(46, "Text").toStdString()};
    sgExcept_->setHorizontalHeaderLabels({QString::fromStdString(headers_[0]), QString::fromStdString(headers_[1])});
    sgExcept_->setColumnWidth(0, kCodeColumnWidth);
    sgExcept_->setColumnWidth(1, kTextColumnWidth);

    rows_ = linkDefs_ ? listAlarmTypes(*linkDefs_) : std::vector<AlarmTypeEntry>{};
    if (rows_.empty()) rows_.emplace_back();
    sgExcept_->clearContents();
    sgExcept_->setRowCount(int(rows_.size()));
    for (int r = 0; r < int(rows_.size()); ++r) {
        const AlarmTypeEntry& type = rows_[std::size_t(r)];
        sgExcept_->setVerticalHeaderItem(r, new QTableWidgetItem(QString()));
        sgExcept_->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(type.nr)));
        sgExcept_->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(type.text)));
        sgExcept_->setRowHidden(r, false);
    }
    placeFilterEdits();
}

// Each filter edit under its column, its check box above it.
void TOKBottomDlg1::placeFilterEdits() {
    const int left = sgExcept_->frameWidth() + kFixedColumnWidth;
    const int checkTop = 16;
    const int editTop = 34;
    const int checkHeight = 18;
    const int editHeight = 21;
    const int codeWidth = sgExcept_->columnWidth(0);
    const int textWidth = sgExcept_->columnWidth(1);
    cbFilter1_->setGeometry(left, checkTop, codeWidth, checkHeight);
    edFilter1_->setGeometry(left, editTop, codeWidth, editHeight);
    cbFilter2_->setGeometry(left + codeWidth, checkTop, textWidth, checkHeight);
    edFilter2_->setGeometry(left + codeWidth, editTop, textWidth, editHeight);
}

void TOKBottomDlg1::edFilterChange(int column) {
    QCheckBox* box = column == 1 ? cbFilter1_ : cbFilter2_;
    if (!box->isChecked()) {
        // Checking it would filter once more with the same result.
        const QSignalBlocker quiet(box);
        box->setChecked(true);
    }
    applyExceptFilter();
}

void TOKBottomDlg1::applyExceptFilter() {
    gfAlarm_.showAllRows();
    std::string expression;
    auto add = [&](QCheckBox* box, QLineEdit* edit, const std::string& header) {
        const std::string value = edit->text().trimmed().toStdString();
        if (!box->isChecked() || value.empty()) return;
        if (!expression.empty()) expression += " AND ";
        expression += "[" + header + "] LIKE \"" + value + "\"";
    };
    add(cbFilter1_, edFilter1_, headers_[0]);
    add(cbFilter2_, edFilter2_, headers_[1]);
    if (!expression.empty()) gfAlarm_.setFilter(expression);
}

std::vector<AlarmTypeEntry> TOKBottomDlg1::chosenTypes() const {
    std::vector<AlarmTypeEntry> chosen;
    const QItemSelection selection = sgExcept_->selectionModel()->selection();
    if (selection.isEmpty()) return chosen;
    int top = sgExcept_->rowCount();
    int bottom = -1;
    for (const QItemSelectionRange& range : selection) {
        top = std::min(top, range.top());
        bottom = std::max(bottom, range.bottom());
    }
    for (int r = top; r <= bottom && r < int(rows_.size()); ++r)
        if (!sgExcept_->isRowHidden(r)) chosen.push_back(rows_[std::size_t(r)]);
    return chosen;
}

void TOKBottomDlg1::OKBtnClick() {
    const ExceptionScope scope =
        generalException_->isChecked() ? ExceptionScope::General : ExceptionScope::SelectedLocations;
    selectionAdded_ = commit_ && commit_(chosenTypes(), scope);
    done(QDialog::Accepted);
}

void TOKBottomDlg1::CancelBtnClick() {
    selectionAdded_ = false;
    done(QDialog::Rejected);
}

void TOKBottomDlg1::reject() {
    CancelBtnClick();
}

bool TOKBottomDlg1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sgExcept_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_A && key->modifiers() == Qt::ControlModifier) {
            const int last = sgExcept_->rowCount() - 1;
            if (last >= 0)
                sgExcept_->selectionModel()->select(
                    QItemSelection(sgExcept_->model()->index(0, 0), sgExcept_->model()->index(last, 1)),
                    QItemSelectionModel::ClearAndSelect);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

int TOKBottomDlg1::AlarmTypeGrid::rowCount() const {
    return int(dialog_.rows_.size()) + 1;
}

int TOKBottomDlg1::AlarmTypeGrid::columnCount() const {
    return 3;
}

std::string_view TOKBottomDlg1::AlarmTypeGrid::cellText(int column, int row) const {
    if (column < 1 || column > 2 || row < 0 || row > int(dialog_.rows_.size())) return {};
    if (row == 0) return dialog_.headers_[std::size_t(column - 1)];
    const AlarmTypeEntry& type = dialog_.rows_[std::size_t(row - 1)];
    return column == 1 ? type.nr : type.text;
}

bool TOKBottomDlg1::AlarmTypeGrid::rowVisible(int row) const {
    return row == 0 || !dialog_.sgExcept_->isRowHidden(row - 1);
}

void TOKBottomDlg1::AlarmTypeGrid::setRowVisible(int row, bool visible) {
    if (row < 1 || row > int(dialog_.rows_.size())) return;
    dialog_.sgExcept_->setRowHidden(row - 1, !visible);
}

}  // namespace zampo
