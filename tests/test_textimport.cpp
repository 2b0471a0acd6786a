// The text-file import through the menu, with scripted dialogs.
#include "app/TMain.h"
#include "db/engine/Connection.h"
#include "db/contacts/Query.h"
#include "db/contacts/RecordStatements.h"
#include "edit/TDetailNovy.h"
#include "formats/InputFile.h"
#include "formats/TextCodec.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>

using testsupport::WriteBytes;

using testsupport::Column;
using testsupport::Parts;
using testsupport::Sandbox;

namespace {

const QString kPresent = QStringLiteral("111 222 333");

} // namespace

class TestTextImport : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;

    QString file() const { return m_box->path(QStringLiteral("seznam.csv")); }

    // Every contact but the one present from the start: telefon|jmeno|email|poznamka|organizace|icq|skype.
    QStringList added(const QString& extra = QString())
    {
        return Column(
            Parts(*m_w).ADOConnection1,
            QStringLiteral("select telefon || '|' || jmeno || '|' || email || '|' || poznamka || '|' || "
                           "organizace || '|' || icq || '|' || skype %1 as r from zvonisty where id > 1 "
                           "order by id")
                .arg(extra),
            QStringLiteral("r"));
    }

    void runImport(int answer = 0)
    {
        FileDialog::setNextFileName(file());
        MessageDialogSeam::setNextAnswer(answer);
        Parts(*m_w).Natitelseznamzesouboru2->trigger();
    }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory(
            4, {QStringLiteral("insert into zvonisty (telefon, jmeno, organizace) values ('%1', "
                               "'Alois Nováček', 'Úřad')")
                    .arg(kPresent)});
        m_w = testsupport::StartMain();
        QVERIFY(m_w->started());
    }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void asksWithItsFiltersAndQuestion()
    {
        WriteBytes(file(), "Jan;603123456\r\n");
        runImport();
        QCOMPARE(FileDialog::shown().size(), 1);
        QCOMPARE(FileDialog::shown().first().save, false);
        QCOMPARE(FileDialog::shown().first().filter,
                 QStringLiteral("*.csv (oddělený středníkem)|*.csv|Textový soubor [*.txt]|*.txt|Vše|*.*"));
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QCOMPARE(MessageDialogSeam::shown().first().text,
                 QStringLiteral("Opravdu načíst soubor ") + file() + " ?");
        QCOMPARE(MessageDialogSeam::shown().first().icon, 1);
        QCOMPARE(MessageDialogSeam::shown().first().buttonSet, 1);
        QCOMPARE(added(), QStringList{"603 123 456|Jan|||||"});
    }

    void edgeCases_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("two columns") << QByteArray("Jan Novák;603123456\r\n")
                                     << QStringList{"603 123 456|Jan Novák|||||"};
        QTest::newRow("nine columns, one number present")
            << QByteArray("Eva;777888999;e@x.cz;pozn;Org;123;eva.s;111222333;444555666\r\n")
            << QStringList{"777 888 999|Eva|e@x.cz|pozn|Org|123|eva.s",
                           "444 555 666|Eva|e@x.cz|pozn|Org|123|eva.s"};
        QTest::newRow("; after the seventh")
            << QByteArray("A;1234;e;p;o;i;s;\r\n") << QStringList{"123 4|A|e|p|o|i|s"};
        QTest::newRow(";; after the seventh")
            << QByteArray("A;1234;e;p;o;i;s;;\r\n") << QStringList{"123 4|A|e|p|o|i|s", "|A|e|p|o|i|s"};
        QTest::newRow("empty line") << QByteArray("\r\n") << QStringList{"||||||"};
        QTest::newRow("empty file") << QByteArray() << QStringList{"||||||"};
        QTest::newRow("same number twice")
            << QByteArray("A;603123456\r\nB;603 123 456\r\n") << QStringList{"603 123 456|A|||||"};
        QTest::newRow("LF only, no final line end")
            << QByteArray("A;1111\nB;2222") << QStringList{"111 1|A|||||", "222 2|B|||||"};
        QTest::newRow("statement characters stored exactly")
            << QByteArray("O'Brien '--;5555;%_\\;a''b;x\" or 1=1 --\r\n")
            << QStringList{"555 5|O'Brien '--|%_\\|a''b|x\" or 1=1 --||"};
        QTest::newRow("a quote ends a column, a comment starts the next")
            << QByteArray("Jan';--;x'y\r\n") << QStringList{"--|Jan'|x'y||||"};
    }
    void edgeCases()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, rows);
        WriteBytes(file(), content);
        runImport();
        QCOMPARE(added(), rows);
        const QString today = DateText(QDate::currentDate());
        QCOMPARE(Column(Parts(*m_w).ADOConnection1,
                        QStringLiteral("select distinct datum from zvonisty where id > 1"),
                        QStringLiteral("datum")),
                 QStringList{today});
        QVERIFY(!today.startsWith(QLatin1Char('0')) && !today.contains(QStringLiteral(".0")));
        QCOMPARE(Column(Parts(*m_w).ADOConnection1,
                        QStringLiteral("select count(*) as n from zvonisty where id > 1 and "
                                       "skupina is not null"),
                        QStringLiteral("n")),
                 QStringList{"0"});
        // Only the question: no failure was shown.
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QCOMPARE(Parts(*m_w).pocet->text(), QString::number(rows.size() + 1));

        // The same file again adds nothing.
        runImport();
        QCOMPARE(added(), rows);
        QVERIFY2(Parts(*m_w).StatusBar1->currentMessage().contains(QStringLiteral("Přidáno záznamů: 0,")),
                 qPrintable(Parts(*m_w).StatusBar1->currentMessage()));
    }

    void valueTooLongFailsOnlyItsRow_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("told");
        QTest::newRow("name") << QByteArray(151, 'x') + ";603123456"
                              << "Řádek 2: Jméno má 151 znaků, pole dovoluje nejvýše 150.";
        QTest::newRow("e-mail") << "Jan;603123456;" + QByteArray(51, 'e')
                                << "Řádek 2: Email má 51 znaků, pole dovoluje nejvýše 50.";
        QTest::newRow("ICQ, in characters") << QStringLiteral("Jan;603123456;;;;ččččččččččččččč1").toUtf8()
                                            << "Řádek 2: ICQ má 16 znaků, pole dovoluje nejvýše 15.";
        // The engine's length stops at a NUL: it must not let the rest past the check.
        QTest::newRow("NUL in a name") << QByteArray("Jan\0", 4) + QByteArray(5000, 'x') + ";603123456"
                                       << "Řádek 2: obsahuje znak NUL, který nelze uložit.";
        QTest::newRow("NUL in a further phone") << QByteArray("Jan;603123456;;;;;;604\0", 24)
                                                << "Řádek 2: obsahuje znak NUL, který nelze uložit.";
        QTest::newRow("phone too long to keep whole")
            << QByteArray("Jan;1234567890123456789012345")
            << "Řádek 2: Telefon má 28 znaků, pole dovoluje nejvýše 20.";
        QTest::newRow("further phone too long") << QByteArray("Jan;603123456;;;;;;1234567890123456789")
                                                << "Řádek 2: Telefon má 22 znaků, pole dovoluje nejvýše 20.";
        QTest::newRow("line of megabytes") << QByteArray(3 * 1024 * 1024, 'x') + ";603123456"
                                           << "Řádek 2: řádek je delší než 1 MB.";
    }
    void valueTooLongFailsOnlyItsRow()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, told);
        WriteBytes(file(), "Eva;604000000\r\n" + line + "\r\nAda;605000000");
        runImport();
        QCOMPARE(added(), (QStringList{"604 000 000|Eva|||||", "605 000 000|Ada|||||"}));
        // The question, then one message naming the line: no engine text, nothing logged.
        const QStringList shown = testsupport::MessagesShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown.at(1).contains(told), qPrintable(shown.at(1)));
        QVERIFY(!shown.at(1).contains(QStringLiteral("length(")));
        QCOMPARE(m_box->errorLogLines(), QStringList());
        QVERIFY2(Parts(*m_w).StatusBar1->currentMessage().contains(
                     QStringLiteral("Přidáno záznamů: 2, čísel již v seznamu: 0, odmítnutých řádků: 1.")),
                 qPrintable(Parts(*m_w).StatusBar1->currentMessage()));
    }

    // A contact the import stored can be saved again in the detail dialog, control characters
    // and all.
    void importedContactSavesAgain()
    {
        WriteBytes(file(), "A\x01b\tc\rd;603123456;;x\x1Fy\r\n");
        runImport();
        QCOMPARE(added(), QStringList{"603 123 456|A\x01b\tc\rd||x\x1Fy|||"});
        for (int r = 0; r < Parts(*m_w).ADOQuery1->recordCount(); ++r) {
            Parts(*m_w).DBGrid1->selectRow(r);
            if (Parts(*m_w).ADOQuery1->fieldText(u"telefon") == QStringLiteral("603 123 456"))
                break;
        }
        QVERIFY(testsupport::SaveSelectedUnchanged(m_w.get()).saved);
        QCOMPARE(testsupport::MessagesShown().size(), 1);
        QCOMPARE(added(), QStringList{"603 123 456|A\x01b\tc\rd||x\x1Fy|||"});
    }

    void nothingHappensWithout_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<QString>("special");
        QTest::newRow("answer Ne") << 0 << "";
        QTest::newRow("dialog cancelled") << 1 << "";
        QTest::newRow("missing file") << 2 << "";
        // Refused before the question: a pipe would block for good, a device never end.
        QTest::newRow("folder") << 3 << "dir";
        QTest::newRow("pipe") << 3 << "fifo";
        QTest::newRow("device") << 3 << "/dev/zero";
        QTest::newRow("socket") << 3 << "socket";
    }
    void nothingHappensWithout()
    {
        QFETCH(int, way);
        QFETCH(QString, special);
        WriteBytes(file(), "Jan;603123456\r\n");
        if (way == 0) {
            runImport(1);
            QCOMPARE(MessageDialogSeam::shown().size(), 1);
        } else if (way == 3) {
            const testsupport::SpecialInput input(special, m_box->path());
            FileDialog::setNextFileName(input.path());
            Parts(*m_w).Natitelseznamzesouboru2->trigger();
            QCOMPARE(testsupport::MessagesShown(), QStringList{exchange::SpecialInputRefusal(input.path())});
        } else {
            if (way == 2)
                FileDialog::setNextFileName(m_box->path(QStringLiteral("neni.csv")));
            Parts(*m_w).Natitelseznamzesouboru2->trigger();
            QCOMPARE(MessageDialogSeam::shown().size(), 0);
        }
        QCOMPARE(added(), QStringList());
        QVERIFY(m_w->menuBar()->isEnabled());
    }

    void gridKeepsItsSearch()
    {
        Parts(*m_w).Hledani->setText(QStringLiteral("nov"));
        Parts(*m_w).Najdi->click();
        const QString statement = Parts(*m_w).ADOQuery1->sql();
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("1"));
        WriteBytes(file(), QStringLiteral("Jana Nováková;222333444\r\nPetr Dvořák;555666777\r\n").toUtf8());
        runImport();
        QCOMPARE(Parts(*m_w).ADOQuery1->sql(), statement);
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("2"));
        QCOMPARE(Parts(*m_w).ADOQuery1->recordCount(), 2);
    }

    void groupFilterReadAgain()
    {
        // A group the directory gained meanwhile is offered after the import, without a restart.
        testsupport::Exec(Parts(*m_w).ADOConnection1,
                          QStringLiteral("update zvonisty set skupina = 'Úřady'"));
        QVERIFY(!m_w->groups().contains(QStringLiteral("Úřady")));
        WriteBytes(file(), "Jan;603123456\r\n");
        runImport();
        QVERIFY(m_w->groups().contains(QStringLiteral("Úřady")));
    }

    // A full disk stops the import; the status bar says so and counts only what was kept.
    void fullDiskStopsAndTellsWhatWasKept()
    {
        QByteArray content;
        for (int i = 0; i < 3000; ++i)
            content += "Kontakt " + QByteArray::number(i) + ";" + QByteArray::number(700000000 + i) + ";;;" +
                       QByteArray(90, 'o') + "\r\n";
        WriteBytes(file(), content);
        const int pages =
            Column(Parts(*m_w).ADOConnection1, QStringLiteral("select * from pragma_page_count() as n"),
                   QStringLiteral("page_count"))
                .first()
                .toInt();
        testsupport::Exec(Parts(*m_w).ADOConnection1,
                          QStringLiteral("pragma max_page_count = %1").arg(pages + 40));
        runImport();
        const int kept = int(added().size());
        QVERIFY(kept < 3000);
        QCOMPARE(
            Parts(*m_w).StatusBar1->currentMessage(),
            QStringLiteral("Načítání zastaveno kvůli chybě: Na disku není volné místo. Přidáno záznamů: %1, "
                           "čísel již v seznamu: 0.")
                .arg(kept));
    }

    void encodings_data()
    {
        QTest::addColumn<QByteArray>("content");
        const QString text = QStringLiteral("Řehoř Čermák;603123456;;Příliš žluťoučký kůň\r\n");
        QByteArray cp1250;
        QVERIFY(exchange::EncodeCp1250(text, &cp1250));
        QTest::newRow("code page 1250") << cp1250;
        QTest::newRow("UTF-8") << text.toUtf8();
        QTest::newRow("UTF-8 with its mark") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    }
    void encodings()
    {
        QFETCH(QByteArray, content);
        WriteBytes(file(), content);
        runImport();
        QCOMPARE(added(), QStringList{"603 123 456|Řehoř Čermák||Příliš žluťoučký kůň|||"});
    }

    void stopKeepsTheRowsSoFar()
    {
        QByteArray content;
        for (int i = 0; i < 1000; ++i)
            content += "Jméno " + QByteArray::number(i) + ";" + QByteArray::number(700000000 + i) + "\r\n";
        // Longer lines than the rest: the panel counts lines, not bytes.
        content += QByteArray(300, 'x') + ";799999999\r\n";
        WriteBytes(file(), content);
        bool disabledMeanwhile = false;
        bool panelShown = false;
        QString progress;
        // Runs at the first moment the import lets window events through: before the second line.
        QTimer::singleShot(0, this, [&] {
            disabledMeanwhile = !m_w->menuBar()->isEnabled();
            panelShown = Parts(*m_w).Panel1->isVisible();
            progress = Parts(*m_w).ProgressBar1->text();
            auto* stop = Parts(*m_w).Panel1->findChild<QPushButton*>(QStringLiteral("Prerusit"));
            QVERIFY(stop);
            stop->click();
        });
        runImport();
        QVERIFY(disabledMeanwhile);
        QVERIFY(panelShown);
        QVERIFY2(progress.startsWith(QStringLiteral("Načítání seznamu: ")) &&
                     progress.endsWith(QStringLiteral(" z 1") + QChar(0xa0) + QStringLiteral("001")),
                 qPrintable(progress));
        QCOMPARE(added().size(), 1);
        QVERIFY(Parts(*m_w).StatusBar1->currentMessage().startsWith(QStringLiteral("Načítání přerušeno.")));
        // A control's hint covers the summary only while the pointer rests on the control.
        const QString summary = Parts(*m_w).StatusBar1->currentMessage();
        QStatusTipEvent hint(QStringLiteral("Vyhledávání"));
        QApplication::sendEvent(Parts(*m_w).Hledani, &hint);
        QCOMPARE(Parts(*m_w).StatusBar1->currentMessage(), QStringLiteral("Vyhledávání"));
        QStatusTipEvent gone{QString()};
        QApplication::sendEvent(Parts(*m_w).Hledani, &gone);
        QCOMPARE(Parts(*m_w).StatusBar1->currentMessage(), summary);
        QVERIFY(m_w->menuBar()->isEnabled());
        QVERIFY(!Parts(*m_w).Panel1->isVisible());
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("2"));

        // Running it again completes the set without a number twice; the last summary goes as it starts.
        QString statusMeanwhile = summary;
        QTimer::singleShot(0, this, [&] { statusMeanwhile = Parts(*m_w).StatusBar1->currentMessage(); });
        runImport();
        QCOMPARE(statusMeanwhile, QString());
        QCOMPARE(added().size(), 1000);
        QVERIFY2(Parts(*m_w).StatusBar1->currentMessage().contains(
                     QStringLiteral("Přidáno záznamů: 999, čísel již v "
                                    "seznamu: 1, odmítnutých řádků: 1.")),
                 qPrintable(Parts(*m_w).StatusBar1->currentMessage()));
    }

    void rowsAreCommittedInGroups()
    {
        QByteArray content;
        for (int i = 0; i < 3000; ++i)
            content += "X;" + QByteArray::number(800000000 + i) + "\r\n";
        WriteBytes(file(), content);
        int commits = 0;
        sqlite3_commit_hook(
            Parts(*m_w).ADOConnection1->handle(),
            [](void* count) {
                ++*static_cast<int*>(count);
                return 0;
            },
            &commits);
        runImport();
        sqlite3_commit_hook(Parts(*m_w).ADOConnection1->handle(), nullptr, nullptr);
        QCOMPARE(added().size(), 3000);
        QVERIFY(commits >= 1);
        QVERIFY2(commits < 100, qPrintable(QString::number(commits)));
    }
};

QTEST_MAIN(TestTextImport)
#include "test_textimport.moc"
