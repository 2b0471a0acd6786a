#include "view/SortState.h"

#include <QtTest>

namespace {

QString Titles(const SortState& state)
{
    QStringList titles;
    for (const QString& field : GridFields())
        titles << TitleFor(state, field);
    return titles.join(QLatin1Char('|'));
}

} // namespace

class TestSortState : public QObject
{
    Q_OBJECT

private slots:
    void titles_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("plain");
        QTest::newRow("telefon") << "telefon" << "Zvonisty";
        QTest::newRow("jmeno") << "jmeno" << "Jméno";
        QTest::newRow("organizace") << "organizace" << "Organizace";
        QTest::newRow("email") << "email" << "Email";
        QTest::newRow("poznamka") << "poznamka" << "Poznámka";
        QTest::newRow("unknown") << "skupina" << "";
    }

    void titles()
    {
        QFETCH(QString, field);
        QFETCH(QString, plain);
        QCOMPARE(PlainTitle(field), plain);
        QCOMPARE(AscendingTitle(field), plain.isEmpty() ? plain : plain + QStringLiteral("  «"));
        QCOMPARE(DescendingTitle(field), plain.isEmpty() ? plain : plain + QStringLiteral("  »"));
    }


    void encodeDecode_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("0 ascending") << "jmeno" << "0" << true << "0";
        QTest::newRow("1 descending") << "organizace" << "1" << false << "1";
        QTest::newRow("other number descending") << "email" << "2" << false << "1";
        QTest::newRow("empty") << "poznamka" << "" << false << "1";
        QTest::newRow("unknown column") << "skupina" << "0" << false << "";
    }

    void encodeDecode()
    {
        QFETCH(QString, field);
        QFETCH(QString, stored);
        QFETCH(bool, ascending);
        QFETCH(QString, encoded);
        SortState s;
        s.setSortedAscending(field, !ascending);
        DecodeSortDirection(s, field, stored);
        QCOMPARE(s.SortedAscending(field), ascending);
        QCOMPARE(EncodeSortDirection(s, field), encoded);
    }

    // Each row is one click; columns keep their own direction for the whole run.
    void clickSequence_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("lastOrderBy");
        QTest::addColumn<bool>("lastDescending");
        QTest::addColumn<QString>("titles");
        QTest::newRow("first click ascending") << QStringList{"email"} << "email" << false << "Zvonisty|Jméno|Organizace|Email  «|Poznámka";
        QTest::newRow("second descending") << QStringList{"email", "email"} << "email desc" << true
                                           << "Zvonisty|Jméno|Organizace|Email  »|Poznámka";
        QTest::newRow("column remembers") << QStringList{"jmeno", "telefon", "jmeno"} << "jmeno desc" << true
                                          << "Zvonisty|Jméno  »|Organizace|Email|Poznámka";
        QTest::newRow("other column plain") << QStringList{"jmeno", "telefon"} << "telefon" << false
                                            << "Zvonisty  «|Jméno|Organizace|Email|Poznámka";
        QTest::newRow("unknown ignored") << QStringList{"poznamka", "skupina"} << "poznamka" << false
                                         << "Zvonisty|Jméno|Organizace|Email|Poznámka  «";
    }

    void clickSequence()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QString, lastOrderBy);
        QFETCH(bool, lastDescending);
        QFETCH(QString, titles);
        SortState s;
        SortClickResult last;
        for (const QString& field : clicks) {
            const SortClickResult r = ApplyTitleClick(s, field, 0, QString(), QStringLiteral("Vše"));
            QCOMPARE(r.handled, GridFields().contains(field));
            if (r.handled)
                last = r;
        }
        QCOMPARE(s.SortOrderBy, lastOrderBy);
        QCOMPARE(s.SortColumn, lastOrderBy.section(QLatin1Char(' '), 0, 0));
        QCOMPARE(last.descending, lastDescending);
        QCOMPARE(db::BuildSearchStatement(last.search), QStringLiteral("select * from zvonisty order by ") + lastOrderBy);
        QCOMPARE(Titles(s), titles);
    }

    void restoredColumnFlipsOnFirstClick()
    {
        SortState s;
        s.SortColumn = QStringLiteral("jmeno");
        s.SortOrderBy = QStringLiteral("jmeno");
        DecodeSortDirection(s, s.SortColumn, QStringLiteral("0"));
        QCOMPARE(Titles(s), QStringLiteral("Zvonisty|Jméno  «|Organizace|Email|Poznámka"));
        const SortClickResult r = ApplyTitleClick(s, QStringLiteral("jmeno"), 0, QStringLiteral("Nov"), QStringLiteral("Práce"));
        QVERIFY(r.descending);
        QCOMPARE(db::BuildSearchStatement(r.search), QStringLiteral("select * from zvonisty where jmeno like '%Nov%' and skupina='Práce' order by jmeno desc"));
        QCOMPARE(EncodeSortDirection(s, s.SortColumn), QStringLiteral("1"));
    }

};

QTEST_GUILESS_MAIN(TestSortState)
#include "test_sortstate.moc"
