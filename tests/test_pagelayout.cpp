// Where a printed directory's lines break and under which letter a name is filed.
#include "print/PageLayout.h"

#include <QTest>

namespace {

// One unit per character: widths are easy to reason about.
double Characters(QStringView text)
{
    return double(text.size());
}

} // namespace

class TestPageLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wrapping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("width");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("fits") << QStringLiteral("Jan Novák") << 20.0
                              << QStringList{QStringLiteral("Jan Novák")};
        QTest::newRow("at blanks") << QStringLiteral("volat až po páté hodině") << 10.0
                                   << QStringList{QStringLiteral("volat až"), QStringLiteral("po páté"),
                                                  QStringLiteral("hodině")};
        QTest::newRow("long word") << QStringLiteral("a abcdefghijk") << 5.0
                                   << QStringList{QStringLiteral("a"), QStringLiteral("abcde"),
                                                  QStringLiteral("fghij"), QStringLiteral("k")};
        QTest::newRow("line ends") << QStringLiteral("první\r\ndruhý") << 20.0
                                   << QStringList{QStringLiteral("první"), QStringLiteral("druhý")};
        QTest::newRow("narrower than a letter")
            << QStringLiteral("ab") << 0.5 << QStringList{QStringLiteral("a"), QStringLiteral("b")};
    }
    void wrapping()
    {
        QFETCH(QString, text);
        QFETCH(double, width);
        QFETCH(QStringList, lines);
        QCOMPARE(print::WrapText(text, width, Characters), lines);
    }

    void initials_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("initial");
        QTest::newRow("plain") << QStringLiteral("novák") << QStringLiteral("N");
        QTest::newRow("ch") << QStringLiteral("Chalupa") << QStringLiteral("Ch");
        QTest::newRow("CH") << QStringLiteral("CHALUPA") << QStringLiteral("Ch");
        QTest::newRow("č own letter") << QStringLiteral("čapek") << QStringLiteral("Č");
        QTest::newRow("ř own letter") << QStringLiteral("Řehoř") << QStringLiteral("Ř");
        QTest::newRow("á under a") << QStringLiteral("Ádám") << QStringLiteral("A");
        QTest::newRow("ú under u") << QStringLiteral("úřad") << QStringLiteral("U");
        QTest::newRow("blank") << QStringLiteral("  ") << QString();
    }
    void initials()
    {
        QFETCH(QString, name);
        QFETCH(QString, initial);
        QCOMPARE(print::NameInitial(name), initial);
    }

    void pages()
    {
        QCOMPARE(print::BreakPages({}, 100), std::vector<int>{0});
        QCOMPARE(print::BreakPages({40, 40, 40, 150, 10}, 100), (std::vector<int>{0, 2, 3, 4}));
    }
};

QTEST_GUILESS_MAIN(TestPageLayout)
#include "test_pagelayout.moc"
