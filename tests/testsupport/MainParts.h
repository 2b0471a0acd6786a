#pragma once

// The main window's parts, found by the object names the window gives them: tests reach the
// window as a user or an accessibility tool would, never through its members.
#include <QObject>
#include <QStringList>

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
class QStatusBar;
class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace db {
class Connection;
class DBGrid;
class Query;
} // namespace db

namespace testsupport {

struct MainParts
{
#define ZV_MAIN_PARTS(X)                                                                                     \
    X(db::Connection, ADOConnection1)                                                                        \
    X(db::Connection, ADOConnection2)                                                                        \
    X(db::Query, ADOQuery1)                                                                                  \
    X(db::Query, ADOQuery2)                                                                                  \
    X(db::Query, ADOQuery3)                                                                                  \
    X(db::Query, ADOQuery4)                                                                                  \
    X(db::DBGrid, DBGrid1)                                                                                   \
    X(QWidget, DolniLista)                                                                                   \
    X(QStatusBar, StatusBar1)                                                                                \
    X(QLineEdit, Hledani)                                                                                    \
    X(QLabel, HledaniLabel)                                                                                  \
    X(QCheckBox, autoSearch)                                                                                 \
    X(QGroupBox, hledat_dle)                                                                                 \
    X(QButtonGroup, hledat_dleButtons)                                                                       \
    X(QLabel, SkupinaLabel)                                                                                  \
    X(QComboBox, VyberSkupinu)                                                                               \
    X(QLabel, pocet)                                                                                         \
    X(QLabel, Image1)                                                                                        \
    X(QPushButton, KomplUprava)                                                                              \
    X(QPushButton, Najdi)                                                                                    \
    X(QFrame, Bevel1)                                                                                        \
    X(QLabel, Label1)                                                                                        \
    X(QFrame, Panel1)                                                                                        \
    X(QProgressBar, ProgressBar1)                                                                            \
    X(QLabel, PanelPracuji)                                                                                  \
    X(QPlainTextEdit, TextyAktualizaci)                                                                      \
    X(QTimer, Timer1)                                                                                        \
    X(QTimer, TimerSaveAnim)                                                                                 \
    X(QTimer, ZnovuRozmistPanel)                                                                             \
    X(QAction, Natitelseznamzesouboru2)                                                                      \
    X(QAction, Ulozitseznamdosouboru1)                                                                       \
    X(QAction, Tisk1)                                                                                        \
    X(QAction, NahledTisku1)                                                                                 \
    X(QAction, UlozitPdf1)                                                                                   \
    X(QAction, Zobrazstrukturunatanchdat2)                                                                   \
    X(QAction, CopyMd1)                                                                                      \
    X(QAction, Konec1)                                                                                       \
    X(QAction, Nov1)                                                                                         \
    X(QAction, Odstranitvybranoupoloku1)                                                                     \
    X(QAction, Kompletnpravavybranpoloky1)                                                                   \
    X(QAction, P59davn8poy1)                                                                                 \
    X(QAction, Otevtvybranzznampropidnnovhosla1)                                                             \
    X(QAction, Synchronizace1)                                                                               \
    X(QAction, Synchronizovat1)                                                                              \
    X(QAction, PidatzznamyzjinDBjennovsla1)                                                                  \
    X(QAction, Vytvoitvizitku2)                                                                              \
    X(QAction, Nastvizitku1)                                                                                 \
    X(QAction, ExportovatdovCard1)                                                                           \
    X(QAction, ExportovatvCardveverzi401)                                                                    \
    X(QAction, ImportovatzvCard1)                                                                            \
    X(QAction, ImportovatzCSV1)                                                                              \
    X(QAction, ExportovatdoCSV1)                                                                             \
    X(QAction, Vdynahoe1)                                                                                    \
    X(QAction, Dotazpiuzaven1)                                                                               \
    X(QAction, MinimalizovataplikacipistiskuAltF41)                                                          \
    X(QAction, Pamatovatsikusloupchlavnhoseznamu1)                                                           \
    X(QAction, Hledatbezohledunadiakritiku1)                                                                 \
    X(QAction, Uloitnastaven1)                                                                               \
    X(QAction, Npovda2)                                                                                      \
    X(QAction, Zmnyprogramu1)                                                                                \
    X(QAction, Zjistitnovaktualizace1)                                                                       \
    X(QAction, About1)                                                                                       \
    X(QMenu, vlastnostiGridu)                                                                                \
    X(QAction, Otevtvybranzznampropidnnovhosla2)                                                             \
    X(QAction, Kompletnpravavybranpoloky2)                                                                   \
    X(QAction, Pdavnpoznmka1)                                                                                \
    X(QAction, OdstranitvybranoupolokuDel1)                                                                  \
    X(QAction, Vytvoitvizitku1)                                                                              \
    X(QMenu, PopupMenu1)                                                                                     \
    X(QAction, Oaplikaci1)                                                                                   \
    X(QSystemTrayIcon, TrayIcon1)                                                                            \
    X(QMenu, taskMenu)                                                                                       \
    X(QAction, Zobraz1)                                                                                      \
    X(QAction, Skryt1)                                                                                       \
    X(QAction, Oaplikaci2)                                                                                   \
    X(QAction, Konec2)
#define ZV_DECLARE_PART(Type, name) Type* name = nullptr;
    ZV_MAIN_PARTS(ZV_DECLARE_PART)
#undef ZV_DECLARE_PART
};

// The parts of a main window; a part it lacks (the update check of a build without it) is null.
MainParts Parts(QObject& window);

// The grid's titles in their shown order, and one column's values from the top.
QStringList GridTitles(QObject& window);
QStringList GridColumn(QObject& window, int logical = 1);
// A click on the title of the column that shows the field; the window is shown first.
void ClickTitle(QObject& window, const QString& field);
// The sort the titles show: the marked column's field, with " desc" when it is descending.
QString SortShown(QObject& window);

} // namespace testsupport
