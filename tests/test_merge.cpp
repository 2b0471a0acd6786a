// Adding the new numbers of another directory file.
#include "app/AppContext.h"
#include "app/TMain.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "db/RecordStatements.h"
#include "db/Upgrade.h"
#include "exchange/Merge.h"
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

using testsupport::Column;
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
    c.open();
    for (const QString& s : all.mid(0, count) + statements)
        testsupport::Exec(&c, s);
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
            m_w->ADOConnection1,
            QStringLiteral("select telefon || '|' || ifnull(jmeno, '') || '|' || ifnull(email, '') || '|' "
                           "|| ifnull(poznamka, '') || '|' || ifnull(datum, '') || '|' || "
                           "ifnull(organizace, '') || '|' || ifnull(skupina, '') || '|' || ifnull(icq, "
                           "'<null>') || '|' || ifnull(skype, '<null>') as r from zvonisty order by id"),
            QStringLiteral("r"));
    }

    void merge(const QString& path)
    {
        FileDialog::setNextFileName(path);
        m_w->PidatzznamyzjinDBjennovsla1->trigger();
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
        QSignalSpy reopened(m_w->ADOQuery1, &db::Query::afterOpen);
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
        QCOMPARE(m_w->pocet->text(), QStringLiteral("2"));
        QCOMPARE(m_w->StatusBar1->currentMessage(),
                 QStringLiteral("Přidáno záznamů: 1, čísel již v seznamu: 1."));

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
        QSignalSpy reopened(m_w->ADOQuery1, &db::Query::afterOpen);
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
        QCOMPARE(Column(m_w->ADOConnection1,
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
        // The refused row still counts in the message, as designed; the status bar tells the truth.
        QCOMPARE(messages().at(1), QStringLiteral("Počet přidaných položek: 2"));
        QCOMPARE(m_w->StatusBar1->currentMessage(),
                 QStringLiteral("Přidáno záznamů: 1, čísel již v seznamu: 0."));
        const QStringList log = m_box->errorLogLines();
        QCOMPARE(log.size(), 1);
        QVERIFY2(log.first().endsWith(
                     QStringLiteral("values ('444 555 666', 'Odmítnutý', 'm@x.cz', 'pozn', '%1', 'Org', "
                                    "'Práce', '123', 'sk.444 555 666')")
                         .arg(DateText(QDate::currentDate()))),
                 qPrintable(log.first()));
        QCOMPARE(Column(m_w->ADOConnection1,
                        QStringLiteral("select hex(jmeno) as r from zvonisty order by id"),
                        QStringLiteral("r")),
                 (QStringList{"416C6F6973", "4AC3"}));
    }

    void ownFileRefused_data()
    {
        QTest::addColumn<bool>("runFromElsewhere");
        QTest::addColumn<QString>("name");
        QTest::newRow("working directory is the executable's") << false << "Zvonisty.mdb";
        QTest::newRow("name in capitals in the executable's folder") << false << "ZVONISTY.MDB";
        QTest::newRow("working directory elsewhere") << true << "Zvonisty.mdb";
    }
    void ownFileRefused()
    {
        QFETCH(bool, runFromElsewhere);
        QFETCH(QString, name);
        QTemporaryDir exeDir;
        if (runFromElsewhere)
            app::SetExecutableDir(exeDir.path() + QLatin1Char('/'));
        start();
        const QByteArray before = testsupport::FileHash(m_box->dbPath());
        merge(m_box->path(name));
        QCOMPARE(messages(), QStringList{"Nelze načítat používaný soubor!"});
        QCOMPARE(rows().size(), 1);
        // Compared while the program still holds the file: closing it writes its close marker.
        QCOMPARE(testsupport::FileHash(m_box->dbPath()), before);
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
        m_w->PidatzznamyzjinDBjennovsla1->trigger();
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
        QVERIFY2(
            text.startsWith(QStringLiteral("Soubor nelze otevřít jako databázi telefonního seznamu:\r")) &&
                text.size() > 60,
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
