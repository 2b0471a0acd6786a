// A running import killed outright, then run again.
//
// The test starts itself as a child process that runs the real main window's import on a large
// file, waits until the import has been going for a while and kills the child with SIGKILL, so
// nothing of the program's own runs after the kill. It then checks the file the child left
// and runs the same import again in this process.
#include "app/AppContext.h"
#include "app/TMain.h"
#include "db/engine/Connection.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <cstdio>

using testsupport::Column;
using testsupport::Parts;
using testsupport::Sandbox;

namespace {

constexpr int kLines = 60000;
const char* const kChildSwitch = "--import-child";

// In the child: the import of `folder`/seznam.csv into `folder`/Zvonisty.mdb, telling the
// parent on standard output once the progress bar has moved.
int RunChild(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    QDir::setCurrent(folder);
    app::SetExecutableDir(folder + QLatin1Char('/'));
    MessageDialogSeam::setTestMode(true);
    FileDialog::setTestMode(true);
    InstallDialogFailureReporter();
    TMain window;
    if (!window.started())
        return 2;
    window.show();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (Parts(window).ProgressBar1->value() > 0) {
            std::printf("running\n");
            std::fflush(stdout);
        }
    });
    tick.start(5);
    FileDialog::setNextFileName(folder + QStringLiteral("/seznam.csv"));
    MessageDialogSeam::setNextAnswer(0);
    Parts(window).Natitelseznamzesouboru2->trigger();
    std::printf("finished\n");
    std::fflush(stdout);
    return 0;
}

} // namespace

class TestImportKill : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedImportKeepsWholeGroupsAndRerunCompletes()
    {
        Sandbox box;
        box.createDirectory(4, {QStringLiteral("insert into zvonisty (telefon, jmeno) values ('700 000 005', "
                                               "'Už tam')")});
        {
            QFile f(box.path(QStringLiteral("seznam.csv")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            for (int i = 0; i < kLines; ++i)
                f.write("Jméno " + QByteArray::number(i) + ";" + QByteArray::number(700000000 + i) +
                        ";mail@example.cz;;Firma;;\r\n");
        }

        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kChildSwitch), box.path()});
        QVERIFY(child.waitForStarted());
        QByteArray said;
        QElapsedTimer waited;
        waited.start();
        while (!said.contains("running") && !said.contains("finished") && waited.elapsed() < 120000 &&
               child.state() == QProcess::Running) {
            child.waitForReadyRead(100);
            said += child.readAllStandardOutput();
        }
        QVERIFY2(said.contains("running"), said.constData());
        // Long enough for some groups to be committed, short of the whole file.
        QTest::qWait(600);
        child.kill();
        QVERIFY(child.waitForFinished(30000));
        said += child.readAllStandardOutput();
        QVERIFY2(!said.contains("finished"), "the import ended before the kill; use a larger file");
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        int kept = 0;
        {
            db::Connection c;
            c.setConnectionString(testsupport::ConnectionStringFor(box.dbPath()));
            c.open();
            QCOMPARE(Column(&c, QStringLiteral("pragma integrity_check"), QStringLiteral("integrity_check")),
                     QStringList{"ok"});
            QCOMPARE(
                Column(&c,
                       QStringLiteral("select telefon from zvonisty group by telefon having count(*) > 1"),
                       QStringLiteral("telefon")),
                QStringList());
            kept = Column(&c, QStringLiteral("select count(*) as n from zvonisty"), QStringLiteral("n"))
                       .first()
                       .toInt();
            // Whole lines only: the rows of a line are its one number, so the kept rows are the
            // file's first lines without a gap.
            QCOMPARE(
                Column(&c,
                       QStringLiteral("select count(*) as n from zvonisty where jmeno like 'Jméno %' and "
                                      "cast(substr(jmeno, 7) as integer) >= %1")
                           .arg(kept),
                       QStringLiteral("n")),
                QStringList{"0"});
        }
        qInfo("rows kept after the kill: %d of %d", kept - 1, kLines);
        QVERIFY(kept > 1);
        QVERIFY(kept < kLines);

        auto w = testsupport::StartMain();
        QVERIFY(w->started());
        FileDialog::setNextFileName(box.path(QStringLiteral("seznam.csv")));
        MessageDialogSeam::setNextAnswer(0);
        Parts(*w).Natitelseznamzesouboru2->trigger();
        QCOMPARE(Column(Parts(*w).ADOConnection1, QStringLiteral("select count(*) as n from zvonisty"),
                        QStringLiteral("n")),
                 QStringList{QString::number(kLines)});
        QCOMPARE(Column(Parts(*w).ADOConnection1,
                        QStringLiteral("select telefon from zvonisty group by telefon having count(*) > 1"),
                        QStringLiteral("telefon")),
                 QStringList());
        QCOMPARE(Column(Parts(*w).ADOConnection1, QStringLiteral("pragma integrity_check"),
                        QStringLiteral("integrity_check")),
                 QStringList{"ok"});
    }
};

int main(int argc, char** argv)
{
    if (argc >= 3 && qstrcmp(argv[1], kChildSwitch) == 0)
        return RunChild(argc, argv);
    QApplication application(argc, argv);
    TestImportKill test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_importkill.moc"
