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

#include "logic/linkconfig/zamitems.h"
#include "logic/texts/langtext.h"
#include "ui/dialogstyle.h"
#include "ui/spinfield.h"

namespace zampo {

namespace {

constexpr int kWidth = 304;
constexpr int kLocationHeight = 120;
constexpr int kAlarmHeight = 164;
constexpr int kButtonStripHeight = 30;

}  // namespace

TOKBottomDlg::TOKBottomDlg(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("OKBottomDlg"));
    if (owner) setFont(owner->font());
    setModal(true);

    lblCode_ = named(new QLabel, "lblCode");
    spnCode_ = named(new SpinField, "spnCode");
    lblNaam_ = named(new QLabel, "lblNaam");
    edtNaam_ = named(new QLineEdit, "edtNaam");
    lblDelay_ = named(new QLabel, "lblDelay");
    spnDelay_ = named(new SpinField, "spnDelay");
    lblSeconds_ = named(new QLabel, "lblSeconds");
    lblHerhaal_ = named(new QLabel, "lblHerhaal");
    spnHerhaal_ = named(new SpinField, "spnHerhaal");
    lblminutes_ = named(new QLabel, "lblminutes");
    spnDelay_->setRange(0, kMaxGroupDelay);
    spnDelay_->setSingleStep(30);
    spnHerhaal_->setRange(0, kMaxRepeat);
    for (SpinField* spin : {spnCode_, spnDelay_, spnHerhaal_}) {
        spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
        spin->setFixedWidth(80);
    }

    auto* rows = new QGridLayout;
    rows->setContentsMargins(8, 8, 8, 4);
    rows->setHorizontalSpacing(6);
    rows->setVerticalSpacing(4);
    rows->addWidget(lblCode_, 0, 0);
    rows->addWidget(spnCode_, 0, 1);
    rows->addWidget(lblNaam_, 1, 0);
    rows->addWidget(edtNaam_, 1, 1, 1, 2);
    rows->addWidget(lblDelay_, 2, 0);
    rows->addWidget(spnDelay_, 2, 1);
    rows->addWidget(lblSeconds_, 2, 2);
    rows->addWidget(lblHerhaal_, 3, 0);
    rows->addWidget(spnHerhaal_, 3, 1);
    rows->addWidget(lblminutes_, 3, 2);
    rows->setColumnStretch(2, 1);
    rows->setRowStretch(4, 1);

    cancelBtn_ = named(new QPushButton, "CancelBtn");
    okBtn_ = named(new QPushButton, "OKBtn");
    okBtn_->setDefault(true);
    cancelBtn_->setAutoDefault(false);
    connect(okBtn_, &QPushButton::clicked, this, &TOKBottomDlg::OKBtnClick);
    connect(cancelBtn_, &QPushButton::clicked, this, &TOKBottomDlg::CancelBtnClick);
    QWidget* strip = buttonStrip(kButtonStripHeight, {cancelBtn_, okBtn_});

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(rows, 1);
    column->addWidget(strip);
}

void TOKBottomDlg::showEvent(QShowEvent* event) {
    formShow();
    QDialog::showEvent(event);
}

void TOKBottomDlg::formShow() {
    accepted_ = false;
    const bool alarm = fields.kind == kAlarmKind;
    const QString action = fields.mode == kEditMode ? uiText(44, "Edit") : uiText(43, "Add");
    setWindowTitle(action + ' ' + (alarm ? uiText(38, "Alarm") : uiText(35, "Location")));
    lblCode_->setText(alarm ? uiText(39, "Alarmcode:") : uiText(36, "Locationcode:"));
    lblNaam_->setText(alarm ? uiText(40, "Alarmname:") : uiText(37, "Locationname:"));
    lblDelay_->setText(uiText(100, "Group delay:"));
    lblSeconds_->setText(uiText(101, "Seconds"));
    lblHerhaal_->setText(uiText(107, "Repeat interval:"));
    lblminutes_->setText(uiText(108, "minutes"));
    cancelBtn_->setText(uiText(41, "Cancel"));
    okBtn_->setText(uiText(42, "OK"));
    for (QWidget* w :
         std::initializer_list<QWidget*>{lblDelay_, spnDelay_, lblSeconds_, lblHerhaal_, spnHerhaal_, lblminutes_})
        w->setVisible(alarm);
    spnCode_->setRange(1, alarm ? kMaxAlarmCode : kMaxLocationCode);
    setFixedSize(kWidth, alarm ? kAlarmHeight : kLocationHeight);

    spnCode_->setValue(fields.code);
    edtNaam_->setText(QString::fromStdString(fields.name));
    spnDelay_->setValue(fields.groupDelay);
    spnHerhaal_->setValue(fields.repeat);
    spnCode_->setFocus();
    spnCode_->selectAll();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TOKBottomDlg::OKBtnClick() {
    accepted_ = true;
    fields.code = spnCode_->enteredValue();
    fields.groupDelay = spnDelay_->enteredValue();
    fields.repeat = spnHerhaal_->enteredValue();
    fields.name = itemNameFromInput(edtNaam_->text().toStdString());
    done(QDialog::Accepted);
}

void TOKBottomDlg::CancelBtnClick() {
    accepted_ = false;
    done(QDialog::Rejected);
}

void TOKBottomDlg::reject() {
    CancelBtnClick();
}

}  // namespace zampo
