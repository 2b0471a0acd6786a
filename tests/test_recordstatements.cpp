// The statements of record editing keep their shape whatever the values hold.
#include "db/contacts/RecordStatements.h"

#include <QTest>

class TestRecordStatements : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dateTextHasNoLeadingZeros_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("text");
        QTest::newRow("5.3.2009") << QDate(2009, 3, 5) << "5.3.2009";
        QTest::newRow("31.12.2026") << QDate(2026, 12, 31) << "31.12.2026";
        QTest::newRow("1.1.999") << QDate(999, 1, 1) << "1.1.999";
    }
    void dateTextHasNoLeadingZeros()
    {
        QFETCH(QDate, date);
        QFETCH(QString, text);
        QCOMPARE(DateText(date), text);
    }

    void insertAndUpdateKeepTheirShape()
    {
        const ContactValues v{QStringLiteral("603 123 456"), QStringLiteral("O'Brien"), QStringLiteral("e"),
                              QStringLiteral("p"), QStringLiteral("5.3.2009"), QStringLiteral("o"),
                              QStringLiteral("new"), QStringLiteral("1"), QStringLiteral("s")};
        QCOMPARE(InsertContactStatement(v),
                 QStringLiteral("insert into zvonisty (telefon, jmeno, email, poznamka, datum, organizace, skupina, "
                                "icq, skype) values ('603 123 456', 'O''Brien', 'e', 'p', '5.3.2009', 'o', 'new', "
                                "'1', 's')"));
        QCOMPARE(UpdateContactStatement(v, QStringLiteral("42")),
                 QStringLiteral("update zvonisty set telefon='603 123 456', jmeno='O''Brien', email='e', "
                                "poznamka='p', datum='5.3.2009', organizace='o', skupina='new', icq='1', skype='s' "
                                "where id=42"));
    }

    void lookupsAndDeletes_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("expected");
        QTest::newRow("duplicate") << DuplicateCheckStatement(QStringLiteral("603 '1")) << "select * from zvonisty where telefon='603 ''1'";
        QTest::newRow("holders") << NumberHoldersStatement(QStringLiteral("603"))
                                 << "select * from zvonisty where telefon='603' order by jmeno";
        QTest::newRow("row") << ContactRowStatement(QStringLiteral("7")) << "select * from zvonisty where id=7";
        QTest::newRow("delete") << DeleteContactStatement(QStringLiteral("7")) << "delete from zvonisty where id=7";
        QTest::newRow("id is a number or nothing")
            << DeleteContactStatement(QStringLiteral("7 or 1=1")) << "delete from zvonisty where id=";
        QTest::newRow("note") << InsertNoteStatement(QStringLiteral("3"), QStringLiteral("a'\r\nb"))
                              << "insert into poznamky (id, pozn) values (3, 'a''\r\nb')";
        QTest::newRow("notes") << NotesOfContactStatement(QStringLiteral("3")) << "select * from poznamky where id=3";
        QTest::newRow("note delete") << DeleteNoteStatement(QStringLiteral("3"), QStringLiteral("8.12.2026 9:05:01"))
                                     << "delete from Poznamky where id = 3 and dat = '8.12.2026 9:05:01'";
    }
    void lookupsAndDeletes()
    {
        QFETCH(QString, statement);
        QFETCH(QString, expected);
        QCOMPARE(statement, expected);
    }
};

QTEST_GUILESS_MAIN(TestRecordStatements)
#include "test_recordstatements.moc"
