// The vCard commands of the main window: export of the grid's contacts, import with its tally.
#include "app/TMain.h"
#include "db/Connection.h"
#include "ui/DBGrid.h"
#include "db/Query.h"
#include "db/RecordStatements.h"
#include "testsupport/TestSupport.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QTest>

#include <sqlite3.h>

using testsupport::MessagesShown;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

using testsupport::Column;
using testsupport::Sandbox;

class TestVCardCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;

    // Every contact as one text, sorted, so two directories can be compared as sets of rows.
    QStringList contacts()
    {
        const QString sql =
            QStringLiteral("select telefon || '|' || ifnull(jmeno,'') || '|' || ifnull(email,'') || "
                           "'|' || ifnull(poznamka,'') || '|' || ifnull(organizace,'') || '|' || "
                           "ifnull(skupina,'') || '|' || ifnull(icq,'') || '|' || ifnull(skype,'') "
                           "as r from zvonisty");
        QStringList rows = Column(m_w->ADOConnection1, sql, QStringLiteral("r"));
        rows.sort();
        return rows;
    }
    QStringList notes()
    {
        QStringList rows =
            Column(m_w->ADOConnection1,
                   QStringLiteral("select z.telefon || '|' || p.dat || '|' || p.pozn as r from "
                                  "poznamky p join zvonisty z on z.id = p.id"),
                   QStringLiteral("r"));
        rows.sort();
        return rows;
    }
    void exportAs(const QString& name, int answer)
    {
        MessageDialogSeam::setNextAnswer(answer);
        FileDialog::setNextFileName(m_box->path(name));
        m_w->ExportovatdovCard1->trigger();
    }
    void importFile(const QByteArray& bytes)
    {
        WriteBytes(m_box->path(QStringLiteral("in.vcf")), bytes);
        FileDialog::setNextFileName(m_box->path(QStringLiteral("in.vcf")));
        m_w->ImportovatzvCard1->trigger();
    }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory(
            4,
            {QStringLiteral(
                 "insert into zvonisty (telefon, jmeno, email, poznamka, organizace, skupina, icq, "
                 "skype) values ('604 111 222', 'Alois Jirásek', 'a@j.cz', 'spisovatel; dramatik', "
                 "'Praha, Hrádek', 'Autoři', '1234', 'alois')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno) values ('222 333 444', 'Božena')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) values ('777 000 111', 'Cyril', "
                            "'Rodina')"),
             QStringLiteral("insert into poznamky (id, pozn, dat) values (1, 'první\r\ndruhý řádek', "
                            "'8.12.2026 19:05:33')"),
             QStringLiteral(
                 "insert into poznamky (id, pozn, dat) values (1, 'další', '9.12.2026 8:00:00')")});
        m_w = testsupport::StartMain();
    }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void exportsTheGridOrTheSelected_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("cards");
        QTest::newRow("all") << 0 << 3;
        QTest::newRow("selected") << 1 << 1;
    }
    void exportsTheGridOrTheSelected()
    {
        QFETCH(int, answer);
        QFETCH(int, cards);
        m_w->DBGrid1->selectRow(1);
        exportAs(QStringLiteral("adresar.vcf"), answer);
        QCOMPARE(MessageDialogSeam::shown().first().icon, 1);
        QVERIFY(MessageDialogSeam::shown().first().text.contains(QStringLiteral("(3)")));
        QCOMPARE(FileDialog::shown().size(), 1);
        QVERIFY(FileDialog::shown().first().save);
        QCOMPARE(MessagesShown().last(),
                 QStringLiteral("Do souboru vCard bylo zapsáno kontaktů: %1").arg(cards));
        const QByteArray file = ReadBytes(m_box->path(QStringLiteral("adresar.vcf")));
        QCOMPARE(int(file.count("BEGIN:VCARD\r\n")), cards);
        QVERIFY(file.contains("FN:Božena\r\n"));
        QVERIFY(file.contains("VERSION:3.0\r\n"));
        QCOMPARE(file.contains("NOTE:8.12.2026 19:05:33\\nprvní\\ndruhý řádek\r\n"), answer == 0);
        QCOMPARE(file.contains("ORG:Praha\\, Hrádek\r\n"), answer == 0);
    }

    void cancelledOrVersionFour()
    {
        MessageDialogSeam::setNextAnswer(2);
        m_w->ExportovatdovCard1->trigger();
        QCOMPARE(MessagesShown().size(), 1);
        QVERIFY(FileDialog::shown().isEmpty());
        m_w->ExportovatvCardveverzi401->setChecked(true);
        exportAs(QStringLiteral("v4.vcf"), 0);
        const QByteArray file = ReadBytes(m_box->path(QStringLiteral("v4.vcf")));
        QCOMPARE(int(file.count("VERSION:4.0\r\n")), 3);
    }

    void failedWriteLeavesTheFile()
    {
        exportAs(QStringLiteral("chybi/adresar.vcf"), 0);
        QVERIFY(MessagesShown().last().startsWith(QStringLiteral("Nelze vytvořit soubor vCard!")));
        QCOMPARE(MessageDialogSeam::shown().last().icon, 2);
    }

    void importAddsEachNumberOnce()
    {
        importFile("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dana\r\nTEL:604111222\r\nTEL:+420 555 666 777\r\n"
                   "CATEGORIES:Kolegové,Ostatní\r\nX-SKYPE:dana\r\nEND:VCARD\r\n"
                   "smetí\r\n"
                   "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C4=8Cap=C3=ADk;"
                   "Hynek\r\n"
                   "TEL;CELL:111222333\r\nTEL;CELL:111 222 333\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nFN:Nedokončená\r\n");
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral(
                                      "Import z vCard je hotov.\nPřidáno kontaktů: 2\nČísel již v DB: 2\n"
                                      "Nečitelných vizitek: 1\nNečitelných řádků: 1 (řádek 9)")});
        const QString today = DateText(QDate::currentDate());
        QCOMPARE(Column(m_w->ADOConnection1,
                        QStringLiteral(
                            "select jmeno || '|' || telefon || '|' || ifnull(skupina,'') || '|' || "
                            "ifnull(skype,'') || '|' || datum as r from zvonisty where id > 3 order by id"),
                        QStringLiteral("r")),
                 (QStringList{QStringLiteral("Dana|+42 055 566 6777|Kolegové|dana|") + today,
                              QStringLiteral("Hynek Čapík|111 222 333|||") + today}));
        // The grid shows the new rows and the filter offers the new group.
        QCOMPARE(m_w->pocet->text(), QStringLiteral("5"));
        QVERIFY(m_w->VyberSkupinu->findText(QStringLiteral("Kolegové")) > 0);
        QVERIFY(m_w->menuBar()->isEnabled());
    }

    void exportImportGivesTheSameRows()
    {
        const QStringList before = contacts();
        const QStringList notesBefore = notes();
        exportAs(QStringLiteral("vse.vcf"), 0);
        testsupport::Exec(m_w->ADOConnection1, QStringLiteral("delete from zvonisty"));
        testsupport::Exec(m_w->ADOConnection1, QStringLiteral("delete from poznamky"));
        MessageDialogSeam::clearShown();
        FileDialog::setNextFileName(m_box->path(QStringLiteral("vse.vcf")));
        m_w->ImportovatzvCard1->trigger();
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral(
                                      "Import z vCard je hotov.\nPřidáno kontaktů: 3\nČísel již v DB: 0")});
        QCOMPARE(contacts(), before);
        QCOMPARE(notes(), notesBefore);
        // A second import finds every number present.
        MessageDialogSeam::clearShown();
        FileDialog::setNextFileName(m_box->path(QStringLiteral("vse.vcf")));
        m_w->ImportovatzvCard1->trigger();
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral(
                                      "Import z vCard je hotov.\nPřidáno kontaktů: 0\nČísel již v DB: 3")});
        QCOMPARE(contacts(), before);
    }

    void longImportCommitsEverything()
    {
        QByteArray file;
        for (int i = 0; i < 1500; ++i)
            file += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Kontakt " + QByteArray::number(i) + "\r\nTEL:9" +
                    QByteArray::number(10000000 + i) + "\r\nNOTE:" + QByteArray(60, 'n') +
                    "\r\nEND:VCARD\r\n";
        importFile(file);
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral(
                                      "Import z vCard je hotov.\nPřidáno kontaktů: 1500\nČísel již v DB: 0\n"
                                      "Zkrácených hodnot (delších, než pojme sloupec): 1500")});
        QCOMPARE(sqlite3_get_autocommit(m_w->ADOConnection1->handle()), 1);
        QCOMPARE(Column(m_w->ADOConnection1, QStringLiteral("select count(*) as n from zvonisty"),
                        QStringLiteral("n")),
                 QStringList{QStringLiteral("1503")});
    }

    void unreadableFileOrCancel()
    {
        m_w->ImportovatzvCard1->trigger();
        QVERIFY(MessagesShown().isEmpty());
        FileDialog::setNextFileName(m_box->path(QStringLiteral("neni.vcf")));
        m_w->ImportovatzvCard1->trigger();
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral("Nelze otevřít soubor vCard!")});
    }
};

QTEST_MAIN(TestVCardCommands)
#include "test_vcardcommands.moc"
