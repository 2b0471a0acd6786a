// Column order, sort, widths and the window's place survive a restart.
#include "app/IniFile.h"
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

using testsupport::ClickTitle;
using testsupport::GridTitles;
using testsupport::Parts;
using testsupport::Sandbox;

namespace {

void CloseForGood(TMain& w)
{
    Parts(w).MinimalizovataplikacipistiskuAltF41->setChecked(false);
    Parts(w).Dotazpiuzaven1->setChecked(false);
    QCloseEvent event;
    QCoreApplication::sendEvent(&w, &event);
    QVERIFY(event.isAccepted());
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    QString ini() const { return m_box->path(QStringLiteral("zvonisty.ini")); }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory(
            4,
            {QStringLiteral("insert into zvonisty (telefon, jmeno, organizace) values ('1', 'A', 'Zet')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno, organizace) values ('2', 'B', 'Alfa')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno, organizace) values ('3', 'C', 'Čas')")});
    }
    void cleanup() { m_box.reset(); }

    void firstStartUsesTheInitialRows()
    {
        TMain w;
        QCOMPARE(GridTitles(w), (QStringList{QStringLiteral("Zvonisty"), QStringLiteral("Jméno  «"),
                                             QStringLiteral("Organizace"), QStringLiteral("Email"),
                                             QStringLiteral("Poznámka")}));
        for (int p = 0; p < 5; ++p)
            QCOMPARE(Parts(w).DBGrid1->columnWidthAt(p), 100);
        QCOMPARE(testsupport::SortShown(w), QStringLiteral("jmeno"));
    }

    void restartRestoresOrderSortWidthsAndPlace()
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        {
            TMain w;
            w.show();
            Parts(w).DBGrid1->moveColumnTo(QStringLiteral("email"), 0);
            Parts(w).DBGrid1->setColumnWidthAt(1, 77);
            ClickTitle(w, QStringLiteral("organizace"));
            ClickTitle(w, QStringLiteral("organizace"));
            QCOMPARE(Parts(w).DBGrid1->titleOfField(QStringLiteral("organizace")),
                     QStringLiteral("Organizace  »"));
            w.move(33, 44);
            w.resize(640, 480);
            CloseForGood(w);
        }
        QCOMPARE(IniAccess(ini(), 0, QStringLiteral("POZICE"), QStringLiteral("ScreenW")),
                 QString::number(screen.width()));
        TMain w;
        QCOMPARE(Parts(w).DBGrid1->fieldsInDisplayOrder(),
                 (QStringList{QStringLiteral("email"), QStringLiteral("telefon"), QStringLiteral("jmeno"),
                              QStringLiteral("organizace"), QStringLiteral("poznamka")}));
        QCOMPARE(Parts(w).DBGrid1->columnWidthAt(1), 77);
        QCOMPARE(Parts(w).DBGrid1->titleOfField(QStringLiteral("organizace")),
                 QStringLiteral("Organizace  »"));
        QCOMPARE(Parts(w).ADOQuery1->sql(),
                 QStringLiteral("select * from zvonisty order by organizace desc"));
        QCOMPARE(Parts(w).DBGrid1->model()->index(0, 2).data().toString(), QStringLiteral("Zet"));
        QCOMPARE(w.pos(), QPoint(33, 44));
        QCOMPARE(w.size(), QSize(640, 480));
        // The restored descending column sorts ascending on its first click.
        ClickTitle(w, QStringLiteral("organizace"));
        QCOMPARE(Parts(w).ADOQuery1->sql(), QStringLiteral("select * from zvonisty order by organizace"));
        QCOMPARE(Parts(w).DBGrid1->model()->index(0, 2).data().toString(), QStringLiteral("Alfa"));
    }

    void anotherScreenLeavesTheWindowCentred_data()
    {
        QTest::addColumn<int>("dw");
        QTest::addColumn<int>("dh");
        QTest::newRow("width") << 1 << 0;
        QTest::newRow("height") << 0 << -1;
    }
    void anotherScreenLeavesTheWindowCentred()
    {
        QFETCH(int, dw);
        QFETCH(int, dh);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        testsupport::WriteCp1250(ini(),
                                 QStringLiteral("[POZICE]\r\nScreenW=%1\r\nScreenH=%2\r\nTop=1\r\nLeft=2\r\n"
                                                "Width=900\r\nHeight=700\r\n")
                                     .arg(screen.width() + dw)
                                     .arg(screen.height() + dh));
        TMain w;
        QVERIFY(w.width() < 900);
        QVERIFY(w.pos() != QPoint(2, 1));
    }

    void positionWithoutStoredValuesIsKept()
    {
        testsupport::WriteCp1250(ini(),
                                 QStringLiteral("[NASTAVENI]\r\nSearchBy=0\r\n[POZICE]\r\nLeft=abc\r\n"));
        TMain w;
        QVERIFY(w.x() >= 0);
        QCOMPARE(w.width(), 540);
    }

    void storedOrderThatIsNotAPermutation_data()
    {
        QTest::addColumn<QString>("update");
        QTest::newRow("all zero") << "update sloupce set telefon = 0, jmeno = 0, organizace = 0, email = 0, "
                                     "poznamka = 0 where id = 'poradi'";
        QTest::newRow("out of range") << "update sloupce set telefon = 7 where id = 'poradi'";
        QTest::newRow("missing row") << "delete from sloupce";
    }
    void storedOrderThatIsNotAPermutation()
    {
        QFETCH(QString, update);
        m_box->run({update});
        TMain w;
        QVERIFY(w.started());
        QCOMPARE(
            Parts(w).DBGrid1->fieldsInDisplayOrder(),
            (QStringList{QStringLiteral("telefon"), QStringLiteral("jmeno"), QStringLiteral("organizace"),
                         QStringLiteral("email"), QStringLiteral("poznamka")}));
        QCOMPARE(Parts(w).DBGrid1->model()->rowCount(), 3);
        for (int p = 0; p < 5; ++p)
            QVERIFY(Parts(w).DBGrid1->columnWidthAt(p) > 0);
    }

    void withoutTheWidthOptionTheFirstLayoutSharesTheGrid()
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        testsupport::WriteCp1250(
            ini(), QStringLiteral("[NASTAVENI]\r\nPametSirkaSl=0\r\n[POZICE]\r\nScreenW=%1\r\n"
                                  "ScreenH=%2\r\nTop=10\r\nLeft=10\r\nWidth=613\r\nHeight=500\r\n")
                       .arg(screen.width())
                       .arg(screen.height()));
        // Enough rows for the grid's scroll bar, which takes its width only once the grid is laid out.
        QStringList rows;
        for (int i = 0; i < 60; ++i)
            rows << QStringLiteral("insert into zvonisty (telefon, jmeno) values ('9%1', 'R%1')").arg(i);
        m_box->run(rows);
        auto w = testsupport::StartMain();
        QVERIFY(!Parts(*w).Pamatovatsikusloupchlavnhoseznamu1->isChecked());
        QCoreApplication::processEvents();
        // The share of the grid as it is shown, not as it was before its first layout.
        const int share = Parts(*w).DBGrid1->viewport()->width() / 5 - 4;
        for (int p = 0; p < 5; ++p)
            QCOMPARE(Parts(*w).DBGrid1->columnWidthAt(p), share);
    }

    void rememberedPlaceOffEveryScreen_data()
    {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("top");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::newRow("monitor unplugged") << "2500"
                                           << "100"
                                           << "640"
                                           << "480";
        QTest::newRow("far away") << "99999"
                                  << "99999"
                                  << "99999"
                                  << "99999";
        QTest::newRow("largest int") << "2147483647"
                                     << "2147483647"
                                     << "2147483647"
                                     << "2147483647";
        QTest::newRow("far above and left") << "-2147483647"
                                            << "-99999"
                                            << "600"
                                            << "500";
        QTest::newRow("half off the edge") << "500"
                                           << "-200"
                                           << "640"
                                           << "480";
    }
    void rememberedPlaceOffEveryScreen()
    {
        QFETCH(QString, left);
        QFETCH(QString, top);
        QFETCH(QString, width);
        QFETCH(QString, height);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        testsupport::WriteCp1250(
            ini(), QStringLiteral("[POZICE]\r\nScreenW=%1\r\nScreenH=%2\r\nTop=%3\r\nLeft=%4\r\n"
                                  "Width=%5\r\nHeight=%6\r\n")
                       .arg(screen.width())
                       .arg(screen.height())
                       .arg(top, left, width, height));
        TMain w;
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(
            available.contains(QRect(w.pos(), w.size())),
            qPrintable(QStringLiteral("%1,%2 %3x%4").arg(w.x()).arg(w.y()).arg(w.width()).arg(w.height())));
        QVERIFY(w.width() >= w.minimumWidth());
        QVERIFY(w.height() >= w.minimumHeight());
    }

    void withoutTheWidthOptionColumnsShareTheGrid()
    {
        TMain w;
        w.show();
        Parts(w).Pamatovatsikusloupchlavnhoseznamu1->trigger();
        QVERIFY(!Parts(w).Pamatovatsikusloupchlavnhoseznamu1->isChecked());
        w.resize(700, 500);
        QCoreApplication::processEvents();
        const int share = Parts(w).DBGrid1->viewport()->width() / 5 - 4;
        for (int p = 0; p < 5; ++p)
            QCOMPARE(Parts(w).DBGrid1->columnWidthAt(p), share);
    }
};

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
