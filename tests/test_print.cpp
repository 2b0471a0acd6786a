// The printed directory as a PDF, read back by poppler's pdftotext.
#include "app/TMain.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/FileDialog.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using testsupport::Parts;
using testsupport::Sandbox;

namespace {

QString PdfText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int PageCount(const QString& text)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Strana 1 z (\\d+)")).match(text);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

const QStringList kNames{QStringLiteral("Cibulka"), QStringLiteral("Čapek"), QStringLiteral("Hájek"),
                         QStringLiteral("Chalupa"), QStringLiteral("Řehoř")};

// One statement: a statement per contact would cost most of the test's time.
QStringList Contacts(int count)
{
    return {QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                           "insert into zvonisty (telefon, jmeno) select i, 'Kontakt ' || i from n")
                .arg(count)};
}

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;
    QString pdfFile() const { return m_files.filePath(QStringLiteral("seznam.pdf")); }

    QString saveFromMenu(TMain* w)
    {
        FileDialog::setNextFileName(pdfFile());
        Parts(*w).UlozitPdf1->trigger();
        return PdfText(pdfFile());
    }

private Q_SLOTS:
    void whatTheGridShows_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("headings");
        QTest::addColumn<bool>("notes");
        QTest::newRow("whole") << QString() << QString() << QString() << kNames
                               << QStringList{QStringLiteral("C"), QStringLiteral("Č"), QStringLiteral("H"),
                                              QStringLiteral("Ch"), QStringLiteral("Ř")}
                               << false;
        QTest::newRow("search and group")
            << QStringLiteral("a") << QStringLiteral("Práce")
            << QStringLiteral("Hledání „a“ ve sloupci Jméno, skupina Práce")
            << QStringList{QStringLiteral("Cibulka"), QStringLiteral("Čapek"), QStringLiteral("Chalupa")}
            << QStringList{QStringLiteral("C"), QStringLiteral("Č"), QStringLiteral("Ch")} << true;
    }
    void whatTheGridShows()
    {
        QFETCH(QString, search);
        QFETCH(QString, group);
        QFETCH(QString, selection);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, headings);
        QFETCH(bool, notes);
        const QString note = QStringLiteral("volat ve všední dny, jinak vzkaz u sekretariátu");
        Sandbox box;
        box.createDirectory(
            4,
            {QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) values ('1', 'Řehoř', 'Doma')"),
             QStringLiteral(
                 "insert into zvonisty (telefon, jmeno, skupina) values ('2', 'Chalupa', 'Práce')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) values ('3', 'Hájek', 'Doma')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno, skupina, poznamka) values "
                            "('4', 'Čapek', 'Práce', '%1')")
                 .arg(note),
             QStringLiteral(
                 "insert into zvonisty (telefon, jmeno, skupina) values ('5', 'Cibulka', 'Práce')"),
             QStringLiteral(
                 "insert into poznamky (id, pozn, dat) values (4, 'vrátit katalog', '2.3.2024')")});
        auto w = testsupport::StartMain();
        app::IniSettings().setValue(QStringLiteral("TISK"), QStringLiteral("Poznamky"),
                      notes ? QStringLiteral("1") : QString());
        Parts(*w).VyberSkupinu->setCurrentText(group);
        Parts(*w).Hledani->setText(search);
        Parts(*w).Najdi->click();
        const QString text = saveFromMenu(w.get());

        QVERIFY2(text.contains(QStringLiteral("Telefonní seznam")), qPrintable(text));
        if (!selection.isEmpty())
            QVERIFY(text.contains(selection));
        QCOMPARE(PageCount(text), 1);
        QStringList names, letters;
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (words.size() == 1 && words[0].size() <= 2 && words[0].front().isLetter())
                letters << words[0];
            for (const QString& name : kNames)
                if (words.contains(name))
                    names << name;
        }
        QCOMPARE(names, shown);
        QCOMPARE(letters, headings);
        // The dated additional notes only when asked for.
        QCOMPARE(text.contains(QStringLiteral("2.3.2024: vrátit katalog")), notes);
        // The note wraps within its column and comes whole.
        if (shown.contains(QStringLiteral("Čapek")))
            QVERIFY(text.contains(QStringLiteral("volat")) && text.contains(QStringLiteral("sekretariátu")));
    }

    void commandLineWritesWhatTheMenuWrites()
    {
        Sandbox box;
        box.createDirectory(4, Contacts(300));
        QString fromMenu;
        {
            auto w = testsupport::StartMain();
            fromMenu = saveFromMenu(w.get());
        }
        QProcess p;
        p.setWorkingDirectory(box.path());
        p.start(QStringLiteral(ZV_PROGRAM), {QStringLiteral("--pdf"), QStringLiteral("prikaz.pdf")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QString line = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        QVERIFY2(line.endsWith(QStringLiteral("kontaktů 300, stran %1.").arg(PageCount(fromMenu))),
                 qPrintable(line));
        QCOMPARE(PdfText(box.path(QStringLiteral("prikaz.pdf"))), fromMenu);
        // More rows, more pages.
        QVERIFY(PageCount(fromMenu) > 1);
    }

    void aStoppedPdfLeavesNoFile_data()
    {
        QTest::addColumn<QByteArray>("earlier");
        QTest::newRow("no earlier file") << QByteArray();
        QTest::newRow("earlier file") << QByteArrayLiteral("%PDF earlier");
    }
    void aStoppedPdfLeavesNoFile()
    {
        QFETCH(QByteArray, earlier);
        QFile::remove(pdfFile());
        if (!earlier.isEmpty())
            testsupport::WriteBytes(pdfFile(), earlier);
        Sandbox box;
        // Enough that the job outlasts the second before its frame appears, in any build.
        box.createDirectory(4, Contacts(50000));
        auto w = testsupport::StartMain();
        QTimer::singleShot(0, w.get(), [&w] {
            Parts(*w).Panel1->findChild<QPushButton*>(QStringLiteral("Prerusit"))->click();
        });
        saveFromMenu(w.get());
        QCOMPARE(QFileInfo::exists(pdfFile()), !earlier.isEmpty());
        if (!earlier.isEmpty())
            QCOMPARE(testsupport::ReadBytes(pdfFile()), earlier);
        QCOMPARE(QDir(m_files.path()).entryList(QDir::Files).size(), earlier.isEmpty() ? 0 : 1);
    }
};

QTEST_MAIN(TestPrint)
#include "test_print.moc"
