// The program's command line, run as a user would run it.
#include "db/engine/Connection.h"
#include "testsupport/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode;
    QString out;
    QString err;
};

Run Program(const QStringList& arguments, const QString& folder)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZV_PROGRAM), arguments);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versionAndHelp()
    {
        QTemporaryDir dir;
        const Run version = Program({QStringLiteral("--version")}, dir.path());
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out.trimmed(), QStringLiteral("1.1.1.101"));
        const Run help = Program({QStringLiteral("--help")}, dir.path());
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains(QStringLiteral("--create-database")));
        // The usage line names the program as it was started.
        const QString program = QFileInfo(QStringLiteral(ZV_PROGRAM)).fileName();
        QVERIFY2(help.out.startsWith(QStringLiteral("Použití: ") + program + QStringLiteral(" [volby]")),
                 qPrintable(help.out));
        QVERIFY(!help.out.contains(QStringLiteral("executable_name")));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Zvonisty.mdb"))));
    }

    void createDatabaseWritesTheFirstStructureAndRefusesAnExistingFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("novy.mdb"));
        QCOMPARE(Program({QStringLiteral("--create-database"), path}, dir.path()).exitCode, 0);
        {
            db::Connection c;
            c.setConnectionString(
                QStringLiteral("Provider=SQLite.3;Data Source=%1;Mode=Share Deny Read|Share Deny "
                               "Write;Persist Security Info=False")
                    .arg(path));
            c.open();
            QCOMPARE(testsupport::Column(&c, QStringLiteral("select count(*) as n from zvonisty"),
                                         QStringLiteral("n")),
                     QStringList{QStringLiteral("0")});
            QCOMPARE(testsupport::Column(&c, QStringLiteral("select count(*) as n from poznamky"),
                                         QStringLiteral("n")),
                     QStringList{QStringLiteral("0")});
            QVERIFY_THROWS_EXCEPTION(
                std::exception,
                testsupport::Column(&c, QStringLiteral("select * from verze"), QStringLiteral("DB")));
        }
        const QByteArray before = testsupport::FileHash(path);
        const Run again = Program({QStringLiteral("--create-database"), path}, dir.path());
        QVERIFY(again.exitCode != 0);
        QVERIFY(!again.err.trimmed().isEmpty());
        QCOMPARE(testsupport::FileHash(path), before);
    }

    // The refusal names the file once and says why in Czech.
    void createDatabaseRefusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("existing file")
            << QStringLiteral("stary.mdb")
            << QStringLiteral("Soubor již existuje; nový seznam se do něj nezapíše.");
        QTest::newRow("missing folder")
            << QStringLiteral("chybi/novy.mdb") << QStringLiteral("Soubor nebo složka neexistuje.");
        QTest::newRow("a folder") << QStringLiteral("slozka")
                                  << QStringLiteral("Zadaná cesta je složka, ne soubor.");
        QTest::newRow("folder is a file")
            << QStringLiteral("stary.mdb/novy.mdb") << QStringLiteral("Část zadané cesty není složka.");
        QTest::newRow("long path")
            << QStringLiteral("chybi/%1/%2/novy.mdb").arg(QString(200, u'a'), QString(200, u'z'))
            << QStringLiteral("Soubor nebo složka neexistuje.");
    }
    void createDatabaseRefusals()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        testsupport::WriteBytes(dir.filePath(QStringLiteral("stary.mdb")), "x");
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("slozka")));
        const QString path = dir.filePath(name);
        const Run run = Program({QStringLiteral("--create-database"), path}, dir.path());
        QVERIFY(run.exitCode != 0);
        const QRegularExpression line(QStringLiteral("^Soubor seznamu (.*) nelze vytvořit: (.*)$"));
        const QRegularExpressionMatch told = line.match(run.err.trimmed());
        QVERIFY2(told.hasMatch(), qPrintable(run.err));
        QCOMPARE(told.captured(2), reason);
        // A long path keeps its beginning and its end.
        const QString shown = told.captured(1);
        if (path.size() <= 200)
            QCOMPARE(shown, path);
        else
            QVERIFY2(shown.size() <= 200 && shown.startsWith(path.left(80)) &&
                         shown.endsWith(path.right(80)) && shown.contains(QChar(0x2026)),
                     qPrintable(shown));
        QCOMPARE(testsupport::ReadBytes(dir.filePath(QStringLiteral("stary.mdb"))), QByteArray("x"));
    }

    // The window does not start on a command line it cannot follow.
    void refusedOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("told");
        QTest::newRow("unknown") << QStringList{QStringLiteral("--nesmysl")}
                                 << QStringLiteral("Neznámá volba: nesmysl");
        QTest::newRow("address without --sync")
            << QStringList{QStringLiteral("--sync-url"), QStringLiteral("https://server.test/adresar/")}
            << QStringLiteral("Volba --sync-url platí jen spolu s volbou --sync.");
        QTest::newRow("deletion without --sync")
            << QStringList{QStringLiteral("--force-delete")}
            << QStringLiteral("Volba --force-delete platí jen spolu s volbou --sync.");
        QTest::newRow("code page without --export-csv")
            << QStringList{QStringLiteral("--cp1250")}
            << QStringLiteral("Volba --cp1250 platí jen spolu s volbou --export-csv.");
    }
    void refusedOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, told);
        QTemporaryDir dir;
        const Run run = Program(arguments, dir.path());
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err.trimmed(), told);
    }

    // CSV into and out of a file of the first structure, which is brought up to date first.
    void csvImportAndExport()
    {
        testsupport::Sandbox box;
        box.createDirectory(1);
        const QString gmail = QStringLiteral(ZV_FIXTURES "/csv-public/roundcube_gmail.csv");
        Run run = Program({QStringLiteral("--import-csv"), gmail}, box.path());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.trimmed(), QStringLiteral("Import z CSV dokončen. Přidáno kontaktů: 7, čísel již v "
                                                   "seznamu: 0, řádků bez čísla: 0."));
        run = Program({QStringLiteral("--export-csv"), QStringLiteral("ven.csv"), QStringLiteral("--cp1250")},
                      box.path());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.trimmed(), QStringLiteral("Do souboru CSV ven.csv bylo zapsáno kontaktů: 7."));
        const QStringList lines =
            testsupport::ReadCp1250(box.path(QStringLiteral("ven.csv"))).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.first(), QStringLiteral("Telefon;Jméno;Email;Poznámka;Organizace;Skupina;ICQ;Skype"));
        QCOMPARE(lines.at(1),
                 QStringLiteral("pag er;Lastname Firstname;home@aaa.pl;\"note\"\"note\";company;Test;;"));
        // A header neither known nor mapped before is named, and nothing is read.
        testsupport::WriteBytes(box.path(QStringLiteral("jiny.csv")), "Kdo,Kam\nNovák,777 000 111\n");
        run = Program({QStringLiteral("--import-csv"), QStringLiteral("jiny.csv")}, box.path());
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.trimmed().endsWith(QStringLiteral("Nalezené sloupce: „Kdo“, „Kam“.")),
                 qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
