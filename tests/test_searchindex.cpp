// The search index against the engine: random searches and sorts give the same rows in
// the same order as the statement run by the engine, with and without accents ignored;
// rows read on demand stay right across writes.
#include "db/contacts/Query.h"
#include "db/contacts/RecordStatements.h"
#include "db/engine/Connection.h"
#include "db/engine/Dialect.h"
#include "db/engine/Engine.h"
#include "db/search/SearchIndex.h"
#include "testsupport/TestSupport.h"
#include "view/SearchStatement.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <sqlite3.h>

using testsupport::Sandbox;

namespace {

const char* const kNames[] = {"Novák",  "NOVÁK",     "novák",     "Čermák",  "Cermak",    "ČERMÁK",
                              "Dvořák", "Dvorak",    "O'Brien",   "Chalupa", "Hrubý",     "Šimek",
                              "Žák",    "Zak",       "Růžička",   "Ružička", "50% sleva", "a_b",
                              "Ýbl",    "ěščřžýáíé", "ESCRZYAIE", ""};
const char* const kGroups[] = {"Práce", "práce", "PRACE", "Rodina", "Škola", "", "O'Neill"};
const char16_t kLetters[] = u"aAáÁcčČhHrřŘeéěEĚnNoOvVkK%_' 0123";

QString Maybe(QRandomGenerator& rng, const QString& value)
{
    return rng.bounded(8) == 0 ? QStringLiteral("null")
                               : QLatin1Char('\'') + EscapeQuotes(value) + QLatin1Char('\'');
}

QString Pick(QRandomGenerator& rng, const char* const* list, int size)
{
    return QString::fromUtf8(list[rng.bounded(size)]);
}

QString RandomText(QRandomGenerator& rng)
{
    QString text;
    const int length = rng.bounded(5);
    for (int i = 0; i < length; ++i)
        text += QChar(kLetters[rng.bounded(int(std::size(kLetters)) - 1)]);
    return text;
}

// The ids of the statement's rows as the engine gives them.
std::vector<quint32> EngineIds(db::Connection& connection, const QString& statement)
{
    std::vector<quint32> ids;
    sqlite3_stmt* s = nullptr;
    const QByteArray text = db::TranslateStatement(statement).toUtf8();
    if (sqlite3_prepare_v2(connection.handle(), text.constData(), -1, &s, nullptr) != SQLITE_OK)
        qFatal("%s: %s", text.constData(), sqlite3_errmsg(connection.handle()));
    while (sqlite3_step(s) == SQLITE_ROW)
        ids.push_back(quint32(sqlite3_column_int64(s, 0)));
    sqlite3_finalize(s);
    return ids;
}

// The ids of an open query's rows.
std::vector<quint32> QueryIds(const db::Query& query)
{
    std::vector<quint32> ids;
    for (int row = 0; row < query.recordCount(); ++row)
        ids.push_back(query.text(row, 0).toUInt());
    return ids;
}

} // namespace

Q_DECLARE_METATYPE(db::ContactSearch)

class TestSearchIndex : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<db::Connection> m_connection;
    bool m_plain = false;

    // A search of the bar's controls, comparing accents as the test does at the moment.
    db::ContactSearch Search(int column, const QString& text, const QString& group, const QString& order,
                             bool descending = false,
                             db::ContactSearch::Form form = db::ContactSearch::Form::Search) const
    {
        db::ContactSearch search = BarSearch(column, text, group);
        search.form = form;
        search.orderColumn = order;
        search.descending = descending;
        search.ignoreAccents = m_plain;
        return search;
    }

    // Searches from now on ignore accents or not; the index reads the directory again for them.
    void ignoreAccents(db::SearchIndex* index, bool plain)
    {
        m_plain = plain;
        m_connection->setPlainLike(plain);
        std::vector<quint32> ids;
        QVERIFY(!index->resolve(Search(0, QStringLiteral("a"), AllGroups(), QStringLiteral("jmeno")), &ids));
        index->buildNow();
    }

    void fill(int count)
    {
        QRandomGenerator rng(77);
        QStringList statements{QStringLiteral("begin")};
        for (int i = 0; i < count; ++i) {
            const QString name = Pick(rng, kNames, int(std::size(kNames))) + QLatin1Char(' ') +
                                 Pick(rng, kNames, int(std::size(kNames)));
            const QString phone = QStringLiteral("%1 %2 %3")
                                      .arg(600 + rng.bounded(5))
                                      .arg(rng.bounded(3) * 111, 3, 10, QLatin1Char('0'))
                                      .arg(rng.bounded(1000), 3, 10, QLatin1Char('0'));
            statements << QStringLiteral(
                              "insert into zvonisty (telefon, jmeno, email, poznamka, organizace, skupina) "
                              "values (%1, %2, %3, %4, %5, %6)")
                              .arg(Maybe(rng, phone), Maybe(rng, name),
                                   Maybe(rng, QStringLiteral("o%1@x.cz").arg(rng.bounded(50))),
                                   Maybe(rng, RandomText(rng)),
                                   Maybe(rng, Pick(rng, kNames, int(std::size(kNames)))),
                                   Maybe(rng, Pick(rng, kGroups, int(std::size(kGroups)))));
        }
        statements << QStringLiteral("commit");
        m_box->createDirectory(4, statements);
    }

    // Random searches and sorts: the index answers each one with the engine's rows.
    void compareRandom(db::SearchIndex* index, int rounds, quint32 seed)
    {
        QRandomGenerator rng(seed);
        const QString groups[] = {AllGroups(),
                                  QStringLiteral("Práce"),
                                  QStringLiteral("PRÁCE"),
                                  QStringLiteral("Rodina"),
                                  QStringLiteral("škola"),
                                  QString(),
                                  QStringLiteral("O'Neill"),
                                  QStringLiteral("nic")};
        for (int i = 0; i < rounds; ++i) {
            const int column = rng.bounded(db::kAllSearchColumns + 1);
            const QString text = RandomText(rng);
            const QString group = groups[rng.bounded(int(std::size(groups)))];
            const QString order =
                QString::fromLatin1(db::SearchColumn(rng.bounded(db::kSearchColumnCount))->name);
            const bool descending = rng.bounded(2) == 1;
            const db::ContactSearch search = Search(
                column, text, group, order, descending,
                rng.bounded(2) == 0 ? db::ContactSearch::Form::Search : db::ContactSearch::Form::TitleClick);
            const QString statement = db::BuildSearchStatement(search);
            std::vector<quint32> fast;
            QVERIFY2(index->resolve(search, &fast), qPrintable(statement));
            const std::vector<quint32> engine = EngineIds(*m_connection, statement);
            QVERIFY2(fast == engine, qPrintable(QStringLiteral("%1: %2 rows, engine %3")
                                                    .arg(statement)
                                                    .arg(fast.size())
                                                    .arg(engine.size())));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        db::SearchIndex::SetCopyMinimum(1000);
        // The directories here are searched in two halves, as large ones are, and read beside the
        // window unless a test reads them at once.
        db::SearchIndex::SetSideBySideMinimum(1000);
        db::SearchIndex::SetFileReadingMinimum(1000);
    }

    // Lets the index begin its reading beside the window; false when it did not.
    static bool BeginReadingBeside(db::SearchIndex* index)
    {
        for (int i = 0; i < 10 && !index->readingBeside(); ++i)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        return index->readingBeside();
    }

    void init()
    {
        m_box = std::make_unique<Sandbox>();
        fill(2500);
        m_connection = testsupport::OpenDefaultDirectory();
    }

    void cleanup()
    {
        m_connection.reset();
        m_box.reset();
    }

    // Read in the window's idle steps, or beside it by two connections that each take some of
    // the columns: the same rows either way.
    void sameRowsAsEngine_data()
    {
        QTest::addColumn<bool>("beside");
        QTest::newRow("idle steps") << false;
        QTest::newRow("beside the window") << true;
    }

    void sameRowsAsEngine()
    {
        QFETCH(bool, beside);
        // Ids with gaps, as deletions leave them.
        QCOMPARE(sqlite3_exec(m_connection->handle(),
                              "delete from zvonisty where id % 7 = 3 or id between 100 and 400 or id < 3",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        db::SearchIndex* index = db::SearchIndex::Attach(m_connection.get());
        QCOMPARE(beside && BeginReadingBeside(index), beside);
        index->buildNow();
        QVERIFY(index->complete());
        QCOMPARE(index->readBeside(), beside);
        compareRandom(index, 2500, 1);
    }

    // A write while the directory is read beside the window throws that reading away, whether
    // the program's writer stops it first or the engine alone hears of it; the directory is read
    // beside the window again.
    void writeWhileReadingBeside_data()
    {
        QTest::addColumn<bool>("throughWriter");
        QTest::newRow("through the writer") << true;
        QTest::newRow("heard by the engine alone") << false;
    }

    void writeWhileReadingBeside()
    {
        QFETCH(bool, throughWriter);
        db::SearchIndex* index = db::SearchIndex::Attach(m_connection.get());
        QVERIFY(BeginReadingBeside(index));
        const char* const update = "update zvonisty set jmeno = 'Zzz' where id in (5, 2400)";
        if (throughWriter) {
            db::Query work(m_connection.get());
            work.setSql(QString::fromLatin1(update));
            work.execSql();
            QVERIFY(!index->readingBeside());
        } else {
            QCOMPARE(sqlite3_exec(m_connection->handle(), update, nullptr, nullptr, nullptr), SQLITE_OK);
        }
        QTRY_VERIFY_WITH_TIMEOUT(index->complete(), 10000);
        QVERIFY(index->readBeside());
        const db::ContactSearch search =
            Search(0, QStringLiteral("zzz"), AllGroups(), QStringLiteral("jmeno"));
        std::vector<quint32> ids;
        QVERIFY(index->resolve(search, &ids));
        QCOMPARE(ids, (std::vector<quint32>{5, 2400}));
        compareRandom(index, 200, 6);
    }

    void sameRowsAsEngineIgnoringAccents()
    {
        db::SearchIndex* index = db::SearchIndex::Attach(m_connection.get());
        ignoreAccents(index, true);
        compareRandom(index, 2000, 2);
        const auto cermak = [&] {
            return Search(0, QStringLiteral("cermak"), AllGroups(), QStringLiteral("jmeno"));
        };
        std::vector<quint32> ids;
        QVERIFY(index->resolve(cermak(), &ids));
        QVERIFY(!ids.empty());
        QCOMPARE(ids, EngineIds(*m_connection, db::BuildSearchStatement(cermak())));
        ignoreAccents(index, false);
        std::vector<quint32> exact;
        QVERIFY(index->resolve(cermak(), &exact));
        QVERIFY(exact.size() < ids.size());
        compareRandom(index, 300, 3);
    }

    // A number is found by its digits however the text and the number are grouped, from memory
    // as from the engine and with accents ignored or not; any other text compares as text.
    void digitSearches_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("found");
        QTest::newRow("grouped otherwise") << 2 << "212 3456"
                                           << "ABCD";
        QTest::newRow("unbroken") << 2 << "602123"
                                  << "AB";
        QTest::newRow("with the country") << 2 << "+420 602 123 456"
                                          << "A";
        QTest::newRow("separators") << 2 << "(602) 123-456"
                                    << "AB";
        QTest::newRow("tab, slash and dash") << 2 << "02/12\t3-4"
                                             << "ABC";
        QTest::newRow("no-break space in the number") << 2 << "999000"
                                                      << "E";
        QTest::newRow("letters in the number are no separators") << 2 << "34567"
                                                                 << "";
        QTest::newRow("plus alone") << 2 << "+"
                                    << "A";
        QTest::newRow("all columns") << 5 << "123 45"
                                     << "ABCD";
        QTest::newRow("name with digits compares as text") << 5 << "kl. 7"
                                                           << "D";
        QTest::newRow("separator alone compares as text") << 2 << "-"
                                                          << "C";
        QTest::newRow("separators after the first digit") << 2 << "212"
                                                          << "ABCD";
        QTest::newRow("no-break space after the first digit") << 2 << "3999"
                                                              << "E";
        QTest::newRow("a start that repeats") << 2 << "06061"
                                              << "F";
        QTest::newRow("stray lead byte of a no-break space") << 2 << "7778"
                                                             << "";
        QTest::newRow("stray end byte of a no-break space") << 2 << "7879"
                                                            << "";
    }

    void digitSearches()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, found);
        QCOMPARE(sqlite3_exec(m_connection->handle(),
                              "insert into zvonisty (telefon, jmeno) values ('+42 060 212 3456', 'A'), "
                              "('602.123.456', 'B'), ('(02) 123-45/6', 'C'), ('212 34 56 kl. 7', 'D'), "
                              "('603' || char(160) || '999 000', 'E'), ('060 606 061', 'F'), "
                              "('77' || cast(x'c2' as text) || '78' || cast(x'a0' as text) || '79', 'G')",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        const quint32 first = quint32(sqlite3_last_insert_rowid(m_connection->handle())) - 6;
        db::SearchIndex* index = db::SearchIndex::Attach(m_connection.get());
        // Ends comparing accents, as the other tests do.
        for (const bool plain : {true, false}) {
            ignoreAccents(index, plain);
            const db::ContactSearch search = Search(column, text, AllGroups(), QStringLiteral("jmeno"));
            std::vector<quint32> ids;
            QVERIFY(index->resolve(search, &ids));
            QCOMPARE(ids, EngineIds(*m_connection, db::BuildSearchStatement(search)));
            QString names;
            for (quint32 id : ids)
                if (id >= first)
                    names += QChar(u'A' + (id - first));
            QCOMPARE(names, found);
        }
    }

    // Bytes that are not UTF-8 (written by another tool) match as the engine's LIKE reads them:
    // a stray 0xC3 is no "ã", and only itself matches it.
    void undecodableBytesMatchAsInTheEngine()
    {
        QCOMPARE(sqlite3_exec(m_connection->handle(),
                              "insert into zvonisty (telefon, jmeno) values "
                              "('999 000 001', cast(x'c3' as text) || 'abc'), ('999 000 002', 'ãabc')",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        db::SearchIndex* index = db::SearchIndex::Attach(m_connection.get());
        index->buildNow();
        const db::ContactSearch search =
            Search(0, QStringLiteral("ãab"), AllGroups(), QStringLiteral("jmeno"));
        std::vector<quint32> ids;
        QVERIFY(index->resolve(search, &ids));
        QCOMPARE(ids.size(), size_t(1));
        QCOMPARE(ids, EngineIds(*m_connection, db::BuildSearchStatement(search)));
    }

    // Statements of other forms are left to the engine, also with the index at hand. The engine
    // runs an ordered statement of contacts with the key as its last order, so that equal values
    // come in one order whatever its plan; the statement itself stays as it was written.
    void otherStatementsLeftToEngine_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("key");
        QTest::newRow("other table") << QStringLiteral("select * from poznamky order by pozn") << "";
        QTest::newRow("equality") << QStringLiteral("select * from zvonisty where jmeno='x' order by jmeno")
                                  << ", id";
        QTest::newRow("or binds to and") << QStringLiteral("select * from zvonisty where jmeno like '%a%' or "
                                                           "email like '%a%' and skupina='x' order by jmeno")
                                         << ", id";
        QTest::newRow("other order") << QStringLiteral("select * from zvonisty order by datum") << ", id";
        QTest::newRow("no order") << QStringLiteral("select * from zvonisty where jmeno like '%a%'") << "";
        QTest::newRow("two orders") << QStringLiteral("select * from zvonisty order by jmeno, telefon")
                                    << ", id";
        // Counted by the engine.
        QTest::newRow("other shape") << QStringLiteral("select * from zvonisty where id > 100 order by jmeno")
                                     << ", id";
        QTest::newRow("descending") << QStringLiteral("select * from zvonisty order by email desc")
                                    << ", id desc";
        QTest::newRow("key already last")
            << QStringLiteral("select * from zvonisty order by jmeno desc, ID") << "";
        QTest::newRow("groups") << QStringLiteral(
                                       "select skupina from zvonisty group by skupina order by skupina")
                                << "";
        QTest::newRow("order by in a value")
            << QStringLiteral("select * from zvonisty where poznamka <> 'x'' order by jmeno'") << "";
    }

    void otherStatementsLeftToEngine()
    {
        QFETCH(QString, statement);
        QFETCH(QString, key);
        QCOMPARE(db::TranslateStatement(statement), statement + key);
        db::SearchIndex::Attach(m_connection.get())->buildNow();
        db::Query query(m_connection.get());
        query.setSql(statement);
        query.open();
        QCOMPARE(query.sql(), statement);
        QCOMPARE(QueryIds(query), EngineIds(*m_connection, statement));
    }

    // A few contacts changed at a time are taken over at once: every search right after the
    // change gives the engine's rows, without reading the whole directory again.
    void changesTakenOverInPlace()
    {
        db::SearchIndex* index = db::SearchIndex::Attach(m_connection.get());
        index->buildNow();
        QRandomGenerator rng(5);
        db::Query work(m_connection.get());
        const char* const columns[] = {"jmeno", "poznamka", "telefon", "organizace", "email", "skupina"};
        auto value = [&] {
            return Maybe(rng,
                         rng.bounded(3) == 0 ? RandomText(rng) : Pick(rng, kNames, int(std::size(kNames))));
        };
        for (int round = 0; round < 80; ++round) {
            const int id = 1 + rng.bounded(2600);
            QStringList statements;
            switch (rng.bounded(5)) {
            case 0:
                statements << QStringLiteral("update zvonisty set %1 = %2 where id = %3")
                                  .arg(QLatin1String(columns[rng.bounded(6)]), value())
                                  .arg(id);
                break;
            case 1:
                statements << QStringLiteral("insert into zvonisty (telefon, jmeno, poznamka, organizace, "
                                             "email, skupina) values (%1, %2, %3, %4, %5, %6)")
                                  .arg(value(), value(), value(), value(), value(),
                                       Maybe(rng, Pick(rng, kGroups, int(std::size(kGroups)))));
                break;
            case 2:
                statements << QStringLiteral("delete from zvonisty where id = %1").arg(id);
                break;
            case 3:
                statements << QStringLiteral(
                                  "update zvonisty set skupina = %1, jmeno = %2 where id between %3 and %4")
                                  .arg(Maybe(rng, Pick(rng, kGroups, int(std::size(kGroups)))), value())
                                  .arg(id)
                                  .arg(id + rng.bounded(40));
                break;
            default:
                statements
                    << QStringLiteral("begin")
                    << QStringLiteral("update zvonisty set organizace = %1 where id = %2")
                           .arg(value())
                           .arg(id)
                    << QStringLiteral("delete from zvonisty where id = %1").arg(id + 1)
                    << QStringLiteral("update zvonisty set jmeno = %1 where id = %2").arg(value()).arg(id + 2)
                    << QStringLiteral("commit");
                break;
            }
            for (const QString& statement : statements) {
                work.setSql(statement);
                work.execSql();
            }
            compareRandom(index, 30, quint32(100 + round));
            QVERIFY(index->complete());
        }
    }

    // Changes the index cannot take over in place make it step aside until it has read the
    // directory again: many rows at once, all rows deleted, and a transaction rolled back
    // after a search had already seen its changes.
    void largerChangesReadAgain()
    {
        db::SearchIndex* index = db::SearchIndex::Attach(m_connection.get());
        index->buildNow();
        const db::ContactSearch search =
            Search(0, QStringLiteral("zzz"), AllGroups(), QStringLiteral("jmeno"));
        const QString statement = db::BuildSearchStatement(search);
        db::Query work(m_connection.get());
        std::vector<quint32> ids;

        work.setSql(QStringLiteral("update zvonisty set jmeno = 'Zzzz' where id <= 1000"));
        work.execSql();
        QVERIFY(!index->complete());
        QVERIFY(!index->resolve(search, &ids));
        // Read again by itself once the writing has stopped.
        QTRY_VERIFY_WITH_TIMEOUT(index->complete(), 10000);
        QVERIFY(index->resolve(search, &ids));
        QCOMPARE(ids.size(), size_t(1000));
        QCOMPARE(ids, EngineIds(*m_connection, statement));

        work.setSql(QStringLiteral("begin"));
        work.execSql();
        work.setSql(QStringLiteral("update zvonisty set jmeno = 'Ozzz' where id = 2000"));
        work.execSql();
        QVERIFY(index->resolve(search, &ids));
        QCOMPARE(ids, EngineIds(*m_connection, statement));
        work.setSql(QStringLiteral("rollback"));
        work.execSql();
        QVERIFY(!index->resolve(search, &ids));
        index->buildNow();
        QVERIFY(index->resolve(search, &ids));
        QCOMPARE(ids, EngineIds(*m_connection, statement));

        // Many contacts added after all others are read as the writer tells of them, the orders
        // once it has stopped; a search meanwhile reads at once what it needs. A writer of many
        // contacts that changed others as well gives the index back until it can read it again.
        work.setSql(QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) select telefon, 'Zzz ' || "
                                   "jmeno, skupina from zvonisty where id <= 1000"));
        work.execSql();
        db::SearchIndex::Wrote(m_connection.get(), 10);
        QVERIFY(!index->complete());
        db::SearchIndex::Wrote(m_connection.get(), 1000);
        QVERIFY(index->resolve(search, &ids));
        QCOMPARE(ids, EngineIds(*m_connection, statement));
        QTRY_VERIFY_WITH_TIMEOUT(index->complete(), 10000);
        compareRandom(index, 100, 9);
        work.setSql(QStringLiteral("update zvonisty set jmeno = 'Zzz' where id between 1500 and 1800"));
        work.execSql();
        db::SearchIndex::Wrote(m_connection.get(), 1000);
        QVERIFY(!index->complete());
        QVERIFY(!index->resolve(search, &ids));
        QTRY_VERIFY_WITH_TIMEOUT(index->complete(), 10000);
        QVERIFY(index->resolve(search, &ids));
        QCOMPARE(ids, EngineIds(*m_connection, statement));

        work.setSql(QStringLiteral("delete from zvonisty"));
        work.execSql();
        QVERIFY(!index->resolve(search, &ids));
        index->buildNow();
        QVERIFY(index->resolve(search, &ids));
        QVERIFY(ids.empty());
    }

    // Rows read on demand: the count at once, the same rows as reading them all, also when
    // a write ends the pending statement halfway.
    void rowsReadOnDemand()
    {
        const db::ContactSearch search =
            Search(0, QStringLiteral("a"), AllGroups(), QStringLiteral("telefon"), true);
        const std::vector<quint32> engine = EngineIds(*m_connection, db::BuildSearchStatement(search));
        for (const bool indexed : {false, true}) {
            if (indexed)
                db::SearchIndex::Attach(m_connection.get())->buildNow();
            db::Query query(m_connection.get());
            query.setSearch(search);
            query.open();
            QCOMPARE(query.recordCount(), int(engine.size()));
            QCOMPARE(query.text(0, 0).toLongLong(), engine.front());
            db::Query work(m_connection.get());
            work.setSql(QStringLiteral("update poznamky set pozn = 'x' where id = 0"));
            work.execSql();
            QCOMPARE(QueryIds(query), engine);
            query.setRecNo(query.recordCount());
            QCOMPARE(query.fieldInt(u"id"), int(engine.back()));
            QCOMPARE(query.isNull(query.recordCount(), 0), true);
        }
    }

    // Without the index the engine counts a search without its order; the count is that of
    // the rows, also when the searched text itself holds "order by". A search while the index is
    // still to be read, or while it takes many added contacts over, gives the same rows: the
    // first ones from the engine, all of them once the index or the engine has counted them.
    void engineCountsSearches_data()
    {
        QTest::addColumn<db::ContactSearch>("search");
        QTest::addColumn<QString>("index");
        QTest::newRow("or of likes") << Search(5, QStringLiteral("no"), AllGroups(), QStringLiteral("email"),
                                               true)
                                     << "";
        QTest::newRow("group") << Search(0, QStringLiteral("a"), QStringLiteral("O'Neill"),
                                         QStringLiteral("jmeno"))
                               << "";
        QTest::newRow("text with order by")
            << Search(1, QStringLiteral("x order by jmeno"), AllGroups(), QStringLiteral("poznamka")) << "";
        QTest::newRow("sort") << Search(2, QStringLiteral("60"), QStringLiteral("Práce"),
                                        QStringLiteral("organizace"), true,
                                        db::ContactSearch::Form::TitleClick)
                              << "";
        QTest::newRow("or of likes, index not read yet")
            << Search(5, QStringLiteral("no"), AllGroups(), QStringLiteral("email"), true) << "attached";
        QTest::newRow("one column, index not read yet")
            << Search(0, QStringLiteral("a"), QStringLiteral("Práce"), QStringLiteral("jmeno")) << "attached";
        QTest::newRow("digits, index not read yet")
            << Search(2, QStringLiteral("60"), AllGroups(), QStringLiteral("telefon")) << "attached";
        QTest::newRow("or of likes, contacts added")
            << Search(5, QStringLiteral("no"), AllGroups(), QStringLiteral("jmeno")) << "added";
        QTest::newRow("sort, contacts added")
            << Search(0, QStringLiteral("k"), QStringLiteral("Rodina"), QStringLiteral("organizace"), true,
                      db::ContactSearch::Form::TitleClick)
            << "added";
        QTest::newRow("one column, contacts still being added")
            << Search(0, QStringLiteral("a"), QStringLiteral("Práce"), QStringLiteral("jmeno")) << "adding";
        QTest::newRow("digits, contacts still being added")
            << Search(2, QStringLiteral("60"), AllGroups(), QStringLiteral("telefon")) << "adding";
    }

    void engineCountsSearches()
    {
        QFETCH(db::ContactSearch, search);
        QFETCH(QString, index);
        QCOMPARE(sqlite3_exec(m_connection->handle(),
                              "update zvonisty set poznamka = 'x order by jmeno' where id % 9 = 0", nullptr,
                              nullptr, nullptr),
                 SQLITE_OK);
        if (!index.isEmpty())
            db::SearchIndex::Attach(m_connection.get());
        const bool adding = index == QLatin1String("adding");
        if (index == QLatin1String("added") || adding) {
            db::SearchIndex::Of(m_connection.get())->buildNow();
            QCOMPARE(
                sqlite3_exec(m_connection->handle(),
                             "insert into zvonisty (telefon, jmeno, poznamka, organizace, skupina) select "
                             "telefon, poznamka, jmeno, email, skupina from zvonisty where id % 3 = 0",
                             nullptr, nullptr, nullptr),
                SQLITE_OK);
        }
        db::SearchIndex::MoreToCome(m_connection.get(), adding);
        db::Query query(m_connection.get());
        query.setSearch(search);
        query.open();
        const std::vector<quint32> engine = EngineIds(*m_connection, query.sql());
        QVERIFY(engine.size() > 64);
        // Every row to be read is not waited for: the first rows at once, the rest once counted,
        // by the index as soon as it has read them, or by the engine when asked. Added contacts
        // alone are read at once, unless their writer has not finished.
        QCOMPARE(query.counting(), index == QLatin1String("attached") || adding);
        if (adding) {
            QTest::qWait(100); // the count is asked for meanwhile, and does not read either
            QVERIFY(query.counting());
            db::SearchIndex::MoreToCome(m_connection.get(), false);
        }
        // One column's search is asked for its count at once, which the engine gives.
        const bool waited = query.counting() && search.column != 0;
        if (query.counting()) {
            // As many as were found in a short while, at most a block.
            QVERIFY(query.knownCount() <= 64);
            for (int row = 0; row < query.knownCount(); ++row)
                QCOMPARE(query.text(row, 0).toUInt(), engine[size_t(row)]);
            if (waited)
                QTRY_VERIFY_WITH_TIMEOUT(!query.counting(), 10000);
        }
        QCOMPARE(QueryIds(query), engine);
        // Answered from memory once the index has read them.
        std::vector<quint32> ids;
        QCOMPARE(!index.isEmpty() && db::SearchIndex::Of(m_connection.get())->resolve(search, &ids),
                 index == QLatin1String("added") || adding || waited);
        QVERIFY(ids.empty() || ids == engine);
    }

    // Without the index the engine ignores accents for a search that asks it to, and compares
    // them again for the next one that does not.
    void engineIgnoresAccentsWhenAsked()
    {
        db::Query query(m_connection.get());
        QList<int> found;
        for (const bool plain : {true, false}) {
            m_plain = plain;
            query.setSearch(Search(0, QStringLiteral("cermak"), AllGroups(), QStringLiteral("jmeno")));
            query.open();
            found << query.recordCount();
        }
        QVERIFY2(found[0] > found[1] && found[1] > 0,
                 qPrintable(QStringLiteral("%1 %2").arg(found[0]).arg(found[1])));
    }

    // A long result whose reading a write interrupts is read on by running the statement again.
    void longResultReadOnAfterWrite()
    {
        db::Query work(m_connection.get());
        for (int i = 0; i < 4; ++i) {
            work.setSql(QStringLiteral(
                "insert into zvonisty (jmeno, email, skupina) select jmeno, email, skupina from zvonisty"));
            work.execSql();
        }
        const QString statement = QStringLiteral("select * from zvonisty order by email desc");
        const std::vector<quint32> engine = EngineIds(*m_connection, statement);
        QVERIFY(engine.size() > 30000);
        db::Query query(m_connection.get());
        query.setSql(statement);
        query.open();
        QCOMPARE(query.recordCount(), int(engine.size()));
        QCOMPARE(query.text(10, 0).toUInt(), engine[10]);
        work.setSql(QStringLiteral("update poznamky set pozn = 'x' where id = 0"));
        work.execSql();
        for (int row = 0; row < query.recordCount(); row += 997)
            QCOMPARE(query.text(row, 0).toUInt(), engine[size_t(row)]);
        QCOMPARE(query.text(query.recordCount() - 1, 0).toUInt(), engine.back());
    }

    // The copy kept at a clean close is taken over at the next opening, changes in place
    // included; a file changed by another program since, or a copy damaged, is read again.
    void copyKeptAtClose_data()
    {
        QTest::addColumn<int>("afterClose");
        QTest::addColumn<bool>("taken");
        QTest::newRow("untouched") << 0 << true;
        QTest::newRow("file changed by another program") << 1 << false;
        QTest::newRow("copy cut short") << 2 << false;
        QTest::newRow("copy with an entry out of range") << 3 << false;
    }

    void copyKeptAtClose()
    {
        QFETCH(int, afterClose);
        QFETCH(bool, taken);
        db::SearchIndex* index = db::SearchIndex::Attach(m_connection.get());
        index->buildNow();
        db::Query work(m_connection.get());
        for (const char* statement :
             {"update zvonisty set jmeno = 'Zelený' where id = 7", "delete from zvonisty where id in (9, 10)",
              "update zvonisty set skupina = 'Nová' where id = 2000"}) {
            work.setSql(QString::fromUtf8(statement));
            work.execSql();
        }
        compareRandom(index, 20, 3);
        QVERIFY(!index->fromCopy());
        const QString path = m_connection->openedPath();
        const QString copy = db::SearchIndex::CopyPath(path);
        m_connection.reset();
        QVERIFY(QFile::exists(copy));
        if (afterClose == 1) {
            sqlite3* other = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &other), SQLITE_OK);
            db::RegisterEngine(other);
            QCOMPARE(sqlite3_exec(other, "update zvonisty set jmeno = 'Jiný' where id = 11", nullptr, nullptr,
                                  nullptr),
                     SQLITE_OK);
            sqlite3_close(other);
        } else if (afterClose > 1) {
            QFile file(copy);
            QVERIFY(file.open(QIODevice::ReadWrite));
            if (afterClose == 2) {
                QVERIFY(file.resize(file.size() - 100));
            } else {
                // The copy ends with where the last column's texts begin: past their end.
                QVERIFY(file.seek(file.size() - 4));
                file.write(QByteArray(4, char(0x7F)));
            }
        }
        m_connection = testsupport::OpenDefaultDirectory();
        index = db::SearchIndex::Attach(m_connection.get());
        index->buildNow();
        QCOMPARE(index->fromCopy(), taken);
        compareRandom(index, 300, 4);
        // Closed again: a copy taken over is stamped anew, one read from the file written anew.
        m_connection.reset();
        m_connection = testsupport::OpenDefaultDirectory();
        index = db::SearchIndex::Attach(m_connection.get());
        index->buildNow();
        QVERIFY(index->fromCopy());
        compareRandom(index, 50, 5);
        m_connection.reset();
        QFile::remove(copy);
    }

    // Closing the connection ends the statements still being read, so the file is free again.
    void closingEndsReading()
    {
        db::SearchIndex::Attach(m_connection.get());
        const QString statement = QStringLiteral("select * from zvonisty order by email");
        const std::vector<quint32> engine = EngineIds(*m_connection, statement);
        db::Query query(m_connection.get());
        query.setSql(statement);
        query.open();
        QVERIFY(!query.text(0, 0).isEmpty());
        m_connection->close();
        // A short result stays readable to its end.
        QCOMPARE(query.text(2000, 0).toUInt(), engine[2000]);
        db::Connection again;
        again.setConnectionString(db::Connection::DefaultConnectionString());
        again.open();
        db::Query work(&again);
        work.setSql(QStringLiteral("update zvonisty set jmeno = 'x' where id = 1"));
        work.execSql();
    }
};

QTEST_GUILESS_MAIN(TestSearchIndex)
#include "test_searchindex.moc"
