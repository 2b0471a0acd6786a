// Saving the grid's contacts to a text file that the import reads back.
#include "app/TMain.h"
#include "db/engine/Connection.h"
#include "db/contacts/Query.h"
#include "formats/TextCodec.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using testsupport::ReadBytes;

using testsupport::Column;
using testsupport::Parts;
using testsupport::Sandbox;

namespace {

const QString kSelectRows = QStringLiteral(
    "select ifnull(telefon, '') || '|' || ifnull(jmeno, '') || '|' || ifnull(email, '') || '|' || "
    "ifnull(poznamka, '') || '|' || ifnull(organizace, '') || '|' || ifnull(icq, '') || '|' || "
    "ifnull(skype, '') as r from zvonisty order by telefon");

} // namespace

class TestListExport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;
    QString exportFile() const { return m_files.filePath(QStringLiteral("seznam.csv")); }

    void save(TMain* w, const QList<int>& answers = {})
    {
        FileDialog::setNextFileName(exportFile());
        for (int a : answers)
            MessageDialogSeam::setNextAnswer(a);
        Parts(*w).Ulozitseznamdosouboru1->trigger();
    }

    static QStringList contacts()
    {
        return {
            QStringLiteral("insert into zvonisty (telefon, jmeno, email, poznamka, organizace, skupina, icq, "
                           "skype, datum) values ('603 123 456', 'Řehoř Čermák', 'r@c.cz', 'volat po 17:00', "
                           "'Úřad', 'Práce', '12345', 'rehor.c', '1.1.2000')"),
            QStringLiteral("insert into zvonisty (telefon, jmeno, email, poznamka, organizace) values "
                           "('777 888 999', 'O''Brien ''--', '%_\\', 'a''''b', '\"uvozovky\"')"),
            QStringLiteral("insert into zvonisty (telefon, jmeno) values ('111 222 333', 'Žofie')"),
            QStringLiteral("insert into zvonisty (telefon, jmeno, email) values ('', 'Bez čísla', 'x@y')")};
    }

private Q_SLOTS:
    void roundTripGivesTheSameRows()
    {
        QStringList exported;
        {
            Sandbox box;
            box.createDirectory(4, contacts());
            auto w = testsupport::StartMain();
            exported = Column(Parts(*w).ADOConnection1, kSelectRows, QStringLiteral("r"));
            save(w.get());
            QCOMPARE(FileDialog::shown().size(), 1);
            QVERIFY(FileDialog::shown().first().save);
            QCOMPARE(MessageDialogSeam::shown().size(), 1);
            QCOMPARE(MessageDialogSeam::shown().first().text, QStringLiteral("Uloženo kontaktů: 4."));
        }
        const QByteArray bytes = ReadBytes(exportFile());
        // The grid's order (by name), seven columns, code page 1250, CR LF.
        QVERIFY(bytes.startsWith("Bez \xE8\xEDsla;;x@y;;;;\r\n"));
        QVERIFY(bytes.endsWith("\x8E"
                               "ofie;111 222 333;;;;;\r\n"));
        QCOMPARE(bytes.count("\r\n"), 4);
        QCOMPARE(bytes.count('\n'), 4);

        Sandbox box;
        box.createDirectory(4);
        auto w = testsupport::StartMain();
        FileDialog::setNextFileName(exportFile());
        MessageDialogSeam::setNextAnswer(0);
        Parts(*w).Natitelseznamzesouboru2->trigger();
        QCOMPARE(Column(Parts(*w).ADOConnection1, kSelectRows, QStringLiteral("r")), exported);
    }

    void onlyTheRowsTheGridShows()
    {
        Sandbox box;
        box.createDirectory(4, contacts());
        auto w = testsupport::StartMain();
        Parts(*w).Hledani->setText(QStringLiteral("Ř"));
        Parts(*w).Najdi->click();
        save(w.get());
        QCOMPARE(exchange::DecodeText(ReadBytes(exportFile())),
                 QStringLiteral("Řehoř Čermák;603 123 456;r@c.cz;volat po 17:00;Úřad;12345;rehor.c\r\n"));
    }

    void valuesTheLayoutCannotCarry_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("cancelled") << 1;
        QTest::newRow("saved without them") << 0;
    }
    void valuesTheLayoutCannotCarry()
    {
        QFETCH(int, answer);
        QFile::remove(exportFile());
        Sandbox box;
        box.createDirectory(
            4, {QStringLiteral("insert into zvonisty (telefon, jmeno) values ('1', 'A;B')"),
                QStringLiteral("insert into zvonisty (telefon, jmeno, poznamka) values ('2', 'C', "
                               "'řádek' || char(13) || char(10) || 'další')"),
                QStringLiteral("insert into zvonisty (telefon, jmeno) values ('3', 'Søren ☺')"),
                QStringLiteral("insert into zvonisty (telefon, jmeno) values ('4', 'Dobrý')")});
        auto w = testsupport::StartMain();
        save(w.get(), {answer});
        const auto& shown = MessageDialogSeam::shown();
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.first().icon, 1);
        QCOMPARE(shown.first().buttonSet, 1);
        for (const char* who : {"A;B (1)", "C (2)", "Søren ☺ (3)"})
            QVERIFY2(shown.first().text.contains(QString::fromUtf8(who)), who);
        QVERIFY(!shown.first().text.contains(QStringLiteral("Dobrý")));
        if (answer != 0) {
            QCOMPARE(shown.size(), 1);
            QVERIFY(!QFile::exists(exportFile()));
            return;
        }
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(1).text, QStringLiteral("Uloženo kontaktů: 1. Vynecháno kontaktů: 3."));
        QCOMPARE(ReadBytes(exportFile()), QByteArray("Dobr\xFD;4;;;;;\r\n"));
    }

    void failedWriteKeepsTheOldFile()
    {
        Sandbox box;
        box.createDirectory(4, contacts());
        auto w = testsupport::StartMain();
        FileDialog::setNextFileName(m_files.filePath(QStringLiteral("neni/slozka/seznam.csv")));
        Parts(*w).Ulozitseznamdosouboru1->trigger();
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QVERIFY(MessageDialogSeam::shown().first().text.startsWith(
            QStringLiteral("Seznam se nepodařilo uložit.")));
        QCOMPARE(MessageDialogSeam::shown().first().icon, 2);
    }

    void cancelledDialogWritesNothing()
    {
        QFile::remove(exportFile());
        Sandbox box;
        box.createDirectory(4, contacts());
        auto w = testsupport::StartMain();
        Parts(*w).Ulozitseznamdosouboru1->trigger();
        QCOMPARE(MessageDialogSeam::shown().size(), 0);
        QVERIFY(!QFile::exists(exportFile()));
    }
};

QTEST_MAIN(TestListExport)
#include "test_listexport.moc"
