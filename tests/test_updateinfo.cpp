// Reading the published update file and judging its version against the program's own.
#include "update/UpdateInfo.h"

#include <QTest>

using update::Finding;
using update::Verdict;

Q_DECLARE_METATYPE(update::Verdict)

namespace {
const QString Own = QStringLiteral("1.1.1.101");
}

class TestUpdateInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versionNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("numbers");
        QTest::newRow("current") << "1.1.1.101" << QList<int>{1, 1, 1, 101};
        QTest::newRow("empty") << "" << QList<int>{0, 0, 0, 0};
        QTest::newRow("leading zero") << "01.1.1.101" << QList<int>{1, 1, 1, 101};
        QTest::newRow("field not a number") << "1.x.1.7" << QList<int>{1, 0, 1, 7};
        QTest::newRow("two fields only") << "2.5" << QList<int>{2, 0, 0, 5};
        QTest::newRow("no dot") << "7" << QList<int>{0, 0, 0, 7};
        QTest::newRow("fifth field spoils the fourth") << "1.2.3.4.5" << QList<int>{1, 2, 3, 0};
        QTest::newRow("trailing blank") << "1.1.1.101 " << QList<int>{1, 1, 1, 0};
        QTest::newRow("too large") << "99999999999.1.1.1" << QList<int>{0, 1, 1, 1};
    }
    void versionNumber()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, numbers);
        const std::array<int, 4> got = update::ReadVersionNumber(text);
        QCOMPARE(QList<int>(got.begin(), got.end()), numbers);
    }

    void newer_data()
    {
        QTest::addColumn<QString>("published");
        QTest::addColumn<bool>("newer");
        QTest::newRow("equal") << "1.1.1.101" << false;
        QTest::newRow("fourth field") << "1.1.1.102" << true;
        QTest::newRow("third field") << "1.1.2.0" << true;
        QTest::newRow("third decides before fourth") << "1.1.0.200" << false;
        QTest::newRow("numbers, not text") << "1.1.1.99" << false;
        QTest::newRow("first field") << "2.0.0.0" << true;
        QTest::newRow("empty") << "" << false;
    }
    void newer()
    {
        QFETCH(QString, published);
        QFETCH(bool, newer);
        QCOMPARE(update::IsNewerVersion(published, Own), newer);
    }

    void lines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("CR LF, last line end adds nothing") << "a\r\nb\r\n" << QStringList{"a", "b"};
        QTest::newRow("LF and CR") << "a\nb\rc" << QStringList{"a", "b", "c"};
        QTest::newRow("empty lines kept") << "\r\n\r\nx" << QStringList{"", "", "x"};
    }
    void lines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(update::SplitLines(text), lines);
    }

    void judge_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<Verdict>>("verdicts");
        QTest::addColumn<QStringList>("versions");
        QTest::addColumn<QStringList>("dates");
        using V = QList<Verdict>;
        QTest::newRow("equal") << "[zvonisty]\r\nverze=1.1.1.101\r\ndatum=1.2.2009\r\n"
                               << V{Verdict::Same} << QStringList{"1.1.1.101"} << QStringList{"1.2.2009"};
        QTest::newRow("reversed keys")
            << "[zvonisty]\r\ndatum=5.3.2009\r\nverze=1.1.1.102\r\n"
            << V{Verdict::Newer} << QStringList{"1.1.1.102"} << QStringList{"5.3.2009"};
        QTest::newRow("leading zero") << "[zvonisty]\r\nverze=01.1.1.101\r\n"
                                      << V{Verdict::NotNewer} << QStringList{"01.1.1.101"} << QStringList{""};
        QTest::newRow("keys three lines down") << "[zvonisty]\r\n\r\n\r\nverze=9.9.9.9\r\ndatum=x\r\n"
                                               << V{Verdict::NotNewer} << QStringList{""} << QStringList{""};
        QTest::newRow("second section keeps the first values")
            << "[zvonisty]\r\nverze=1.1.2.0\r\ndatum=d1\r\nzvonisty\r\n"
            << V{Verdict::Newer, Verdict::Newer} << QStringList{"1.1.2.0", "1.1.2.0"}
            << QStringList{"d1", "d1"};
        QTest::newRow("two sections, two verdicts")
            << "zvonisty\r\nverze=1.1.1.101\r\nzvonisty\r\nverze=1.1.1.50\r\n"
            << V{Verdict::Same, Verdict::NotNewer} << QStringList{"1.1.1.101", "1.1.1.50"}
            << QStringList{"", ""};
        QTest::newRow("section word case-sensitive") << "[ZVONISTY]\r\nverze=2.0.0.0\r\n"
                                                     << V{} << QStringList{} << QStringList{};
        QTest::newRow("an error page") << "<html>Not found</html>" << V{} << QStringList{} << QStringList{};
        QTest::newRow("blanks kept") << "[zvonisty]\r\nverze= 1.1.1.101\r\ndatum= 1. 3. 2009 \r\n"
                                     << V{Verdict::NotNewer} << QStringList{" 1.1.1.101"}
                                     << QStringList{" 1. 3. 2009 "};
        QTest::newRow("text after the first key")
            << "x zvonisty x\r\nxverze=1.1.1.200verze=3\r\n"
            << V{Verdict::NotNewer} << QStringList{"1.1.1.200verze=3"} << QStringList{""};
    }
    void judge()
    {
        QFETCH(QString, text);
        QFETCH(QList<Verdict>, verdicts);
        QFETCH(QStringList, versions);
        QFETCH(QStringList, dates);
        const QList<Finding> findings = update::JudgeUpdateText(update::SplitLines(text), Own);
        QCOMPARE(findings.size(), verdicts.size());
        for (qsizetype i = 0; i < findings.size(); ++i) {
            QCOMPARE(findings[i].verdict, verdicts[i]);
            QCOMPARE(findings[i].version, versions[i]);
            QCOMPARE(findings[i].date, dates[i]);
        }
    }

    void addresses()
    {
        QCOMPARE(update::UpdateFileUrl(QStringLiteral("http://site.test/")),
                 QStringLiteral("http://site.test/data/verze.ini"));
        QCOMPARE(update::ProgramPageUrl(QStringLiteral("http://site.test/mirror")),
                 QStringLiteral("http://site.test/mirror/index.php?menu=zvonisty"));
    }
};

QTEST_GUILESS_MAIN(TestUpdateInfo)
#include "test_updateinfo.moc"
