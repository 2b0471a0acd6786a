// What the conversion of the earlier Windows versions' files refuses: damaged files, by every way
// in (the conversion, the start, the command line, the merge), and what is no file to convert.
#include "app/TMain.h"
#include "db/oldfiles/JetConversion.h"
#include "testsupport/MainParts.h"
#include "testsupport/OldFiles.h"
#include "testsupport/TestSupport.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QDir>
#include <QProcess>
#include <QTest>

#include <sys/stat.h>

using testsupport::Digest;
using testsupport::Fixture;
using testsupport::Made;
using testsupport::Parts;
using testsupport::Rows;
using testsupport::Sandbox;

class TestOldFileRefusals : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;

private Q_SLOTS:
    void init() { m_box = std::make_unique<Sandbox>(); }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void damagedFileRefused_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("reason"); // when libmdb says nothing, the program's own
        for (const char* damage : {"truncated", "randompage", "header-version", "memo-cycle"})
            QTest::newRow(damage) << QString::fromLatin1(damage) << QString();
        const QString note = QStringLiteral(
            "Soubor je poškozen: text sloupce pozn v řádku %1 tabulky poznamky neodpovídá délce, kterou o "
            "sobě udává.");
        QTest::newRow("note in the row, 16 MB long") << QStringLiteral("memo-inline-length") << note.arg(7);
        QTest::newRow("note on a page, 16 MB long") << QStringLiteral("memo-page-length") << note.arg(8);
        QTest::newRow("note pointing nowhere") << QStringLiteral("memo-zero-pointer") << note.arg(8);
        QTest::newRow("table of no columns")
            << QStringLiteral("no-columns")
            << QStringLiteral("Soubor je poškozen: definice tabulky poznamky je neplatná.");
        QTest::newRow("table of 40 indexes")
            << QStringLiteral("index-count")
            << QStringLiteral("Soubor je poškozen: definice tabulky zvonisty je neplatná.");
        QTest::newRow("table of one row, said to have two")
            << QStringLiteral("row-count")
            << QStringLiteral(
                   "Soubor je poškozen: z tabulky verze byl přečten 1 řádek, tabulka má mít 2 řádky.");
    }

    // libmdb reads on through such damage with fewer rows or a wrong note; the conversion
    // refuses instead, leaves no file, and the original is unchanged, also at start.
    void damagedFileRefused()
    {
        QFETCH(QString, damage);
        QFETCH(QString, reason);
        const QString source = Made().damaged.value(damage);
        QVERIFY2(QFileInfo::exists(source), qPrintable(damage));
        QVERIFY(QFile::copy(source, m_box->dbPath()));
        const QByteArray before = Digest(source);
        QString why;
        const QString converted = m_box->path(QStringLiteral("novy.mdb"));
        QVERIFY(!db::ConvertJetFile(m_box->dbPath(), converted, nullptr, &why));
        QVERIFY(!why.isEmpty());
        if (!reason.isEmpty())
            QCOMPARE(why, reason);
        QVERIFY(!QFileInfo::exists(converted));

        MessageDialogSeam::setNextAnswer(0);
        m_w = testsupport::StartMain();
        QVERIFY(!m_w->started());
        const QString refusal = MessageDialogSeam::shown().last().text;
        QVERIFY2(refusal.startsWith(
                     QStringLiteral("Nastala chyba při otevření DB: Soubor Zvonisty.mdb ze starší verze "
                                    "programu nelze převést. ")),
                 qPrintable(refusal));
        QVERIFY(refusal.endsWith(QStringLiteral(" Původní soubor zůstal beze změny.")));
        QVERIFY(refusal.contains(reason));
        QCOMPARE(Digest(m_box->dbPath()), before);
        QCOMPARE(QDir(m_box->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("Zvonisty.mdb")});
    }

    void commandLineConversion_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("newExists");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("foreign"); // another's file beside the new one, left as it is
        QTest::newRow("converted") << Fixture(QStringLiteral("zvonisty-v3-jet3.mdb")) << false << 0
                                   << QStringLiteral("Soubor %1 byl převeden do %2: kontaktů 6, doplňujících "
                                                     "poznámek 6.")
                                   << QString();
        QTest::newRow("temporary name taken")
            << Fixture(QStringLiteral("zvonisty-v3-jet3.mdb")) << false << 0
            << QStringLiteral("Soubor %1 byl převeden do %2:") << QStringLiteral("novy.mdb-prevod.tmp");
        QTest::newRow("new file exists")
            << Fixture(QStringLiteral("zvonisty-v3-jet3.mdb")) << true << 1
            << QStringLiteral("Soubor %1 nelze převést: Soubor %2 již existuje.") << QString();
        QTest::newRow("not an old file")
            << QStringLiteral(ZV_PROGRAM) << false << 1
            << QStringLiteral("Soubor %1 nelze převést: není to soubor starší verze "
                              "programu.")
            << QString();
        QTest::newRow("named pipe")
            << QStringLiteral("roura") << false << 1
            << QStringLiteral("Soubor %1 nelze převést: není to obyčejný soubor, ale pojmenovaná roura.")
            << QString();
        QTest::newRow("device") << QStringLiteral("/dev/null") << false << 1
                                << QStringLiteral("Soubor %1 nelze převést: není to obyčejný soubor, ale "
                                                  "zařízení.")
                                << QString();
        QTest::newRow("damaged") << QStringLiteral("randompage") << false << 1
                                 << QStringLiteral("Soubor %1 nelze převést: Soubor je poškozen")
                                 << QString();
    }

    // Without a window: one Czech line, and an exit status that tells failure.
    void commandLineConversion()
    {
        QFETCH(QString, from);
        QFETCH(bool, newExists);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QFETCH(QString, foreign);
        if (Made().damaged.contains(from))
            from = Made().damaged.value(from);
        if (from == QLatin1String("roura")) {
            from = m_box->path(from);
            QCOMPARE(::mkfifo(QFile::encodeName(from).constData(), 0600), 0);
        }
        const QString to = m_box->path(QStringLiteral("novy.mdb"));
        if (newExists)
            testsupport::WriteBytes(to, "obsah");
        if (!foreign.isEmpty())
            testsupport::WriteBytes(m_box->path(foreign), "cizi");
        QProcess p;
        p.start(QStringLiteral(ZV_PROGRAM), {QStringLiteral("--convert"), from, to});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), exitCode);
        const QString line =
            QString::fromUtf8(exitCode == 0 ? p.readAllStandardOutput() : p.readAllStandardError());
        QVERIFY2(line.startsWith(said.replace(QStringLiteral("%1"), from).replace(QStringLiteral("%2"), to)),
                 qPrintable(line));
        QCOMPARE(line.count(QLatin1Char('\n')), 1);
        if (exitCode == 0)
            QCOMPARE(Rows(to, QStringLiteral("zvonisty"), {QStringLiteral("count(*)")}).value(0).value(0),
                     QStringLiteral("6"));
        else
            QCOMPARE(QFileInfo::exists(to), newExists);
        QStringList left =
            QDir(m_box->path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        left.removeAll(QFileInfo(to).fileName());
        left.removeAll(QFileInfo(from).fileName());
        QCOMPARE(left, foreign.isEmpty() ? QStringList() : QStringList{foreign});
        if (!foreign.isEmpty())
            QCOMPARE(testsupport::ReadBytes(m_box->path(foreign)), QByteArray("cizi"));
    }

    void damagedMergeSourceAddsNothing()
    {
        m_box->createDirectory(4);
        m_w = testsupport::StartMain();
        FileDialog::setNextFileName(Made().damaged.value(QStringLiteral("randompage")));
        Parts(*m_w).PidatzznamyzjinDBjennovsla1->trigger();
        const QString said = MessageDialogSeam::shown().last().text;
        QVERIFY2(said.startsWith(QStringLiteral("Soubor starší verze programu nelze načíst: ")),
                 qPrintable(said));
        QVERIFY(said.endsWith(QStringLiteral(" Nebyla přidána žádná položka.")));
        QCOMPARE(testsupport::Column(m_w->directory().connection(), QStringLiteral("select count(*) as n from zvonisty"),
                                     QStringLiteral("n")),
                 QStringList{QStringLiteral("0")});
    }
};

QTEST_MAIN(TestOldFileRefusals)

#include "test_oldfilerefusals.moc"
