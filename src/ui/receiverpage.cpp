#include "ui/receiverpage.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/pageparts.h"
#include "ui/widgettext.h"

namespace zampo {
namespace {

constexpr int kColumnWidth = 137;
constexpr int kSettingsHeight = 312;
constexpr int kClearPanelHeight = 49;

}  // namespace

ReceiverPage::ReceiverPage(QWidget* parent) : QWidget(parent) {
    const SettingsPage p = settingsPage(this, "pnlReceiverColumn", kColumnWidth, "pnlReceiverSettings", kSettingsHeight,
                                        "lblReceiverSettings");
    QVBoxLayout* column = p.columnLayout;
    QVBoxLayout* settings = p.settings;
    settingsHeading_ = p.heading;
    hostLabel_ = wrappedLabel("lblZamHost");
    hostEdit_ = named(new QLineEdit(QStringLiteral("127.0.0.1")), "edtAddress");
    portLabel_ = wrappedLabel("lblZamPort");
    portEdit_ = named(new QLineEdit(QStringLiteral("8132")), "edtZamPort");
    // Five digits: a four-digit field would cut a port above 9999 and store the
    // wrong one at the next close.
    portEdit_->setMaxLength(5);
    portEdit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), portEdit_));
    portEdit_->setFixedWidth(50);
    watchdogLabel_ = wrappedLabel("lblID");
    watchdogId_ = named(new QSpinBox, "spnWatchdogId");
    watchdogId_->setRange(0, 9);
    watchdogId_->setValue(1);
    watchdogId_->setFixedWidth(44);
    keepDefaultColours(watchdogId_);
    restartNote_ = wrappedLabel("lblReceiverRestart");
    for (QWidget* w : std::initializer_list<QWidget*>{settingsHeading_, hostLabel_, hostEdit_, portLabel_, portEdit_,
                                                      watchdogLabel_, watchdogId_})
        settings->addWidget(w);
    settings->addStretch(1);
    settings->addWidget(restartNote_);
    column->addWidget(p.settingsPanel);

    column->addWidget(buildTestPanel(), 1);

    QFrame* clearPanel = schemePanel("pnlReceiverClear");
    clearPanel->setFixedHeight(kClearPanelHeight);
    clearButton_ = clearButton("btnClear");
    auto* clearRow = new QHBoxLayout(clearPanel);
    clearRow->setContentsMargins(6, 0, 6, 0);
    clearRow->addWidget(clearButton_);
    column->addWidget(clearPanel);

    lines_ = diagnosticList("lbxDebug");
    connect(clearButton_, &QPushButton::clicked, lines_, &QListWidget::clear);

    p.row->addWidget(p.column);
    p.row->addWidget(lines_, 1);
}

QFrame* ReceiverPage::buildTestPanel() {
    QFrame* testPanel = schemePanel("pnlTestAlarm");
    auto* test = new QGridLayout(testPanel);
    test->setContentsMargins(6, 6, 6, 6);
    test->setVerticalSpacing(4);
    testHeading_ = named(new QLabel, "lblTestHeading");
    testHeading_->setFont(settingsHeading_->font());
    testLocationLabel_ = named(new QLabel, "lblInvoer");
    testAlarmLabel_ = named(new QLabel, "lblTestAlarm");
    testStateLabel_ = named(new QLabel, "lblTestState");
    testLocation_ = named(new QLineEdit, "medtLocatie");
    testLocation_->setInputMask(QStringLiteral("999999;_"));
    testLocation_->setText(QStringLiteral("000001"));
    testLocation_->setFixedWidth(60);
    testAlarm_ = named(new QLineEdit(QStringLiteral("01")), "medtInput");
    testAlarm_->setFixedWidth(34);
    testState_ = named(new QLineEdit(QStringLiteral("A")), "medtStat");
    testState_->setFixedWidth(34);
    sendTestButton_ = named(new QPushButton, "SendButton");
    test->addWidget(testHeading_, 0, 0, 1, 2);
    test->addWidget(testLocationLabel_, 1, 0);
    test->addWidget(testLocation_, 1, 1);
    test->addWidget(testAlarmLabel_, 2, 0);
    test->addWidget(testAlarm_, 2, 1);
    test->addWidget(testStateLabel_, 3, 0);
    test->addWidget(testState_, 3, 1);
    test->addWidget(sendTestButton_, 4, 0, 1, 2);
    test->setRowStretch(5, 1);
    test->setColumnStretch(1, 1);
    connect(sendTestButton_, &QPushButton::clicked, this, [this] {
        // A shorter location would go out as five digits or fewer.
        if (!testLocation_->hasAcceptableInput()) return;
        emit sendTestRequested(testLocation_->text(), testAlarm_->text(), testState_->text());
    });
    connect(testLocation_, &QLineEdit::textChanged, this, [this] {
        sendTestButton_->setEnabled(testLocation_->hasAcceptableInput());
        testLocation_->setToolTip(testLocation_->hasAcceptableInput() ? QString()
                                                                      : uiText(TextId::LocationTakesSixDigits));
    });
    return testPanel;
}

ReceiverPage::~ReceiverPage() {
    // The child widgets outlive this part of the page; none may call back into it.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

void ReceiverPage::applyTexts() {
    settingsHeading_->setText(uiText(TextId::SettingsHeading) + ' ');
    hostLabel_->setText(uiText(TextId::ReceiverHostLabel));
    portLabel_->setText(uiText(TextId::ReceiverPortLabel));
    watchdogLabel_->setText(uiText(TextId::WatchdogIdLabel));
    restartNote_->setText(uiText(TextId::RestartNote));
    testHeading_->setText(uiText(TextId::TestHeading) + ' ');
    testLocationLabel_->setText(uiText(TextId::TestLocationLabel));
    testAlarmLabel_->setText(uiText(TextId::TestAlarmLabel));
    testStateLabel_->setText(uiText(TextId::TestStateLabel));
    sendTestButton_->setText(uiText(TextId::SendTest));
    clearButton_->setText(uiText(TextId::ClearWindow));
}

void ReceiverPage::showSettings(const Settings& settings) {
    hostEdit_->setText(QString::fromStdString(settings.zamHost));
    portEdit_->setText(QString::number(settings.zamPort));
    watchdogId_->setValue(settings.watchdogId >= 0 && settings.watchdogId <= 9 ? settings.watchdogId : 1);
}

void ReceiverPage::takeEdits(Settings& settings) const {
    settings.zamHost = hostEdit_->text().toStdString();
    bool ok = false;
    const int port = portEdit_->text().toInt(&ok);
    // An emptied port field, or one that is no TCP port, keeps the port the gateway runs with.
    if (ok && port >= 1 && port <= 65535) settings.zamPort = port;
    settings.watchdogId = watchdogId_->value();
}

void ReceiverPage::addLines(const QStringList& lines) {
    lines_->addItems(lines);
    // A storm would grow the list without end: the oldest lines make way.
    if (const int excess = lines_->count() - kMaxListLines; excess > 0) lines_->model()->removeRows(0, excess);
    lines_->setCurrentRow(lines_->count() - 1);
}

void ReceiverPage::addLine(const QString& line) {
    lines_->addItem(line);
    // Selecting the new line scrolls the list to it.
    lines_->setCurrentRow(lines_->count() - 1);
}

}  // namespace zampo
