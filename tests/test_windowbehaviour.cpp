// Menus, the wheel, copy mode, always on top and the program without a tray.
#include "app/AppContext.h"
#include "app/IniFile.h"
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"

#include <QAccessible>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

using testsupport::Parts;
using testsupport::Sandbox;

class TestWindowBehaviour : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;

    void wheel(int rotation)
    {
        QWidget* viewport = Parts(*m_w).DBGrid1->viewport();
        const QPointF at(20, 20);
        QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, rotation), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(viewport, &event);
    }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        QStringList rows;
        for (int i = 0; i < 8; ++i)
            rows << QStringLiteral("insert into zvonisty (telefon, jmeno) values ('%1', 'N%1')").arg(i);
        m_box->createDirectory(4, rows);
        m_w = testsupport::StartMain();
        QVERIFY(m_w->started());
    }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void wheelStepMovesOneRow()
    {
        QApplication::setActiveWindow(m_w.get());
        Parts(*m_w).DBGrid1->setFocus();
        Parts(*m_w).DBGrid1->selectRow(3);
        wheel(-120);
        QCOMPARE(Parts(*m_w).ADOQuery1->recNo(), 5);
        wheel(-480); // the amount of rotation does not matter
        QCOMPARE(Parts(*m_w).ADOQuery1->recNo(), 6);
        wheel(120);
        wheel(120);
        QCOMPARE(Parts(*m_w).ADOQuery1->recNo(), 4);
    }

    void copyModeToggles()
    {
        QCOMPARE(Parts(*m_w).DBGrid1->selectionBehavior(), QAbstractItemView::SelectRows);
        Parts(*m_w).CopyMd1->trigger();
        QVERIFY(Parts(*m_w).CopyMd1->isChecked());
        QCOMPARE(Parts(*m_w).DBGrid1->selectionBehavior(), QAbstractItemView::SelectItems);
        // A cell opens in an editor whose text can be selected and copied but not changed.
        const QModelIndex cell = Parts(*m_w).DBGrid1->model()->index(2, 1);
        const QString before = cell.data().toString();
        Parts(*m_w).DBGrid1->setCurrentIndex(cell);
        Parts(*m_w).DBGrid1->edit(cell);
        auto* editor = Parts(*m_w).DBGrid1->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->text(), before);
        QVERIFY(editor->isReadOnly());
        editor->selectAll();
        QCOMPARE(editor->selectedText(), before);
        QTest::keyClicks(editor, QStringLiteral("xyz"));
        QTest::keyClick(editor, Qt::Key_Backspace);
        QCOMPARE(editor->text(), before);
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(Parts(*m_w).DBGrid1->model()->index(2, 1).data().toString(), before);
        QCOMPARE(Parts(*m_w).ADOQuery1->text(2, Parts(*m_w).ADOQuery1->fieldIndex(u"jmeno")), before);
        Parts(*m_w).CopyMd1->trigger();
        QVERIFY(!Parts(*m_w).CopyMd1->isChecked());
        QCOMPARE(Parts(*m_w).DBGrid1->selectionBehavior(), QAbstractItemView::SelectRows);
    }

    void touchpadGestureEdgesAreNoWheelSteps()
    {
        QApplication::setActiveWindow(m_w.get());
        Parts(*m_w).DBGrid1->setFocus();
        Parts(*m_w).DBGrid1->selectRow(3);
        QWidget* viewport = Parts(*m_w).DBGrid1->viewport();
        const QPointF at(20, 20);
        for (Qt::ScrollPhase phase : {Qt::ScrollBegin, Qt::ScrollEnd, Qt::NoScrollPhase}) {
            QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(0, 3), QPoint(), Qt::NoButton,
                              Qt::NoModifier, phase, false);
            QCoreApplication::sendEvent(viewport, &event);
        }
        QCOMPARE(Parts(*m_w).ADOQuery1->recNo(), 4);
        wheel(-120);
        QCOMPARE(Parts(*m_w).ADOQuery1->recNo(), 5);
    }

    void alwaysOnTopFollowsItsItem()
    {
        Parts(*m_w).Vdynahoe1->trigger();
        QVERIFY(m_w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        Parts(*m_w).Vdynahoe1->trigger();
        QVERIFY(!m_w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void menusHoldTheirItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("import") << "Natitelseznamzesouboru2"
                                << "Načti tel. seznam ze souboru...";
        QTest::newRow("new") << "Nov1"
                             << "Nový";
        QTest::newRow("delete") << "Odstranitvybranoupoloku1"
                                << "Odstranit vybranou položku (Del)";
        QTest::newRow("merge") << "PidatzznamyzjinDBjennovsla1"
                               << "Přidat záznamy z jiné DB (jen nová čísla)";
        QTest::newRow("minimise") << "MinimalizovataplikacipistiskuAltF41"
                                  << "Minimalizovat aplikaci při stisku Alt+F4";
        QTest::newRow("save options") << "Uloitnastaven1"
                                      << "Uložit nastavení";
        QTest::newRow("updates") << "Zjistitnovaktualizace1"
                                 << "Zjistit nové aktualizace";
        QTest::newRow("window menu") << "Oaplikaci1"
                                     << "O aplikaci....";
        QTest::newRow("tray hide") << "Skryt1"
                                   << "Skrýt";
    }
    void menusHoldTheirItems()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        auto* action = m_w->findChild<QAction*>(name);
        QVERIFY(action);
        QCOMPARE(action->text(), caption);
    }

    void menuBarAndShortcut()
    {
        QStringList menus;
        QList<QKeySequence> mnemonics;
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(m_w->menuBar());
        for (int i = 0; i < bar->childCount(); ++i)
            menus << bar->child(i)->text(QAccessible::Name);
        for (QAction* a : m_w->menuBar()->actions())
            mnemonics << QKeySequence::mnemonic(a->text());
        QCOMPARE(menus, (QStringList{QStringLiteral("Soubor"), QStringLiteral("Záznam"),
                                     QStringLiteral("Nástroje"), QStringLiteral("Nápověda")}));
        QCOMPARE(mnemonics, (QList<QKeySequence>{Qt::ALT | Qt::Key_S, Qt::ALT | Qt::Key_Z,
                                                 Qt::ALT | Qt::Key_N, Qt::ALT | Qt::Key_P}));
        QCOMPARE(Parts(*m_w).Nov1->shortcut(), QKeySequence(Qt::Key_Insert));

        // Ctrl+F from anywhere in the window goes to the search box, its text ready to be replaced.
        m_w->show();
        QApplication::setActiveWindow(m_w.get());
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        Parts(*m_w).Hledani->setText(QStringLiteral("N3"));
        Parts(*m_w).DBGrid1->setFocus();
        QTest::keyClick(Parts(*m_w).DBGrid1, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(Parts(*m_w).Hledani->hasFocus());
        QCOMPARE(Parts(*m_w).Hledani->selectedText(), QStringLiteral("N3"));
    }

    // At the fonts installed here, the search bar's captions lie inside their controls and the
    // radio buttons inside their frame, and no control covers another.
    void searchBarFitsItsTexts_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("smallest") << QSize();
        QTest::newRow("larger") << QSize(900, 600);
    }
    void searchBarFitsItsTexts()
    {
        QFETCH(QSize, size);
        m_w->resize(size.isValid() ? size : m_w->minimumSize());
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        QWidget* bar = Parts(*m_w).DolniLista;
        QCOMPARE(bar->width(), m_w->centralWidget()->width());
        QGroupBox* frame = Parts(*m_w).hledat_dle;
        for (QAbstractButton* radio : Parts(*m_w).hledat_dleButtons->buttons())
            QVERIFY2(frame->contentsRect().contains(QRect(radio->pos(), radio->sizeHint())),
                     qPrintable(radio->text()));
        Parts(*m_w).Image1->show(); // as the save animation shows it
        const QList<QWidget*> controls = {
            Parts(*m_w).HledaniLabel, Parts(*m_w).autoSearch,   Parts(*m_w).Hledani, frame,
            Parts(*m_w).SkupinaLabel, Parts(*m_w).VyberSkupinu, Parts(*m_w).Image1,  Parts(*m_w).pocet};
        for (QWidget* c : controls) {
            const QString name = c->objectName();
            QVERIFY2(bar->rect().contains(c->geometry()), qPrintable(name));
            // A caption is not cut; the edit boxes and the picture have no caption.
            if (!c->inherits("QLineEdit") && !c->inherits("QComboBox") && c != Parts(*m_w).Image1)
                QVERIFY2(c->width() >= c->sizeHint().width() && c->height() >= c->sizeHint().height(),
                         qPrintable(name));
            for (QWidget* other : controls)
                QVERIFY2(c == other || !c->geometry().intersects(other->geometry()),
                         qPrintable(name + QLatin1Char(' ') + other->objectName()));
        }
    }

    void gridMenuTriggersItsTwins_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("twin");
        QTest::newRow("number") << "Otevtvybranzznampropidnnovhosla2"
                                << "Otevtvybranzznampropidnnovhosla1";
        QTest::newRow("edit") << "Kompletnpravavybranpoloky2"
                              << "Kompletnpravavybranpoloky1";
        QTest::newRow("note") << "Pdavnpoznmka1"
                              << "P59davn8poy1";
        QTest::newRow("delete") << "OdstranitvybranoupolokuDel1"
                                << "Odstranitvybranoupoloku1";
        QTest::newRow("card") << "Vytvoitvizitku2"
                              << "Vytvoitvizitku1";
    }
    void gridMenuTriggersItsTwins()
    {
        QFETCH(QString, item);
        QFETCH(QString, twin);
        auto* target = m_w->findChild<QAction*>(twin);
        // Keep the twin from running its command: only the trigger is checked here.
        target->disconnect(m_w.get());
        QSignalSpy spy(target, &QAction::triggered);
        m_w->findChild<QAction*>(item)->trigger();
        QCOMPARE(spy.count(), 1);
    }

    void withoutATrayTheProgramRunsAndMinimises()
    {
        // Whatever the desktop offers, this run has no notification area.
        m_w.reset();
        app::SetTrayAvailable(false);
        m_w = testsupport::StartMain();
        app::SetTrayAvailable(std::nullopt);
        QVERIFY(m_w->started());
        QVERIFY(!Parts(*m_w).TrayIcon1);
        QCloseEvent event;
        QCoreApplication::sendEvent(m_w.get(), &event);
        QVERIFY(!event.isAccepted());
        // Without a tray the window must stay reachable: minimised, not hidden.
        QTest::qWait(50);
        QVERIFY(!m_w->isHidden());
        Parts(*m_w).Skryt1->trigger();
        QVERIFY(!m_w->isHidden());
        Parts(*m_w).Zobraz1->trigger();
        QVERIFY(!m_w->isMinimized());
        QVERIFY(m_w->isVisible());
    }

    void zobrazBringsAMaximisedWindowBackMaximised()
    {
        m_w.reset();
        app::SetTrayAvailable(true);
        m_w = testsupport::StartMain();
        app::SetTrayAvailable(std::nullopt);
        QVERIFY(Parts(*m_w).TrayIcon1);
        m_w->showMaximized();
        QTRY_VERIFY(m_w->isMaximized());
        m_w->showMinimized();
        // Minimised into the tray.
        QTRY_VERIFY(m_w->isHidden());
        Parts(*m_w).Zobraz1->trigger();
        QTRY_VERIFY(m_w->isVisible());
        QVERIFY(m_w->isMaximized());
        QVERIFY(!m_w->isMinimized());
    }

    void trayKonecEndsTheProgramWhileHidden()
    {
        m_w.reset();
        app::SetTrayAvailable(true);
        m_w = testsupport::StartMain();
        app::SetTrayAvailable(std::nullopt);
        QVERIFY(Parts(*m_w).TrayIcon1);
        Parts(*m_w).Dotazpiuzaven1->setChecked(false);
        // Hidden in the tray, as after Alt+F4 with the minimise option.
        Parts(*m_w).Skryt1->trigger();
        QVERIFY(m_w->isHidden());
        QTimer::singleShot(0, Parts(*m_w).Konec2, &QAction::trigger);
        // Had the program gone on running, this would end the loop instead.
        QTimer::singleShot(3000, [] { QCoreApplication::exit(7); });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!Parts(*m_w).TrayIcon1->isVisible());
        // The layout was stored on the way out.
        QVERIFY(!IniAccess(m_box->path(QStringLiteral("zvonisty.ini")), 0, QStringLiteral("POZICE"),
                           QStringLiteral("Width"))
                     .isEmpty());
    }
};

QTEST_MAIN(TestWindowBehaviour)
#include "test_windowbehaviour.moc"
