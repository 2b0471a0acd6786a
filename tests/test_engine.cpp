// What the directory needs of its database engine, checked on real files.
#include "db/engine/Connection.h"
#include "db/engine/Dialect.h"
#include "db/engine/Engine.h"
#include "db/engine/SearchText.h"
#include "db/contacts/Query.h"
#include "testsupport/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using db::Connection;
using testsupport::ConnectionStringFor;
using db::EngineError;
using db::Query;

class TestEngine : public testsupport::FreshDirectoryTest
{
    Q_OBJECT

private Q_SLOTS:
    void init() { openFresh(); }
    void cleanup() { closeConnection(); }

    void namesIgnoreCase()
    {
        exec(QStringLiteral("INSERT INTO ZVONISTY (TELEFON, Jmeno) VALUES ('603', 'Novák')"));
        QCOMPARE(column(QStringLiteral("select JMENO from Zvonisty"), QStringLiteral("jmeno")),
                 QStringList{QStringLiteral("Novák")});
    }

    void comparisonIgnoresCaseOfCzechLetters_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<bool>("found");
        QTest::newRow("equal upper") << "Čermák" << "jmeno = 'ČERMÁK'" << true;
        QTest::newRow("equal lower č") << "ČERMÁK" << "jmeno = 'čermák'" << true;
        QTest::newRow("accent differs") << "Cermak" << "jmeno = 'Čermák'" << false;
        QTest::newRow("like Czech") << "NOVOTNÝ" << "jmeno like '%ný%'" << true;
        QTest::newRow("like underscore") << "Řehoř" << "jmeno like 'ř_hoř'" << true;
        QTest::newRow("like percent only") << "x" << "jmeno like '%%'" << true;
        QTest::newRow("like no match") << "Novák" << "jmeno like '%nový%'" << false;
        QTest::newRow("like escape") << "50% sleva" << "jmeno like '50!%%' escape '!'" << true;
    }
    void comparisonIgnoresCaseOfCzechLetters()
    {
        QFETCH(QString, stored);
        QFETCH(QString, condition);
        QFETCH(bool, found);
        insertName(stored);
        QCOMPARE(column(QStringLiteral("select jmeno from zvonisty where ") + condition, QStringLiteral("jmeno"))
                     .size(),
                 found ? 1 : 0);
    }

    void groupByIgnoresCase()
    {
        for (const char* g : {"Rodina", "RODINA", "rodina", "Práce", "PRÁCE"})
            exec(QStringLiteral("insert into zvonisty (telefon, skupina) values ('1', '%1')")
                     .arg(QString::fromUtf8(g)));
        QCOMPARE(column(QStringLiteral("select skupina from zvonisty group by skupina order by skupina"),
                        QStringLiteral("skupina"))
                     .size(),
                 2);
    }

    void orderByIsCzechAlphabetical()
    {
        const QStringList names = {QStringLiteral("chalupa"), QStringLiteral("Hrubý"),  QStringLiteral("Čech"),
                                   QStringLiteral("cibule"),  QStringLiteral("Ivan"),   QStringLiteral("ŽÁK"),
                                   QStringLiteral("zeman"),   QStringLiteral("Řezník"), QStringLiteral("rys"),
                                   QStringLiteral("Ábel"),    QStringLiteral("adam"),   QStringLiteral("Šťastný")};
        for (const QString& n : names)
            insertName(n);
        const QStringList expected = {QStringLiteral("Ábel"),   QStringLiteral("adam"),   QStringLiteral("cibule"),
                                      QStringLiteral("Čech"),   QStringLiteral("Hrubý"),  QStringLiteral("chalupa"),
                                      QStringLiteral("Ivan"),   QStringLiteral("rys"),    QStringLiteral("Řezník"),
                                      QStringLiteral("Šťastný"), QStringLiteral("zeman"), QStringLiteral("ŽÁK")};
        QCOMPARE(column(QStringLiteral("select jmeno from zvonisty order by jmeno"), QStringLiteral("jmeno")),
                 expected);
        QStringList reversed(expected.rbegin(), expected.rend());
        QCOMPARE(column(QStringLiteral("select jmeno from zvonisty order by jmeno desc"), QStringLiteral("jmeno")),
                 reversed);
    }

    void collationIsATotalOrder()
    {
        // Equal only when equal but for case; otherwise antisymmetric.
        const QStringList words = {QStringLiteral("a"),    QStringLiteral("A"),    QStringLiteral("á"),
                                   QStringLiteral("ch"),   QStringLiteral("cH"),   QStringLiteral("c"),
                                   QStringLiteral("h"),    QStringLiteral("ď"),    QStringLiteral("d"),
                                   QStringLiteral("1"),    QStringLiteral(" "),    QStringLiteral(""),
                                   QStringLiteral("\t"),   QStringLiteral("a b"),  QStringLiteral("a\tb"),
                                   QStringLiteral("ab"),   QStringLiteral("a\nb"), QStringLiteral("k"),
                                   QString::fromUtf8("\u212A"), QString::fromUtf8("a\u00a0b")};
        for (const QString& x : words)
            for (const QString& y : words) {
                const int xy = db::CompareCzech(x, y);
                const int yx = db::CompareCzech(y, x);
                QCOMPARE(xy == 0, x.toCaseFolded() == y.toCaseFolded());
                QCOMPARE(xy < 0, yx > 0);
                for (const QString& z : words)
                    if (xy <= 0 && db::CompareCzech(y, z) <= 0)
                        QVERIFY(db::CompareCzech(x, z) <= 0);
            }
    }

    // The byte comparison starts where two texts part; that must never change the verdict of
    // the character-wise one, whatever the shared beginning ends with ("c" before "h", a
    // character cut in its middle, case differences).
    void byteTextsCompareAsCharacterTexts()
    {
        const QStringList pieces = {QStringLiteral("c"), QStringLiteral("C"), QStringLiteral("h"),
                                    QStringLiteral("H"), QStringLiteral("ch"), QStringLiteral("č"),
                                    QStringLiteral("Č"), QStringLiteral("á"), QStringLiteral("a"),
                                    QStringLiteral(" "), QStringLiteral("\t"), QStringLiteral("ř"),
                                    QStringLiteral("ž"), QStringLiteral("Ž"), QString::fromUtf8("\u212A"),
                                    QStringLiteral("k"), QString::fromUtf8("\U0001F600"), QStringLiteral("1")};
        QRandomGenerator rng(77);
        auto randomText = [&](int length) {
            QString t;
            for (int i = 0; i < length; ++i)
                t += pieces.at(rng.bounded(int(pieces.size())));
            return t;
        };
        for (int n = 0; n < 20000; ++n) {
            const QString common = randomText(rng.bounded(4));
            const QString a = common + randomText(rng.bounded(4));
            const QString b = common + randomText(rng.bounded(4));
            const QByteArray ua = a.toUtf8(), ub = b.toUtf8();
            const int bytes = db::CompareCzechUtf8(ua.constData(), int(ua.size()), ub.constData(), int(ub.size()));
            const int chars = db::CompareCzech(a, b);
            if ((bytes < 0) != (chars < 0) || (bytes == 0) != (chars == 0))
                QFAIL(qPrintable(QStringLiteral("'%1' and '%2': %3 against %4").arg(a, b).arg(bytes).arg(chars)));
        }
    }

    void onlyLetterCaseIsIgnored_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("equal");
        QTest::newRow("blank and tab") << "603 123 456" << "603\t123\t456" << false;
        QTest::newRow("blank and line end") << "a b" << "a\nb" << false;
        QTest::newRow("line ends") << "a\r\nb" << "a\n\rb" << false;
        QTest::newRow("blank and no-break space") << "a b" << QString::fromUtf8("a\u00a0b") << false;
        QTest::newRow("control characters") << "x\x01" << "x\x02" << false;
        QTest::newRow("blank and nothing") << " " << "" << false;
        QTest::newRow("accent") << "Cermak" << "Čermák" << false;
        QTest::newRow("case") << "ABC def" << "abc DEF" << true;
        QTest::newRow("Czech case") << "ČÁP ŘEHOŘ" << "čáp řehoř" << true;
        QTest::newRow("ch case") << "CHALUPA" << "chalupa" << true;
        QTest::newRow("Kelvin sign is a k") << QString::fromUtf8("\u212Aa") << "ka" << true;
    }
    void onlyLetterCaseIsIgnored()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, equal);
        QCOMPARE(db::CompareCzech(a, b) == 0, equal);
        const QByteArray ua = a.toUtf8(), ub = b.toUtf8();
        QCOMPARE(db::CompareCzechUtf8(ua.constData(), int(ua.size()), ub.constData(), int(ub.size())) == 0, equal);
        // The same through the engine: a look-up by value and the grouping of the group list.
        exec(QStringLiteral("insert into zvonisty (telefon, skupina) values ('%1', '%1')").arg(a));
        exec(QStringLiteral("insert into zvonisty (telefon, skupina) values ('%1', '%1')").arg(b));
        QCOMPARE(column(QStringLiteral("select telefon from zvonisty where telefon = '%1'").arg(a), "telefon").size(),
                 equal ? 2 : 1);
        QCOMPARE(column(QStringLiteral("select skupina from zvonisty group by skupina"), "skupina").size(),
                 equal ? 1 : 2);
    }

    void invalidTextIsNeverEqualToValidText()
    {
        // A byte that is not UTF-8 (written by another tool) and the letter of the same code.
        const QByteArray raw("\xe9"), letter = QStringLiteral("é").toUtf8();
        QVERIFY(db::CompareCzechUtf8(raw.constData(), 1, letter.constData(), int(letter.size())) != 0);
        // An overlong form of "A" is not "A".
        const QByteArray overlong("\xc1\x81");
        QVERIFY(db::CompareCzechUtf8(overlong.constData(), 2, "a", 1) != 0);
    }

    // The search index folds whole texts at once; each must come out as folding it character by
    // character does: runs of ASCII cut anywhere, letters that fold to longer ones, bytes that are
    // not UTF-8.
    void foldingWholeTextsAsCharacters_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("capitals across eight bytes") << QByteArray("@AZ[`az{ NOVAK-DVORAK@x.cz Zz");
        QTest::newRow("czech letters between") << QStringLiteral("ČERMÁK Růžička ŘÍHA ěščřžýáíéůú").toUtf8();
        QTest::newRow("to a longer letter") << QStringLiteral("Ⱥ ȺȾ ɐ Ɐ ẞ Ω").toUtf8();
        QTest::newRow("not UTF-8") << QByteArray("ab\xc1\x81"
                                                 "cd\xc3 \xff\xe9"
                                                 "ABCDEFGH\xc3");
    }

    void foldingWholeTextsAsCharacters()
    {
        QFETCH(QByteArray, text);
        for (const bool plain : {false, true}) {
            std::vector<char32_t> points;
            db::SearchFoldCodePoints(text.constData(), int(text.size()), plain, points);
            std::string expected;
            for (const char32_t c : points) {
                // Beyond Unicode too: an invalid byte stands for itself.
                const int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
                static const unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
                expected += char(kLead[extra] | (c >> (6 * extra)));
                for (int i = extra - 1; i >= 0; --i)
                    expected += char(0x80 | ((c >> (6 * i)) & 0x3F));
            }
            std::string folded = "x";
            db::SearchFoldUtf8(text.constData(), int(text.size()), plain, folded);
            QCOMPARE(QByteArray::fromStdString(folded), "x" + QByteArray::fromStdString(expected));
        }
    }

    void idIsNeverGivenAgain()
    {
        insertName(QStringLiteral("a"));
        insertName(QStringLiteral("b"));
        const int highest = column(QStringLiteral("select max(id) as m from zvonisty"), QStringLiteral("m"))[0].toInt();
        exec(QStringLiteral("delete from zvonisty where id=%1").arg(highest));
        insertName(QStringLiteral("c"));
        const QStringList ids = column(QStringLiteral("select id from zvonisty where jmeno='c'"), QStringLiteral("id"));
        QVERIFY(ids[0].toInt() > highest);
    }

    void noteDateIsFilledAndFindsItsRow()
    {
        exec(QStringLiteral("insert into poznamky (id, pozn) values (7, 'první')"));
        const QString shown = column(QStringLiteral("select * from poznamky"), QStringLiteral("dat"))[0];
        const QString today = QDate::currentDate().toString(QStringLiteral("d.M.yyyy"));
        QVERIFY2(shown.startsWith(today + QLatin1Char(' ')), qPrintable(shown));
        QCOMPARE(column(QStringLiteral("select * from poznamky where id = 7 and dat = '%1'").arg(shown),
                        QStringLiteral("pozn")),
                 QStringList{QStringLiteral("první")});
    }

    void textLongerThanItsColumnIsRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("width");
        QTest::newRow("telefon") << "telefon" << 20;
        QTest::newRow("jmeno") << "jmeno" << 150;
        QTest::newRow("email") << "email" << 50;
        QTest::newRow("poznamka") << "poznamka" << 50;
        QTest::newRow("organizace") << "organizace" << 100;
        QTest::newRow("skupina") << "skupina" << 20;
    }
    void textLongerThanItsColumnIsRefused()
    {
        QFETCH(QString, field);
        QFETCH(int, width);
        const QString fits(width, QChar(u'ž'));
        exec(QStringLiteral("insert into zvonisty (%1) values ('%2')").arg(field, fits));
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 exec(QStringLiteral("insert into zvonisty (%1) values ('%2')").arg(field, fits + 'x')));
        QCOMPARE(column(QStringLiteral("select %1 from zvonisty").arg(field), field), QStringList{fits});
    }

    void addedColumnsKeepTheirWidth()
    {
        exec(QStringLiteral("alter table zvonisty add icq varchar(15)"));
        exec(QStringLiteral("insert into zvonisty (icq) values ('%1')").arg(QString(15, QLatin1Char('1'))));
        QVERIFY_THROWS_EXCEPTION(
            EngineError, exec(QStringLiteral("insert into zvonisty (icq) values ('%1')").arg(QString(16, '1'))));
    }

    void oneStatementPerCall()
    {
        insertName(QStringLiteral("zůstane"));
        QVERIFY_THROWS_EXCEPTION(EngineError, exec(QStringLiteral("insert into zvonisty (jmeno) values ('x'); "
                                                                  "delete from zvonisty")));
        QCOMPARE(column(QStringLiteral("select jmeno from zvonisty"), QStringLiteral("jmeno")),
                 QStringList{QStringLiteral("zůstane")});
        // A trailing ";" or comment is not a second statement, and a ";" inside a value is text.
        exec(QStringLiteral("insert into zvonisty (jmeno) values ('a;b'); -- konec"));
        QCOMPARE(column(QStringLiteral("select jmeno from zvonisty where jmeno = 'a;b';"), QStringLiteral("jmeno"))
                     .size(),
                 1);
    }

    void dialectStatements()
    {
        exec(QStringLiteral("create table verze (DB numeric, dat_zmena datetime)"));
        exec(QStringLiteral("insert into VERZE (DB, dat_zmena) values (2, date()+time())"));
        Query q(m_connection);
        q.setSql(QStringLiteral("select * from verze"));
        q.open();
        QCOMPARE(q.fieldInt(QStringLiteral("db")), 2);
        QVERIFY(q.fieldText(QStringLiteral("dat_zmena"))
                    .startsWith(QDate::currentDate().toString(QStringLiteral("d.M.yyyy"))));
        exec(QStringLiteral("create table sloupce (id varchar(10), telefon numeric, jmeno numeric)"));
        exec(QStringLiteral("insert into sloupce (id, telefon, jmeno) values ('sort', null, 0)"));
        exec(QStringLiteral("alter table sloupce add constraint p_sloupce primary key (id)"));
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 exec(QStringLiteral("insert into sloupce (id, telefon) values ('SORT', 1)")));
        // Quoted values are never rewritten.
        exec(QStringLiteral("insert into zvonisty (jmeno) values ('date()+time() x varchar(5)')"));
        QCOMPARE(column(QStringLiteral("select jmeno from zvonisty"), QStringLiteral("jmeno")),
                 QStringList{QStringLiteral("date()+time() x varchar(5)")});
    }

    void colonIsPlainText()
    {
        insertName(QStringLiteral("12:30 :jmeno ?"));
        QCOMPARE(column(QStringLiteral("select jmeno from zvonisty where jmeno = '12:30 :jmeno ?'"),
                        QStringLiteral("jmeno"))
                     .size(),
                 1);
    }

    void snapshotRowsAndCurrentRow()
    {
        for (int i = 0; i < 5; ++i)
            insertName(QString::number(i));
        Query q(m_connection);
        int opened = 0, scrolled = 0;
        connect(&q, &Query::afterOpen, this, [&] { ++opened; });
        connect(&q, &Query::afterScroll, this, [&] { ++scrolled; });
        q.setSql(QStringLiteral("select * from zvonisty order by jmeno"));
        q.open();
        QCOMPARE(q.recordCount(), 5);
        QCOMPARE(q.recNo(), 1);
        QCOMPARE(opened, 1);
        QCOMPARE(scrolled, 1);
        q.setRecNo(4);
        QCOMPARE(q.fieldText(QStringLiteral("JMENO")), QStringLiteral("3"));
        QCOMPARE(scrolled, 2);
        q.next();
        QVERIFY(!q.eof());
        q.next();
        QVERIFY(q.eof());
        QCOMPARE(q.fieldText(QStringLiteral("email")), QString());
        QCOMPARE(q.fieldInt(QStringLiteral("email")), 0);
        QVERIFY_THROWS_EXCEPTION(EngineError, q.fieldText(QStringLiteral("neni")));
        q.close();
        QVERIFY(!q.isOpen());
        QVERIFY(q.eof());
    }

    void failingOpenLeavesQueryClosed()
    {
        Query q(m_connection);
        q.setSql(QStringLiteral("select * from neexistuje"));
        QVERIFY_THROWS_EXCEPTION(EngineError, q.open());
        QVERIFY(!q.isOpen());
    }

    void secondConnectionIsRefused()
    {
        Connection second;
        second.setConnectionString(ConnectionStringFor(m_path));
        QVERIFY_THROWS_EXCEPTION(EngineError, second.open());
        QVERIFY(!second.connected());
    }

    void engineTextsAreCzech_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("shown");
        QTest::newRow("locked") << SQLITE_BUSY << "database is locked" << "Databázi právě používá jiný program.";
        QTest::newRow("not a database") << SQLITE_NOTADB << "file is not a database" << "Soubor není databází.";
        QTest::newRow("cannot open") << SQLITE_CANTOPEN << "unable to open database file"
                                     << "Soubor databáze nelze otevřít.";
        QTest::newRow("permission") << SQLITE_PERM << "access permission denied"
                                    << "K souboru databáze chybí oprávnění.";
        QTest::newRow("not null") << SQLITE_CONSTRAINT_NOTNULL << "NOT NULL constraint failed: zvonisty.jmeno"
                                  << "Pole zvonisty.jmeno musí být vyplněno.";
        QTest::newRow("no column named") << SQLITE_ERROR << "table zvonisty has no column named mobil"
                                         << "Tabulka zvonisty nemá sloupec mobil.";
        QTest::newRow("width check") << SQLITE_CONSTRAINT_CHECK << "CHECK constraint failed: length(email) <= 50"
                                     << "Hodnota pole Email je delší, než pole dovoluje (nejvýše 50 znaků).";
        QTest::newRow("unknown") << SQLITE_ERROR << "something new went wrong"
                                 << "Databáze ohlásila chybu: something new went wrong";
    }
    void engineTextsAreCzech()
    {
        QFETCH(int, code);
        QFETCH(QString, engine);
        QFETCH(QString, shown);
        QCOMPARE(db::EngineErrorText(code, engine), shown);
    }

    void filesThatAreNotDirectoriesAreLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("random") << QByteArray::fromHex("8f1a22c0ffee00112233445566778899aabbccddeeff").repeated(300);
        QTest::newRow("text") << QByteArray("telefon;jmeno\r\n603 123 456;Novák\r\n");
        QTest::newRow("foreign database") << QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 19).repeated(200);
    }
    void filesThatAreNotDirectoriesAreLeftAlone()
    {
        QFETCH(QByteArray, content);
        const QString path = m_dir.filePath(QStringLiteral("jiny.mdb"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        const QByteArray before = testsupport::FileHash(path);
        Connection c;
        c.setConnectionString(ConnectionStringFor(path));
        QVERIFY_THROWS_EXCEPTION(EngineError, c.open());
        QCOMPARE(testsupport::FileHash(path), before);
        QCOMPARE(QFileInfo(path).size(), content.size());
        QStringList leftovers = QDir(m_dir.path()).entryList({QStringLiteral("jiny.mdb-*")}, QDir::Files);
        QVERIFY(leftovers.isEmpty());
    }

    void missingFileIsNeverCreated()
    {
        const QString path = m_dir.filePath(QStringLiteral("chybi.mdb"));
        Connection c;
        c.setConnectionString(ConnectionStringFor(path));
        QVERIFY_THROWS_EXCEPTION(EngineError, c.open());
        QVERIFY(!QFileInfo::exists(path));
    }

    void createRefusesExistingFile()
    {
        QString error;
        const QByteArray before = testsupport::FileHash(m_path);
        QVERIFY(!db::CreateDirectoryDatabase(m_path, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(testsupport::FileHash(m_path), before);
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "test_engine.moc"
