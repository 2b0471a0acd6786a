// The text-file import through the menu, with scripted dialogs.
#include "app/TMain.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "db/RecordStatements.h"
#include "exchange/TextCodec.h"
#include "testsupport/TestSupport.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QDate>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>

using testsupport::WriteBytes;

using testsupport::Column;
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
            m_w->ADOConnection1,
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
        m_w->Natitelseznamzesouboru2->trigger();
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
        QCOMPARE(Column(m_w->ADOConnection1,
                        QStringLiteral("select distinct datum from zvonisty where id > 1"),
                        QStringLiteral("datum")),
                 QStringList{today});
        QVERIFY(!today.startsWith(QLatin1Char('0')) && !today.contains(QStringLiteral(".0")));
        QCOMPARE(Column(m_w->ADOConnection1,
                        QStringLiteral("select count(*) as n from zvonisty where id > 1 and "
                                       "skupina is not null"),
                        QStringLiteral("n")),
                 QStringList{"0"});
        // Only the question: no failure was shown.
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QCOMPARE(m_w->pocet->text(), QString::number(rows.size() + 1));

        // The same file again adds nothing.
        runImport();
        QCOMPARE(added(), rows);
        QVERIFY2(m_w->StatusBar1->currentMessage().contains(QStringLiteral("Přidáno záznamů: 0,")),
                 qPrintable(m_w->StatusBar1->currentMessage()));
    }

    void valueTooLongFailsOnlyItsRow()
    {
        const QByteArray longName(151, 'x');
        WriteBytes(file(), longName + ";603123456\r\nEva;604000000\r\n");
        runImport();
        QCOMPARE(added(), QStringList{"604 000 000|Eva|||||"});
        QCOMPARE(MessageDialogSeam::shown().size(), 2);
        QVERIFY(MessageDialogSeam::shown().at(1).text.startsWith(
            QStringLiteral("Došlo k chybě! (kontaktuje prosím správce)\r{")));
        const QStringList log = m_box->errorLogLines();
        QCOMPARE(log.size(), 1);
        QVERIFY2(log.first().endsWith(
                     QStringLiteral(
                         ": insert into zvonisty (telefon, jmeno, email, poznamka, organizace, icq, skype, "
                         "datum) values ('603 123 456', '%1', '', '', '', '', '', '%2')")
                         .arg(QString::fromLatin1(longName), DateText(QDate::currentDate()))),
                 qPrintable(log.first()));
        QVERIFY(m_w->StatusBar1->currentMessage().contains(QStringLiteral("Přidáno záznamů: 1,")));
    }

    void nothingHappensWithout_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("answer Ne") << 0;
        QTest::newRow("dialog cancelled") << 1;
        QTest::newRow("missing file") << 2;
    }
    void nothingHappensWithout()
    {
        QFETCH(int, way);
        WriteBytes(file(), "Jan;603123456\r\n");
        if (way == 0) {
            runImport(1);
            QCOMPARE(MessageDialogSeam::shown().size(), 1);
        } else {
            if (way == 2)
                FileDialog::setNextFileName(m_box->path(QStringLiteral("neni.csv")));
            m_w->Natitelseznamzesouboru2->trigger();
            QCOMPARE(MessageDialogSeam::shown().size(), 0);
        }
        QCOMPARE(added(), QStringList());
        QVERIFY(m_w->menuBar()->isEnabled());
    }

    void gridKeepsItsSearch()
    {
        m_w->Hledani->setText(QStringLiteral("nov"));
        m_w->Najdi->click();
        const QString statement = m_w->ADOQuery1->sql();
        QCOMPARE(m_w->pocet->text(), QStringLiteral("1"));
        WriteBytes(file(), QStringLiteral("Jana Nováková;222333444\r\nPetr Dvořák;555666777\r\n").toUtf8());
        runImport();
        QCOMPARE(m_w->ADOQuery1->sql(), statement);
        QCOMPARE(m_w->pocet->text(), QStringLiteral("2"));
        QCOMPARE(m_w->ADOQuery1->recordCount(), 2);
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
        WriteBytes(file(), content);
        bool disabledMeanwhile = false;
        bool panelShown = false;
        // Runs at the first moment the import lets window events through: before the second line.
        QTimer::singleShot(0, this, [&] {
            disabledMeanwhile = !m_w->menuBar()->isEnabled();
            panelShown = m_w->Panel1->isVisible();
            auto* stop = m_w->Panel1->findChild<QPushButton*>(QStringLiteral("Prerusit"));
            QVERIFY(stop);
            stop->click();
        });
        runImport();
        QVERIFY(disabledMeanwhile);
        QVERIFY(panelShown);
        QCOMPARE(added().size(), 1);
        QVERIFY(m_w->StatusBar1->currentMessage().startsWith(QStringLiteral("Načítání přerušeno.")));
        QVERIFY(m_w->menuBar()->isEnabled());
        QVERIFY(!m_w->Panel1->isVisible());
        QCOMPARE(m_w->pocet->text(), QStringLiteral("2"));

        // Running it again completes the set without a number twice.
        runImport();
        QCOMPARE(added().size(), 1000);
        QVERIFY2(
            m_w->StatusBar1->currentMessage().contains(QStringLiteral("Přidáno záznamů: 999, čísel již v "
                                                                      "seznamu: 1.")),
            qPrintable(m_w->StatusBar1->currentMessage()));
    }

    void rowsAreCommittedInGroups()
    {
        QByteArray content;
        for (int i = 0; i < 3000; ++i)
            content += "X;" + QByteArray::number(800000000 + i) + "\r\n";
        WriteBytes(file(), content);
        int commits = 0;
        sqlite3_commit_hook(
            m_w->ADOConnection1->handle(),
            [](void* count) {
                ++*static_cast<int*>(count);
                return 0;
            },
            &commits);
        runImport();
        sqlite3_commit_hook(m_w->ADOConnection1->handle(), nullptr, nullptr);
        QCOMPARE(added().size(), 3000);
        QVERIFY(commits >= 1);
        QVERIFY2(commits < 100, qPrintable(QString::number(commits)));
    }
};

QTEST_MAIN(TestTextImport)
#include "test_textimport.moc"
