#pragma once

#include "app/AppServices.h"
#include "db/contacts/Directory.h"
#include "ui/MainWindowPort.h"
#include "view/SortState.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QSystemTrayIcon;
class QTimer;
class SearchBar;
struct GridParts;

namespace db {
class Connection;
class Directory;
class DBGrid;
class Query;
} // namespace db

// The main window: it owns the database connection and its queries, the contacts grid,
// the search bar, the menus, the tray icon and the timers for the whole run.
class TMain : public QMainWindow, public MainWindowPort
{
    Q_OBJECT
public:
    // Without a context of its own the window keeps one for itself.
    explicit TMain(app::Context* context = nullptr);
    ~TMain() override;

    // False when the directory could not be opened: the window is never shown then.
    bool started() const { return m_started; }

    // MainWindowPort
    QWidget* window() override { return this; }
    db::Directory& directory() override { return *m_directory; }
    const db::Query& shownContacts() const override { return *ADOQuery1; }
    ShownLayout shownLayout() const override;
    QString directoryFilePath() const override;
    bool readOnly() const override { return m_readOnly; }
    bool refreshGrid() override;
    bool reopenGrid() override;
    void showNumberHolders(const QString& number) override;
    QStringList groups() const override;
    void addGroup(const QString& group) override;
    void reloadGroups() override;
    void focusSearch() override;
    void setCommandsEnabled(bool enabled) override;

public Q_SLOTS:
    // "Konec"; the check of an installed program ends its run through it.
    void Konec1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private Q_SLOTS:
    // Start-up and shutdown
    void ADOQuery1AfterOpen();
    // Search
    void NajdiClick();
    void Timer1Timer();
    void autoSearchClick();
    void hledat_dleClick();
    void VyberSkupinuChange();
    void DBGrid1TitleClick(const QString& fieldName);
    // Menus
    void Natitelseznamzesouboru2Click();
    void Ulozitseznamdosouboru1Click();
    void Zobrazstrukturunatanchdat2Click();
    void Tisk1Click();
    void NahledTisku1Click();
    void UlozitPdf1Click();
    void CopyMd1Click();
    void Nov1Click();
    void Odstranitvybranoupoloku1Click();
    void Kompletnpravavybranpoloky1Click();
    void P59davn8poy1Click();
    void Otevtvybranzznampropidnnovhosla1Click();
    void PidatzznamyzjinDBjennovsla1Click();
    void Synchronizace1Click();
    void Synchronizovat1Click();
    void SyncTimerTimer();
    void Vytvoitvizitku1Click();
    void Nastvizitku1Click();
    void ExportovatdovCard1Click();
    void ImportovatzvCard1Click();
    void ImportovatzCSV1Click();
    void ExportovatdoCSV1Click();
    void Vdynahoe1Click();
    void Hledatbezohledunadiakritiku1Click();
    void Uloitnastaven1Click();
    void Npovda2Click();
    void Zmnyprogramu1Click();
#ifdef ZV_UPDATE_CHECK
    void Zjistitnovaktualizace1Click();
#endif
    void About1Click();
    void KomplUpravaClick();
    void DBGrid1DblClick();
    void Zobraz1Click();
    void Skryt1Click();
    void TimerSaveAnimTimer();
    void ZnovuRozmistPanelTimer();

private:
    // Database; tests and subsystems find these parts by object name or through the port
    db::Connection* ADOConnection1 = nullptr;
    db::Query* ADOQuery1 = nullptr; // the grid's rows
    db::Query* ADOQuery2 = nullptr; // data-changing statements and look-ups
    std::unique_ptr<db::Directory> m_directory;

    // Visible controls
    db::DBGrid* DBGrid1 = nullptr;
    QWidget* DolniLista = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLineEdit* Hledani = nullptr;
    QLabel* HledaniLabel = nullptr;
    QCheckBox* autoSearch = nullptr;
    QGroupBox* hledat_dle = nullptr;
    QButtonGroup* hledat_dleButtons = nullptr;
    QLabel* SkupinaLabel = nullptr;
    QComboBox* VyberSkupinu = nullptr;
    QLabel* pocet = nullptr;
    QLabel* Image1 = nullptr;

    // Never shown
    QPushButton* KomplUprava = nullptr;
    QPushButton* Najdi = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Label1 = nullptr;
    QFrame* Panel1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* PanelPracuji = nullptr;
    QPlainTextEdit* TextyAktualizaci = nullptr;

    // Timers
    QTimer* Timer1 = nullptr;
    QTimer* SyncTimer = nullptr; // the automatic synchronisation
    void armSyncTimer();
    QTimer* TimerSaveAnim = nullptr;
    QTimer* ZnovuRozmistPanel = nullptr;

    // Main menu "Soubor"
    QAction* Natitelseznamzesouboru2 = nullptr;
    QAction* Ulozitseznamdosouboru1 = nullptr;
    QAction* Zobrazstrukturunatanchdat2 = nullptr;
    QAction* CopyMd1 = nullptr;
    QAction* Tisk1 = nullptr;
    QAction* NahledTisku1 = nullptr;
    QAction* UlozitPdf1 = nullptr;
    QAction* Konec1 = nullptr;
    // "Záznam"
    QAction* Nov1 = nullptr;
    QAction* Odstranitvybranoupoloku1 = nullptr;
    QAction* Kompletnpravavybranpoloky1 = nullptr;
    QAction* P59davn8poy1 = nullptr;
    QAction* Otevtvybranzznampropidnnovhosla1 = nullptr;
    // "Nástroje"
    QAction* PidatzznamyzjinDBjennovsla1 = nullptr;
    QAction* Synchronizace1 = nullptr;
    QAction* Synchronizovat1 = nullptr;
    QAction* Vytvoitvizitku2 = nullptr;
    QAction* Nastvizitku1 = nullptr;
    QAction* ExportovatdovCard1 = nullptr;
    QAction* ExportovatvCardveverzi401 = nullptr; // option of the export
    QAction* ImportovatzvCard1 = nullptr;
    QAction* ImportovatzCSV1 = nullptr;
    QAction* ExportovatdoCSV1 = nullptr;
    QAction* Vdynahoe1 = nullptr;
    QAction* Dotazpiuzaven1 = nullptr;
    QAction* MinimalizovataplikacipistiskuAltF41 = nullptr;
    QAction* Pamatovatsikusloupchlavnhoseznamu1 = nullptr;
    QAction* Hledatbezohledunadiakritiku1 = nullptr;
    QAction* Uloitnastaven1 = nullptr;
    // "Nápověda"
    QAction* Npovda2 = nullptr;
    QAction* Zmnyprogramu1 = nullptr;
    QAction* Zjistitnovaktualizace1 = nullptr; // absent from a build without the update check
    QAction* About1 = nullptr;
    // Grid menu
    QMenu* vlastnostiGridu = nullptr;
    QAction* Otevtvybranzznampropidnnovhosla2 = nullptr;
    QAction* Kompletnpravavybranpoloky2 = nullptr;
    QAction* Pdavnpoznmka1 = nullptr;
    QAction* OdstranitvybranoupolokuDel1 = nullptr;
    QAction* Vytvoitvizitku1 = nullptr;
    // Window menu
    QMenu* PopupMenu1 = nullptr;
    QAction* Oaplikaci1 = nullptr;
    // Tray
    QSystemTrayIcon* TrayIcon1 = nullptr;
    QMenu* taskMenu = nullptr;
    QAction* Zobraz1 = nullptr;
    QAction* Skryt1 = nullptr;
    QAction* Oaplikaci2 = nullptr;
    QAction* Konec2 = nullptr;

    // State for the whole run
    bool ExitChosen = false;
    int SaveAnimCounter = 0;
    int GridMouseY = 0;
    // The sort of the grid, as the title clicks left it.
    SortState Sort;

    void buildControls();
    void buildMenus();
    void buildTray();
    // Wires the record commands of the grid (double click, the Delete key).
    void setupEditCommands();
    void FormCreate();
    // Ends the start-up on a directory file that cannot be used, with the reason shown.
    void refuseDirectory(const QString& why);
    void endWithoutWindow();
    // The caption and one message tell that changes cannot be saved.
    void tellReadOnly();
    void applyResizeRules();
    // Without the width option the five columns share the grid's client width equally.
    void shareColumnWidths();
    void setupSearchBar();
    // Places the search bar's controls side by side, each as large as its text needs.
    void layOutSearchBar();
    void HledaniKeyUp(int key);
    void search();
    void sortByTitle(const QString& fieldName);
    SearchBar searchBar();
    GridParts gridParts();
    void applyLegacySettings();
    void ReadSettings();
    void LoadLayout();
    void SaveLayout();
    void FillGroupList();
    // The index of the selected search column, -1 when none.
    int searchIndex() const;
    void setSearchIndex(int index);
    // The program's web site: the settings file's AKTUALIZACE/Web, otherwise the built-in one.
    QString webSite() const;
    // True when every option reached the settings file.
    bool writeOptions();

    class WheelToKeys* m_wheelToKeys = nullptr;

    bool m_started = false;
    // The window was maximised when it went to the tray; "Zobraz" brings it back so.
    bool m_maximisedBeforeMinimise = false;
    bool m_readOnly = false;

    std::unique_ptr<app::Context> m_ownContext;
    app::Context* m_context;
    // What the commands are given.
    Services services()
    {
        return m_context->services(*this);
    }
    const QString& settingsPath() const
    {
        return m_context->settings.path();
    }
};
