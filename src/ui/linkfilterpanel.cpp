#include "ui/linkfilterpanel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "ui/dialogstyle.h"
#include "ui/widgettext.h"

namespace zampo {
namespace {

constexpr int kFilterBoxHeight = 103;
// Left edge of the first filter column: the grid's 2-pixel border and its
// 13-pixel fixed column come before the first data column.
constexpr int kFilterOrigin = 15;
constexpr int kFilterDefaultWidth = 70;

}  // namespace

LinkFilterPanel::LinkFilterPanel(QWidget* parent) : QGroupBox(parent) {
    // No layout: the boxes follow the grid's column widths (setColumns).
    setObjectName(QStringLiteral("grpLinkFilter"));
    setFixedHeight(kFilterBoxHeight);
    // The caption inside the frame: the desktop style would put a title above it.
    caption_ = named(new QLabel(this), "lblFilter");
    caption_->move(6, 7);
    for (int i = 0; i < kColumns; ++i) {
        const std::string n = std::to_string(i + 1);
        checks_[std::size_t(i)] = named(new QCheckBox(this), ("cbFilter" + n).c_str());
        useFilterBoxStyle(checks_[std::size_t(i)]);
        edits_[std::size_t(i)] = named(new QLineEdit(this), ("edFilter" + n).c_str());
    }
    hideExceptionsCheck_ = named(new QCheckBox(this), "cbFilterExcept");
    showUnassignedCheck_ = named(new QCheckBox(this), "cbFilterEmpty");
    for (int i = 0; i < kColumns; ++i) {
        connect(edits_[std::size_t(i)], &QLineEdit::textChanged, this, [this, i] { textChanged(i + 1); });
        connect(checks_[std::size_t(i)], &QCheckBox::toggled, this, &LinkFilterPanel::changed);
    }
    connect(hideExceptionsCheck_, &QCheckBox::toggled, this, &LinkFilterPanel::changed);
    connect(showUnassignedCheck_, &QCheckBox::toggled, this, &LinkFilterPanel::changed);
    std::array<int, kColumns> widths{};
    widths.fill(kFilterDefaultWidth);
    setColumns({}, widths);
}

void LinkFilterPanel::applyTexts() {
    caption_->setText(uiText(TextId::FilterCaption) + ' ');
    caption_->adjustSize();
    hideExceptionsCheck_->setText(uiText(TextId::HideExceptions));
    showUnassignedCheck_->setText(uiText(TextId::ShowUnassigned));
    placeOptions();
}

void LinkFilterPanel::setColumns(const std::array<QString, kColumns>& captions,
                                 const std::array<int, kColumns>& widths) {
    // Below the caption, which sits below the frame's top line.
    const int checkTop = 22;
    const int editTop = 42;
    const int rowHeight = 20;
    int left = kFilterOrigin;
    // A gap before the next column's box, so that a caption never runs into it.
    constexpr int kCaptionGap = 1;
    for (std::size_t i = 0; i < checks_.size(); ++i) {
        QCheckBox* box = checks_[i];
        box->setGeometry(left, checkTop, std::max(0, widths[i] - kCaptionGap), rowHeight);
        box->setText(captions[i]);
        box->setToolTip(captions[i]);  // for a column the operator narrowed below its caption
        edits_[i]->setGeometry(left, editTop, widths[i], rowHeight + 1);
        left += widths[i];
    }
    placeOptions();
}

// The two options share a line below the column filters, each as wide as its text.
void LinkFilterPanel::placeOptions() {
    const int top = 70;
    hideExceptionsCheck_->adjustSize();
    hideExceptionsCheck_->move(kFilterOrigin, top);
    showUnassignedCheck_->adjustSize();
    showUnassignedCheck_->move(hideExceptionsCheck_->geometry().right() + 24, top);
}

LinkFilterBox LinkFilterPanel::box(const std::array<std::string, kColumns>& headers) const {
    LinkFilterBox box;
    box.headers = headers;
    for (std::size_t i = 0; i < checks_.size(); ++i) {
        box.checked[i] = checks_[i]->isChecked();
        box.texts[i] = edits_[i]->text().toStdString();
    }
    box.hideExceptions = hideExceptionsCheck_->isChecked();
    box.showUnassigned = showUnassignedCheck_->isChecked();
    return box;
}

void LinkFilterPanel::showCorrections(const LinkFilter& filter) {
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        if (!filter.correctedTexts[i]) continue;
        QLineEdit* edit = edits_[i];
        const QString text = QString::fromStdString(*filter.correctedTexts[i]);
        const int caret = edit->cursorPosition();
        {
            const QSignalBlocker quiet(edit);
            edit->setText(text);
        }
        // Typing a second "." leaves the caret where the operator typed it.
        if (caret <= text.size() + 1) edit->setCursorPosition(std::max(0, caret - 1));
    }
}

void LinkFilterPanel::uncheckAll() {
    for (QCheckBox* box : checks_) {
        const QSignalBlocker quiet(box);
        box->setChecked(false);
    }
    for (QCheckBox* box : {hideExceptionsCheck_, showUnassignedCheck_}) {
        const QSignalBlocker quiet(box);
        box->setChecked(false);
    }
}

void LinkFilterPanel::textChanged(int column) {
    QCheckBox* box = checks_.at(std::size_t(column - 1));
    if (!box->isChecked()) {
        // Checking it would filter once more with the same result.
        const QSignalBlocker quiet(box);
        box->setChecked(true);
    }
    emit changed();
}

}  // namespace zampo
