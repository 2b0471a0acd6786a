// The vCard commands of the main window: export of the grid's contacts, import with its tally.
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "db/contacts/RecordStatements.h"
#include "db/engine/Connection.h"
#include "edit/TDetailNovy.h"
#include "formats/InputFile.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocalServer>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>

using testsupport::MessagesShown;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

using testsupport::Column;
using testsupport::Parts;
using testsupport::Sandbox;
using testsupport::WhenModalShown;

namespace {

const QString kFixtures = QStringLiteral(ZV_FIXTURES "/vcards-public/");

} // namespace

class TestVCardCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;

    QStringList contacts() { return testsupport::ContactTexts(Parts(*m_w).ADOConnection1); }
    QStringList notes()
    {
        QStringList rows =
            Column(Parts(*m_w).ADOConnection1,
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
        Parts(*m_w).ExportovatdovCard1->trigger();
    }
    void importFile(const QByteArray& bytes)
    {
        WriteBytes(m_box->path(QStringLiteral("in.vcf")), bytes);
        FileDialog::setNextFileName(m_box->path(QStringLiteral("in.vcf")));
        Parts(*m_w).ImportovatzvCard1->trigger();
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
        Parts(*m_w).DBGrid1->selectRow(1);
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
        Parts(*m_w).ExportovatdovCard1->trigger();
        QCOMPARE(MessagesShown().size(), 1);
        QVERIFY(FileDialog::shown().isEmpty());
        Parts(*m_w).ExportovatvCardveverzi401->setChecked(true);
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
                   "BEGIN:VCARD\r\nFN:Fotka\r\nTEL:606000111\r\nPHOTO;ENCODING=b:" +
                   QByteArray(3 << 20, 'x') +
                   "\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nFN:Dlouhé\r\nTEL:+420 1234 5678 9012 3456 7890\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nFN:Nedokončená\r\n");
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral(
                                      "Import z vCard je hotov.\nPřidáno kontaktů: 3\nČísel již v DB: 2\n"
                                      "Kontaktů se zkráceným číslem (celé číslo je v poznámce kontaktu): 1\n"
                                      "Vynechaných vizitek s řádkem delším než 1 MB: 1 (řádek 19)\n"
                                      "Nečitelných řádků: 1 (řádek 9)\n"
                                      "Vizitka z řádku 25 nemá konec (END:VCARD), soubor je asi useknutý.")});
        QCOMPARE(Parts(*m_w).StatusBar1->currentMessage(),
                 QStringLiteral("Import z vCard dokončen. Přidáno kontaktů: 3, čísel již v seznamu: 2."));
        QVERIFY2(QRegularExpression(QStringLiteral("^Načítání vCard: [\\d\\x{00a0}]+ z [\\d\\x{00a0}]+$"))
                     .match(Parts(*m_w).ProgressBar1->format())
                     .hasMatch(),
                 qPrintable(Parts(*m_w).ProgressBar1->format()));
        const QString today = DateText(QDate::currentDate());
        QCOMPARE(Column(Parts(*m_w).ADOConnection1,
                        QStringLiteral(
                            "select jmeno || '|' || telefon || '|' || ifnull(skupina,'') || '|' || "
                            "ifnull(skype,'') || '|' || datum as r from zvonisty where id > 3 order by id"),
                        QStringLiteral("r")),
                 (QStringList{QStringLiteral("Dana|+42 055 566 6777|Kolegové|dana|") + today,
                              QStringLiteral("Hynek Čapík|111 222 333|||") + today,
                              QStringLiteral("Dlouhé|+42 012 345 67890123|||") + today}));
        // The cut number's contact keeps it whole in one dated note.
        const QStringList longNotes = notes().filter(QStringLiteral("+42 012 345 67890123|"));
        QCOMPARE(longNotes.size(), 1);
        QVERIFY2(longNotes.first().endsWith(
                     QStringLiteral("|Celé číslo z vizitky: +420 1234 5678 9012 3456 7890")),
                 qPrintable(longNotes.first()));
        QVERIFY(!longNotes.first().contains(QStringLiteral("||")));
        // The grid shows the new rows and the filter offers the new group.
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("6"));
        QVERIFY(Parts(*m_w).VyberSkupinu->findText(QStringLiteral("Kolegové")) > 0);
        QVERIFY(m_w->menuBar()->isEnabled());
    }

    void exportImportGivesTheSameRows()
    {
        const QStringList before = contacts();
        const QStringList notesBefore = notes();
        exportAs(QStringLiteral("vse.vcf"), 0);
        testsupport::Exec(Parts(*m_w).ADOConnection1, QStringLiteral("delete from zvonisty"));
        testsupport::Exec(Parts(*m_w).ADOConnection1, QStringLiteral("delete from poznamky"));
        MessageDialogSeam::clearShown();
        FileDialog::setNextFileName(m_box->path(QStringLiteral("vse.vcf")));
        Parts(*m_w).ImportovatzvCard1->trigger();
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral(
                                      "Import z vCard je hotov.\nPřidáno kontaktů: 3\nČísel již v DB: 0")});
        QCOMPARE(contacts(), before);
        QCOMPARE(notes(), notesBefore);
        // A second import finds every number present.
        MessageDialogSeam::clearShown();
        FileDialog::setNextFileName(m_box->path(QStringLiteral("vse.vcf")));
        Parts(*m_w).ImportovatzvCard1->trigger();
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
        QCOMPARE(sqlite3_get_autocommit(Parts(*m_w).ADOConnection1->handle()), 1);
        QCOMPARE(Column(Parts(*m_w).ADOConnection1, QStringLiteral("select count(*) as n from zvonisty"),
                        QStringLiteral("n")),
                 QStringList{QStringLiteral("1503")});
    }

    // A full disk stops the import with one failure shown; what it says was added was kept.
    void fullDiskStopsAndTellsWhatWasKept()
    {
        QByteArray file;
        for (int i = 0; i < 3000; ++i)
            file += "BEGIN:VCARD\r\nFN:Kontakt " + QByteArray::number(i) + "\r\nTEL:9" +
                    QByteArray::number(10000000 + i) + "\r\nORG:" + QByteArray(90, 'o') + "\r\nEND:VCARD\r\n";
        const int pages =
            Column(Parts(*m_w).ADOConnection1, QStringLiteral("select * from pragma_page_count() as n"),
                   QStringLiteral("page_count"))
                .first()
                .toInt();
        testsupport::Exec(Parts(*m_w).ADOConnection1,
                          QStringLiteral("pragma max_page_count = %1").arg(pages + 100));
        importFile(file);
        const QStringList shown = MessagesShown();
        QCOMPARE(shown.size(), 2);
        const int kept = Column(Parts(*m_w).ADOConnection1,
                                QStringLiteral("select count(*) as n from zvonisty"), QStringLiteral("n"))
                             .first()
                             .toInt() -
                         3;
        // How many rows the last whole group held before the disk filled depends on the
        // machine's speed; what was kept must be what is told.
        QVERIFY2(kept >= 0 && kept < 3000, qPrintable(shown.join(QLatin1Char('|'))));
        QVERIFY2(shown.last().startsWith(
                     QStringLiteral("Import z vCard byl zastaven kvůli chybě: Na disku není volné místo.\n"
                                    "Přidáno kontaktů: %1\n")
                         .arg(kept)),
                 qPrintable(shown.last()));
        QCOMPARE(Parts(*m_w).StatusBar1->currentMessage(),
                 QStringLiteral(
                     "Import z vCard zastaven kvůli chybě. Přidáno kontaktů: %1, čísel již v seznamu: 0.")
                     .arg(kept));
        QCOMPARE(sqlite3_get_autocommit(Parts(*m_w).ADOConnection1->handle()), 1);
        QVERIFY(m_w->menuBar()->isEnabled());
    }

    // No value may cut or change a statement, and what the import stored the detail dialog can
    // save again.
    void controlCharactersNeverReachAStatement()
    {
        importFile(
            QByteArrayLiteral("BEGIN:VCARD\r\nFN:Jan\0 Nov\x01\xC3\xA1k\r\nTEL:605 000 111\r\n"
                              "EMAIL:x\0\x1F'; drop table zvonisty;--\r\n"
                              "NOTE:8.12.2026 19:05:33\\nprvn\xC3\xAD\0\\ndruh\xC3\xBD\r\nEND:VCARD\r\n"));
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral(
                                      "Import z vCard je hotov.\nPřidáno kontaktů: 1\nČísel již v DB: 0")});
        QVERIFY(contacts().contains(QStringLiteral("605 000 111|Jan Novák|x'; drop table zvonisty;--|||||")));
        QVERIFY(notes().contains(QStringLiteral("605 000 111|8.12.2026 19:05:33|první\r\ndruhý")));
        MessageDialogSeam::clearShown();
        Parts(*m_w).Hledani->setText(QStringLiteral("Jan Novák"));
        Parts(*m_w).Najdi->click();
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("1"));
        const testsupport::SavedAgain again = testsupport::SaveSelectedUnchanged(m_w.get());
        QCOMPARE(again.shownName, QStringLiteral("Jan Novák"));
        QVERIFY(again.saved);
        QCOMPARE(MessagesShown(), QStringList());
    }

    // What cannot be read as a file is refused before anything opens it.
    void refusedInputs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("told");
        QTest::newRow("pipe") << "fifo"
                              << "";
        QTest::newRow("device") << "/dev/zero"
                                << "";
        QTest::newRow("folder") << "dir"
                                << "";
        QTest::newRow("socket") << "socket"
                                << "";
    }
    void refusedInputs()
    {
        QFETCH(QString, kind);
        QFETCH(QString, told);
        QString path = m_box->path(QStringLiteral("vstup.vcf"));
        QLocalServer server;
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("dir")) {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == QLatin1String("socket")) {
            server.setSocketOptions(QLocalServer::UserAccessOption);
            QVERIFY(server.listen(path));
        } else {
            path = kind;
        }
        if (told.isEmpty())
            told = exchange::SpecialInputRefusal(path);
        QVERIFY(!told.isEmpty());
        const QStringList before = contacts();
        FileDialog::setNextFileName(path);
        Parts(*m_w).ImportovatzvCard1->trigger();
        QCOMPARE(MessagesShown(), QStringList{told});
        QCOMPARE(MessageDialogSeam::shown().last().icon, 2);
        QCOMPARE(contacts(), before);
    }

    // Real files of other programs, with cards without a number and lines ended by CR CR LF.
    void importsPublicSamples_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("told");
        QTest::newRow("cards without TEL")
            << "ezvcard_John_Doe_ANDROID.vcf"
            << "Import z vCard je hotov.\nPřidáno kontaktů: 6\nČísel již v DB: 3\n"
               "Vynecháno vizitek bez telefonního čísla: 2";
        QTest::newRow("CR CR LF") << "ezvcard_John_Doe_IPHONE.vcf"
                                  << "Import z vCard je hotov.\nPřidáno kontaktů: 7\nČísel již v DB: 0";
    }
    void importsPublicSamples()
    {
        QFETCH(QString, file);
        QFETCH(QString, told);
        FileDialog::setNextFileName(kFixtures + file);
        Parts(*m_w).ImportovatzvCard1->trigger();
        QCOMPARE(MessagesShown(), QStringList{told});
        QCOMPARE(
            Column(Parts(*m_w).ADOConnection1,
                   QStringLiteral("select count(*) as n from zvonisty where telefon = '' or telefon is null"),
                   QStringLiteral("n")),
            QStringList{QStringLiteral("0")});
    }

    // The numbers of one card come back as one card, as another program reads it.
    void exportWritesOneCardPerPerson()
    {
        // The system's python3 carries the distribution's vobject; one found first on the path may not.
        QString python;
        for (const QString& candidate :
             {QStringLiteral("/usr/bin/python3"), QStandardPaths::findExecutable(QStringLiteral("python3"))})
            if (python.isEmpty() && QFile::exists(candidate) &&
                QProcess::execute(candidate, {QStringLiteral("-c"), QStringLiteral("import vobject")}) == 0)
                python = candidate;
        if (python.isEmpty())
            QSKIP("python3 with vobject is not installed");
        testsupport::Exec(Parts(*m_w).ADOConnection1, QStringLiteral("delete from zvonisty"));
        importFile("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dana Malá\r\nTEL:604111222\r\nTEL:605111222\r\n"
                   "TEL:606111222\r\nEMAIL:dana@example.cz\r\nCATEGORIES:Rodina\r\nEND:VCARD\r\n");
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("3"));
        exportAs(QStringLiteral("dana.vcf"), 0);
        QProcess reader;
        reader.start(python,
                     {QStringLiteral("-c"),
                      QStringLiteral(
                          "import sys, vobject\n"
                          "cards = list(vobject.readComponents(open(sys.argv[1], encoding='utf-8').read()))\n"
                          "print(len(cards), ' '.join(str(len(c.contents.get('tel', []))) for c in cards))"),
                      m_box->path(QStringLiteral("dana.vcf"))});
        QVERIFY(reader.waitForFinished(30000));
        QCOMPARE(reader.exitCode(), 0);
        QCOMPARE(reader.readAllStandardOutput().trimmed(), QByteArray("1 3"));
    }

    void unreadableFileOrCancel()
    {
        Parts(*m_w).ImportovatzvCard1->trigger();
        QVERIFY(MessagesShown().isEmpty());
        FileDialog::setNextFileName(m_box->path(QStringLiteral("neni.vcf")));
        Parts(*m_w).ImportovatzvCard1->trigger();
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral("Nelze otevřít soubor vCard!")});
    }
};

QTEST_MAIN(TestVCardCommands)
#include "test_vcardcommands.moc"
