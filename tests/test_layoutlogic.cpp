#include "db/contacts/LayoutStatements.h"
#include "view/LayoutLogic.h"
#include "view/SortState.h"

#include <QtTest>

using Positions = QHash<QString, int>;
using SortRow = QHash<QString, std::optional<int>>;
Q_DECLARE_METATYPE(Positions)
Q_DECLARE_METATYPE(SortRow)

namespace {

Positions Stored(const QList<int>& values)
{
    Positions p;
    for (qsizetype i = 0; i < values.size() && i < GridFields().size(); ++i)
        p.insert(GridFields().at(i), values.at(i));
    return p;
}

} // namespace

class TestLayoutLogic : public QObject
{
    Q_OBJECT

private slots:
    void restoreOrder_data()
    {
        QTest::addColumn<Positions>("stored"); // telefon, jmeno, organizace, email, poznamka
        QTest::addColumn<QStringList>("expected");
        const QStringList designed = GridFields();
        QTest::newRow("email first") << Stored({1, 2, 3, 0, 4}) << QStringList{"email", "telefon", "jmeno", "organizace", "poznamka"};
        QTest::newRow("repeated value") << Stored({0, 0, 2, 3, 4}) << designed;
        QTest::newRow("out of range") << Stored({0, 1, 2, 3, 5}) << designed;
        QTest::newRow("missing row, all zero") << Stored({0, 0, 0, 0, 0}) << designed;
        QTest::newRow("missing column") << Stored({1, 0, 2, 3}) << designed;
    }

    void restoreOrder()
    {
        QFETCH(Positions, stored);
        QFETCH(QStringList, expected);
        QCOMPARE(RestoreColumnOrder(GridFields(), stored), expected);
    }

    // Every permutation must land each column at its stored place.
    void restoreEveryPermutation()
    {
        QList<int> values{0, 1, 2, 3, 4};
        int count = 0;
        do {
            const QStringList order = RestoreColumnOrder(GridFields(), Stored(values));
            for (qsizetype i = 0; i < values.size(); ++i)
                QCOMPARE(order.indexOf(GridFields().at(i)), values.at(i));
            ++count;
        } while (std::next_permutation(values.begin(), values.end()));
        QCOMPARE(count, 120);
    }

    void storedSort_data()
    {
        QTest::addColumn<QStringList>("display");
        QTest::addColumn<SortRow>("row");
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("direction");
        const QStringList designed = GridFields();
        QTest::newRow("initial row") << designed << SortRow{{"jmeno", 0}} << "jmeno" << 0;
        QTest::newRow("descending") << designed << SortRow{{"organizace", 1}} << "organizace" << 1;
        QTest::newRow("other value kept") << designed << SortRow{{"email", 7}} << "email" << 7;
        QTest::newRow("nothing stored") << designed << SortRow{} << "jmeno" << 0;
        QTest::newRow("all null") << designed << SortRow{{"jmeno", std::nullopt}, {"email", std::nullopt}} << "jmeno" << 0;
        QTest::newRow("leftmost in display order")
            << QStringList{"email", "telefon", "jmeno", "organizace", "poznamka"} << SortRow{{"telefon", 0}, {"email", 1}} << "email" << 1;
    }

    void storedSort()
    {
        QFETCH(QStringList, display);
        QFETCH(SortRow, row);
        QFETCH(QString, column);
        QFETCH(int, direction);
        int found = -99;
        QCOMPARE(FindStoredSortColumn(display, row, &found), column);
        QCOMPARE(found, direction);
        QCOMPARE(FindStoredSortColumn(display, row, nullptr), column);
        QCOMPARE(db::BuildSearchStatement(InitialGridSearch(column, direction)),
                 QStringLiteral("select * from zvonisty order by ") + column + (direction ? QStringLiteral(" desc") : QString()));
    }

    void updates_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("expected");
        const QStringList example{"jmeno", "telefon", "organizace", "email", "poznamka"};
        QTest::newRow("order") << BuildOrderUpdate(example)
                               << "update sloupce set jmeno = 0, telefon = 1, organizace = 2, email = 3, poznamka = 4 where id = 'poradi'";
        QTest::newRow("sort clear") << BuildSortClear()
                                    << "update sloupce set telefon = null, jmeno = null, organizace = null, email = null, "
                                       "poznamka = null where id = 'sort'";
        QTest::newRow("sort") << BuildSortUpdate("jmeno", "0") << "update sloupce set jmeno = 0 where id = 'sort'";
        QTest::newRow("sort, no column") << BuildSortUpdate("", "") << "";
        QTest::newRow("sort, foreign column") << BuildSortUpdate("id; drop", "0") << "";
        QTest::newRow("widths") << BuildWidthUpdate(example, {120, 95, 100, 100, 80})
                                << "update sloupce set jmeno = 120, telefon = 95, organizace = 100, email = 100, poznamka = 80 "
                                   "where id = 'sirka'";
        QTest::newRow("widths, upper-case field") << BuildWidthUpdate({"Email", "skupina", "jmeno"}, {50, 60, 70})
                                                  << "update sloupce set email = 50, jmeno = 70 where id = 'sirka'";
        QTest::newRow("order by") << OrderByFor("telefon", 2) << "telefon desc";
    }

    void updates()
    {
        QFETCH(QString, statement);
        QFETCH(QString, expected);
        QCOMPARE(statement, expected);
    }

    void keepOnScreens_data()
    {
        QTest::addColumn<QList<qint64>>("wanted"); // left, top, width, height
        QTest::addColumn<QRect>("kept");
        // Two screens side by side, the right one smaller and lower.
        QTest::newRow("inside stays") << QList<qint64>{100, 50, 640, 480} << QRect(100, 50, 640, 480);
        QTest::newRow("on the second screen")
            << QList<qint64>{1400, 300, 600, 500} << QRect(1400, 300, 600, 500);
        QTest::newRow("mostly on the second")
            << QList<qint64>{1800, 300, 600, 500} << QRect(1680, 300, 600, 500);
        QTest::newRow("unplugged third screen")
            << QList<qint64>{3000, 100, 640, 480} << QRect(640, 100, 640, 480);
        QTest::newRow("too large") << QList<qint64>{-50, -50, 5000, 5000} << QRect(0, 0, 1280, 1024);
        QTest::newRow("largest int") << QList<qint64>{2147483647, 2147483647, 2147483647, 2147483647}
                                     << QRect(0, 0, 1280, 1024);
        QTest::newRow("below the minimum") << QList<qint64>{10, 10, 5, 5} << QRect(10, 10, 540, 451);
    }
    void keepOnScreens()
    {
        QFETCH(QList<qint64>, wanted);
        QFETCH(QRect, kept);
        const QList<QRect> screens{QRect(0, 0, 1280, 1024), QRect(1280, 200, 1000, 700)};
        QCOMPARE(KeepOnScreens(wanted[0], wanted[1], wanted[2], wanted[3], screens, QSize(540, 451)), kept);
    }
};

QTEST_GUILESS_MAIN(TestLayoutLogic)
#include "test_layoutlogic.moc"
