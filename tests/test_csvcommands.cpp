// The CSV commands of the main window: the import through its mapping dialog with its tally,
// the export and its way back, and the inputs refused before any dialog.
#include "app/TMain.h"
#include "exchange/CsvMappingDialog.h"
#include "formats/InputFile.h"
#include "formats/TextCodec.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>

using testsupport::MessagesShown;
using testsupport::Parts;
using testsupport::Sandbox;

namespace {

QByteArray Cp1250(const QString& text)
{
    QByteArray bytes;
    exchange::EncodeCp1250(text, &bytes);
    return bytes;
}

// What the mapping dialog showed, and the fields chosen in it before it was accepted.
struct DialogSeen
{
    bool shown = false;
    QString recognised;
};

} // namespace

class TestCsvCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;

    QStringList contacts() { return testsupport::ContactTexts(Parts(*m_w).ADOConnection1); }

    // Imports the file through the menu; `fields` are chosen for the columns in their order (an
    // empty one keeps what the dialog proposed).
    DialogSeen import(const QString& path, const QStringList& fields = {})
    {
        auto seen = std::make_shared<DialogSeen>();
        testsupport::WhenModalShown([seen, fields](QWidget* modal) {
            auto* dialog = qobject_cast<exchange::TDialogCsv*>(modal);
            if (!dialog)
                return;
            seen->shown = true;
            seen->recognised = dialog->Rozpoznano->text();
            for (int c = 0; c < fields.size(); ++c)
                if (!fields.at(c).isEmpty()) {
                    auto* field =
                        dialog->Nahled->findChild<QComboBox*>(QStringLiteral("Sloupec%1").arg(c + 1));
                    field->setCurrentIndex(field->findText(fields.at(c)));
                }
            dialog->Nacist->click();
        });
        MessageDialogSeam::clearShown();
        FileDialog::setNextFileName(path);
        Parts(*m_w).ImportovatzCSV1->trigger();
        return *seen;
    }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        // A name with blanks around it and a note holding quotes and a line break, which the
        // export must quote; a name code page 1250 cannot write.
        m_box->createDirectory(
            4,
            {QStringLiteral("insert into zvonisty (telefon, jmeno, email, organizace, skupina, icq) values "
                            "('604 111 222', 'Němcová Božena', 'b@n.cz', 'Ratibořice, Staré bělidlo', "
                            "'Autoři', '1820')"),
             QStringLiteral(
                 "insert into zvonisty (telefon, jmeno, poznamka) values ('222 333 444', ' Babička ', "
                 "'první\r\ndruhý \"řádek\"')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) values ('777 000 111', 'Жуков', "
                            "'Rodina')")});
        m_w = testsupport::StartMain();
    }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    // Rows without a dialog come last: a dialog that was not shown leaves its watch running.
    void imports_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("recognised");
        QTest::addColumn<QString>("told");
        QTest::addColumn<QStringList>("added");
        QFile gmail(QStringLiteral(ZV_FIXTURES "/csv-public/roundcube_gmail.csv"));
        QVERIFY(gmail.open(QIODevice::ReadOnly));
        QTest::newRow("Google's export as recognised")
            << gmail.readAll() << QStringList() << QStringLiteral("export z Google Contacts")
            << QStringLiteral("Import z CSV je hotov.\nPřidáno kontaktů: 7\nČísel již v DB: 0")
            << QStringList();
        QTest::newRow("the program's own header in windows-1250, rows left out and refused")
            << Cp1250(QStringLiteral(
                          "Telefon;Jméno;Skupina\r\n604111222;Němcová Božena;Autoři\r\n;Bez čísla;\r\n"
                          "605 000 111;%1;\r\n\"606 000 111\";\"Neuzavřený\r\n")
                          .arg(QString(151, u'x')))
            << QStringList() << QStringLiteral("export z tohoto programu")
            << QStringLiteral("Import z CSV je hotov.\nPřidáno kontaktů: 0\nČísel již v DB: 1\n"
                              "Vynecháno řádků bez telefonního čísla: 1\nUvozovky otevřené na řádku 5 nejsou "
                              "do konce souboru uzavřeny; řádek 5 a zbytek souboru nebyly načteny.\nNěkteré "
                              "řádky souboru nebyly načteny (celkem 1):\nŘádek 4: Jméno má 151 znaků, pole "
                              "dovoluje nejvýše 150.")
            << QStringList();
        QTest::newRow("a header mapped by hand, remembered for the next file")
            << QStringLiteral("Kdo,Číslo,Kam\nNovák Jan,777 123 456 ::: 777 123 457,Dlouhá 5\n").toUtf8()
            << QStringList{QStringLiteral("Jméno"), QStringLiteral("Telefon")}
            << QStringLiteral("Záhlaví nebylo rozpoznáno; přiřaďte sloupce polím seznamu.")
            << QStringLiteral("Import z CSV je hotov.\nPřidáno kontaktů: 2\nČísel již v DB: 0")
            << QStringList{QStringLiteral("777 123 456|Novák Jan||||||"),
                           QStringLiteral("777 123 457|Novák Jan||||||")};
        QTest::newRow("empty") << QByteArray("\xEF\xBB\xBF\r\n") << QStringList() << QString()
                               << QStringLiteral("Nelze načíst %1: soubor je prázdný.") << QStringList();
        QTest::newRow("binary") << QByteArray("PK\x03\x04\0\0\x08\0", 8) << QStringList() << QString()
                                << QStringLiteral("Nelze načíst %1: není to textový soubor CSV, obsahuje "
                                                  "binární data.")
                                << QStringList();
        QTest::newRow("pipe") << QByteArray() << QStringList() << QString() << QString() << QStringList();
    }
    void imports()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, fields);
        QFETCH(QString, recognised);
        QFETCH(QString, told);
        QFETCH(QStringList, added);
        QString path = m_box->path(QStringLiteral("kontakty.csv"));
        std::unique_ptr<testsupport::SpecialInput> pipe;
        if (bytes.isEmpty()) {
            pipe = std::make_unique<testsupport::SpecialInput>(QStringLiteral("fifo"), m_box->path());
            path = pipe->path();
            told = exchange::SpecialInputRefusal(path);
        } else {
            testsupport::WriteBytes(path, bytes);
        }
        const QStringList before = contacts();
        const DialogSeen seen = import(path, fields);
        QCOMPARE(MessagesShown(), QStringList{told.contains(QLatin1String("%1")) ? told.arg(path) : told});
        QCOMPARE(seen.shown, !recognised.isEmpty());
        if (!seen.shown) {
            QCOMPARE(MessageDialogSeam::shown().last().icon, 2);
            QCOMPARE(contacts(), before);
            return;
        }
        QVERIFY2(seen.recognised.contains(recognised), qPrintable(seen.recognised));
        QVERIFY2(
            Parts(*m_w).StatusBar1->currentMessage().startsWith(QStringLiteral("Import z CSV dokončen.")),
            qPrintable(Parts(*m_w).StatusBar1->currentMessage()));
        if (!added.isEmpty()) {
            QStringList after = before + added;
            after.sort();
            QCOMPARE(contacts(), after);
            // The mapping chosen is offered again for the same header row.
            testsupport::WriteBytes(path, QStringLiteral("Kdo,Číslo,Kam\nDvořák,777 000 999,\n").toUtf8());
            QVERIFY(import(path).recognised.contains(QStringLiteral("uložené při minulém importu")));
            QVERIFY(contacts().contains(QStringLiteral("777 000 999|Dvořák||||||")));
        }
    }

    // What the export writes is read back by the import as the same rows.
    void exportAndBack_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<int>("written");
        QTest::newRow("UTF-8 and comma") << 0 << QByteArray("\xEF\xBB\xBFTelefon,Jm") << 3;
        QTest::newRow("windows-1250 and semicolon") << 1 << QByteArray("Telefon;Jm") << 2;
    }
    void exportAndBack()
    {
        QFETCH(int, answer);
        QFETCH(QByteArray, start);
        QFETCH(int, written);
        QStringList before = contacts();
        const QString path = m_box->path(QStringLiteral("vse.csv"));
        // The contact with a character the code page lacks is named, and the others are written.
        MessageDialogSeam::setNextAnswer(answer);
        if (written < 3)
            MessageDialogSeam::setNextAnswer(0);
        FileDialog::setNextFileName(path);
        Parts(*m_w).ExportovatdoCSV1->trigger();
        const QList<MessageDialogSeam::Record> shown = MessageDialogSeam::shown();
        QCOMPARE(shown.size(), 1 + (written < 3 ? 1 : 0) + 1);
        if (written < 3) {
            QVERIFY2(shown.at(1).text.contains(QStringLiteral("Жуков (777 000 111): znak „Ж“")),
                     qPrintable(shown.at(1).text));
            before.removeIf([](const QString& row) { return row.contains(QStringLiteral("Жуков")); });
        }
        QVERIFY(MessagesShown().last().startsWith(
            QStringLiteral("Do souboru CSV bylo zapsáno kontaktů: %1").arg(written)));
        QVERIFY(testsupport::ReadBytes(path).startsWith(start));
        testsupport::Exec(Parts(*m_w).ADOConnection1, QStringLiteral("delete from zvonisty"));
        QVERIFY(import(path).recognised.contains(QStringLiteral("export z tohoto programu")));
        QCOMPARE(contacts(), before);
    }
};

QTEST_MAIN(TestCsvCommands)
#include "test_csvcommands.moc"
