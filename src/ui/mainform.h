#pragma once
// The operator's window: the link configuration editor, the receiver page, the
// Priva Office page, the status bar and the tray icon. It normally lives hidden
// behind the tray icon; the runtime reaches it only through WindowPort.
#include <QMainWindow>
#include <QString>
#include <array>
#include <string>
#include <vector>

#include "logic/core/settings.h"
#include "logic/core/windowport.h"
#include "logic/linkconfig/documentedit.h"
#include "logic/linkconfig/xmlstore.h"
#include "logic/grid/gridfilter.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QSplitter;
class QSystemTrayIcon;
class QTabWidget;
class QTableWidget;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zampo {

class DataPaths;
class LinkGridView;
struct LinkRowCells;
class StatusImagePanel;

class TMainForm : public QMainWindow, public WindowPort {
    Q_OBJECT
public:
    static constexpr int kFilterColumns = 5;

    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Looks up every caption and hint in the loaded text table. Called once at
    // start-up; a change of language shows at the next start.
    void applyTexts();
    // The tray icon's tooltip follows the caption.
    void setCaption(const QString& caption);

    void showSettings(const Settings& settings);
    // The settings as the operator left them; fields the window does not show
    // keep the values last passed to showSettings.
    Settings editedSettings() const;

    // Puts the filter check boxes and edits under the grid's data columns.
    void setFilterColumns(const std::array<QString, kFilterColumns>& captions,
                          const std::array<int, kFilterColumns>& widths);

    // The ZAM definitions shown in the tree and the link definitions shown in the
    // grid; the slots belong to the runtime and outlive the window's use of them.
    void attachDocuments(DocumentSlot& zamDefs, DocumentSlot& linkDefs);
    // Where the edits save the two files and where the exchange files are looked
    // for. Without it the editing buttons do nothing.
    void attachDataPaths(DataPaths& paths);

    // FillZamTree: the tree anew from the ZAM definitions.
    void fillZamTree();
    // tvZamLocCompare order on all levels (after an item was added or renamed).
    void sortZamTree();
    // The assign buttons and the details list for the selected node. Runs
    // whenever the tree's selection changes.
    void tvZamLocClick();
    QTreeWidgetItem* selectedZamNode() const;

    // FillLinkGrid: rows, widths and filter box anew from the link definitions;
    // every row shows.
    void fillLinkGrid();
    // FilterLinkGrid: shows all rows, then hides those the filter box rules out.
    void filterLinkGrid();
    // After a change of the link definitions: rebuilt, with the filter box applied.
    void refillLinkGridKeepingFilter();
    // Shows the double-clicked row's ZAM alarm in the tree.
    void sgMainDblClick(int row);
    // edFilter1Change to edFilter5Change (column 1 to 5).
    void edFilterChange(int column);
    // cbFilter1Click to cbFilter3Click and cbFilterExceptClick: filter anew.
    void cbFilterClick();
    TGridFilter& gfMain() { return gfMain_; }

    // Link editing on the grid's selected rows (hidden rows skipped). Each change
    // is saved at once; a change that cannot be saved is not made at all.
    void tbConnectClick();
    void tbGroupClick();
    void tbDeleteGroupClick();
    void tbDeleteExceptClick();
    void tbAddExceptClick();
    // After a ZAM location or alarm was deleted: links to alarms that no longer
    // exist are cleared, on every row.
    void removeDeletedZamLinks();

    // Items of the ZAM tree.
    enum ItemEditMode { kAddItem = 1, kEditItem = 2 };
    void tbAddClick();
    void tbEditClick();
    void tbDeleteClick();
    void editZamItem(ItemEditMode mode);

    // Exchange of the ZAM definitions with ZAM-Pro.
    void tbImportClick();
    void tbExportClick();
    void exportZamDefinitions();
    void importZamDefinitions();

    // WindowPort
    void setStatusText(const std::string& text) override;
    void showFaultStatus(int shownStatus) override;
    void addListLine(int channel, const std::string& line) override;
    bool sendPcuNames() const override;
    bool filterPunctuation() const override;
    void hideToTray() override;
    void refillLinkGrid() override;

    QTabWidget* pages() const { return pctlDde_; }
    QListWidget* receiverList() const { return lbxDebug_; }
    QListWidget* officeList() const { return lbxComDebug_; }
    LinkGridView* linkGrid() const { return sgMain_; }
    QTreeWidget* zamTree() const { return tvZamLoc_; }
    QTableWidget* detailsList() const { return vleTree_; }
    QToolButton* assignButton() const { return tbConnect_; }
    QToolButton* assignGroupButton() const { return tbGroup_; }
    QCheckBox* filterCheck(int column) const { return cbFilter_.at(std::size_t(column - 1)); }
    QLineEdit* filterEdit(int column) const { return edFilter_.at(std::size_t(column - 1)); }
    QCheckBox* hideExceptionsCheck() const { return cbFilterExcept_; }
    QCheckBox* showUnassignedCheck() const { return cbFilterEmpty_; }
    QSystemTrayIcon* trayIcon() const { return tray_; }
    QString statusText() const;
    int shownStatus() const;
    // Index in the status image list of the picture on show, -1 for none.
    int shownImage() const;

public slots:
    // Brings the window back from the tray (or from the task bar) to the front.
    void restoreFromTray();

signals:
    void refreshRequested();
    void sendTestRequested(const QString& location, const QString& input, const QString& state);
    void tbConnectClicked();
    void tbGroupClicked();
    void tbDeleteGroupClicked();
    void tbAddExceptClicked();
    void tbDeleteExceptClicked();
    void tbAddClicked();
    void tbDeleteClicked();
    void tbEditClicked();
    void tbImportClicked();
    void tbExportClicked();
    // The operator asked to close; the window stays open until the program ends.
    void closeRequested();
    // The grid has been rebuilt because the link definitions changed on disk.
    void linkGridRefillRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Whether hiding the window leaves a tray icon to bring it back by.
    virtual bool trayAvailable() const;
    // A plain message box with an OK button.
    virtual void showMessage(const QString& text);
    enum class Question { Confirmation, Warning };
    // A Yes/No box; true for Yes.
    virtual bool askYesNo(Question kind, const QString& text);
    // The platform's file dialogs; an empty name when cancelled.
    virtual QString askOpenFileName(const QString& title, const QString& directory, const QString& filter);
    // Asks before replacing an existing file.
    virtual QString askSaveFileName(const QString& title, const QString& proposedPath, const QString& filter);

private:
    QWidget* buildLinkPage();
    QWidget* buildLinkPoRegion();
    QWidget* buildLinkZamRegion();
    QWidget* buildFilterBox();
    QWidget* buildReceiverPage();
    QWidget* buildOfficePage();
    void buildStatusBar();
    void buildTray();
    QToolButton* addToolButton(QToolBar* bar, const char* name, const QIcon& icon, void (TMainForm::*signal)());
    void placeFilterOptions();
    // The filter boxes under the grid's columns as they now stand.
    void placeFilterBox();
    void toggleOnLabelClick(QLabel* label, QCheckBox* box);
    void connectEditing();

    bool canEditLinks() const;
    bool canEditZamDefs() const;
    std::vector<LinkRowCells> linkCells(const std::vector<int>& rows) const;
    // The change saved to LinkDefs.xml (or ZamDefs.xml) and taken into the window's
    // document; false, with the operator told why, when it could not be saved.
    bool changeLinkDefs(const DocumentChange& change);
    bool changeZamDefs(const DocumentChange& change);
    void reportEditFailure(const EditOutcome& outcome);
    // Writes value into the column (4 or 5) of the selected rows and saves it.
    void assignToSelectedRows(int column, const std::string& value);
    // Rebuilds the grid when the document holds rows it does not show (a
    // definitions merge saved just before the edit).
    void syncLinkGridWithDocument();
    // Rebuilt, the row made current, the filter box applied.
    void refillLinkGridAt(int row);

    Settings shown_;

    QTabWidget* pctlDde_ = nullptr;
    QWidget* tbsLinkSettings_ = nullptr;
    QWidget* tbsIP_ = nullptr;
    QWidget* tbsOffice_ = nullptr;

    // link configuration page
    QSplitter* splitter1_ = nullptr;
    QLabel* label5_ = nullptr;
    QLabel* label7_ = nullptr;
    QToolButton* tbRefresh_ = nullptr;
    QToolButton* tbAddExcept_ = nullptr;
    QToolButton* tbDeleteExcept_ = nullptr;
    QToolButton* tbConnect_ = nullptr;
    QToolButton* tbGroup_ = nullptr;
    QToolButton* tbDeleteGroup_ = nullptr;
    QToolButton* tbAdd_ = nullptr;
    QToolButton* tbDelete_ = nullptr;
    QToolButton* tbEdit_ = nullptr;
    QToolButton* tbImport_ = nullptr;
    QToolButton* tbExport_ = nullptr;
    LinkGridView* sgMain_ = nullptr;
    QGroupBox* groupBox1_ = nullptr;
    std::array<QCheckBox*, kFilterColumns> cbFilter_{};
    std::array<QLineEdit*, kFilterColumns> edFilter_{};
    QCheckBox* cbFilterExcept_ = nullptr;
    QCheckBox* cbFilterEmpty_ = nullptr;
    QTreeWidget* tvZamLoc_ = nullptr;
    QTableWidget* vleTree_ = nullptr;
    TGridFilter gfMain_;
    DocumentSlot* zamDefs_ = nullptr;
    DocumentSlot* linkDefs_ = nullptr;
    DataPaths* paths_ = nullptr;

    // receiver page
    QLabel* label10_ = nullptr;
    QLabel* label11_ = nullptr;
    QLabel* label12_ = nullptr;
    QLabel* lblID_ = nullptr;
    QLabel* label13_ = nullptr;
    QLineEdit* edtAddress_ = nullptr;
    QLineEdit* maskEdit1_ = nullptr;
    QSpinBox* spinEdit1_ = nullptr;
    QLabel* label9_ = nullptr;
    QLabel* lblInvoer_ = nullptr;
    QLabel* label3_ = nullptr;
    QLabel* label4_ = nullptr;
    QLineEdit* medtLocatie_ = nullptr;
    QLineEdit* medtInput_ = nullptr;
    QLineEdit* medtStat_ = nullptr;
    QPushButton* sendButton_ = nullptr;
    QPushButton* btnClear_ = nullptr;
    QListWidget* lbxDebug_ = nullptr;

    // Priva Office page
    QLabel* label8_ = nullptr;
    QLabel* label14_ = nullptr;
    QLineEdit* edtPOServer_ = nullptr;
    QGroupBox* radioGroup1_ = nullptr;
    QButtonGroup* languageChoice_ = nullptr;
    QRadioButton* rbEnglish_ = nullptr;
    QRadioButton* rbDutch_ = nullptr;
    QCheckBox* cbPCU_ = nullptr;
    QLabel* label15_ = nullptr;
    QCheckBox* cbPunct_ = nullptr;
    QLabel* label17_ = nullptr;
    QLabel* label16_ = nullptr;
    QPushButton* btnClearComDebug_ = nullptr;
    QListWidget* lbxComDebug_ = nullptr;

    // status bar and tray
    StatusImagePanel* statusImage_ = nullptr;
    QLabel* statusTextPanel_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
};

}  // namespace zampo
