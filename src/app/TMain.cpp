#include "app/TMain.h"

#include "app/AppContext.h"
#include "app/IniFile.h"
#include "app/OldFileAtStart.h"
#include "app/OpeningDialog.h"
#include "app/Pictures.h"
#include "app/UpgradeDialog.h"
#include "app/UserPlaces.h"
#include "app/WheelToKeys.h"
#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
#include "db/contacts/Upgrade.h"
#include "db/engine/Columns.h"
#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/search/SearchIndex.h"
#include "ui/DBGrid.h"
#include "ui/Guard.h"
#include "ui/MessageDialog.h"
#include "ui/ProgressDisplay.h"

#include "Version.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

template <typename W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

void SetHint(QWidget* w, const QString& hint)
{
    w->setToolTip(hint);
    w->setStatusTip(hint);
}

} // namespace

TMain::TMain(app::Context* context)
    : m_ownContext(context ? nullptr : std::make_unique<app::Context>()),
      m_context(context ? context : m_ownContext.get())
{
    setObjectName(QStringLiteral("TMain"));
    app::SetMainWindow(this);
    InstallDialogFailureReporter();
    setWindowTitle(QStringLiteral("Zvonistní seznam"));
    setWindowIcon(AppIcon());
    setAttribute(Qt::WA_DeleteOnClose, false);

    ADOConnection1 = Named(new db::Connection(this), "ADOConnection1");
    ADOConnection1->setConnectionString(db::Connection::DefaultConnectionString());
    // Read beside building the window and opening the file: the first search need not wait.
    db::SearchIndex::Prefetch(ADOConnection1->sourcePath());
    m_directory = std::make_unique<db::Directory>(ADOConnection1);
    ADOQuery1 = Named(m_directory->newQuery(this), "ADOQuery1");
    db::Directory::prepareAllByName(ADOQuery1);
    ADOQuery2 = Named(m_directory->newQuery(this), "ADOQuery2");
    connect(ADOQuery1, &db::Query::afterOpen, this, &TMain::ADOQuery1AfterOpen);
    connect(ADOQuery1, &db::Query::counted, this, &TMain::ADOQuery1AfterOpen);

    buildControls();
    m_context->selection.setShown(ADOQuery1);
    m_context->status.attach(StatusBar1, new ProgressPanel(Panel1, ProgressBar1));
    buildMenus();
    DBGrid1->viewport()->installEventFilter(this);
    setupEditCommands();
    setupSearchBar();
    m_wheelToKeys = new WheelToKeys(this);
    qApp->installEventFilter(m_wheelToKeys);
    resize(532, 527);
    // Wide enough for the search bar at the fonts of this system.
    setMinimumSize(qMax(540, DolniLista->minimumWidth()), 451);
    FormCreate();
}

TMain::~TMain()
{
    if (DBGrid1)
        DBGrid1->viewport()->removeEventFilter(this);
    if (app::MainWindow() == this)
        app::SetMainWindow(nullptr);
    // The context may outlive the window.
    m_context->selection.setShown(nullptr);
    m_context->status.attach(nullptr, nullptr);
}

void TMain::buildControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(central);

    DBGrid1 = Named(new db::DBGrid(central), "DBGrid1");
    DBGrid1->setGeometry(8, 8, 518, 293);
    QList<db::QueryModel::Column> gridColumns;
    for (const QString& field : GridFields())
        gridColumns.append({field, db::ColumnTitle(*db::FindColumn(field))});
    DBGrid1->setColumns(gridColumns);
    DBGrid1->setDataSource(ADOQuery1);
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid1, &db::DBGrid::titleClick, this, &TMain::DBGrid1TitleClick);

    DolniLista = Named(new QWidget(central), "DolniLista");
    // The bar was designed for a small 8-point face; its places follow from the controls' sizes.
    QFont barFont = DolniLista->font();
    barFont.setPixelSize(11);
    DolniLista->setFont(barFont);

    HledaniLabel = Named(new QLabel(QStringLiteral("Hledání:"), DolniLista), "HledaniLabel");
    Hledani = Named(new QLineEdit(DolniLista), "Hledani");
    HledaniLabel->setBuddy(Hledani);

    autoSearch = Named(new QCheckBox(QStringLiteral("auto"), DolniLista), "autoSearch");
    autoSearch->setChecked(true);
    SetHint(autoSearch, QStringLiteral("automatické hledání po zadání hledaného řetězce"));

    hledat_dle = Named(new QGroupBox(QStringLiteral("Hledat podle:"), DolniLista), "hledat_dle");
    SetHint(hledat_dle, QStringLiteral("Hledat v sloupci:"));
    hledat_dleButtons = Named(new QButtonGroup(this), "hledat_dleButtons");
    QStringList items;
    for (int place = 0; place < db::kSearchColumnCount; ++place)
        items << db::ColumnTitle(*db::SearchColumn(place));
    items << QStringLiteral("Vše");
    auto* columns = new QGridLayout(hledat_dle);
    for (int i = 0; i < items.size(); ++i) {
        auto* radio = new QRadioButton(items[i], hledat_dle);
        radio->setObjectName(QStringLiteral("hledat_dle_%1").arg(i));
        QFont radioFont = radio->font();
        radioFont.setPixelSize(10);
        radio->setFont(radioFont);
        // Two columns, filled top to bottom.
        columns->addWidget(radio, i % 3, i / 3);
        hledat_dleButtons->addButton(radio, i);
    }
    hledat_dleButtons->button(0)->setChecked(true);

    SkupinaLabel = Named(new QLabel(QStringLiteral("Výběr skupiny:"), DolniLista), "SkupinaLabel");
    VyberSkupinu = Named(new QComboBox(DolniLista), "VyberSkupinu");
    VyberSkupinu->setEditable(false);
    SetHint(VyberSkupinu, QStringLiteral("Hledat jen ve skupině"));

    pocet = Named(new QLabel(QStringLiteral("0"), DolniLista), "pocet");
    pocet->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetHint(pocet, QStringLiteral("Počet nalezených záznamů"));

    Image1 = Named(new QLabel(DolniLista), "Image1");
    Image1->setAlignment(Qt::AlignCenter);
    Image1->hide();
    layOutSearchBar();

    StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
    QFont bold = StatusBar1->font();
    bold.setBold(true);
    StatusBar1->setFont(bold);
    StatusBar1->setFixedHeight(19);
    setStatusBar(StatusBar1);

    KomplUprava = Named(new QPushButton(QStringLiteral("Kompletní úprava"), central), "KomplUprava");
    SetHint(KomplUprava, QStringLiteral("Zobrazí dialog pro úpravu všech možný hodnot vybrané položky"));
    KomplUprava->hide();
    connect(KomplUprava, &QPushButton::clicked, this, &TMain::KomplUpravaClick);
    Najdi = Named(new QPushButton(QStringLiteral("Najdi"), central), "Najdi");
    Najdi->hide();
    connect(Najdi, &QPushButton::clicked, this, &TMain::NajdiClick);
    Bevel1 = Named(new QFrame(central), "Bevel1");
    Bevel1->hide();
    Label1 = Named(new QLabel(QStringLiteral("Skupina"), central), "Label1");
    Label1->hide();
    Panel1 = Named(new QFrame(central), "Panel1");
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFixedHeight(25);
    ProgressBar1 = Named(new QProgressBar(Panel1), "ProgressBar1");
    Panel1->hide();
    PanelPracuji = Named(new QLabel(QStringLiteral("Zjišťuji aktualizace..."), central), "PanelPracuji");
    PanelPracuji->setFrameShape(QFrame::Panel);
    PanelPracuji->setAlignment(Qt::AlignCenter);
    PanelPracuji->setFont(bold);
    PanelPracuji->resize(185, 41);
    PanelPracuji->hide();
    TextyAktualizaci = Named(new QPlainTextEdit(central), "TextyAktualizaci");
    TextyAktualizaci->hide();

    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(200);
    TimerSaveAnim = Named(new QTimer(this), "TimerSaveAnim");
    TimerSaveAnim->setInterval(250);
    ZnovuRozmistPanel = Named(new QTimer(this), "ZnovuRozmistPanel");
    ZnovuRozmistPanel->setInterval(20);
    SyncTimer = Named(new QTimer(this), "SyncTimer");
    connect(SyncTimer, &QTimer::timeout, this, &TMain::SyncTimerTimer);
    connect(Timer1, &QTimer::timeout, this, &TMain::Timer1Timer);
    connect(TimerSaveAnim, &QTimer::timeout, this, &TMain::TimerSaveAnimTimer);
    connect(ZnovuRozmistPanel, &QTimer::timeout, this, &TMain::ZnovuRozmistPanelTimer);
}

void TMain::FormCreate()
{
    setWindowTitle(windowTitle() + QStringLiteral(" v. ") + QStringLiteral(ZV_FILE_VERSION));
    SaveAnimCounter = 0;
    ExitChosen = false;

    QString why, converted;
    switch (ConvertOldFileAtStart(this, ADOConnection1->sourcePath(), &why, &converted)) {
    case OldFileAtStart::Declined:
        endWithoutWindow();
        return;
    case OldFileAtStart::Failed:
        refuseDirectory(why);
        return;
    case OldFileAtStart::NotOld:
    case OldFileAtStart::Converted:
        break;
    }
    try {
        // The slow steps of opening a large or old file are shown; the window is gone before
        // any message about the opening.
        const OpeningProgressWindow progress(this);
        ADOConnection1->open();
    } catch (const db::EngineError& error) {
        refuseDirectory(error.message());
        return;
    }
    m_readOnly = ADOConnection1->readOnly();

    const int version = ReadStructureVersion(ADOQuery1);
    if (version < kCurrentStructureVersion) {
        if (m_readOnly) {
            refuseDirectory(
                QStringLiteral("Soubor %1 má starší strukturu, kterou nelze upravit, protože je otevřen "
                               "jen pro čtení.")
                    .arg(QFileInfo(directoryFilePath()).fileName()));
            return;
        }
        QString error;
        if (!UpgradeWithProgress(version, ADOQuery2, this, &error)) {
            refuseDirectory(error);
            return;
        }
    }

    // Searches and sorts of the whole directory are answered from memory once it is read.
    db::SearchIndex::Attach(ADOConnection1);

    m_context->settings.setPath(SettingsFilePath(app::SettingsDir(), app::ExecutableFileName()));
    resize(540, height());
    // Centred on the screen; a remembered position replaces it.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    move(screen.x() + (screen.width() - frameGeometry().width()) / 2,
         screen.y() + (screen.height() - frameGeometry().height()) / 2);
    LoadLayout();
    FillGroupList();
    ReadSettings();
    if (m_readOnly)
        tellReadOnly();
    if (const int shortened = ADOConnection1->shortenedContacts())
        ShowMessageDialogOver(
            nullptr,
            QStringLiteral("Soubor %1 obsahoval hodnoty delší, než pole dovolují. Počet dotčených "
                           "kontaktů: %2. Co se do pole nevešlo, je uloženo v doplňující "
                           "poznámce kontaktu.")
                .arg(QFileInfo(directoryFilePath()).fileName())
                .arg(shortened),
            0, 0);
    if (!converted.isEmpty())
        m_context->status.show(converted);
    m_started = true;
    armSyncTimer();
    // The automatic synchronisation also runs once as soon as the window is up.
    if (SyncTimer->isActive())
        QTimer::singleShot(0, this, &TMain::SyncTimerTimer);
}

void TMain::refuseDirectory(const QString& why)
{
    ADOQuery1->close();
    ADOConnection1->close();
    ShowMessageDialogOver(nullptr, QStringLiteral("Nastala chyba při otevření DB: ") + why, 2, 0);
    endWithoutWindow();
}

void TMain::endWithoutWindow()
{
    setMinimumSize(10, 10);
    resize(10, 10);
    m_started = false;
}

void TMain::tellReadOnly()
{
    setWindowTitle(windowTitle() + QStringLiteral(" (jen pro čtení)"));
    const QString file = QFileInfo(directoryFilePath()).fileName();
    if (ADOConnection1->access() == db::Connection::Access::ReadOnlyDamaged)
        ShowMessageDialogOver(
            nullptr,
            QStringLiteral("Soubor %1 je poškozen, proto je otevřen jen pro čtení; změny nelze "
                           "ukládat. Obnovte jej ze zálohy (kontaktuje prosím správce).")
                .arg(file),
            2, 0);
    else
        ShowMessageDialogOver(
            nullptr, QStringLiteral("Soubor %1 je otevřen jen pro čtení; změny nelze ukládat.").arg(file), 0,
            0);
}

void TMain::FillGroupList()
{
    VyberSkupinu->clear();
    VyberSkupinu->addItem(QStringLiteral("Vše"));
    // A failure here is told and the start goes on: the list then holds what was read.
    QStringList groups;
    m_directory->groups(&groups);
    VyberSkupinu->addItems(groups);
    VyberSkupinu->setCurrentIndex(0);
}

void TMain::ADOQuery1AfterOpen()
{
    pocet->setText(RowCountText(*ADOQuery1));
}

int TMain::searchIndex() const
{
    return hledat_dleButtons->checkedId();
}

void TMain::setSearchIndex(int index)
{
    if (index < 0) {
        if (QAbstractButton* b = hledat_dleButtons->checkedButton()) {
            hledat_dleButtons->setExclusive(false);
            b->setChecked(false);
            hledat_dleButtons->setExclusive(true);
        }
        return;
    }
    if (QAbstractButton* b = hledat_dleButtons->button(qMin(index, 5)))
        b->setChecked(true);
}

void TMain::closeEvent(QCloseEvent* event)
{
    if (MinimalizovataplikacipistiskuAltF41->isChecked() && !ExitChosen) {
        event->ignore();
        showMinimized();
        return;
    }
    if (Dotazpiuzaven1->isChecked()) {
        if (ShowMessageDialogOver(this, QStringLiteral("Zavřít zvonisty?"), 1, 1) != 0) {
            event->ignore();
            return;
        }
    }
    Guarded([this] { SaveLayout(); });
    event->accept();
    if (TrayIcon1)
        TrayIcon1->hide();
    // A window hidden in the tray closes without the application seeing its last window go.
    if (!isVisible())
        QCoreApplication::quit();
}

void TMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    applyResizeRules();
}

void TMain::applyResizeRules()
{
    QWidget* central = centralWidget();
    if (!central || !DBGrid1)
        return;
    if (central->width() < DolniLista->width())
        ZnovuRozmistPanel->start();
    DolniLista->setGeometry(0, central->height() - DolniLista->height(), central->width(),
                            DolniLista->height());
    const int outerWidth = frameGeometry().width();
    const int clientHeight = central->height() + (StatusBar1 ? StatusBar1->height() : 0);
    const int gridHeight = clientHeight - DolniLista->height() - 30;
    DBGrid1->setGeometry(8, 8, qMax(0, qMin(outerWidth - 24, central->width() - 16)), qMax(0, gridHeight));
    shareColumnWidths();
    pocet->move(DolniLista->width() - pocet->width() - 10, pocet->y());
    Panel1->setGeometry(DBGrid1->x() + 50, DBGrid1->y() + DBGrid1->height() / 2 - Panel1->height() / 2,
                        DBGrid1->width() - 100, Panel1->height());
    if (!Panel1->layout()) // the progress display lays out its panel itself
        ProgressBar1->setGeometry(Panel1->rect());
    PanelPracuji->move(width() / 2 - PanelPracuji->width() / 2, height() / 2 - PanelPracuji->height() / 2);
}

void TMain::shareColumnWidths()
{
    if (!Pamatovatsikusloupchlavnhoseznamu1 || Pamatovatsikusloupchlavnhoseznamu1->isChecked())
        return;
    const int share = DBGrid1->viewport()->width() / 5 - 4;
    for (int p = 0; p < DBGrid1->gridColumnCount(); ++p)
        DBGrid1->setColumnWidthAt(p, share);
}

bool TMain::eventFilter(QObject* watched, QEvent* event)
{
    // The grid's client area settles only when the grid is laid out (its scroll bar, its row
    // titles), after the window's own resize: the shares follow the client area itself.
    if (event->type() == QEvent::Resize && DBGrid1 && watched == DBGrid1->viewport())
        Guarded([this] { shareColumnWidths(); });
    return QMainWindow::eventFilter(watched, event);
}
