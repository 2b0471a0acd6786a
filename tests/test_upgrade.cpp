// Upgrading an older directory file in place at start-up.
#include "app/TMain.h"
#include "app/UpgradeDialog.h"
#include "db/engine/Connection.h"
#include "db/contacts/Upgrade.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/MessageDialog.h"

#include <QLabel>
#include <QTest>

using testsupport::Column;
using testsupport::Parts;
using testsupport::Sandbox;

namespace {

QStringList SloupceRows(TMain& w)
{
    QStringList rows;
    for (const QString& key : {QStringLiteral("poradi"), QStringLiteral("sort"), QStringLiteral("sirka")}) {
        QStringList values;
        for (const QString& f :
             {QStringLiteral("telefon"), QStringLiteral("jmeno"), QStringLiteral("organizace"),
              QStringLiteral("email"), QStringLiteral("poznamka")})
            values << Column(Parts(w).ADOConnection1,
                             QStringLiteral("select * from sloupce where id = '%1'").arg(key), f)
                          .join(QLatin1Char('|'));
        rows << key + QLatin1Char('=') + values.join(QLatin1Char(','));
    }
    return rows;
}

const QStringList kInitialRows = {QStringLiteral("poradi=0,1,2,3,4"), QStringLiteral("sort=,0,,,"),
                                  QStringLiteral("sirka=100,100,100,100,100")};

} // namespace

class TestUpgrade : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statementsPerVersion_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("count");
        QTest::newRow("empty verze") << 0 << 11;
        QTest::newRow("1") << 1 << 11;
        QTest::newRow("2") << 2 << 7;
        QTest::newRow("3") << 3 << 2;
        QTest::newRow("4") << 4 << 0;
        QTest::newRow("newer") << 5 << 0;
    }
    void statementsPerVersion()
    {
        QFETCH(int, version);
        QFETCH(int, count);
        const QStringList all = UpgradeStatements(1);
        QCOMPARE(UpgradeStatements(version), all.mid(all.size() - count));
    }

    void fromVersion1()
    {
        Sandbox box;
        box.createDirectory(
            1, {QStringLiteral("insert into zvonisty (telefon, jmeno) values ('603 123 456', 'Novák')")});
        TMain w;
        QVERIFY(w.started());
        QVERIFY(MessageDialogSeam::shown().isEmpty());
        QCOMPARE(Column(Parts(w).ADOConnection1, QStringLiteral("select * from verze"), QStringLiteral("DB")),
                 QStringList{QStringLiteral("4")});
        QCOMPARE(SloupceRows(w), kInitialRows);
        QCOMPARE(Column(Parts(w).ADOConnection1, QStringLiteral("select count(*) as n from sloupce"),
                        QStringLiteral("n")),
                 QStringList{QStringLiteral("3")});
        // The added columns are there and keep their widths.
        testsupport::Exec(Parts(w).ADOConnection1,
                          QStringLiteral("update zvonisty set icq = '123456789012345', skype = 'x'"));
        QVERIFY_THROWS_EXCEPTION(
            std::exception,
            testsupport::Exec(Parts(w).ADOConnection1,
                              QStringLiteral("update zvonisty set icq = '1234567890123456'")));
        QCOMPARE(Parts(w).pocet->text(), QStringLiteral("1"));
        QVERIFY(box.errorLog().isEmpty());
    }

    void fromVersion2And3KeepWhatIsThere()
    {
        Sandbox box;
        box.createDirectory(
            3, {QStringLiteral("update sloupce set telefon = 4, jmeno = 3, organizace = 2, email = 1, "
                               "poznamka = 0 where id = 'poradi'")});
        TMain w;
        QVERIFY(MessageDialogSeam::shown().isEmpty());
        // Only the widths row and the new version were written.
        QCOMPARE(SloupceRows(w).first(), QStringLiteral("poradi=4,3,2,1,0"));
        QCOMPARE(SloupceRows(w).last(), kInitialRows.last());
        QCOMPARE(Column(Parts(w).ADOConnection1, QStringLiteral("select * from verze"), QStringLiteral("DB")),
                 QStringList{QStringLiteral("4")});
    }

    void version4IsLeftAlone()
    {
        Sandbox box;
        box.createDirectory(4, {QStringLiteral("update verze set dat_zmena = '1.1.2001 1:00:00'")});
        TMain w;
        QVERIFY(w.started());
        QVERIFY(w.findChildren<TDialogUprStruct*>().isEmpty());
        QCOMPARE(Column(Parts(w).ADOConnection1, QStringLiteral("select * from verze"),
                        QStringLiteral("dat_zmena")),
                 QStringList{QStringLiteral("1.1.2001 1:00:00")});
        QCOMPARE(SloupceRows(w), kInitialRows);
    }

    void partlyUpgradedFilesAreCompleted_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QStringList>("prepare");
        QTest::newRow("icq exists") << 1
                                    << QStringList{
                                           QStringLiteral("alter table zvonisty add icq varchar(15)")};
        QTest::newRow("empty verze") << 1
                                     << QStringList{QStringLiteral(
                                            "create table verze (DB numeric, dat_zmena datetime)")};
        QTest::newRow("null DB") << 4 << QStringList{QStringLiteral("update verze set DB = null")};
        QTest::newRow("sloupce deleted") << 4 << QStringList{QStringLiteral("drop table sloupce")};
        QTest::newRow("widths row deleted")
            << 4 << QStringList{QStringLiteral("delete from sloupce where id = 'sirka'")};
        QTest::newRow("skype deleted")
            << 4 << QStringList{QStringLiteral("alter table zvonisty drop column skype")};
    }
    void partlyUpgradedFilesAreCompleted()
    {
        QFETCH(int, version);
        QFETCH(QStringList, prepare);
        Sandbox box;
        box.createDirectory(version, prepare);
        TMain w;
        QVERIFY(w.started());
        QVERIFY(MessageDialogSeam::shown().isEmpty());
        QVERIFY(box.errorLog().isEmpty());
        QCOMPARE(Column(Parts(w).ADOConnection1, QStringLiteral("select * from verze"), QStringLiteral("DB")),
                 QStringList{QStringLiteral("4")});
        QCOMPARE(SloupceRows(w), kInitialRows);
        testsupport::Exec(Parts(w).ADOConnection1,
                          QStringLiteral("update zvonisty set icq = '1', skype = 's'"));
    }

    void failingUpgradeChangesNothingAndEnds()
    {
        Sandbox box;
        // A version table that refuses the third version: the upgrade fails half way.
        box.createDirectory(
            1, {QStringLiteral("create table verze (DB numeric check (DB < 3), dat_zmena datetime)")});
        {
            TMain w;
            QVERIFY(!w.started());
            QCOMPARE(w.minimumSize(), QSize(10, 10));
            QVERIFY(!Parts(w).ADOConnection1->connected());
            for (TDialogUprStruct* progress : w.findChildren<TDialogUprStruct*>())
                QVERIFY(!progress->isVisible());
        }
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        const auto& shown = MessageDialogSeam::shown().first();
        QVERIFY2(shown.text.startsWith(
                     QStringLiteral("Nastala chyba při otevření DB: Úpravu struktury souboru nelze "
                                    "dokončit; soubor zůstal beze změny.\r{")),
                 qPrintable(shown.text));
        QCOMPARE(shown.icon, 2);
        const QStringList log = box.errorLogLines();
        QCOMPARE(log.size(), 1);
        QVERIFY2(log.first().endsWith(QStringLiteral(": update VERZE set DB = 3, dat_zmena = date()+time()")),
                 qPrintable(log.first()));
        // Every statement before the failing one was undone.
        db::Connection c;
        c.setConnectionString(db::Connection::DefaultConnectionString());
        c.open();
        QVERIFY(Column(&c, QStringLiteral("select * from verze"), QStringLiteral("DB")).isEmpty());
        QVERIFY(Column(&c, QStringLiteral("select name from sqlite_master where name = 'sloupce'"),
                       QStringLiteral("name"))
                    .isEmpty());
        QVERIFY(!Column(&c, QStringLiteral("select sql from sqlite_master where name = 'zvonisty'"),
                        QStringLiteral("sql"))
                     .value(0)
                     .contains(QStringLiteral("icq")));
    }
};

QTEST_MAIN(TestUpgrade)
#include "test_upgrade.moc"
