// The search bar of the main window: triggers, statements, hit count and failures.
#include "app/IniFile.h"
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "db/contacts/QueryOps.h"
#include "db/search/SearchIndex.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"
#include "ui/MessageDialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using testsupport::GridColumn;
using testsupport::Parts;
using testsupport::Sandbox;

namespace {

QStringList Fixture()
{
    const char* rows[][4] = {
        {"603 123 456", "Novák Jan", "Práce", "volat ráno"},
        {"777 888 999", "NOVOTNÝ Petr", "Rodina", ""},
        {"602 111 222", "O'Brien Sean", "O'Neill", "50% sleva"},
        {"605 000 000", "Čermák", "Práce", "a_b"},
        {"606 000 001", "Dvořák", "", "x"},
    };
    QStringList list;
    for (const auto& r : rows)
        list << QStringLiteral("insert into zvonisty (telefon, jmeno, skupina, poznamka, organizace, email) "
                               "values ('%1', '%2', '%3', '%4', 'Firma', 'a@b.cz')")
                    .arg(QString::fromUtf8(r[0]),
                         QString::fromUtf8(r[1]).replace(QLatin1Char('\''), QStringLiteral("''")),
                         QString::fromUtf8(r[2]).replace(QLatin1Char('\''), QStringLiteral("''")),
                         QString::fromUtf8(r[3]));
    return list;
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;

    void selectGroup(const QString& group)
    {
        const int i = Parts(*m_w).VyberSkupinu->findText(group);
        QVERIFY(i >= 0);
        Parts(*m_w).VyberSkupinu->setCurrentIndex(i);
        Q_EMIT Parts(*m_w).VyberSkupinu->activated(i);
    }
    void checkSearchColumn(int index) { Parts(*m_w).hledat_dleButtons->button(index)->setChecked(true); }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory(4, Fixture());
        m_w = testsupport::StartMain();
        QVERIFY(m_w->started());
        Parts(*m_w).Hledani->setFocus();
    }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void searchFindsCzechTextWithoutCase_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("name nov") << 0 << "nov" << QStringList{"Novák Jan", "NOVOTNÝ Petr"};
        QTest::newRow("name čer upper") << 0 << "ČER" << QStringList{"Čermák"};
        QTest::newRow("apostrophe") << 0 << "o'b" << QStringList{"O'Brien Sean"};
        QTest::newRow("percent is a wildcard") << 1 << "50%s" << QStringList{"O'Brien Sean"};
        QTest::newRow("underscore is a wildcard") << 1 << "a_b" << QStringList{"Čermák"};
        QTest::newRow("phone grouped") << 2 << "777888" << QStringList{"NOVOTNÝ Petr"};
        QTest::newRow("phone grouped otherwise") << 5 << "(60) 31-23" << QStringList{"Novák Jan"};
        QTest::newRow("all columns") << 5 << "ráno" << QStringList{"Novák Jan"};
        QTest::newRow("injection stays text") << 0 << "'; delete from zvonisty; --" << QStringList{};
    }
    void searchFindsCzechTextWithoutCase()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        checkSearchColumn(index);
        Parts(*m_w).Hledani->setText(text);
        Parts(*m_w).Najdi->click();
        QCOMPARE(GridColumn(*m_w), names);
        QCOMPARE(Parts(*m_w).pocet->text(), QString::number(names.size()));
        QVERIFY(MessageDialogSeam::shown().isEmpty());
        QCOMPARE(Parts(*m_w).ADOQuery1->sql().endsWith(QStringLiteral(" order by jmeno")), true);
    }

    // The option in Nástroje makes every search condition ignore accents, from memory and
    // from the engine alike, and is saved under a key of its own.
    void searchWithoutAccents()
    {
        QAction* option = Parts(*m_w).Hledatbezohledunadiakritiku1;
        QCOMPARE(option->text(), QStringLiteral("Hledat bez ohledu na diakritiku"));
        QVERIFY(option->isCheckable());
        QVERIFY(!option->isChecked());
        auto search = [&](int index, const QString& text) {
            checkSearchColumn(index);
            Parts(*m_w).Hledani->setText(text);
            Parts(*m_w).Najdi->click();
            return GridColumn(*m_w);
        };
        QCOMPARE(search(0, QStringLiteral("cermak")), QStringList{});
        // The typed search is run again at once.
        option->trigger();
        QCOMPARE(GridColumn(*m_w), QStringList{QStringLiteral("Čermák")});
        for (const bool fromMemory : {false, true}) {
            if (fromMemory)
                db::SearchIndex::Of(Parts(*m_w).ADOConnection1)->buildNow();
            QCOMPARE(search(0, QStringLiteral("cermak")), QStringList{QStringLiteral("Čermák")});
            QCOMPARE(search(5, QStringLiteral("NOVOTNY")), QStringList{QStringLiteral("NOVOTNÝ Petr")});
            QCOMPARE(search(1, QStringLiteral("rano")), QStringList{QStringLiteral("Novák Jan")});
            QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("1"));
        }
        Parts(*m_w).Uloitnastaven1->trigger();
        QCOMPARE(IniAccess(m_box->path(QStringLiteral("zvonisty.ini")), 0, QStringLiteral("NASTAVENI"),
                           QStringLiteral("HledatBezDiakritiky")),
                 QStringLiteral("1"));
        option->trigger();
        QCOMPARE(search(0, QStringLiteral("cermak")), QStringList{});
        QCOMPARE(search(0, QStringLiteral("čerMÁK")), QStringList{QStringLiteral("Čermák")});
    }

    // Contacts changed, added and deleted as the windows do it are searched from memory at
    // once, without the directory being read again.
    void changesSearchedFromMemoryAtOnce()
    {
        db::SearchIndex* index = db::SearchIndex::Of(Parts(*m_w).ADOConnection1);
        index->buildNow();
        auto search = [&](const QString& text) {
            checkSearchColumn(0);
            Parts(*m_w).Hledani->setText(text);
            Parts(*m_w).Najdi->click();
            return GridColumn(*m_w);
        };
        QVERIFY(ExecQuery(QStringLiteral("update zvonisty set jmeno='Nováková Eva' where jmeno='Dvořák'"),
                          Parts(*m_w).ADOQuery2));
        QVERIFY(ExecQuery(
            QStringLiteral("insert into zvonisty (telefon, jmeno) values ('608 000 000', 'Novotná')"),
            Parts(*m_w).ADOQuery2));
        QVERIFY(
            ExecQuery(QStringLiteral("delete from zvonisty where jmeno='Novák Jan'"), Parts(*m_w).ADOQuery2));
        QCOMPARE(search(QStringLiteral("nov")),
                 (QStringList{QStringLiteral("Nováková Eva"), QStringLiteral("Novotná"),
                              QStringLiteral("NOVOTNÝ Petr")}));
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("3"));
        QVERIFY(index->complete());
    }

    // Before the index is read, a search shows its first rows at once and is counted whole
    // once the index can answer it: the grid grows below them and the count follows.
    void firstRowsAtOnceWhileTheIndexIsRead()
    {
        QVERIFY(ExecQuery(QStringLiteral("insert into zvonisty (telefon, jmeno, poznamka) select a.telefon, "
                                         "'Nováček ' || a.id, b.jmeno from zvonisty a, zvonisty b, "
                                         "zvonisty c, zvonisty d"),
                          Parts(*m_w).ADOQuery2));
        db::SearchIndex* index = db::SearchIndex::Of(Parts(*m_w).ADOConnection1);
        index->buildNow();
        // More contacts changed than the index takes over in place: it reads the directory again.
        QVERIFY(ExecQuery(QStringLiteral("update zvonisty set organizace = 'Firma ' || id"),
                          Parts(*m_w).ADOQuery2));
        QVERIFY(!index->complete());
        checkSearchColumn(db::kAllSearchColumns);
        Parts(*m_w).Hledani->setText(QStringLiteral("nov"));
        Parts(*m_w).Najdi->click();
        const QStringList first = GridColumn(*m_w);
        QVERIFY(first.size() <= 64);
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("…"));
        QTRY_COMPARE_WITH_TIMEOUT(Parts(*m_w).pocet->text(), QStringLiteral("627"), 10000);
        const QStringList all = GridColumn(*m_w);
        QCOMPARE(all.size(), 627);
        QCOMPARE(all.mid(0, first.size()), first);
        QVERIFY(index->complete());
    }

    void hintFollowsTheSearchColumn()
    {
        checkSearchColumn(4);
        QCOMPARE(Parts(*m_w).Hledani->toolTip(), QStringLiteral("Dle Emailu"));
        checkSearchColumn(5);
        QCOMPARE(Parts(*m_w).Hledani->toolTip(), QStringLiteral("Vše"));
    }

    void groupFilterIncludingApostrophe()
    {
        selectGroup(QStringLiteral("Práce"));
        QCOMPARE(GridColumn(*m_w), (QStringList{QStringLiteral("Čermák"), QStringLiteral("Novák Jan")}));
        selectGroup(QStringLiteral("O'Neill"));
        QCOMPARE(GridColumn(*m_w), QStringList{QStringLiteral("O'Brien Sean")});
        // An empty group text filters on the empty group, not on all groups.
        selectGroup(QString());
        QCOMPARE(GridColumn(*m_w), QStringList{QStringLiteral("Dvořák")});
        QVERIFY(MessageDialogSeam::shown().isEmpty());
    }

    void burstOfKeysRunsOneSearch()
    {
        QSignalSpy opened(Parts(*m_w).ADOQuery1, &db::Query::afterOpen);
        QTest::keyClicks(Parts(*m_w).Hledani, QStringLiteral("nov"));
        QCOMPARE(opened.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 2000);
        QTest::qWait(400);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("2"));
    }

    void enterSearchesAtOnceAndThePendingSearchStillRuns()
    {
        QSignalSpy opened(Parts(*m_w).ADOQuery1, &db::Query::afterOpen);
        QTest::keyClicks(Parts(*m_w).Hledani, QStringLiteral("dvo"));
        QTest::keyClick(Parts(*m_w).Hledani, Qt::Key_Return);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(GridColumn(*m_w), QStringList{QStringLiteral("Dvořák")});
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 2, 2000);
    }

    void escapeClearsAndListsAllAfterTheDelay()
    {
        Parts(*m_w).Hledani->setText(QStringLiteral("dvo"));
        Parts(*m_w).Najdi->click();
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("1"));
        QTest::keyClick(Parts(*m_w).Hledani, Qt::Key_Escape);
        QCOMPARE(Parts(*m_w).Hledani->text(), QString());
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("1"));
        QTRY_COMPARE_WITH_TIMEOUT(Parts(*m_w).pocet->text(), QStringLiteral("5"), 2000);
    }

    void withoutAutoSearchTypingStartsNothing()
    {
        Parts(*m_w).autoSearch->click();
        QVERIFY(!Parts(*m_w).autoSearch->isChecked());
        QSignalSpy opened(Parts(*m_w).ADOQuery1, &db::Query::afterOpen);
        QTest::keyClicks(Parts(*m_w).Hledani, QStringLiteral("nov"));
        QTest::keyClick(Parts(*m_w).Hledani, Qt::Key_Escape);
        QTest::qWait(400);
        QCOMPARE(opened.count(), 0);
        // Ticking it again with a text waiting starts the delayed search.
        Parts(*m_w).Hledani->setText(QStringLiteral("nov"));
        Parts(*m_w).autoSearch->click();
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 2000);
    }

    void failingSearchIsShownAndKeepsTheCount()
    {
        const QString before = Parts(*m_w).pocet->text();
        // The directory loses its table under the window.
        QVERIFY(ExecQuery(QStringLiteral("drop table zvonisty"), Parts(*m_w).ADOQuery2));
        Parts(*m_w).Najdi->click();
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QVERIFY(MessageDialogSeam::shown().first().text.startsWith(QStringLiteral("Došlo k chybě: ")));
        QCOMPARE(Parts(*m_w).pocet->text(), before);
        QVERIFY(!Parts(*m_w).ADOQuery1->isOpen());
        QVERIFY(m_box->errorLog().isEmpty());
    }
};

QTEST_MAIN(TestSearch)
#include "test_search.moc"
