#include "ui/itemdialog.h"
#include "ui/widgettext.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "logic/language/langtext.h"
#include "logic/linkconfig/zamitems.h"
#include "ui/dialogstyle.h"
#include "ui/spinfield.h"

namespace zampo {

namespace {

constexpr int kWidth = 304;
constexpr int kLocationHeight = 120;
constexpr int kAlarmHeight = 164;
constexpr int kButtonStripHeight = 30;

}  // namespace

ItemDialog::ItemDialog(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("dlgZamItem"));
    if (owner) setFont(owner->font());
    setModal(true);

    codeLabel_ = named(new QLabel, "lblCode");
    codeField_ = named(new SpinField, "spnCode");
    nameLabel_ = named(new QLabel, "lblNaam");
    nameEdit_ = named(new QLineEdit, "edtNaam");
    delayLabel_ = named(new QLabel, "lblDelay");
    delayField_ = named(new SpinField, "spnDelay");
    secondsLabel_ = named(new QLabel, "lblSeconds");
    repeatLabel_ = named(new QLabel, "lblHerhaal");
    repeatField_ = named(new SpinField, "spnHerhaal");
    minutesLabel_ = named(new QLabel, "lblminutes");
    delayField_->setRange(0, kMaxGroupDelay);
    delayField_->setSingleStep(30);
    repeatField_->setRange(0, kMaxRepeat);
    for (SpinField* spin : {codeField_, delayField_, repeatField_}) {
        spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
        spin->setFixedWidth(80);
    }

    auto* rows = new QGridLayout;
    rows->setContentsMargins(8, 8, 8, 4);
    rows->setHorizontalSpacing(6);
    rows->setVerticalSpacing(4);
    rows->addWidget(codeLabel_, 0, 0);
    rows->addWidget(codeField_, 0, 1);
    rows->addWidget(nameLabel_, 1, 0);
    rows->addWidget(nameEdit_, 1, 1, 1, 2);
    rows->addWidget(delayLabel_, 2, 0);
    rows->addWidget(delayField_, 2, 1);
    rows->addWidget(secondsLabel_, 2, 2);
    rows->addWidget(repeatLabel_, 3, 0);
    rows->addWidget(repeatField_, 3, 1);
    rows->addWidget(minutesLabel_, 3, 2);
    rows->setColumnStretch(2, 1);
    rows->setRowStretch(4, 1);

    cancelButton_ = named(new QPushButton, "CancelBtn");
    okButton_ = named(new QPushButton, "OKBtn");
    okButton_->setDefault(true);
    cancelButton_->setAutoDefault(false);
    connect(okButton_, &QPushButton::clicked, this, &ItemDialog::acceptFields);
    connect(cancelButton_, &QPushButton::clicked, this, &ItemDialog::cancel);
    QWidget* strip = buttonStrip(kButtonStripHeight, {cancelButton_, okButton_});

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(rows, 1);
    column->addWidget(strip);
}

void ItemDialog::showEvent(QShowEvent* event) {
    showFields();
    QDialog::showEvent(event);
}

void ItemDialog::showFields() {
    accepted_ = false;
    const bool alarm = fields.kind == kAlarmKind;
    const QString action = fields.mode == kEditMode ? uiText(TextId::ItemDialogEdit) : uiText(TextId::ItemDialogAdd);
    setWindowTitle(action + ' ' +
                   (alarm ? uiText(TextId::ItemDialogAlarmTitle) : uiText(TextId::ItemDialogLocationTitle)));
    codeLabel_->setText(alarm ? uiText(TextId::ItemDialogAlarmCode) : uiText(TextId::ItemDialogLocationCode));
    nameLabel_->setText(alarm ? uiText(TextId::ItemDialogAlarmName) : uiText(TextId::ItemDialogLocationName));
    delayLabel_->setText(uiText(TextId::GroupDelay, "Group delay:"));
    secondsLabel_->setText(uiText(TextId::Seconds, "Seconds"));
    repeatLabel_->setText(uiText(TextId::RepeatInterval, "Repeat interval:"));
    minutesLabel_->setText(uiText(TextId::Minutes));
    cancelButton_->setText(uiText(TextId::ItemDialogCancel));
    okButton_->setText(uiText(TextId::ItemDialogOk));
    for (QWidget* w : std::initializer_list<QWidget*>{delayLabel_, delayField_, secondsLabel_, repeatLabel_,
                                                      repeatField_, minutesLabel_})
        w->setVisible(alarm);
    codeField_->setRange(1, alarm ? kMaxAlarmCode : kMaxLocationCode);
    setFixedSize(kWidth, alarm ? kAlarmHeight : kLocationHeight);

    codeField_->setValue(fields.code);
    nameEdit_->setText(QString::fromStdString(fields.name));
    delayField_->setValue(fields.groupDelay);
    repeatField_->setValue(fields.repeat);
    codeField_->setFocus();
    codeField_->selectAll();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void ItemDialog::acceptFields() {
    accepted_ = true;
    fields.code = codeField_->enteredValue();
    fields.groupDelay = delayField_->enteredValue();
    fields.repeat = repeatField_->enteredValue();
    fields.name = itemNameFromInput(nameEdit_->text().toStdString());
    done(QDialog::Accepted);
}

void ItemDialog::cancel() {
    accepted_ = false;
    done(QDialog::Rejected);
}

void ItemDialog::reject() {
    cancel();
}

}  // namespace zampo
