#include "ui/officepage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/pageparts.h"
#include "ui/widgettext.h"

namespace zampo {
namespace {

constexpr int kColumnWidth = 136;
constexpr int kSettingsHeight = 333;
constexpr int kListWidth = 790;

}  // namespace

OfficePage::OfficePage(QWidget* parent) : QWidget(parent) {
    const SettingsPage p =
        settingsPage(this, "pnlOfficeColumn", kColumnWidth, "pnlOfficeSettings", kSettingsHeight, "lblOfficeSettings");
    QVBoxLayout* column = p.columnLayout;
    QVBoxLayout* settings = p.settings;
    settingsHeading_ = p.heading;
    hostLabel_ = wrappedLabel("lblPoHost");
    hostEdit_ = named(new QLineEdit(QStringLiteral("127.0.0.1")), "edtPOServer");

    buildLanguageBox();
    sendPcuCheck_ = named(new QCheckBox, "cbPCU");
    sendPcuCheck_->setChecked(true);
    sendPcuLabel_ = wrappedLabel("lblSendPcu");
    filterPunctCheck_ = named(new QCheckBox, "cbPunct");
    filterPunctLabel_ = wrappedLabel("lblFilterPunct");
    restartNote_ = wrappedLabel("lblOfficeRestart");

    settings->addWidget(settingsHeading_);
    settings->addWidget(hostLabel_);
    settings->addWidget(hostEdit_);
    settings->addSpacing(4);
    settings->addWidget(languageBox_);
    settings->addSpacing(4);
    for (auto [box, label] :
         {std::pair{sendPcuCheck_, sendPcuLabel_}, std::pair{filterPunctCheck_, filterPunctLabel_}}) {
        auto* line = new QHBoxLayout;
        line->setSpacing(4);
        line->addWidget(box, 0, Qt::AlignTop);
        line->addWidget(label, 1);
        settings->addLayout(line);
        label->setBuddy(box);
        label->installEventFilter(this);
    }
    settings->addStretch(1);
    settings->addWidget(restartNote_);
    column->addWidget(p.settingsPanel);
    column->addStretch(1);

    clearButton_ = clearButton("btnClearComDebug");
    auto* clearRow = new QHBoxLayout;
    clearRow->setContentsMargins(6, 6, 6, 8);
    clearRow->addWidget(clearButton_);
    clearRow->addStretch(1);
    column->addLayout(clearRow);

    lines_ = diagnosticList("lbxComDebug");
    // Keeps its width at the right edge; only a window narrower than the page
    // was drawn for takes width from it.
    lines_->setMinimumWidth(200);
    lines_->setMaximumWidth(kListWidth);
    connect(clearButton_, &QPushButton::clicked, lines_, &QListWidget::clear);

    p.row->addWidget(p.column);
    p.row->addStretch(0);
    p.row->addWidget(lines_, 1);
}

void OfficePage::buildLanguageBox() {
    languageBox_ = named(new QGroupBox, "grpLanguage");
    english_ = named(new QRadioButton(QStringLiteral("English")), "rbEnglish");
    dutch_ = named(new QRadioButton(QStringLiteral("Nederlands")), "rbDutch");
    languageChoice_ = new QButtonGroup(this);
    languageChoice_->addButton(english_, 0);
    languageChoice_->addButton(dutch_, 1);
    english_->setChecked(true);
    auto* radios = new QVBoxLayout(languageBox_);
    radios->setContentsMargins(6, 4, 6, 4);
    radios->setSpacing(2);
    radios->addWidget(english_);
    radios->addWidget(dutch_);
}

OfficePage::~OfficePage() {
    // The child widgets outlive this part of the page; none may call back into it.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

bool OfficePage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == sendPcuLabel_) sendPcuCheck_->click();
        if (watched == filterPunctLabel_) filterPunctCheck_->click();
    }
    return QWidget::eventFilter(watched, event);
}

void OfficePage::applyTexts() {
    settingsHeading_->setText(uiText(TextId::SettingsHeading) + ' ');
    hostLabel_->setText(uiText(TextId::OfficeHostLabel));
    languageBox_->setTitle(uiText(TextId::LanguageCaption) + ' ');
    sendPcuLabel_->setText(uiText(TextId::SendPcuNames));
    filterPunctLabel_->setText(uiText(TextId::FilterPunctuation));
    restartNote_->setText(uiText(TextId::RestartNote));
    clearButton_->setText(uiText(TextId::ClearWindow));
}

void OfficePage::showSettings(const Settings& settings) {
    hostEdit_->setText(QString::fromStdString(settings.poHost));
    sendPcuCheck_->setChecked(settings.sendPcu);
    filterPunctCheck_->setChecked(settings.filterPunct);
    (settings.language == "NLD" ? dutch_ : english_)->setChecked(true);
}

void OfficePage::takeEdits(Settings& settings) const {
    settings.poHost = hostEdit_->text().toStdString();
    settings.sendPcu = sendPcuCheck_->isChecked();
    settings.filterPunct = filterPunctCheck_->isChecked();
    settings.language = dutch_->isChecked() ? "NLD" : "ENG";
}

void OfficePage::addLines(const QStringList& lines) {
    lines_->addItems(lines);
    // A storm would grow the list without end: the oldest lines make way.
    if (const int excess = lines_->count() - kMaxListLines; excess > 0) lines_->model()->removeRows(0, excess);
    lines_->setCurrentRow(lines_->count() - 1);
}

void OfficePage::addLine(const QString& line) {
    lines_->addItem(line);
    // Selecting the new line scrolls the list to it.
    lines_->setCurrentRow(lines_->count() - 1);
}

}  // namespace zampo
