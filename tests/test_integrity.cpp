// A directory file checked at opening: damage found without slowing a normal start, foreign
// files refused untouched, files of other tools brought to the program's own form.
#include "app/TMain.h"
#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/engine/FileState.h"
#include "db/contacts/Query.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/MessageDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

using db::Connection;
using db::EngineError;
using testsupport::Column;
using testsupport::Parts;
using testsupport::Sandbox;

namespace {

// Builds a file as another tool would: the plain engine, without the program's comparison.
void WriteForeignFile(const QString& path, const QStringList& statements, bool fresh = true)
{
    if (fresh)
        QFile::remove(path);
    sqlite3* handle = nullptr;
    QVERIFY(sqlite3_open(QFile::encodeName(path).constData(), &handle) == SQLITE_OK);
    for (const QString& s : statements) {
        char* message = nullptr;
        const int rc = sqlite3_exec(handle, s.toUtf8().constData(), nullptr, nullptr, &message);
        if (rc != SQLITE_OK)
            qFatal("%s: %s", qPrintable(s), message);
    }
    sqlite3_close(handle);
}

const QString kForeignContacts = QStringLiteral(
    "create table zvonisty (id integer primary key, telefon text, jmeno text, email text, poznamka text, "
    "datum text, organizace text, skupina text, mobil text)");
const QString kForeignNotes = QStringLiteral("create table poznamky (id integer, pozn text, dat datetime)");

QString DefaultString()
{
    return Connection::DefaultConnectionString();
}

// Fills one page of the file with garbage.
void SpoilPage(const QString& path, int page, int pageSize)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek(qint64(page - 1) * pageSize));
    f.write(QByteArray(pageSize, '\xa5'));
}

} // namespace

class TestIntegrity : public QObject
{
    Q_OBJECT

    // A directory of many contacts, closed cleanly by the program.
    void createFilled(Sandbox& box, int contacts)
    {
        QStringList inserts{QStringLiteral("begin")};
        for (int i = 0; i < contacts; ++i)
            inserts << QStringLiteral(
                           "insert into zvonisty (telefon, jmeno, skupina) values ('%1', 'Jméno %1 "
                           "s textem, který zabere místo', 'Skupina %2')")
                           .arg(i)
                           .arg(i % 7);
        inserts << QStringLiteral("commit");
        box.createDirectory(4, inserts);
    }

private Q_SLOTS:
    void cleanCloseSkipsTheCheck()
    {
        Sandbox box;
        box.createDirectory();
        Connection c;
        c.setConnectionString(DefaultString());
        c.open();
        QVERIFY(!c.checkedIntegrity());
        QVERIFY(!c.readOnly());
        c.close();
        c.open();
        QVERIFY(!c.checkedIntegrity());
    }

    void uncleanCloseOrOutsideChangeRunsTheCheck()
    {
        Sandbox box;
        box.createDirectory();
        // A program that ends without closing the file, as when it is killed.
        const pid_t pid = fork();
        if (pid == 0) {
            auto* c = new Connection;
            c->setConnectionString(DefaultString());
            try {
                c->open();
                testsupport::Exec(c, QStringLiteral("insert into zvonisty (telefon) values ('1')"));
            } catch (...) {
                _exit(2);
            }
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        Connection c;
        c.setConnectionString(DefaultString());
        c.open();
        QVERIFY(c.checkedIntegrity());
        QVERIFY(!c.readOnly());
        QCOMPARE(Column(&c, QStringLiteral("select telefon from zvonisty"), QStringLiteral("telefon")),
                 QStringList{QStringLiteral("1")});
    }

    // What another program did to a file closed cleanly shows even with the file's time put back.
    void outsideChangeWithItsTimeRestored_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("time touched") << "touch" << true << "read-write";
        QTest::newRow("written by another program") << "write" << true << "read-write";
        QTest::newRow("damaged by another program") << "write spoil" << true << "damaged";
        QTest::newRow("grown by another program") << "grow" << true << "read-write";
        QTest::newRow("cut short") << "cut" << false << "refused";
        QTest::newRow("closed by an older version") << "older" << true << "read-write";
    }
    void outsideChangeWithItsTimeRestored()
    {
        QFETCH(QString, change);
        QFETCH(bool, checked);
        QFETCH(QString, outcome);
        Sandbox box;
        createFilled(box, 3000);
        const QByteArray name = QFile::encodeName(box.dbPath());
        struct stat closed;
        QVERIFY(stat(name.constData(), &closed) == 0);
        const QByteArray header = testsupport::ReadBytes(box.dbPath()).left(18);
        const int pageSize = (uchar(header.at(16)) << 8) | uchar(header.at(17));
        if (change.contains(QLatin1String("write")))
            WriteForeignFile(box.dbPath(), {QStringLiteral("pragma user_version = 5")}, false);
        if (change == QLatin1String("older"))
            WriteForeignFile(box.dbPath(),
                             {QStringLiteral("drop table stav_souboru"),
                              QStringLiteral("create table stav_souboru (uzavreno integer, zmeneno integer, "
                                             "razeni integer)"),
                              QStringLiteral("insert into stav_souboru values (1, %1, %2)")
                                  .arg(closed.st_mtim.tv_sec)
                                  .arg(db::kCollationVersion)},
                             false);
        if (change.contains(QLatin1String("spoil")))
            SpoilPage(box.dbPath(), int(closed.st_size / pageSize), pageSize);
        if (change == QLatin1String("grow") || change == QLatin1String("cut"))
            QVERIFY(truncate(name.constData(),
                             closed.st_size + (change == QLatin1String("cut") ? -pageSize : pageSize)) == 0);
        struct timespec times[2] = {closed.st_atim, closed.st_mtim};
        if (change == QLatin1String("touch"))
            times[1].tv_sec += 100;
        QVERIFY(utimensat(AT_FDCWD, name.constData(), times, 0) == 0);

        Connection c;
        c.setConnectionString(DefaultString());
        try {
            c.open();
        } catch (const EngineError& e) {
            // Told, in Czech, and nothing is written.
            QCOMPARE(QStringLiteral("refused"), outcome);
            QCOMPARE(e.message(), QStringLiteral("Soubor databáze je poškozen."));
            return;
        }
        QCOMPARE(c.checkedIntegrity(), checked);
        QCOMPARE(c.access() == Connection::Access::ReadOnlyDamaged, outcome == QLatin1String("damaged"));
        QCOMPARE(c.readOnly(), outcome != QLatin1String("read-write"));
        if (outcome != QLatin1String("read-write"))
            return;
        // The clean close of this opening is trusted again.
        c.close();
        c.open();
        QVERIFY(!c.checkedIntegrity());
    }

    // Bytes overwritten in place, with the time put back, change neither time, counter nor size:
    // only the inode's own time, which nothing can set, tells them.
    void untouchedSinceClose_data()
    {
        QTest::addColumn<qint64>("counter");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("modified");
        QTest::addColumn<qint64>("inodeChanged");
        QTest::addColumn<bool>("trusted");
        const qint64 closed = 1'800'000'000;
        QTest::newRow("as the close left it") << 7LL << 4096LL << closed << closed + 1 << true;
        QTest::newRow("slow close") << 7LL << 4096LL << closed << closed + 50 << true;
        QTest::newRow("overwritten later, time put back")
            << 7LL << 4096LL << closed << closed + 3600 << false;
        QTest::newRow("a copy made a day later") << 7LL << 4096LL << closed << closed + 86400 << false;
        QTest::newRow("counter raised") << 8LL << 4096LL << closed << closed + 1 << false;
        QTest::newRow("size changed") << 7LL << 8192LL << closed << closed + 1 << false;
        QTest::newRow("time changed") << 7LL << 4096LL << closed + 2 << closed + 1 << false;
        QTest::newRow("inode time unreadable") << 7LL << 4096LL << closed << -1LL << false;
    }
    void untouchedSinceClose()
    {
        QFETCH(qint64, counter);
        QFETCH(qint64, size);
        QFETCH(qint64, modified);
        QFETCH(qint64, inodeChanged);
        QFETCH(bool, trusted);
        const db::FileStamp recorded{7, 4096, 1'800'000'000};
        QCOMPARE(db::UntouchedSinceClose(recorded, db::FileStamp{counter, size, modified}, inodeChanged),
                 trusted);
        QVERIFY(!db::UntouchedSinceClose(db::FileStamp{}, db::FileStamp{}, inodeChanged));
    }

    void damagedIndexOpensReadOnly()
    {
        // An index the start-up does not read, so that what is seen is the check's finding alone.
        Sandbox box;
        createFilled(box, 3000);
        int rootPage = 0, pageSize = 0;
        {
            Connection c;
            c.setConnectionString(DefaultString());
            c.open();
            rootPage =
                Column(&c,
                       QStringLiteral("select rootpage from sqlite_master where name = 'ix_zvonisty_email'"),
                       QStringLiteral("rootpage"))
                    .value(0)
                    .toInt();
            pageSize =
                Column(&c, QStringLiteral("pragma page_size"), QStringLiteral("page_size")).value(0).toInt();
        }
        QVERIFY(rootPage > 1 && pageSize >= 512);
        SpoilPage(box.dbPath(), rootPage, pageSize);
        const QByteArray spoilt = testsupport::FileHash(box.dbPath());

        {
            Connection c;
            c.setConnectionString(DefaultString());
            c.open();
            QCOMPARE(c.access(), Connection::Access::ReadOnlyDamaged);
            QVERIFY(!c.damage().isEmpty());
            QVERIFY_THROWS_EXCEPTION(
                EngineError,
                testsupport::Exec(&c, QStringLiteral("insert into zvonisty (telefon) values ('x')")));
        }
        QCOMPARE(testsupport::FileHash(box.dbPath()), spoilt);
        QCOMPARE(box.errorLogLines().size(), 1);
        QVERIFY(box.errorLogLines().first().contains(QStringLiteral("quick_check")));

        // The main window says so once, in its caption and one message, and takes no changes.
        MessageDialogSeam::clearShown();
        TMain w;
        QVERIFY(w.started());
        QVERIFY(w.readOnly());
        QVERIFY2(w.windowTitle().endsWith(QStringLiteral(" (jen pro čtení)")), qPrintable(w.windowTitle()));
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QCOMPARE(MessageDialogSeam::shown().first().icon, 2);
        QVERIFY(MessageDialogSeam::shown().first().text.startsWith(
            QStringLiteral("Soubor Zvonisty.mdb je poškozen, proto je otevřen jen pro čtení")));
        QCOMPARE(testsupport::FileHash(box.dbPath()), spoilt);
    }

    void foreignFilesAreRefusedUntouched_data()
    {
        QTest::addColumn<QStringList>("schema");
        QTest::addColumn<QString>("missing");
        QTest::newRow("other contacts columns")
            << QStringList{QStringLiteral(
                               "create table zvonisty (id integer primary key, telefon text, nazev text)"),
                           kForeignNotes}
            << "v tabulce zvonisty chybí sloupec jmeno";
        QTest::newRow("no notes") << QStringList{kForeignContacts} << "chybí v něm tabulka poznamky";
        QTest::newRow("other notes columns")
            << QStringList{kForeignContacts, QStringLiteral("create table poznamky (id integer, text text)")}
            << "v tabulce poznamky chybí sloupec pozn";
        QTest::newRow("other version table")
            << QStringList{kForeignContacts, kForeignNotes, QStringLiteral("create table verze (cislo text)")}
            << "v tabulce verze chybí sloupec db";
        QTest::newRow("other layout table")
            << QStringList{kForeignContacts, kForeignNotes,
                           QStringLiteral("create table verze (DB numeric, dat_zmena datetime)"),
                           QStringLiteral("create table sloupce (id text, sirka integer)")}
            << "v tabulce sloupce chybí sloupec telefon";
    }
    void foreignFilesAreRefusedUntouched()
    {
        QFETCH(QStringList, schema);
        QFETCH(QString, missing);
        Sandbox box;
        WriteForeignFile(box.dbPath(), schema + QStringList{QStringLiteral(
                                                    "insert into zvonisty (id, telefon) values (1, '603')")});
        const QByteArray before = testsupport::FileHash(box.dbPath());
        Connection c;
        c.setConnectionString(DefaultString());
        try {
            c.open();
            QFAIL("a foreign file was opened");
        } catch (const EngineError& e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Soubor není databází telefonního seznamu: ")),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(missing), qPrintable(e.message()));
        }
        QCOMPARE(testsupport::FileHash(box.dbPath()), before);
        QVERIFY(QDir(box.path()).entryList({QStringLiteral("Zvonisty.mdb-*")}, QDir::Files).isEmpty());
    }

    void otherToolsFileIsRebuilt()
    {
        Sandbox box;
        QStringList statements{kForeignContacts, kForeignNotes};
        const QStringList names = {QStringLiteral("Šimek"),   QStringLiteral("adam"),
                                   QStringLiteral("Čapek"),   QStringLiteral("Hora"),
                                   QStringLiteral("chalupa"), QStringLiteral("Zeman")};
        const QStringList groups = {QStringLiteral("RODINA"), QStringLiteral("Rodina"),
                                    QStringLiteral("Práce"),  QStringLiteral("rodina"),
                                    QStringLiteral("Práce"),  QStringLiteral("PRÁCE")};
        for (int i = 0; i < names.size(); ++i)
            statements << QStringLiteral(
                              "insert into zvonisty (id, telefon, jmeno, skupina, mobil) values (%1, '60%1', "
                              "'%2', '%3', 'm%1')")
                              .arg(10 * (i + 1))
                              .arg(names[i], groups[i]);
        statements << QStringLiteral(
            "insert into poznamky (id, pozn, dat) values (30, 'o Čapkovi', '1.2.2003 4:05:06')");
        WriteForeignFile(box.dbPath(), statements);

        TMain w;
        QVERIFY(w.started());
        QVERIFY(!w.readOnly());
        QVERIFY(MessageDialogSeam::shown().isEmpty());
        QVERIFY(box.errorLog().isEmpty());
        db::Connection* c = Parts(w).ADOConnection1;
        // Czech order, and every row keeps its id and its other values.
        QCOMPARE(
            Column(c, QStringLiteral("select jmeno from zvonisty order by jmeno"), QStringLiteral("jmeno")),
            (QStringList{QStringLiteral("adam"), QStringLiteral("Čapek"), QStringLiteral("Hora"),
                         QStringLiteral("chalupa"), QStringLiteral("Šimek"), QStringLiteral("Zeman")}));
        QCOMPARE(
            Column(c, QStringLiteral("select id from zvonisty where jmeno = 'ČAPEK'"), QStringLiteral("id")),
            QStringList{QStringLiteral("30")});
        QCOMPARE(
            Column(c, QStringLiteral("select mobil from zvonisty where id = 60"), QStringLiteral("mobil")),
            QStringList{QStringLiteral("m60")});
        QCOMPARE(Column(c, QStringLiteral("select pozn from poznamky where id = 30"), QStringLiteral("pozn")),
                 QStringList{QStringLiteral("o Čapkovi")});
        // Groups differing in case are one group.
        QCOMPARE(Parts(w).VyberSkupinu->count(), 3);
        // A deleted contact's id is never given again, and a note gets its date.
        testsupport::Exec(c, QStringLiteral("delete from zvonisty where id = 60"));
        testsupport::Exec(c, QStringLiteral("insert into zvonisty (telefon, jmeno) values ('1', 'Nový')"));
        QCOMPARE(
            Column(c, QStringLiteral("select id from zvonisty where jmeno = 'Nový'"), QStringLiteral("id")),
            QStringList{QStringLiteral("61")});
        testsupport::Exec(c, QStringLiteral("insert into poznamky (id, pozn) values (61, 'nová')"));
        QVERIFY(!Column(c, QStringLiteral("select dat from poznamky where id = 61"), QStringLiteral("dat"))
                     .value(0)
                     .isEmpty());
        // Values wider than the program allows are still refused.
        QVERIFY_THROWS_EXCEPTION(
            EngineError,
            testsupport::Exec(
                c, QStringLiteral("update zvonisty set skupina = '%1'").arg(QString(21, QLatin1Char('x')))));
    }

    // Another tool's values longer than the program allows: the field keeps what fits, the rest
    // is a dated note of the contact, and the user is told how many contacts this concerned.
    void overlongValuesAreKeptInNotes_data()
    {
        QTest::addColumn<QStringList>("inserts");
        QTest::addColumn<int>("contacts");
        QTest::addColumn<QStringList>("notes");
        const QString name = QString(150, QLatin1Char('j'));
        QTest::newRow("one name")
            << QStringList{QStringLiteral(
                               "insert into zvonisty (id, telefon, jmeno) values (7, '1', '%1konec')")
                               .arg(name)}
            << 1
            << QStringList{QStringLiteral(
                   "7 Při převodu souboru se do pole Jméno (nejvýše 150 znaků) nevešlo: konec")};
        QTest::newRow("two fields of one contact, another contact")
            << QStringList{QStringLiteral(
                               "insert into zvonisty (id, telefon, skupina) values (3, '123456789012345678901"
                               "2', 'Přátelé ze základní školy')"),
                           QStringLiteral("update zvonisty set email = '%1@b.cz' where id = 3")
                               .arg(QString(48, QLatin1Char('a'))),
                           QStringLiteral("insert into zvonisty (id, telefon, mobil) values (4, '2', '%1')")
                               .arg(QString(300, QLatin1Char('m'))),
                           QStringLiteral(
                               "insert into zvonisty (id, telefon, organizace) values (5, '3', 'Firma')")}
            << 1
            << QStringList{
                   QStringLiteral("3 Při převodu souboru se do pole Email (nejvýše 50 znaků) nevešlo: .cz"),
                   QStringLiteral(
                       "3 Při převodu souboru se do pole Skupina (nejvýše 20 znaků) nevešlo: školy"),
                   QStringLiteral("3 Při převodu souboru se do pole Telefon (nejvýše 20 znaků) nevešlo: 12")};
        QTest::newRow("nothing too long")
            << QStringList{QStringLiteral("insert into zvonisty (telefon) values ('1')")} << 0
            << QStringList();
    }
    void overlongValuesAreKeptInNotes()
    {
        QFETCH(QStringList, inserts);
        QFETCH(int, contacts);
        QFETCH(QStringList, notes);
        Sandbox box;
        WriteForeignFile(box.dbPath(), QStringList{kForeignContacts, kForeignNotes} + inserts);
        QStringList whole;
        {
            sqlite3* raw = nullptr;
            QVERIFY(sqlite3_open(QFile::encodeName(box.dbPath()).constData(), &raw) == SQLITE_OK);
            sqlite3_stmt* stmt = nullptr;
            QVERIFY(sqlite3_prepare_v2(
                        raw, "select telefon, jmeno, email, skupina, mobil from zvonisty order by id", -1,
                        &stmt, nullptr) == SQLITE_OK);
            while (sqlite3_step(stmt) == SQLITE_ROW)
                for (int i = 0; i < 5; ++i) {
                    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                    whole << (text ? QString::fromUtf8(text) : QStringLiteral(""));
                }
            sqlite3_finalize(stmt);
            sqlite3_close(raw);
        }

        TMain w;
        QVERIFY(w.started());
        QVERIFY(!w.readOnly());
        const QStringList shown = testsupport::MessagesShown();
        if (contacts == 0) {
            QCOMPARE(shown, QStringList());
        } else {
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown.first().contains(QStringLiteral("Počet dotčených kontaktů: %1.").arg(contacts)),
                     qPrintable(shown.first()));
        }
        db::Connection* c = Parts(w).ADOConnection1;
        QCOMPARE(Column(c,
                        QStringLiteral(
                            "select id || ' ' || pozn as n from poznamky where dat is not null and dat <> "
                            "'' order by id, pozn"),
                        QStringLiteral("n")),
                 notes);
        // Each value is what was kept in its field followed by what went into the note.
        QStringList kept;
        for (const QString& row :
             Column(c,
                    QStringLiteral("select telefon || '|' || ifnull(jmeno, '') || '|' || "
                                   "ifnull(email, '') || '|' || ifnull(skupina, '') || '|' "
                                   "|| ifnull(mobil, '') as r from zvonisty order by id"),
                    QStringLiteral("r")))
            kept << row.split(QLatin1Char('|'));
        QCOMPARE(kept.size(), whole.size());
        for (int i = 0; i < whole.size(); ++i) {
            QVERIFY2(whole[i].startsWith(kept[i]), qPrintable(whole[i] + QLatin1String(" / ") + kept[i]));
            if (kept[i] != whole[i])
                QVERIFY(notes.join(QLatin1Char('\n')).contains(whole[i].mid(kept[i].size())));
        }
    }

    void fileThatCannotBeRebuiltIsLeftAsItWas()
    {
        Sandbox box;
        // Another tool's view in the name the rebuild needs for a moment.
        WriteForeignFile(box.dbPath(),
                         {kForeignContacts, kForeignNotes,
                          QStringLiteral("insert into zvonisty (telefon, jmeno) values ('1', '%1')")
                              .arg(QString(151, QLatin1Char('x'))),
                          QStringLiteral("create view zvonisty_nova as select 1")});
        const QByteArray before = testsupport::FileHash(box.dbPath());
        Connection c;
        c.setConnectionString(DefaultString());
        try {
            c.open();
            QFAIL("a file that could not be rebuilt was opened");
        } catch (const EngineError& e) {
            QVERIFY2(
                e.message().startsWith(QStringLiteral("Soubor nelze převést do tvaru tohoto programu: ")),
                qPrintable(e.message()));
        }
        QCOMPARE(testsupport::FileHash(box.dbPath()), before);
    }
};

QTEST_MAIN(TestIntegrity)
#include "test_integrity.moc"
