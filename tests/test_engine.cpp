// What the directory needs of its database engine, checked on real files.
#include "db/Connection.h"
#include "db/Dialect.h"
#include "db/Engine.h"
#include "db/Query.h"
#include "testsupport/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using db::Connection;
using db::EngineError;
using db::Query;

namespace {

QString ConnectionStringFor(const QString& path)
{
    return QStringLiteral("Provider=SQLite.3;Data Source=%1;Mode=Share Deny Read|Share Deny Write;"
                          "Persist Security Info=False")
        .arg(path);
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;
    Connection* m_connection = nullptr;

    void exec(const QString& statement) { testsupport::Exec(m_connection, statement); }
    QStringList column(const QString& statement, const QString& field)
    {
        return testsupport::Column(m_connection, statement, field);
    }
    void insertName(const QString& name)
    {
        exec(QStringLiteral("insert into zvonisty (telefon, jmeno) values ('1', '%1')").arg(name));
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("Zvonisty.mdb"));
        QFile::remove(m_path);
        QString error;
        QVERIFY2(db::CreateDirectoryDatabase(m_path, &error), qPrintable(error));
        m_connection = new Connection;
        m_connection->setConnectionString(ConnectionStringFor(m_path));
        m_connection->open();
    }
    void cleanup()
    {
        delete m_connection;
        m_connection = nullptr;
    }

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
        const QStringList words = {QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("á"), QStringLiteral("ch"),
                                   QStringLiteral("cH"), QStringLiteral("c"), QStringLiteral("h"), QStringLiteral("ď"),
                                   QStringLiteral("d"), QStringLiteral("1"), QStringLiteral(" "), QStringLiteral("")};
        for (const QString& x : words)
            for (const QString& y : words) {
                const int xy = db::CompareCzech(x, y);
                const int yx = db::CompareCzech(y, x);
                QCOMPARE(xy == 0, x.toCaseFolded() == y.toCaseFolded());
                QCOMPARE(xy < 0, yx > 0);
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
