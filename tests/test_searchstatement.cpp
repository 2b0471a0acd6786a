#include "db/engine/PhoneText.h"
#include "db/contacts/RecordStatements.h"
#include "view/SearchStatement.h"

#include <QtTest>

// The statement of a search of the bar's controls, ordered by a column.
QString Statement(db::ContactSearch::Form form, int index, const QString& text, const QString& group,
                  const QString& column, bool descending)
{
    db::ContactSearch search = BarSearch(index, text, group);
    search.form = form;
    search.orderColumn = column;
    search.descending = descending;
    return db::BuildSearchStatement(search);
}

class TestSearchStatement : public QObject
{
    Q_OBJECT

private slots:
    void search_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("orderBy");
        QTest::addColumn<QString>("expected");

        const QString all = QStringLiteral("Vše");
        QTest::newRow("jmeno, example") << 0 << "Nov" << all << "jmeno"
                                        << "select * from zvonisty where jmeno like '%Nov%' order by jmeno";
        QTest::newRow("telefon")
            << 2 << "123456" << all << "telefon desc"
            << "select * from zvonisty where cislice(telefon) like '%123456%' order by telefon desc";
        QTest::newRow("all five")
            << 5 << "1234" << all << "email"
            << "select * from zvonisty where jmeno like '%1234%' or poznamka like '%1234%' or "
               "cislice(telefon) like "
               "'%1234%' or organizace like '%1234%' or email like '%1234%' order by email";
        QTest::newRow("jmeno, group")
            << 0 << "x"
            << "Práce"
            << "jmeno"
            << "select * from zvonisty where skupina='Práce' and jmeno like '%x%' order by jmeno";
        QTest::newRow("poznamka, group")
            << 1 << "x"
            << "G"
            << "jmeno"
            << "select * from zvonisty where skupina='G' and poznamka like '%x%' order by jmeno";
        QTest::newRow("telefon, group") << 2 << "603123456"
                                        << "G"
                                        << "jmeno"
                                        << "select * from zvonisty where skupina='G' and cislice(telefon) "
                                           "like '%603123456%' order by jmeno";
        QTest::newRow("organizace, group")
            << 3 << "x"
            << "G"
            << "jmeno"
            << "select * from zvonisty where skupina='G' and organizace like '%x%' order by jmeno";
        QTest::newRow("email, example")
            << 4 << "Nov"
            << "Práce"
            << "telefon desc"
            << "select * from zvonisty where skupina='Práce' and email like '%Nov%' order by telefon desc";
        QTest::newRow("all five, group")
            << 5 << "x"
            << "G"
            << "jmeno"
            << "select * from zvonisty where skupina='G' and (jmeno like '%x%' or poznamka like '%x%' or "
               "telefon like '%x%' or organizace like '%x%' or email like '%x%') order by jmeno";
        QTest::newRow("empty text") << 0 << "" << all << "jmeno"
                                    << "select * from zvonisty where jmeno like '%%' order by jmeno";
        QTest::newRow("empty group filters")
            << 4 << ""
            << ""
            << "jmeno"
            << "select * from zvonisty where skupina='' and email like '%%' order by jmeno";
        QTest::newRow("apostrophe in text")
            << 0 << "O'Brien" << all << "jmeno"
            << "select * from zvonisty where jmeno like '%O''Brien%' order by jmeno";
        QTest::newRow("apostrophe in group")
            << 3 << "a"
            << "Jana's"
            << "jmeno"
            << "select * from zvonisty where skupina='Jana''s' and organizace like '%a%' order by jmeno";
        QTest::newRow("apostrophe in phone text")
            << 2 << "12'34" << all << "jmeno"
            << "select * from zvonisty where telefon like '%12'' 34%' order by jmeno";
        QTest::newRow("short phone text unchanged")
            << 2 << " x1" << all << "jmeno"
            << "select * from zvonisty where telefon like '% x1%' order by jmeno";
        QTest::newRow("phone by digits")
            << 2 << "+420 (602) 12-3/4.5" << all << "jmeno"
            << "select * from zvonisty where cislice(telefon) like '%+42060212345%' order by jmeno";
        QTest::newRow("name in all columns")
            << 5 << "Nov 12" << all << "jmeno"
            << "select * from zvonisty where jmeno like '%Nov 12%' or poznamka like '%Nov 12%' or "
               "telefon like '%Nov 12%' or organizace like '%Nov 12%' or email like '%Nov 12%' order by "
               "jmeno";
        QTest::newRow("separators alone")
            << 2 << "( )" << all << "jmeno"
            << "select * from zvonisty where telefon like '%( )%' order by jmeno";
        QTest::newRow("index too big") << 6 << "x" << all << "jmeno"
                                       << "";
    }

    void search()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(QString, group);
        QFETCH(QString, orderBy);
        QFETCH(QString, expected);
        const QString column = orderBy.section(QLatin1Char(' '), 0, 0);
        QCOMPARE(
            Statement(db::ContactSearch::Form::Search, index, text, group, column, orderBy.endsWith(" desc")),
            expected);
    }

    void sort_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("expected");

        const QString all = QStringLiteral("Vše");
        QTest::newRow("no filter") << "jmeno" << false << 0 << "" << all
                                   << "select * from zvonisty order by jmeno";
        QTest::newRow("example")
            << "telefon" << false << 0 << "Nov"
            << "Práce"
            << "select * from zvonisty where jmeno like '%Nov%' and skupina='Práce' order by telefon";
        QTest::newRow("example, desc")
            << "telefon" << true << 0 << "Nov"
            << "Práce"
            << "select * from zvonisty where jmeno like '%Nov%' and skupina='Práce' order by telefon desc";
        QTest::newRow("group only") << "jmeno" << false << 2 << ""
                                    << "G"
                                    << "select * from zvonisty where skupina='G' order by jmeno";
        QTest::newRow("poznamka") << "jmeno" << false << 1 << "a" << all
                                  << "select * from zvonisty where poznamka like '%a%' order by jmeno";
        QTest::newRow("organizace") << "jmeno" << false << 3 << "a" << all
                                    << "select * from zvonisty where organizace like '%a%' order by jmeno";
        QTest::newRow("email") << "jmeno" << false << 4 << "a" << all
                               << "select * from zvonisty where email like '%a%' order by jmeno";
        QTest::newRow("all five, group")
            << "poznamka" << true << 5 << "1234"
            << "G"
            << "select * from zvonisty where (jmeno like '%1234%' or poznamka like '%1234%' or "
               "cislice(telefon) "
               "like '%1234%' or organizace like '%1234%' or email like '%1234%') and skupina='G' "
               "order by poznamka desc";
        QTest::newRow("apostrophes")
            << "jmeno" << false << 0 << "O'B"
            << "Jana's"
            << "select * from zvonisty where jmeno like '%O''B%' and skupina='Jana''s' order by jmeno";
        QTest::newRow("bad index ignores text")
            << "jmeno" << false << 9 << "x" << all << "select * from zvonisty order by jmeno";
    }

    void sort()
    {
        QFETCH(QString, column);
        QFETCH(bool, descending);
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(QString, group);
        QFETCH(QString, expected);
        QCOMPARE(Statement(db::ContactSearch::Form::TitleClick, index, text, group, column, descending),
                 expected);
    }

    void escapeAndHints()
    {
        QCOMPARE(EscapeQuotes(QString()), QString());
        QCOMPARE(EscapeQuotes(QStringLiteral("''a'")), QStringLiteral("''''a''"));
        QCOMPARE(EscapeQuotes(QStringLiteral("bez")), QStringLiteral("bez"));
        const QStringList hints{SearchHint(0), SearchHint(1), SearchHint(2),
                                SearchHint(3), SearchHint(4), SearchHint(5)};
        QCOMPARE(hints, (QStringList{"Dle Jména", "Dle Poznámky", "Dle Telefonu", "Dle Organizace",
                                     "Dle Emailu", "Vše"}));
        QCOMPARE(SearchHint(6), QString());
        QCOMPARE(SearchHint(-1), QString());
    }

    void formatPhone_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nine digits") << "123456789"
                                     << "123 456 789";
        QTest::newRow("already grouped") << "603 123 456"
                                         << "603 123 456";
        QTest::newRow("international") << "+420 603 123 456"
                                       << "+42 060 312 3456";
        QTest::newRow("dashes") << "603-123-456"
                                << "603 -12 3-4 56";
        QTest::newRow("blanks removed") << "12 3"
                                        << "123";
        QTest::newRow("three") << "123"
                               << "123";
        QTest::newRow("short keeps blank") << " 12"
                                           << " 12";
        QTest::newRow("four") << "1234"
                              << "123 4";
        QTest::newRow("cut to 20") << "1234567890123456789012345"
                                   << "123 456 789 01234567";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("tab stays") << "12\t34"
                                   << "12\t 34";
    }

    void formatPhone()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(FormatPhone(input), expected);
    }

    void stripSpaces_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blanks inside and around") << "  1 2  3 "
                                                  << "123";
        QTest::newRow("control chars at ends") << QString(QChar(9)) + "1 2" + QChar(13) + QChar(10) << "12";
        QTest::newRow("inner tab kept") << "1\t2 3"
                                        << "1\t23";
        QTest::newRow("only blanks") << "   "
                                     << "";
    }

    void stripSpaces()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(StripSpaces(input), expected);
    }
};

QTEST_GUILESS_MAIN(TestSearchStatement)
#include "test_searchstatement.moc"
