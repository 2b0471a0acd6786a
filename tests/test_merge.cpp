// Adding the new numbers of another directory file.
#include "app/AppContext.h"
#include "app/TMain.h"
#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/contacts/Query.h"
#include "db/contacts/RecordStatements.h"
#include "db/contacts/Upgrade.h"
#include "exchange/Merge.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using testsupport::Column;
using testsupport::Parts;
using testsupport::Sandbox;

namespace {

// A directory file of the given structure version at any path.
void MakeDirectoryFile(const QString& path, int version, const QStringList& statements)
{
    QString error;
    QVERIFY2(db::CreateDirectoryDatabase(path, &error), qPrintable(error));
    const QStringList all = UpgradeStatements(1);
    const int count = version >= 4 ? int(all.size()) : version == 3 ? 9 : version == 2 ? 4 : 0;
    db::Connection c;
    c.setConnectionString(testsupport::ConnectionStringFor(path));
    c.setFilePath(path);
    c.open();
    for (const QString& s : all.mid(0, count) + statements)
        testsupport::Exec(&c, s);
}

// Runs statements on a directory file through the engine alone, as another tool would; with
// `walKept`, a write-ahead journal is left behind unmerged into the file.
void RunAsAnotherTool(const QString& path, const QStringList& statements, bool walKept = false)
{
    sqlite3* handle = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &handle, SQLITE_OPEN_READWRITE, nullptr),
             SQLITE_OK);
    db::RegisterEngine(handle);
    QStringList all = statements;
    if (walKept) {
        sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        all.prepend(QStringLiteral("pragma wal_autocheckpoint = 0"));
    }
    for (const QString& s : all)
        QVERIFY2(sqlite3_exec(handle, s.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK,
                 sqlite3_errmsg(handle));
    sqlite3_close(handle);
}

// So many contacts of long names that the file spans many pages.
QString ManyContacts(int count, int firstNumber = 0)
{
    return QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) with recursive n(i) as (select %1 "
                          "union all select i + 1 from n where i < %2) select 'T' || i, printf('%.100c', "
                          "'x') || i, 'Hromadně' from n")
        .arg(firstNumber + 1)
        .arg(firstNumber + count);
}

QString Insert(const QString& telefon, const QString& jmeno, bool withIcqSkype)
{
    return withIcqSkype
               ? QStringLiteral("insert into zvonisty (telefon, jmeno, email, poznamka, datum, organizace, "
                                "skupina, icq, skype) values ('%1', '%2', 'm@x.cz', 'pozn', '1.1.2000', "
                                "'Org', 'Práce', '123', 'sk.%1')")
                     .arg(telefon, jmeno)
               : QStringLiteral("insert into zvonisty (telefon, jmeno, email, poznamka, datum, organizace, "
                                "skupina) values ('%1', '%2', 'm@x.cz', 'pozn', '1.1.2000', 'Org', 'Práce')")
                     .arg(telefon, jmeno);
}

} // namespace

class TestMerge : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;
    QTemporaryDir m_other;

    QString otherFile(const QString& name = QStringLiteral("jina.mdb")) const
    {
        return m_other.filePath(name);
    }

    // Every contact: telefon|jmeno|email|poznamka|datum|organizace|skupina|icq|skype.
    QStringList rows()
    {
        return Column(
            Parts(*m_w).ADOConnection1,
            QStringLiteral("select telefon || '|' || ifnull(jmeno, '') || '|' || ifnull(email, '') || '|' "
                           "|| ifnull(poznamka, '') || '|' || ifnull(datum, '') || '|' || "
                           "ifnull(organizace, '') || '|' || ifnull(skupina, '') || '|' || ifnull(icq, "
                           "'<null>') || '|' || ifnull(skype, '<null>') as r from zvonisty order by id"),
            QStringLiteral("r"));
    }

    void merge(const QString& path)
    {
        FileDialog::setNextFileName(path);
        Parts(*m_w).PidatzznamyzjinDBjennovsla1->trigger();
    }

    QStringList messages() const
    {
        QStringList list;
        for (const auto& r : MessageDialogSeam::shown())
            list << r.text;
        return list;
    }

    void start()
    {
        m_box->createDirectory(4, {QStringLiteral("insert into zvonisty (telefon, jmeno, datum) values "
                                                  "('111 222 333', 'Alois', '2.2.2002')")});
        m_w = testsupport::StartMain();
        QVERIFY(m_w->started());
    }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        QDir(m_other.path()).removeRecursively();
        QDir().mkpath(m_other.path());
    }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void everyStructureVersion_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QString>("icqSkype");
        QTest::newRow("1") << 1 << QStringList() << "<null>|<null>";
        QTest::newRow("1 with icq and skype columns")
            << 1
            << QStringList{"alter table zvonisty add icq varchar(15)",
                           "alter table zvonisty add skype varchar(50)"}
            << "<null>|<null>";
        QTest::newRow("2") << 2 << QStringList() << "123|sk.444 555 666";
        QTest::newRow("3") << 3 << QStringList() << "123|sk.444 555 666";
        QTest::newRow("4") << 4 << QStringList() << "123|sk.444 555 666";
    }
    void everyStructureVersion()
    {
        QFETCH(int, version);
        QFETCH(QStringList, extra);
        QFETCH(QString, icqSkype);
        const bool sourceHasIcq = version > 1 || !extra.isEmpty();
        MakeDirectoryFile(otherFile(), version,
                          extra + QStringList{Insert("111 222 333", "Alois jinde", sourceHasIcq),
                                              Insert("444 555 666", "Bára", sourceHasIcq)});
        start();
        const QByteArray sourceBefore = testsupport::FileHash(otherFile());
        QSignalSpy reopened(Parts(*m_w).ADOQuery1, &db::Query::afterOpen);
        QVERIFY(!m_w->groups().contains(QStringLiteral("Práce")));
        merge(otherFile());
        QCOMPARE(messages(), QStringList{"Počet přidaných položek: 1"});
        // The other file is only read: no index, marker or rebuild is written into it.
        QCOMPARE(testsupport::FileHash(otherFile()), sourceBefore);
        QCOMPARE(MessageDialogSeam::shown().first().icon, 0);
        QCOMPARE(MessageDialogSeam::shown().first().buttonSet, 0);
        QCOMPARE(FileDialog::shown().first().filter, QStringLiteral("Databáze Access|*.mdb"));
        const QString today = DateText(QDate::currentDate());
        QCOMPARE(rows(), (QStringList{"111 222 333|Alois|||2.2.2002|||<null>|<null>",
                                      "444 555 666|Bára|m@x.cz|pozn|" + today + "|Org|Práce|" + icqSkype}));
        QCOMPARE(reopened.count(), 1);
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("2"));
        QCOMPARE(Parts(*m_w).StatusBar1->currentMessage(),
                 QStringLiteral("Přidáno záznamů: 1, čísel již v seznamu: 1."));
        // The group filter offers the group the merge brought.
        QVERIFY(m_w->groups().contains(QStringLiteral("Práce")));

        // The other file was let go when the merge ended.
        db::Connection again;
        again.setConnectionString(testsupport::ConnectionStringFor(otherFile()));
        again.open();
        QVERIFY(again.connected());
    }

    void identicalFileLeavesTheGrid()
    {
        MakeDirectoryFile(otherFile(), 4, {Insert("111 222 333", "Alois", true)});
        start();
        QSignalSpy reopened(Parts(*m_w).ADOQuery1, &db::Query::afterOpen);
        merge(otherFile());
        QCOMPARE(messages(), QStringList{"Porovnávaný soubor je identický."});
        QCOMPARE(reopened.count(), 0);
        QCOMPARE(rows().size(), 1);
    }

    void numberTwiceAndWrittenDifferently()
    {
        MakeDirectoryFile(
            otherFile(), 4,
            {Insert("444 555 666", "První", true), Insert("444 555 666", "Druhý", true),
             Insert("111222333", "Bez mezer", true),
             QStringLiteral("insert into zvonisty (telefon, jmeno) values ('O''Brien '';--', '%_\\')")});
        start();
        merge(otherFile());
        QCOMPARE(messages(), QStringList{"Počet přidaných položek: 3"});
        QCOMPARE(Column(Parts(*m_w).ADOConnection1,
                        QStringLiteral("select telefon || '/' || jmeno as r from zvonisty "
                                       "order by id"),
                        QStringLiteral("r")),
                 (QStringList{"111 222 333/Alois", "444 555 666/První", "111222333/Bez mezer",
                              "O'Brien ';--/%_\\"}));
    }

    // A row the directory refuses is reported with its statement and the rows after it are
    // added; values go over byte for byte, also one that is not UTF-8.
    void refusedRowReportedOthersAdded()
    {
        MakeDirectoryFile(otherFile(), 4,
                          {Insert("444 555 666", "Odmítnutý", true),
                           QStringLiteral("insert into zvonisty (telefon, jmeno) values ('777 888 999', "
                                          "cast(x'4ac3' as text))")});
        m_box->createDirectory(
            4,
            {QStringLiteral("insert into zvonisty (telefon, jmeno, datum) values ('111 222 333', 'Alois', "
                            "'2.2.2002')"),
             QStringLiteral("create trigger odmitni before insert on zvonisty when new.jmeno = 'Odmítnutý' "
                            "begin select raise(abort, 'odmítnuto'); end")});
        m_w = testsupport::StartMain();
        QVERIFY(m_w->started());
        merge(otherFile());
        QCOMPARE(messages().size(), 2);
        QVERIFY2(messages().at(0).startsWith(QStringLiteral("Došlo k chybě! (kontaktuje prosím správce)")),
                 qPrintable(messages().at(0)));
        // The refused row is not counted: the message tells what was kept.
        QCOMPARE(messages().at(1), QStringLiteral("Počet přidaných položek: 1"));
        QCOMPARE(Parts(*m_w).StatusBar1->currentMessage(),
                 QStringLiteral("Přidáno záznamů: 1, čísel již v seznamu: 0."));
        const QStringList log = m_box->errorLogLines();
        QCOMPARE(log.size(), 1);
        QVERIFY2(log.first().endsWith(
                     QStringLiteral("values ('444 555 666', 'Odmítnutý', 'm@x.cz', 'pozn', '%1', 'Org', "
                                    "'Práce', '123', 'sk.444 555 666')")
                         .arg(DateText(QDate::currentDate()))),
                 qPrintable(log.first()));
        QCOMPARE(Column(Parts(*m_w).ADOConnection1,
                        QStringLiteral("select hex(jmeno) as r from zvonisty order by id"),
                        QStringLiteral("r")),
                 (QStringList{"416C6F6973", "4AC3"}));
    }

    // The chosen path goes to the engine whole: never a shorter one cut at a ";".
    void pathTakenAsItIs_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("decoy");
        QTest::newRow("semicolons, a file at the cut") << "a;b"
                                                       << "x;y.mdb" << true;
        QTest::newRow("semicolons, nothing at the cut") << "a;b"
                                                        << "x;y.mdb" << false;
        QTest::newRow("characters of addresses") << "c #?%41"
                                                 << "d=e&f%.mdb" << false;
    }
    void pathTakenAsItIs()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(bool, decoy);
        QVERIFY(QDir(m_other.path()).mkpath(folder));
        const QString chosen = otherFile(folder + QLatin1Char('/') + name);
        MakeDirectoryFile(chosen, 4, {Insert("444 555 666", "Vybraný", true)});
        if (decoy)
            MakeDirectoryFile(otherFile(QStringLiteral("a")), 4, {Insert("777 888 999", "Návnada", true)});
        start();
        merge(chosen);
        QCOMPARE(messages(), QStringList{"Počet přidaných položek: 1"});
        QCOMPARE(rows().size(), 2);
        QVERIFY2(rows().last().startsWith(QStringLiteral("444 555 666|Vybraný|")), qPrintable(rows().last()));
    }

    // Refused before anything opens it, saying what was chosen.
    void specialFileRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("what");
        QTest::newRow("pipe") << "fifo"
                              << "pojmenovaná roura";
        QTest::newRow("device") << "device"
                                << "zařízení";
        QTest::newRow("folder") << "folder"
                                << "složka";
        QTest::newRow("socket") << "socket"
                                << "soket";
    }
    void specialFileRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, what);
        QString path = otherFile(QStringLiteral("x.mdb"));
        int socketFd = -1;
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("device")) {
            path = QStringLiteral("/dev/zero");
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else {
            socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const QByteArray name = QFile::encodeName(path);
            QVERIFY(size_t(name.size()) < sizeof address.sun_path);
            qstrcpy(address.sun_path, name.constData());
            QCOMPARE(::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        }
        start();
        merge(path);
        if (socketFd >= 0)
            ::close(socketFd);
        QCOMPARE(
            messages(),
            QStringList{QStringLiteral("Nelze načíst %1: není to obyčejný soubor, ale %2.").arg(path, what)});
        QCOMPARE(rows().size(), 1);
    }

    // Checked before the first row is copied; nothing of a damaged file is taken.
    void damagedSourceRefused()
    {
        MakeDirectoryFile(otherFile(), 4, {ManyContacts(3000)});
        {
            QFile f(otherFile());
            QVERIFY(f.open(QIODevice::ReadWrite));
            const qint64 pageSize = 4096;
            QVERIFY(f.size() > 20 * pageSize);
            QVERIFY(f.seek(f.size() / pageSize / 2 * pageSize));
            f.write(QByteArray(pageSize, char(0xA5)));
        }
        start();
        merge(otherFile());
        QCOMPARE(messages(),
                 QStringList{"Srovnávaný soubor je poškozen, nebyla z něj přidána žádná položka."});
        QCOMPARE(rows().size(), 1);
    }

    // A row the engine cannot give stops the merge; what came before it is kept and counted.
    void unreadableRowStopsTheMerge()
    {
        MakeDirectoryFile(otherFile(), 4,
                          {Insert("444 555 666", "Před", true), Insert("777 888 999", "Nečitelný", true),
                           Insert("222 333 444", "Po", true),
                           QStringLiteral("alter table zvonisty add column vypocet generated always as (case "
                                          "when jmeno = 'Nečitelný' then abs(-9223372036854775807 - 1) end) "
                                          "virtual")});
        start();
        merge(otherFile());
        QCOMPARE(messages().size(), 1);
        QVERIFY2(
            messages().first().startsWith(QStringLiteral("Přidávání bylo zastaveno: položku srovnávaného "
                                                         "souboru nelze přečíst (")) &&
                messages().first().endsWith(QStringLiteral("). Počet přidaných položek: 1")),
            qPrintable(messages().first()));
        QCOMPARE(rows().size(), 2);
        QVERIFY(Parts(*m_w).StatusBar1->currentMessage().startsWith(
            QStringLiteral("Přidávání bylo zastaveno: ")));
        QCOMPARE(m_box->errorLogLines().size(), 1);
    }

    // A full disk stops the merge; the message and the status bar tell what was kept, and why.
    void fullDiskStopsWithTrueCount_data()
    {
        QTest::addColumn<bool>("atCommit");
        QTest::newRow("a row finds the file full") << false;
        QTest::newRow("the commit fails") << true;
    }
    void fullDiskStopsWithTrueCount()
    {
        QFETCH(bool, atCommit);
        MakeDirectoryFile(otherFile(), 4, {ManyContacts(3000)});
        start();
        sqlite3* handle = Parts(*m_w).ADOConnection1->handle();
        struct rlimit old
        {
        };
        const auto previousSignal = signal(SIGXFSZ, SIG_IGN);
        if (atCommit) {
            // The file may not grow by more than a few pages, root or not.
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            struct rlimit small = old;
            small.rlim_cur = rlim_t(QFileInfo(m_box->dbPath()).size() + 3 * 4096);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        } else {
            const QStringList pages = Column(Parts(*m_w).ADOConnection1, QStringLiteral("pragma page_count"),
                                             QStringLiteral("page_count"));
            QVERIFY(sqlite3_exec(handle,
                                 QByteArray("pragma max_page_count = " +
                                            QByteArray::number(pages.value(0).toInt() + 40))
                                     .constData(),
                                 nullptr, nullptr, nullptr) == SQLITE_OK);
        }
        merge(otherFile());
        if (atCommit)
            setrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, previousSignal);

        const int kept = int(rows().size()) - 1;
        QVERIFY(kept < 3000);
        QCOMPARE(messages().size(), 2);
        QVERIFY2(messages().at(0).startsWith(QStringLiteral("Došlo k chybě! (kontaktuje prosím správce)")),
                 qPrintable(messages().at(0)));
        const QString reason = atCommit ? QStringLiteral("zápis do souboru databáze selhal.")
                                        : QStringLiteral("na disku není volné místo.");
        QCOMPARE(
            messages().at(1),
            QStringLiteral("Přidávání bylo zastaveno: %1 Počet přidaných položek: %2").arg(reason).arg(kept));
        QCOMPARE(Parts(*m_w).StatusBar1->currentMessage(),
                 QStringLiteral("Přidávání bylo zastaveno: %1 Přidáno záznamů: %2, čísel již v seznamu: 0.")
                     .arg(reason)
                     .arg(kept));
    }

    // Rows that another tool left in the write-ahead journal are merged; the source is only read.
    void writeAheadJournalSourceMerged_data()
    {
        QTest::addColumn<bool>("walKept");
        QTest::newRow("rows in the -wal file") << true;
        QTest::newRow("the -wal file merged in and gone") << false;
    }
    void writeAheadJournalSourceMerged()
    {
        QFETCH(bool, walKept);
        MakeDirectoryFile(otherFile(), 4, {Insert("444 555 666", "V souboru", true)});
        RunAsAnotherTool(
            otherFile(),
            {QStringLiteral("pragma journal_mode = wal"), Insert("777 888 999", "Z journalu", true)},
            walKept);
        const QString wal = otherFile() + QStringLiteral("-wal");
        QCOMPARE(QFileInfo(wal).size() > 0, walKept);
        const QByteArray before = testsupport::FileHash(otherFile());
        const QByteArray walBefore = testsupport::FileHash(wal);
        const QStringList files = QDir(m_other.path()).entryList(QDir::Files);
        start();
        merge(otherFile());
        QCOMPARE(messages(), QStringList{"Počet přidaných položek: 2"});
        QCOMPARE(rows().size(), 3);
        QCOMPARE(testsupport::FileHash(otherFile()), before);
        QCOMPARE(testsupport::FileHash(wal), walBefore);
        if (!walKept)
            QCOMPARE(QDir(m_other.path()).entryList(QDir::Files), files);
    }

    void ownFileRefused_data()
    {
        QTest::addColumn<bool>("runFromElsewhere");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("workingFolder");
        QTest::newRow("working directory is the executable's") << false << "Zvonisty.mdb"
                                                               << "";
        QTest::newRow("name in capitals in the executable's folder") << false << "ZVONISTY.MDB"
                                                                     << "";
        QTest::newRow("working directory elsewhere") << true << "Zvonisty.mdb"
                                                     << "";
        QTest::newRow("working directory with semicolons") << true << "Zvonisty.mdb"
                                                           << "a;b;c";
    }
    void ownFileRefused()
    {
        QFETCH(bool, runFromElsewhere);
        QFETCH(QString, name);
        QFETCH(QString, workingFolder);
        QTemporaryDir exeDir;
        if (runFromElsewhere)
            app::SetExecutableDir(exeDir.path() + QLatin1Char('/'));
        QString dbPath = m_box->dbPath();
        if (!workingFolder.isEmpty()) {
            m_box->createDirectory(4, {Insert("111 222 333", "Alois", false)});
            const QString folder = m_box->path(workingFolder);
            QVERIFY(QDir().mkpath(folder));
            dbPath = folder + QStringLiteral("/Zvonisty.mdb");
            QVERIFY(QFile::rename(m_box->dbPath(), dbPath));
            QVERIFY(QDir::setCurrent(folder));
            m_w = testsupport::StartMain();
            QVERIFY(m_w->started());
        } else {
            start();
        }
        const QByteArray before = testsupport::FileHash(dbPath);
        merge(QFileInfo(dbPath).absolutePath() + QLatin1Char('/') + name);
        QCOMPARE(messages(), QStringList{"Nelze načítat používaný soubor!"});
        QCOMPARE(rows().size(), 1);
        // Compared while the program still holds the file: closing it writes its close marker.
        QCOMPARE(testsupport::FileHash(dbPath), before);
    }

    void copyOfTheOwnFileElsewhereIsMerged()
    {
        start();
        m_w.reset();
        QVERIFY(QFile::copy(m_box->dbPath(), otherFile(QStringLiteral("Zvonisty.mdb"))));
        m_w = testsupport::StartMain();
        merge(otherFile(QStringLiteral("Zvonisty.mdb")));
        QCOMPARE(messages(), QStringList{"Porovnávaný soubor je identický."});
    }

    void missingFile()
    {
        start();
        merge(otherFile(QStringLiteral("neni.mdb")));
        QCOMPARE(messages(),
                 QStringList{"Nebyl Nalezen srovnávaný soubor " + otherFile(QStringLiteral("neni.mdb"))});
        // The dialog lets the missing name through, so this message is the one the user sees.
        QVERIFY(FileDialog::shown().last().options & FileDialog::MissingFileLetThrough);
    }

    void cancelledDialog()
    {
        start();
        Parts(*m_w).PidatzznamyzjinDBjennovsla1->trigger();
        QCOMPARE(messages(), QStringList());
    }

    void foreignFileRefusedAndUnchanged_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("another SQLite file") << 0;
        QTest::newRow("garbage") << 1;
        QTest::newRow("empty file") << 2;
    }
    void foreignFileRefusedAndUnchanged()
    {
        QFETCH(int, kind);
        if (kind == 0) {
            QString error;
            QVERIFY(db::CreateDirectoryDatabase(otherFile(), &error));
            db::Connection c;
            c.setConnectionString(testsupport::ConnectionStringFor(otherFile()));
            c.open();
            testsupport::Exec(&c, QStringLiteral("drop table zvonisty"));
            testsupport::Exec(&c, QStringLiteral("create table faktury (cislo integer, castka numeric)"));
        } else {
            QFile f(otherFile());
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (kind == 1)
                f.write(QByteArray("Standard Jet DB\0\0\0 not really a database at all", 48).repeated(100));
        }
        const QByteArray before = testsupport::FileHash(otherFile());
        const qint64 size = QFileInfo(otherFile()).size();
        start();
        merge(otherFile());
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        const QString text = MessageDialogSeam::shown().first().text;
        // Told once what the file is not, with why.
        QVERIFY2(text.startsWith(QStringLiteral("Soubor ")) &&
                     text.count(QStringLiteral("telefonního seznamu")) == 1 && text.size() > 40,
                 qPrintable(text));
        QCOMPARE(rows().size(), 1);
        QCOMPARE(testsupport::FileHash(otherFile()), before);
        QCOMPARE(QFileInfo(otherFile()).size(), size);
        QVERIFY(m_box->errorLogLines().isEmpty());
    }

    void inUseDecision_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("openFile");
        QTest::addColumn<QString>("exeDir");
        QTest::addColumn<bool>("inUse");
        QTest::newRow("the open file") << "/w/Zvonisty.mdb"
                                       << "/w/Zvonisty.mdb"
                                       << "/x/" << true;
        QTest::newRow("directory's name in the executable's folder") << "/x/zvonisty.MDB"
                                                                     << "/w/Zvonisty.mdb"
                                                                     << "/x/" << true;
        QTest::newRow("another name there") << "/x/Kopie.mdb"
                                            << "/w/Zvonisty.mdb"
                                            << "/x/" << false;
        QTest::newRow("the name elsewhere") << "/y/Zvonisty.mdb"
                                            << "/w/Zvonisty.mdb"
                                            << "/x/" << false;
        QTest::newRow("subfolder of the executable's") << "/x/a/Zvonisty.mdb"
                                                       << "/w/Zvonisty.mdb"
                                                       << "/x/" << false;
    }
    void inUseDecision()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, openFile);
        QFETCH(QString, exeDir);
        QFETCH(bool, inUse);
        QCOMPARE(exchange::IsDirectoryInUse(chosen, openFile, exeDir), inUse);
    }
};

QTEST_MAIN(TestMerge)
#include "test_merge.moc"
