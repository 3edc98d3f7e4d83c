#include "ui/mainform.h"
#include "ui/widgettext.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>

#include "logic/linkconfig/linkdefs.h"
#include "logic/texts/langtext.h"
#include "ui/imagelists.h"
#include "logic/grid/linkfilter.h"
#include "logic/grid/linkgridrows.h"
#include "ui/linkgridview.h"
#include "ui/statusimagepanel.h"
#include "logic/grid/zamcaptions.h"
#include "ui/zamtree.h"

namespace zampo {
namespace {

const QColor kSchemeColour(43, 32, 78);

constexpr int kHeadingHeight = 24;
constexpr int kToolBarHeight = 30;
constexpr int kZamRegionWidth = 223;
constexpr int kSplitterWidth = 7;
constexpr int kDetailsHeight = 119;
constexpr int kDetailsKeyWidth = 95;
constexpr int kFilterBoxHeight = 103;
constexpr int kReceiverColumnWidth = 137;
constexpr int kReceiverSettingsHeight = 312;
constexpr int kClearPanelHeight = 49;
constexpr int kOfficeColumnWidth = 136;
constexpr int kOfficeSettingsHeight = 333;
constexpr int kOfficeListWidth = 790;
// Left edge of the first filter column: the grid's 2-pixel border and its
// 13-pixel fixed column come before the first data column.
constexpr int kFilterOrigin = 15;
constexpr int kFilterDefaultWidth = 70;

// Settings panels and heading strips: white text on the scheme colour.
void paintInScheme(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, kSchemeColour);
    p.setColor(QPalette::WindowText, Qt::white);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

// Some styles draw parts of input controls (the spin box arrows) in the window
// text colour, which would be white on white inside a scheme panel.
void keepDefaultColours(QWidget* w) {
    QPalette p = w->palette();
    const QPalette standard = QApplication::palette(w);
    p.setColor(QPalette::Window, standard.color(QPalette::Window));
    p.setColor(QPalette::WindowText, standard.color(QPalette::WindowText));
    w->setPalette(p);
}

// Keeps the heading's 13-pixel bold face where it fits; a longer translation
// steps down a pixel at a time instead of being cut off.
class HeadingLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect room = contentsRect();
        QFont f = font();
        while (f.pixelSize() > 9 && QFontMetrics(f).horizontalAdvance(text()) > room.width())
            f.setPixelSize(f.pixelSize() - 1);
        p.setFont(f);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(room, Qt::AlignLeft | Qt::AlignVCenter, text());
    }
};

QLabel* addHeading(QBoxLayout* into, const char* panelName, const char* labelName) {
    auto* strip = named(new QFrame, panelName);
    strip->setFixedHeight(kHeadingHeight);
    paintInScheme(strip);
    QLabel* label = named(new HeadingLabel, labelName);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont f;
    f.setBold(true);
    f.setPixelSize(13);
    label->setFont(f);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(6, 0, 6, 0);
    row->addWidget(label);
    into->addWidget(strip);
    return label;
}

QToolBar* addToolStrip(QBoxLayout* into, const char* name) {
    // The bar sits in its own strip so that it keeps its height whatever the style.
    auto* strip = new QFrame;
    strip->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    strip->setFixedHeight(kToolBarHeight);
    auto* bar = named(new QToolBar, name);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setContentsMargins(0, 0, 0, 0);
    bar->layout()->setSpacing(0);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(1, 0, 1, 0);
    row->addWidget(bar);
    into->addWidget(strip);
    return bar;
}

QLabel* wrappedLabel(const char* name) {
    auto* label = named(new QLabel, name);
    label->setWordWrap(true);
    return label;
}

QFrame* schemePanel(const char* name) {
    auto* panel = named(new QFrame, name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    paintInScheme(panel);
    return panel;
}

QListWidget* diagnosticList(const char* name) {
    auto* list = named(new QListWidget, name);
    // Lines are kept whole; long ones scroll sideways instead of wrapping.
    list->setUniformItemSizes(true);
    list->setWordWrap(false);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return list;
}

QPushButton* clearButton(const char* name) {
    auto* button = named(new QPushButton, name);
    button->setMinimumWidth(100);
    return button;
}

// The skeleton both diagnostic pages share: a fixed-width column in the scheme
// colour on the left, its top panel holding the settings under a bold heading.
struct SettingsPage {
    QWidget* page;
    QHBoxLayout* row;
    QWidget* column;
    QVBoxLayout* columnLayout;
    QFrame* settingsPanel;
    QVBoxLayout* settings;
    QLabel* heading;
};

SettingsPage settingsPage(const char* columnName, int columnWidth, const char* panelName, int panelHeight,
                          const char* headingName) {
    SettingsPage p{};
    p.page = new QWidget;
    p.row = new QHBoxLayout(p.page);
    p.row->setContentsMargins(0, 0, 0, 0);
    p.row->setSpacing(0);
    p.column = named(new QWidget, columnName);
    p.column->setFixedWidth(columnWidth);
    paintInScheme(p.column);
    p.columnLayout = new QVBoxLayout(p.column);
    p.columnLayout->setContentsMargins(0, 0, 0, 0);
    p.columnLayout->setSpacing(0);
    p.settingsPanel = schemePanel(panelName);
    p.settingsPanel->setFixedHeight(panelHeight);
    p.settings = new QVBoxLayout(p.settingsPanel);
    p.settings->setContentsMargins(6, 6, 6, 6);
    p.settings->setSpacing(3);
    p.heading = wrappedLabel(headingName);
    QFont bold = p.heading->font();
    bold.setBold(true);
    p.heading->setFont(bold);
    return p;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    // The layout was drawn for an 8-point sans serif. "MS Sans Serif" does not
    // exist on Linux, so the desktop's own sans at 8 points stands in.
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setPointSize(8);
    setFont(f);
    setWindowIcon(applicationIcon());

    pctlDde_ = named(new QTabWidget, "pctlDde");
    tbsLinkSettings_ = named(buildLinkPage(), "tbsLinkSettings");
    tbsIP_ = named(buildReceiverPage(), "tbsIP");
    tbsOffice_ = named(buildOfficePage(), "tbsOffice");
    pctlDde_->addTab(tbsLinkSettings_, QString());
    pctlDde_->addTab(tbsIP_, QString());
    pctlDde_->addTab(tbsOffice_, QString());
    pctlDde_->setCurrentIndex(0);
    setCentralWidget(pctlDde_);

    buildStatusBar();
    buildTray();
    connectEditing();

    resize(950, 577);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TMainForm::~TMainForm() {
    // The child widgets outlive this part of the window; none may call back into it.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

QWidget* TMainForm::buildLinkPage() {
    auto* page = new QWidget;
    splitter1_ = named(new QSplitter(Qt::Horizontal), "Splitter1");
    splitter1_->setHandleWidth(kSplitterWidth);
    splitter1_->setChildrenCollapsible(false);
    splitter1_->addWidget(buildLinkPoRegion());
    splitter1_->addWidget(buildLinkZamRegion());
    // Only the Priva Office side grows with the window.
    splitter1_->setStretchFactor(0, 1);
    splitter1_->setStretchFactor(1, 0);
    splitter1_->setSizes({950 - kZamRegionWidth - kSplitterWidth, kZamRegionWidth});
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(splitter1_);
    return page;
}

QWidget* TMainForm::buildLinkPoRegion() {
    auto* region = new QWidget;
    auto* column = new QVBoxLayout(region);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    label5_ = addHeading(column, "Panel11", "Label5");

    QToolBar* bar = addToolStrip(column, "ToolBar2");
    tbRefresh_ = addToolButton(bar, "tbRefresh", officeToolImage(0), &TMainForm::refreshRequested);
    bar->addSeparator();
    tbAddExcept_ = addToolButton(bar, "tbAddExcept", officeToolImage(2), &TMainForm::tbAddExceptClicked);
    tbDeleteExcept_ = addToolButton(bar, "tbDeleteExcept", officeToolImage(3), &TMainForm::tbDeleteExceptClicked);

    sgMain_ = named(new LinkGridView, "sgMain");
    connect(sgMain_, &LinkGridView::rowDoubleClicked, this, &TMainForm::sgMainDblClick);
    connect(sgMain_, &LinkGridView::dataColumnsResized, this, &TMainForm::placeFilterBox);
    gfMain_.setGrid(&sgMain_->filterGrid());
    gfMain_.showMessage = [this](const std::string& message) {
        // Not from inside the filter: the box's own event loop could refill the grid mid-way.
        QTimer::singleShot(0, this, [this, text = QString::fromStdString(message)] { showMessage(text); });
    };
    column->addWidget(sgMain_, 1);
    column->addWidget(buildFilterBox());
    return region;
}

QWidget* TMainForm::buildFilterBox() {
    // No layout: the boxes follow the grid's column widths (setFilterColumns).
    groupBox1_ = named(new QGroupBox, "GroupBox1");
    groupBox1_->setFixedHeight(kFilterBoxHeight);
    for (int i = 0; i < kFilterColumns; ++i) {
        const std::string n = std::to_string(i + 1);
        cbFilter_[std::size_t(i)] = named(new QCheckBox(groupBox1_), ("cbFilter" + n).c_str());
        edFilter_[std::size_t(i)] = named(new QLineEdit(groupBox1_), ("edFilter" + n).c_str());
    }
    cbFilterExcept_ = named(new QCheckBox(groupBox1_), "cbFilterExcept");
    cbFilterEmpty_ = named(new QCheckBox(groupBox1_), "cbFilterEmpty");
    for (int i = 0; i < kFilterColumns; ++i) {
        connect(edFilter_[std::size_t(i)], &QLineEdit::textChanged, this, [this, i] { edFilterChange(i + 1); });
        connect(cbFilter_[std::size_t(i)], &QCheckBox::toggled, this, &TMainForm::cbFilterClick);
    }
    connect(cbFilterExcept_, &QCheckBox::toggled, this, &TMainForm::cbFilterClick);
    connect(cbFilterEmpty_, &QCheckBox::toggled, this, &TMainForm::cbFilterClick);
    std::array<int, kFilterColumns> widths{};
    widths.fill(kFilterDefaultWidth);
    setFilterColumns({}, widths);
    return groupBox1_;
}

void TMainForm::setFilterColumns(const std::array<QString, kFilterColumns>& captions,
                                 const std::array<int, kFilterColumns>& widths) {
    const int checkTop = 18;
    const int editTop = 38;
    const int rowHeight = 20;
    int left = kFilterOrigin;
    for (std::size_t i = 0; i < cbFilter_.size(); ++i) {
        cbFilter_[i]->setText(captions[i]);
        cbFilter_[i]->setGeometry(left, checkTop, widths[i], rowHeight);
        edFilter_[i]->setGeometry(left, editTop, widths[i], rowHeight + 1);
        left += widths[i];
    }
    placeFilterOptions();
}

void TMainForm::placeFilterBox() {
    std::array<QString, kFilterColumns> captions;
    for (std::size_t i = 0; i < captions.size(); ++i) captions[i] = QString::fromStdString(sgMain_->headers()[i]);
    setFilterColumns(captions, sgMain_->dataColumnWidths());
}

// The two options share a line below the column filters, each as wide as its text.
void TMainForm::placeFilterOptions() {
    const int top = 66;
    cbFilterExcept_->adjustSize();
    cbFilterExcept_->move(kFilterOrigin, top);
    cbFilterEmpty_->adjustSize();
    cbFilterEmpty_->move(cbFilterExcept_->geometry().right() + 24, top);
}

QWidget* TMainForm::buildLinkZamRegion() {
    auto* region = named(new QWidget, "Panel10");
    region->setMinimumWidth(120);
    auto* column = new QVBoxLayout(region);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    label7_ = addHeading(column, "Panel12", "Label7");

    QToolBar* bar = addToolStrip(column, "ToolBar1");
    tbConnect_ = addToolButton(bar, "tbConnect", zamToolImage(6), &TMainForm::tbConnectClicked);
    tbGroup_ = addToolButton(bar, "tbGroup", zamToolImage(7), &TMainForm::tbGroupClicked);
    tbDeleteGroup_ = addToolButton(bar, "tbDeleteGroup", zamToolImage(8), &TMainForm::tbDeleteGroupClicked);
    bar->addSeparator();
    tbAdd_ = addToolButton(bar, "tbAdd", zamToolImage(2), &TMainForm::tbAddClicked);
    tbDelete_ = addToolButton(bar, "tbDelete", zamToolImage(1), &TMainForm::tbDeleteClicked);
    tbEdit_ = addToolButton(bar, "tbEdit", zamToolImage(3), &TMainForm::tbEditClicked);
    bar->addSeparator();
    tbImport_ = addToolButton(bar, "tbImport", zamToolImage(4), &TMainForm::tbImportClicked);
    tbExport_ = addToolButton(bar, "tbExport", zamToolImage(5), &TMainForm::tbExportClicked);
    // Nothing is selected in the tree yet, so there is nothing to assign.
    tbConnect_->setEnabled(false);
    tbGroup_->setEnabled(false);

    tvZamLoc_ = named(new QTreeWidget, "tvZamLoc");
    tvZamLoc_->setHeaderHidden(true);
    tvZamLoc_->setColumnCount(1);
    tvZamLoc_->setIndentation(19);
    tvZamLoc_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvZamLoc_->setSelectionMode(QAbstractItemView::SingleSelection);
    tvZamLoc_->setSortingEnabled(false);
    // The selected node stays marked while the operator works in the grid.
    QPalette treeColours = tvZamLoc_->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        treeColours.setColor(QPalette::Inactive, role, treeColours.color(QPalette::Active, role));
    tvZamLoc_->setPalette(treeColours);
    connect(tvZamLoc_, &QTreeWidget::itemSelectionChanged, this, &TMainForm::tvZamLocClick);
    column->addWidget(tvZamLoc_, 1);

    vleTree_ = named(new QTableWidget(0, 2), "vleTree");
    vleTree_->setFixedHeight(kDetailsHeight);
    vleTree_->horizontalHeader()->hide();
    vleTree_->verticalHeader()->hide();
    vleTree_->verticalHeader()->setDefaultSectionSize(vleTree_->fontMetrics().height() + 6);
    vleTree_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    vleTree_->horizontalHeader()->setStretchLastSection(true);
    vleTree_->setColumnWidth(0, kDetailsKeyWidth);
    vleTree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    vleTree_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    vleTree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    vleTree_->setSelectionBehavior(QAbstractItemView::SelectRows);
    vleTree_->setSelectionMode(QAbstractItemView::SingleSelection);
    column->addWidget(vleTree_);
    return region;
}

QWidget* TMainForm::buildReceiverPage() {
    const SettingsPage p =
        settingsPage("Panel5", kReceiverColumnWidth, "Panel8", kReceiverSettingsHeight, "Label10");
    QVBoxLayout* column = p.columnLayout;
    QVBoxLayout* settings = p.settings;
    label10_ = p.heading;
    label11_ = wrappedLabel("Label11");
    edtAddress_ = named(new QLineEdit(QStringLiteral("127.0.0.1")), "edtAddress");
    label12_ = wrappedLabel("Label12");
    maskEdit1_ = named(new QLineEdit(QStringLiteral("8132")), "MaskEdit1");
    // Five digits: a four-digit field would cut a port above 9999 and store the
    // wrong one at the next close.
    maskEdit1_->setMaxLength(5);
    maskEdit1_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), maskEdit1_));
    maskEdit1_->setFixedWidth(50);
    lblID_ = wrappedLabel("lblID");
    spinEdit1_ = named(new QSpinBox, "SpinEdit1");
    spinEdit1_->setRange(0, 9);
    spinEdit1_->setValue(1);
    spinEdit1_->setFixedWidth(44);
    keepDefaultColours(spinEdit1_);
    label13_ = wrappedLabel("Label13");
    for (QWidget* w :
         std::initializer_list<QWidget*>{label10_, label11_, edtAddress_, label12_, maskEdit1_, lblID_, spinEdit1_})
        settings->addWidget(w);
    settings->addStretch(1);
    settings->addWidget(label13_);
    column->addWidget(p.settingsPanel);

    QFrame* panel6 = schemePanel("Panel6");
    auto* test = new QGridLayout(panel6);
    test->setContentsMargins(6, 6, 6, 6);
    test->setVerticalSpacing(4);
    label9_ = named(new QLabel, "Label9");
    label9_->setFont(label10_->font());
    lblInvoer_ = named(new QLabel, "lblInvoer");
    label3_ = named(new QLabel, "Label3");
    label4_ = named(new QLabel, "Label4");
    medtLocatie_ = named(new QLineEdit, "medtLocatie");
    medtLocatie_->setInputMask(QStringLiteral("999999;_"));
    medtLocatie_->setText(QStringLiteral("000001"));
    medtLocatie_->setFixedWidth(60);
    medtInput_ = named(new QLineEdit(QStringLiteral("01")), "medtInput");
    medtInput_->setFixedWidth(34);
    medtStat_ = named(new QLineEdit(QStringLiteral("A")), "medtStat");
    medtStat_->setFixedWidth(34);
    sendButton_ = named(new QPushButton, "SendButton");
    test->addWidget(label9_, 0, 0, 1, 2);
    test->addWidget(lblInvoer_, 1, 0);
    test->addWidget(medtLocatie_, 1, 1);
    test->addWidget(label3_, 2, 0);
    test->addWidget(medtInput_, 2, 1);
    test->addWidget(label4_, 3, 0);
    test->addWidget(medtStat_, 3, 1);
    test->addWidget(sendButton_, 4, 0, 1, 2);
    test->setRowStretch(5, 1);
    test->setColumnStretch(1, 1);
    column->addWidget(panel6, 1);
    connect(sendButton_, &QPushButton::clicked, this,
            [this] { emit sendTestRequested(medtLocatie_->text(), medtInput_->text(), medtStat_->text()); });

    QFrame* panel7 = schemePanel("Panel7");
    panel7->setFixedHeight(kClearPanelHeight);
    btnClear_ = clearButton("btnClear");
    auto* clearRow = new QHBoxLayout(panel7);
    clearRow->setContentsMargins(6, 0, 6, 0);
    clearRow->addWidget(btnClear_);
    column->addWidget(panel7);

    lbxDebug_ = diagnosticList("lbxDebug");
    connect(btnClear_, &QPushButton::clicked, lbxDebug_, &QListWidget::clear);

    p.row->addWidget(p.column);
    p.row->addWidget(lbxDebug_, 1);
    return p.page;
}

QWidget* TMainForm::buildOfficePage() {
    const SettingsPage p = settingsPage("Panel2", kOfficeColumnWidth, "Panel13", kOfficeSettingsHeight, "Label8");
    QVBoxLayout* column = p.columnLayout;
    QVBoxLayout* settings = p.settings;
    label8_ = p.heading;
    label14_ = wrappedLabel("Label14");
    edtPOServer_ = named(new QLineEdit(QStringLiteral("127.0.0.1")), "edtPOServer");

    radioGroup1_ = named(new QGroupBox, "RadioGroup1");
    rbEnglish_ = named(new QRadioButton(QStringLiteral("English")), "rbEnglish");
    rbDutch_ = named(new QRadioButton(QStringLiteral("Nederlands")), "rbDutch");
    languageChoice_ = new QButtonGroup(this);
    languageChoice_->addButton(rbEnglish_, 0);
    languageChoice_->addButton(rbDutch_, 1);
    rbEnglish_->setChecked(true);
    auto* radios = new QVBoxLayout(radioGroup1_);
    radios->setContentsMargins(6, 4, 6, 4);
    radios->setSpacing(2);
    radios->addWidget(rbEnglish_);
    radios->addWidget(rbDutch_);

    cbPCU_ = named(new QCheckBox, "cbPCU");
    cbPCU_->setChecked(true);
    label15_ = wrappedLabel("Label15");
    cbPunct_ = named(new QCheckBox, "cbPunct");
    label17_ = wrappedLabel("Label17");
    label16_ = wrappedLabel("Label16");

    settings->addWidget(label8_);
    settings->addWidget(label14_);
    settings->addWidget(edtPOServer_);
    settings->addSpacing(4);
    settings->addWidget(radioGroup1_);
    settings->addSpacing(4);
    for (auto [box, label] : {std::pair{cbPCU_, label15_}, std::pair{cbPunct_, label17_}}) {
        auto* line = new QHBoxLayout;
        line->setSpacing(4);
        line->addWidget(box, 0, Qt::AlignTop);
        line->addWidget(label, 1);
        settings->addLayout(line);
        toggleOnLabelClick(label, box);
    }
    settings->addStretch(1);
    settings->addWidget(label16_);
    column->addWidget(p.settingsPanel);
    column->addStretch(1);

    btnClearComDebug_ = clearButton("btnClearComDebug");
    auto* clearRow = new QHBoxLayout;
    clearRow->setContentsMargins(6, 6, 6, 8);
    clearRow->addWidget(btnClearComDebug_);
    clearRow->addStretch(1);
    column->addLayout(clearRow);

    lbxComDebug_ = diagnosticList("lbxComDebug");
    // Keeps its width at the right edge; only a window narrower than the page
    // was drawn for takes width from it.
    lbxComDebug_->setMinimumWidth(200);
    lbxComDebug_->setMaximumWidth(kOfficeListWidth);
    connect(btnClearComDebug_, &QPushButton::clicked, lbxComDebug_, &QListWidget::clear);

    p.row->addWidget(p.column);
    p.row->addStretch(0);
    p.row->addWidget(lbxComDebug_, 1);
    return p.page;
}

void TMainForm::buildStatusBar() {
    auto* bar = named(new QStatusBar, "sBar");
    statusImage_ = new StatusImagePanel;
    statusTextPanel_ = named(new QLabel, "sBarText");
    statusTextPanel_->setFixedWidth(400);
    auto* empty = named(new QLabel, "sBarEmpty");
    empty->setFixedWidth(50);
    for (QLabel* panel : {statusTextPanel_, empty}) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setIndent(3);
    }
    bar->addWidget(statusImage_);
    bar->addWidget(statusTextPanel_);
    bar->addWidget(empty);
    setStatusBar(bar);
}

void TMainForm::buildTray() {
    tray_ = new QSystemTrayIcon(applicationIcon(), this);
    tray_->setObjectName(QStringLiteral("TrayX1"));
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // Trays that speak the StatusNotifier protocol report a plain
        // activation instead of a double click; either must bring the window back.
        if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) restoreFromTray();
    });
    // Where no tray exists yet, Qt adds the icon when one appears.
    tray_->show();
}

QToolButton* TMainForm::addToolButton(QToolBar* bar, const char* name, const QIcon& icon, void (TMainForm::*signal)()) {
    auto* button = named(new QToolButton, name);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setFixedSize(23, 22);
    bar->addWidget(button);
    connect(button, &QToolButton::clicked, this, signal);
    return button;
}

void TMainForm::toggleOnLabelClick(QLabel* label, QCheckBox* box) {
    label->setBuddy(box);
    label->installEventFilter(this);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == label15_) cbPCU_->click();
        if (watched == label17_) cbPunct_->click();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::applyTexts() {
    pctlDde_->setTabText(0, uiText(56, "Link configuration"));
    pctlDde_->setTabText(1, uiText(57, "Zam tcp/IP settings"));
    pctlDde_->setTabText(2, uiText(58, "Priva Office / Other settings"));
    label5_->setText(uiText(59, "Priva Office Locations"));
    label7_->setText(uiText(60, "Zam Locations and Alarms"));

    tbRefresh_->setToolTip(uiText(61, "Refresh Priva Office Definitions"));
    tbAddExcept_->setToolTip(uiText(62, "Add exception"));
    tbDeleteExcept_->setToolTip(uiText(63, "Remove selected exceptions"));
    tbConnect_->setToolTip(uiText(64, "Assign alarm to selected items"));
    tbGroup_->setToolTip(uiText(96, "Assign group alarm to selected items"));
    tbDeleteGroup_->setToolTip(uiText(102, "Delete group alarm from selected items"));
    tbAdd_->setToolTip(uiText(65, "Add alarm or location"));
    tbDelete_->setToolTip(uiText(66, "Delete selected alarm or location"));
    tbEdit_->setToolTip(uiText(67, "Edit selected alarm or location"));
    tbImport_->setToolTip(uiText(68, "Import locations and alarms from ZAM-Pro"));
    tbExport_->setToolTip(uiText(69, "Export locations and alarms to ZAM-Pro"));

    groupBox1_->setTitle(uiText(70, "Filter:") + ' ');
    cbFilterExcept_->setText(uiText(71, "Hide exceptions"));
    cbFilterEmpty_->setText(uiText(92, "Show unassigned alarms"));
    placeFilterOptions();

    const QString settingsHeading = uiText(72, "Settings:") + ' ';
    const QString restartNote = uiText(82, "After changing settings, ZamPO MUST be restarted.");
    label10_->setText(settingsHeading);
    label11_->setText(uiText(73, "ZAM-Pro server hostname or address:"));
    label12_->setText(uiText(74, "IP port"));
    lblID_->setText(uiText(88, "Zam watchdog ID (each tcp/IP client that connects to ZAM must have a different id):"));
    label13_->setText(restartNote);
    label9_->setText(uiText(75, "Test") + ' ');
    lblInvoer_->setText(uiText(76, "Location"));
    label3_->setText(uiText(77, "Alarm"));
    label4_->setText(uiText(78, "State"));
    sendButton_->setText(uiText(79, "Send test"));
    btnClear_->setText(uiText(80, "Clear window"));

    label8_->setText(settingsHeading);
    label14_->setText(uiText(81, "PO server hostname or address:"));
    radioGroup1_->setTitle(uiText(83, "Language:") + ' ');
    label15_->setText(uiText(86, "Send PCU names to ZAM when sending alarms"));
    label17_->setText(uiText(93, "Filter punctuation from alarm texts"));
    label16_->setText(restartNote);
    btnClearComDebug_->setText(uiText(80, "Clear window"));
}

void TMainForm::setCaption(const QString& caption) {
    setWindowTitle(caption);
    tray_->setToolTip(caption);
}

void TMainForm::showSettings(const Settings& settings) {
    shown_ = settings;
    edtAddress_->setText(QString::fromStdString(settings.zamHost));
    maskEdit1_->setText(QString::number(settings.zamPort));
    edtPOServer_->setText(QString::fromStdString(settings.poHost));
    cbPCU_->setChecked(settings.sendPcu);
    cbPunct_->setChecked(settings.filterPunct);
    spinEdit1_->setValue(settings.watchdogId >= 0 && settings.watchdogId <= 9 ? settings.watchdogId : 1);
    (settings.language == "NLD" ? rbDutch_ : rbEnglish_)->setChecked(true);
}

Settings TMainForm::editedSettings() const {
    Settings s = shown_;
    s.zamHost = edtAddress_->text().toStdString();
    bool ok = false;
    const int port = maskEdit1_->text().toInt(&ok);
    // An emptied port field, or one that is no TCP port, keeps the port the gateway runs with.
    if (ok && port >= 1 && port <= 65535) s.zamPort = port;
    s.poHost = edtPOServer_->text().toStdString();
    s.sendPcu = cbPCU_->isChecked();
    s.filterPunct = cbPunct_->isChecked();
    s.watchdogId = spinEdit1_->value();
    s.language = rbDutch_->isChecked() ? "NLD" : "ENG";
    return s;
}

void TMainForm::setStatusText(const std::string& text) {
    statusTextPanel_->setText(QString::fromStdString(text));
}

QString TMainForm::statusText() const {
    return statusTextPanel_->text();
}

void TMainForm::showFaultStatus(int shownStatus) {
    statusImage_->setShownStatus(shownStatus);
}

int TMainForm::shownStatus() const {
    return statusImage_->shownStatus();
}

int TMainForm::shownImage() const {
    return statusImage_->shownImage();
}

void TMainForm::addListLine(int channel, const std::string& line) {
    QListWidget* list = channel == 1 ? lbxDebug_ : channel == 2 ? lbxComDebug_ : nullptr;
    if (list == nullptr) return;
    list->addItem(QString::fromStdString(line));
    // Selecting the new line scrolls the list to it.
    list->setCurrentRow(list->count() - 1);
}

bool TMainForm::sendPcuNames() const {
    return cbPCU_->isChecked();
}

bool TMainForm::filterPunctuation() const {
    return cbPunct_->isChecked();
}

bool TMainForm::trayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TMainForm::hideToTray() {
    // Without a tray a hidden window could never be brought back: minimise it
    // to the task bar instead.
    if (trayAvailable())
        hide();
    else
        showMinimized();
}

void TMainForm::restoreFromTray() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    // raise() and activateWindow() bring the window to the front without making
    // it stay on top of other windows.
    raise();
    activateWindow();
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized() || !trayAvailable()) return;
    // Hiding inside the state change would race the window manager's own
    // iconify; let it finish first.
    QTimer::singleShot(0, this, [this] {
        if (isMinimized()) hide();
    });
}

void TMainForm::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit closeRequested();
}

void TMainForm::showMessage(const QString& text) {
    QMessageBox::information(this, QString(), text);
}

void TMainForm::attachDocuments(DocumentSlot& zamDefs, DocumentSlot& linkDefs) {
    zamDefs_ = &zamDefs;
    linkDefs_ = &linkDefs;
}

void TMainForm::attachDataPaths(DataPaths& paths) {
    paths_ = &paths;
}

void TMainForm::fillZamTree() {
    zampo::fillZamTree(tvZamLoc_, zamDefs_ ? zamDefs_->get() : nullptr);
}

void TMainForm::sortZamTree() {
    zampo::sortZamTree(tvZamLoc_);
}

QTreeWidgetItem* TMainForm::selectedZamNode() const {
    const QList<QTreeWidgetItem*> selected = tvZamLoc_->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TMainForm::tvZamLocClick() {
    QTreeWidgetItem* node = selectedZamNode();
    const ZamNodeLevel level = node ? zamNodeLevel(node) : ZamNodeLevel::Root;
    const bool alarm = node && level == ZamNodeLevel::Alarm;
    tbConnect_->setEnabled(alarm);
    tbGroup_->setEnabled(alarm);

    const DetailLines lines =
        node ? zamNodeDetails(level, zamNodeCaption(node), node->parent() ? zamNodeCaption(node->parent()) : "",
                              zamDefs_ ? zamDefs_->get() : nullptr)
             : DetailLines{};
    vleTree_->setRowCount(int(lines.size()));
    for (int r = 0; r < int(lines.size()); ++r) {
        auto* key = new QTableWidgetItem(QString::fromStdString(lines[std::size_t(r)].first));
        key->setFlags(Qt::ItemIsEnabled);
        vleTree_->setItem(r, 0, key);
        vleTree_->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(lines[std::size_t(r)].second)));
    }
    // The keys keep their column; a longer translation widens it, leaving the values room.
    vleTree_->resizeColumnToContents(0);
    vleTree_->setColumnWidth(0, std::clamp(vleTree_->columnWidth(0), kDetailsKeyWidth,
                                           std::max(kDetailsKeyWidth, vleTree_->viewport()->width() - 80)));
    if (!lines.empty()) vleTree_->setCurrentCell(0, 1);
}

void TMainForm::fillLinkGrid() {
    const LinkGridTexts texts = linkGridTexts();
    XmlDocument* doc = linkDefs_ ? linkDefs_->get() : nullptr;
    std::vector<LinkGridRow> rows = buildLinkGridRows(doc, texts.generalException);
    const QFontMetrics metrics = sgMain_->fontMetrics();
    const auto widths = linkGridColumnWidths(texts.headers, rows, [&metrics](std::string_view t) {
        return metrics.horizontalAdvance(QString::fromUtf8(t.data(), qsizetype(t.size())));
    });
    sgMain_->fill(texts.headers, std::move(rows), widths);
    placeFilterBox();
}

void TMainForm::filterLinkGrid() {
    // No repaint per row while the rows change.
    const bool updates = sgMain_->updatesEnabled();
    sgMain_->setUpdatesEnabled(false);
    gfMain_.showAllRows();

    LinkFilterBox box;
    box.headers = sgMain_->headers();
    for (std::size_t i = 0; i < cbFilter_.size(); ++i) {
        box.checked[i] = cbFilter_[i]->isChecked();
        box.texts[i] = edFilter_[i]->text().toStdString();
    }
    box.hideExceptions = cbFilterExcept_->isChecked();
    box.showUnassigned = cbFilterEmpty_->isChecked();
    const LinkFilter filter = buildLinkFilter(box);

    for (std::size_t i = 0; i < edFilter_.size(); ++i) {
        if (!filter.correctedTexts[i]) continue;
        QLineEdit* edit = edFilter_[i];
        const QString text = QString::fromStdString(*filter.correctedTexts[i]);
        const int caret = edit->cursorPosition();
        {
            const QSignalBlocker quiet(edit);
            edit->setText(text);
        }
        // Typing a second "." leaves the caret where the operator typed it.
        if (caret <= text.size() + 1) edit->setCursorPosition(std::max(0, caret - 1));
    }
    if (!filter.expression.empty()) gfMain_.setFilter(filter.expression);
    sgMain_->setUpdatesEnabled(updates);
}

void TMainForm::refillLinkGridKeepingFilter() {
    fillLinkGrid();
    filterLinkGrid();
}

void TMainForm::edFilterChange(int column) {
    QCheckBox* box = cbFilter_.at(std::size_t(column - 1));
    if (!box->isChecked()) {
        // Checking it would filter once more with the same result.
        const QSignalBlocker quiet(box);
        box->setChecked(true);
    }
    filterLinkGrid();
}

void TMainForm::cbFilterClick() {
    filterLinkGrid();
}

void TMainForm::sgMainDblClick(int row) {
    if (row < 1 || row > sgMain_->dataRowCount()) return;
    const std::string reference = sgMain_->linkRow(row).cell(4);
    if (!isDefinedLinkValue(reference)) return;
    auto number = [](std::string_view digits, int& value) {
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return ec == std::errc{} && end == digits.data() + digits.size();
    };
    int locationCode = 0;
    if (!number(std::string_view(reference).substr(0, 4), locationCode)) return;
    QTreeWidgetItem* location = findZamLocation(tvZamLoc_, locationCode);
    if (!location) return;
    location->setExpanded(true);
    // The alarm the reference names; the location itself when it has no such alarm.
    QTreeWidgetItem* target = location;
    int alarmCode = 0;
    if (number(std::string_view(reference).substr(reference.size() - 2), alarmCode)) {
        for (int i = 0; i < location->childCount(); ++i) {
            if (captionCode(zamNodeCaption(location->child(i))) == alarmCode) {
                target = location->child(i);
                break;
            }
        }
    }
    tvZamLoc_->setCurrentItem(target);
    tvZamLoc_->scrollToItem(target);
}

void TMainForm::refillLinkGrid() {
    refillLinkGridKeepingFilter();
    emit linkGridRefillRequested();
}

}  // namespace zampo
