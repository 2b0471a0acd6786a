// The main window's menus, tray icon and small window behaviours.
#include "app/TMain.h"

#include "app/AppContext.h"
#include "app/Pictures.h"
#include "ui/DBGrid.h"
#include "ui/Guard.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWheelEvent>

namespace {

QAction* AddItem(QMenu* menu, const char* name, const QString& caption, QObject* owner)
{
    auto* action = new QAction(caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    menu->addAction(action);
    return action;
}

QAction* AddCheck(QMenu* menu, const char* name, const QString& caption, bool checked, QObject* owner)
{
    QAction* action = AddItem(menu, name, caption, owner);
    action->setCheckable(true);
    action->setChecked(checked);
    return action;
}

} // namespace

void TMain::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    // Alt and the underlined letter open a menu; a screen reader still reads the bare caption.
    QMenu* soubor = bar->addMenu(QStringLiteral("&Soubor"));
    soubor->setObjectName(QStringLiteral("Soubor1"));
    Natitelseznamzesouboru2 =
        AddItem(soubor, "Natitelseznamzesouboru2", QStringLiteral("Načti tel. seznam ze souboru..."), this);
    Ulozitseznamdosouboru1 =
        AddItem(soubor, "Ulozitseznamdosouboru1", QStringLiteral("Uložit seznam do souboru..."), this);
    Zobrazstrukturunatanchdat2 = AddItem(soubor, "Zobrazstrukturunatanchdat2",
                                         QStringLiteral("Zobraz strukturu načítaných dat"), this);
    CopyMd1 = AddCheck(soubor, "CopyMd1", QStringLiteral("Copy Mód"), false, this);
    soubor->addSeparator();
    Tisk1 = AddItem(soubor, "Tisk1", QStringLiteral("Tisk…"), this);
    Tisk1->setShortcut(QKeySequence::Print);
    NahledTisku1 = AddItem(soubor, "NahledTisku1", QStringLiteral("Náhled tisku…"), this);
    UlozitPdf1 = AddItem(soubor, "UlozitPdf1", QStringLiteral("Uložit jako PDF…"), this);
    soubor->addSeparator();
    Konec1 = AddItem(soubor, "Konec1", QStringLiteral("Konec"), this);

    QMenu* zaznam = bar->addMenu(QStringLiteral("&Záznam"));
    zaznam->setObjectName(QStringLiteral("Zznam1"));
    Nov1 = AddItem(zaznam, "Nov1", QStringLiteral("Nový"), this);
    Nov1->setShortcut(QKeySequence(Qt::Key_Insert));
    Odstranitvybranoupoloku1 =
        AddItem(zaznam, "Odstranitvybranoupoloku1", QStringLiteral("Odstranit vybranou položku (Del)"), this);
    Kompletnpravavybranpoloky1 = AddItem(zaznam, "Kompletnpravavybranpoloky1",
                                         QStringLiteral("Kompletní úprava vybrané položky"), this);
    P59davn8poy1 = AddItem(zaznam, "P59davn8poy1", QStringLiteral("Přídavná poznámka"), this);
    Otevtvybranzznampropidnnovhosla1 =
        AddItem(zaznam, "Otevtvybranzznampropidnnovhosla1",
                QStringLiteral("Otevřít vybraný záznam pro přidání nového čísla"), this);

    QMenu* nastroje = bar->addMenu(QStringLiteral("&Nástroje"));
    nastroje->setObjectName(QStringLiteral("Nstroje1"));
    PidatzznamyzjinDBjennovsla1 = AddItem(nastroje, "PidatzznamyzjinDBjennovsla1",
                                          QStringLiteral("Přidat záznamy z jiné DB (jen nová čísla)"), this);
    nastroje->addSeparator();
    Synchronizace1 = AddItem(nastroje, "Synchronizace1", QStringLiteral("Synchronizace…"), this);
    Synchronizovat1 = AddItem(nastroje, "Synchronizovat1", QStringLiteral("Synchronizovat"), this);
    nastroje->addSeparator();
    Vytvoitvizitku2 = AddItem(nastroje, "Vytvoitvizitku2", QStringLiteral("Vytvořit vizitku"), this);
    Nastvizitku1 = AddItem(nastroje, "Nastvizitku1", QStringLiteral("Načíst vizitku"), this);
    nastroje->addSeparator();
    ExportovatdovCard1 =
        AddItem(nastroje, "ExportovatdovCard1", QStringLiteral("Exportovat do vCard..."), this);
    ExportovatvCardveverzi401 = AddCheck(nastroje, "ExportovatvCardveverzi401",
                                         QStringLiteral("Exportovat vCard ve verzi 4.0"), false, this);
    ImportovatzvCard1 = AddItem(nastroje, "ImportovatzvCard1", QStringLiteral("Importovat z vCard..."), this);
    nastroje->addSeparator();
    ImportovatzCSV1 = AddItem(nastroje, "ImportovatzCSV1", QStringLiteral("Importovat z CSV…"), this);
    ExportovatdoCSV1 = AddItem(nastroje, "ExportovatdoCSV1", QStringLiteral("Exportovat do CSV…"), this);
    nastroje->addSeparator();
    Vdynahoe1 = AddCheck(nastroje, "Vdynahoe1", QStringLiteral("Vždy nahoře"), false, this);
    Dotazpiuzaven1 = AddCheck(nastroje, "Dotazpiuzaven1", QStringLiteral("Dotaz při uzavření"), false, this);
    MinimalizovataplikacipistiskuAltF41 =
        AddCheck(nastroje, "MinimalizovataplikacipistiskuAltF41",
                 QStringLiteral("Minimalizovat aplikaci při stisku Alt+F4"), true, this);
    Pamatovatsikusloupchlavnhoseznamu1 =
        AddCheck(nastroje, "Pamatovatsikusloupchlavnhoseznamu1",
                 QStringLiteral("Pamatovat si šířku sloupců hlavního seznamu"), true, this);
    Pamatovatsikusloupchlavnhoseznamu1->setStatusTip(
        QStringLiteral("Po zavření aplikace se uloží šířka sloupců"));
    Pamatovatsikusloupchlavnhoseznamu1->setToolTip(Pamatovatsikusloupchlavnhoseznamu1->statusTip());
    Hledatbezohledunadiakritiku1 = AddCheck(nastroje, "Hledatbezohledunadiakritiku1",
                                            QStringLiteral("Hledat bez ohledu na diakritiku"), false, this);
    nastroje->setToolTipsVisible(true);
    nastroje->addSeparator();
    Uloitnastaven1 = AddItem(nastroje, "Uloitnastaven1", QStringLiteral("Uložit nastavení"), this);

    QMenu* napoveda = bar->addMenu(QStringLiteral("Ná&pověda"));
    napoveda->setObjectName(QStringLiteral("Npovda1"));
    Npovda2 = AddItem(napoveda, "Npovda2", QStringLiteral("Nápověda"), this);
    Zmnyprogramu1 = AddItem(napoveda, "Zmnyprogramu1", QStringLiteral("Změny programu..."), this);
    napoveda->addSeparator();
#ifdef ZV_UPDATE_CHECK
    Zjistitnovaktualizace1 =
        AddItem(napoveda, "Zjistitnovaktualizace1", QStringLiteral("Zjistit nové aktualizace"), this);
#endif
    About1 = AddItem(napoveda, "About1", QStringLiteral("O aplikaci..."), this);

    vlastnostiGridu = new QMenu(this);
    vlastnostiGridu->setObjectName(QStringLiteral("vlastnostiGridu"));
    Otevtvybranzznampropidnnovhosla2 =
        AddItem(vlastnostiGridu, "Otevtvybranzznampropidnnovhosla2",
                QStringLiteral("Otevřít vybraný záznam pro přidání nového čísla"), this);
    Kompletnpravavybranpoloky2 = AddItem(vlastnostiGridu, "Kompletnpravavybranpoloky2",
                                         QStringLiteral("Kompletní úprava vybrané položky"), this);
    Pdavnpoznmka1 = AddItem(vlastnostiGridu, "Pdavnpoznmka1", QStringLiteral("Přídavná poznámka"), this);
    vlastnostiGridu->addSeparator();
    OdstranitvybranoupolokuDel1 = AddItem(vlastnostiGridu, "OdstranitvybranoupolokuDel1",
                                          QStringLiteral("Odstranit vybranou položku (Del)"), this);
    vlastnostiGridu->addSeparator();
    Vytvoitvizitku1 = AddItem(vlastnostiGridu, "Vytvoitvizitku1", QStringLiteral("Vytvořit vizitku"), this);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Oaplikaci1 = AddItem(PopupMenu1, "Oaplikaci1", QStringLiteral("O aplikaci...."), this);

    // Commands reached from several menus are one handler that the other items trigger.
    connect(Natitelseznamzesouboru2, &QAction::triggered, this, &TMain::Natitelseznamzesouboru2Click);
    connect(Ulozitseznamdosouboru1, &QAction::triggered, this, &TMain::Ulozitseznamdosouboru1Click);
    connect(Tisk1, &QAction::triggered, this, &TMain::Tisk1Click);
    connect(NahledTisku1, &QAction::triggered, this, &TMain::NahledTisku1Click);
    connect(UlozitPdf1, &QAction::triggered, this, &TMain::UlozitPdf1Click);
    connect(Zobrazstrukturunatanchdat2, &QAction::triggered, this, &TMain::Zobrazstrukturunatanchdat2Click);
    connect(CopyMd1, &QAction::triggered, this, &TMain::CopyMd1Click);
    connect(Konec1, &QAction::triggered, this, &TMain::Konec1Click);
    connect(Nov1, &QAction::triggered, this, &TMain::Nov1Click);
    connect(Odstranitvybranoupoloku1, &QAction::triggered, this, &TMain::Odstranitvybranoupoloku1Click);
    connect(Kompletnpravavybranpoloky1, &QAction::triggered, this, &TMain::Kompletnpravavybranpoloky1Click);
    connect(P59davn8poy1, &QAction::triggered, this, &TMain::P59davn8poy1Click);
    connect(Otevtvybranzznampropidnnovhosla1, &QAction::triggered, this,
            &TMain::Otevtvybranzznampropidnnovhosla1Click);
    connect(PidatzznamyzjinDBjennovsla1, &QAction::triggered, this, &TMain::PidatzznamyzjinDBjennovsla1Click);
    connect(Synchronizace1, &QAction::triggered, this, &TMain::Synchronizace1Click);
    connect(Synchronizovat1, &QAction::triggered, this, &TMain::Synchronizovat1Click);
    connect(Vytvoitvizitku2, &QAction::triggered, Vytvoitvizitku1, &QAction::trigger);
    connect(Vytvoitvizitku1, &QAction::triggered, this, &TMain::Vytvoitvizitku1Click);
    connect(Nastvizitku1, &QAction::triggered, this, &TMain::Nastvizitku1Click);
    connect(ExportovatdovCard1, &QAction::triggered, this, &TMain::ExportovatdovCard1Click);
    connect(ImportovatzvCard1, &QAction::triggered, this, &TMain::ImportovatzvCard1Click);
    connect(ImportovatzCSV1, &QAction::triggered, this, &TMain::ImportovatzCSV1Click);
    connect(ExportovatdoCSV1, &QAction::triggered, this, &TMain::ExportovatdoCSV1Click);
    connect(Vdynahoe1, &QAction::triggered, this, &TMain::Vdynahoe1Click);
    connect(Hledatbezohledunadiakritiku1, &QAction::triggered, this,
            &TMain::Hledatbezohledunadiakritiku1Click);
    connect(Uloitnastaven1, &QAction::triggered, this, &TMain::Uloitnastaven1Click);
    connect(Npovda2, &QAction::triggered, this, &TMain::Npovda2Click);
    connect(Zmnyprogramu1, &QAction::triggered, this, &TMain::Zmnyprogramu1Click);
#ifdef ZV_UPDATE_CHECK
    connect(Zjistitnovaktualizace1, &QAction::triggered, this, &TMain::Zjistitnovaktualizace1Click);
#endif
    connect(About1, &QAction::triggered, this, &TMain::About1Click);
    connect(Oaplikaci1, &QAction::triggered, this, &TMain::About1Click);
    connect(Otevtvybranzznampropidnnovhosla2, &QAction::triggered, Otevtvybranzznampropidnnovhosla1,
            &QAction::trigger);
    connect(Kompletnpravavybranpoloky2, &QAction::triggered, Kompletnpravavybranpoloky1, &QAction::trigger);
    connect(Pdavnpoznmka1, &QAction::triggered, P59davn8poy1, &QAction::trigger);
    connect(OdstranitvybranoupolokuDel1, &QAction::triggered, Odstranitvybranoupoloku1, &QAction::trigger);

    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { vlastnostiGridu->popup(DBGrid1->viewport()->mapToGlobal(pos)); });

    buildTray();
}

void TMain::buildTray()
{
    taskMenu = new QMenu(this);
    taskMenu->setObjectName(QStringLiteral("taskMenu"));
    Zobraz1 = AddItem(taskMenu, "Zobraz1", QStringLiteral("Zobraz"), this);
    Skryt1 = AddItem(taskMenu, "Skryt1", QStringLiteral("Skrýt"), this);
    Oaplikaci2 = AddItem(taskMenu, "Oaplikaci2", QStringLiteral("O aplikaci..."), this);
    taskMenu->addSeparator();
    Konec2 = AddItem(taskMenu, "Konec2", QStringLiteral("Konec"), this);
    connect(Zobraz1, &QAction::triggered, this, &TMain::Zobraz1Click);
    connect(Skryt1, &QAction::triggered, this, &TMain::Skryt1Click);
    connect(Oaplikaci2, &QAction::triggered, About1, &QAction::trigger);
    connect(Konec2, &QAction::triggered, this, &TMain::Konec1Click);

    // Where the desktop has no notification area the program runs without the icon;
    // minimising then keeps the task-bar entry, so the window can always be brought back.
    if (!app::TrayAvailable())
        return;
    TrayIcon1 = new QSystemTrayIcon(windowIcon(), this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->setToolTip(QStringLiteral("Zvonisty"));
    connect(TrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
        case QSystemTrayIcon::Trigger:
            Zobraz1Click();
            break;
        case QSystemTrayIcon::DoubleClick:
            raise();
            activateWindow();
            break;
        case QSystemTrayIcon::Context:
            if (isMinimized() || !isVisible())
                taskMenu->popup(QCursor::pos());
            break;
        default:
            break;
        }
    });
    TrayIcon1->show();
}

void TMain::Konec1Click()
{
    ExitChosen = true;
    close();
}

void TMain::CopyMd1Click()
{
    const bool rows = DBGrid1->selectionBehavior() == QAbstractItemView::SelectRows;
    if (rows) {
        DBGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
        DBGrid1->queryModel()->setEditable(true);
        DBGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::SelectedClicked);
    } else {
        DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
        DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
        DBGrid1->queryModel()->setEditable(false);
    }
    CopyMd1->setChecked(rows);
}

void TMain::Vdynahoe1Click()
{
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, Vdynahoe1->isChecked());
    if (visible)
        show();
}

void TMain::Hledatbezohledunadiakritiku1Click()
{
    // Every search reads the option. The grid shows the typed search as it now reads, as when
    // the search column changes; without a search text there is nothing to read differently.
    if (!Hledani->text().isEmpty())
        Najdi->click();
}

void TMain::TimerSaveAnimTimer()
{
    ++SaveAnimCounter;
    const QPixmap picture = FloppyPicture();
    if (SaveAnimCounter == 1) {
        Image1->setScaledContents(true);
        Image1->setPixmap(picture);
        Image1->show();
    } else if (SaveAnimCounter == 2) {
        Image1->setScaledContents(false);
        Image1->setPixmap(picture);
    } else if (SaveAnimCounter >= 3) {
        TimerSaveAnim->stop();
        Image1->hide();
        SaveAnimCounter = 0;
    }
}

void TMain::ZnovuRozmistPanelTimer()
{
    ZnovuRozmistPanel->stop();
    applyResizeRules();
}

void TMain::Zobraz1Click()
{
    // Back in the state it had before it went to the tray: a maximised window stays maximised.
    if (isMinimized() || isHidden()) {
        if (m_maximisedBeforeMinimise)
            showMaximized();
        else
            showNormal();
    }
    raise();
    activateWindow();
}

void TMain::Skryt1Click()
{
    if (TrayIcon1) {
        m_maximisedBeforeMinimise = isMaximized();
        hide();
    } else {
        showMinimized();
    }
}

void TMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    m_maximisedBeforeMinimise =
        change->oldState().testFlag(Qt::WindowMaximized) || windowState().testFlag(Qt::WindowMaximized);
    // A minimised program is reachable through its tray icon only, when there is one.
    if (TrayIcon1 && TrayIcon1->isVisible())
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
}

void TMain::contextMenuEvent(QContextMenuEvent* event)
{
    // Only the bare surface of the window; controls have their own menus.
    QWidget* child = childAt(event->pos());
    if (!child || child == centralWidget() || child == DolniLista)
        PopupMenu1->popup(event->globalPos());
}
