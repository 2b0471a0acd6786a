// The main window's start-up on its directory file and its close handling.
#include "app/Application.h"
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "db/engine/Connection.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::Parts;
using testsupport::Sandbox;

namespace {

bool CloseAccepted(TMain& window)
{
    QCloseEvent event;
    QCoreApplication::sendEvent(&window, &event);
    return event.isAccepted();
}

// An object whose event handler fails as a command might.
class Failing : public QObject
{
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("Sloupec xyz neexistuje.");
        return QObject::event(e);
    }
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void openingFailures_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("reason");
        const QString notDirectory = QStringLiteral("Soubor není databází telefonního seznamu.");
        QTest::newRow("missing") << QByteArray() << false << QStringLiteral("nebyl nalezen.");
        QTest::newRow("empty") << QByteArray() << true << notDirectory;
        QTest::newRow("text file") << QByteArray("603 123 456;Novák\r\n") << true << notDirectory;
        QTest::newRow("random bytes")
            << QByteArray::fromHex("00ff13a7").repeated(1000) << true << notDirectory;
        // The engine's own header followed by garbage: the engine's refusal, in Czech.
        QTest::newRow("damaged header") << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\x7f')
                                        << true << QStringLiteral("Soubor není databází.");
    }
    void openingFailures()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, present);
        QFETCH(QString, reason);
        Sandbox box;
        if (present) {
            QFile f(box.dbPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const QByteArray before = present ? testsupport::FileHash(box.dbPath()) : QByteArray();
        TMain window;
        QVERIFY(!window.started());
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        const auto& shown = MessageDialogSeam::shown().first();
        QVERIFY2(shown.text.startsWith(QStringLiteral("Nastala chyba při otevření DB: ")),
                 qPrintable(shown.text));
        QVERIFY2(shown.text.endsWith(reason), qPrintable(shown.text));
        QCOMPARE(shown.icon, 2);
        QCOMPARE(shown.buttonSet, 0);
        QCOMPARE(shown.over, QGuiApplication::primaryScreen()->geometry());
        QCOMPARE(window.minimumSize(), QSize(10, 10));
        QCOMPARE(QFileInfo::exists(box.dbPath()), present);
        if (present)
            QCOMPARE(testsupport::FileHash(box.dbPath()), before);
    }

    void fileBesideExecutableOnlyIsNotOpened()
    {
        Sandbox box;
        QDir(box.path()).mkdir(QStringLiteral("jinde"));
        box.createDirectory();
        QDir::setCurrent(box.path(QStringLiteral("jinde")));
        TMain window;
        QVERIFY(!window.started());
        QVERIFY(!QFileInfo::exists(box.path(QStringLiteral("jinde/Zvonisty.mdb"))));
    }

    void secondCopyIsRefused()
    {
        Sandbox box;
        box.createDirectory();
        TMain first;
        QVERIFY(first.started());
        TMain second;
        QVERIFY(!second.started());
        QVERIFY(MessageDialogSeam::shown().last().text.startsWith(
            QStringLiteral("Nastala chyba při otevření DB: ")));
    }

    void readOnlyFileIsToldOnce()
    {
        Sandbox box;
        box.createDirectory();
        // Root writes any file, so the start runs in a child process as an ordinary user, for
        // whom the directory file (not its folder) is read-only.
        QVERIFY(chmod(QFile::encodeName(box.dbPath()).constData(), 0444) == 0);
        QVERIFY(chmod(QFile::encodeName(box.path()).constData(), 0777) == 0);
        const QByteArray before = testsupport::FileHash(box.dbPath());
        const pid_t pid = fork();
        if (pid == 0) {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(10);
            TMain window;
            if (!window.started() || !window.readOnly())
                _exit(11);
            if (!window.windowTitle().endsWith(QStringLiteral(" (jen pro čtení)")))
                _exit(12);
            const auto shown = MessageDialogSeam::shown();
            if (shown.size() != 1 ||
                shown.first().text !=
                    QStringLiteral("Soubor Zvonisty.mdb je otevřen jen pro čtení; změny nelze ukládat."))
                _exit(13);
            // Closing tries no write the file refuses.
            Parts(window).Konec1->trigger();
            if (MessageDialogSeam::shown().size() != 1)
                _exit(14);
            _exit(0);
        }
        int status = 0;
        bool ended = false;
        for (int i = 0; i < 6000 && !ended; ++i) {
            ended = waitpid(pid, &status, WNOHANG) == pid;
            if (!ended)
                usleep(10000);
        }
        if (!ended) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        chmod(QFile::encodeName(box.path()).constData(), 0700);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 10)
            QSKIP("cannot act as an ordinary user here");
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(testsupport::FileHash(box.dbPath()), before);
    }

    void startShowsContactsByName()
    {
        Sandbox box;
        box.createDirectory(
            4,
            {QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) values ('1', 'Šimek', 'Práce')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) values ('2', 'adam', 'rodina')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) values ('3', 'Čapek', 'Rodina')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno) values ('4', 'Hora')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) values ('5', 'Kos', 'RODINA')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) values ('6', 'Lis', '')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) values ('7', 'Mák', 'práce')")});
        TMain window;
        QVERIFY(window.started());
        QCOMPARE(window.windowTitle(), QStringLiteral("Zvonistní seznam v. 1.1.1.101"));
        QCOMPARE(Parts(window).ADOQuery1->sql(), QStringLiteral("select * from zvonisty order by jmeno"));
        QCOMPARE(testsupport::GridColumn(window),
                 (QStringList{QStringLiteral("adam"), QStringLiteral("Čapek"), QStringLiteral("Hora"),
                              QStringLiteral("Kos"), QStringLiteral("Lis"), QStringLiteral("Mák"),
                              QStringLiteral("Šimek")}));
        QCOMPARE(Parts(window).pocet->text(), QStringLiteral("7"));
        QStringList groups;
        for (int i = 0; i < Parts(window).VyberSkupinu->count(); ++i)
            groups << Parts(window).VyberSkupinu->itemText(i);
        // A null group and an empty one give an empty entry each; groups differing in case are
        // one, named as the grouping statement names it.
        QCOMPARE(groups.size(), 5);
        QCOMPARE(groups.first(), QStringLiteral("Vše"));
        QCOMPARE(groups.at(1), QString());
        QCOMPARE(groups.at(2), QString());
        QCOMPARE(groups.at(3).toLower(), QStringLiteral("práce"));
        QCOMPARE(groups.at(4).toLower(), QStringLiteral("rodina"));
        db::Query grouped(Parts(window).ADOConnection1);
        grouped.setSql(QStringLiteral("select skupina from zvonisty group by skupina order by skupina"));
        grouped.open();
        QStringList expected{QStringLiteral("Vše")};
        for (int row = 0; row < grouped.recordCount(); ++row)
            expected << grouped.text(row, 0);
        QCOMPARE(groups, expected);
        QCOMPARE(Parts(window).VyberSkupinu->currentIndex(), 0);
        QVERIFY(MessageDialogSeam::shown().isEmpty());
    }

    void gridRowAndQueryRowAreOne()
    {
        Sandbox box;
        QStringList inserts;
        for (int i = 0; i < 6; ++i)
            inserts << QStringLiteral("insert into zvonisty (telefon, jmeno) values ('%1', 'N%1')").arg(i);
        box.createDirectory(4, inserts);
        TMain window;
        Parts(window).DBGrid1->selectRow(3);
        QCOMPARE(Parts(window).ADOQuery1->recNo(), 4);
        Parts(window).ADOQuery1->setRecNo(2);
        QCOMPARE(Parts(window).DBGrid1->currentIndex().row(), 1);
        QCOMPARE(Parts(window).DBGrid1->selectionModel()->selectedRows().size(), 1);
    }

    void closeHandling()
    {
        Sandbox box;
        box.createDirectory();
        TMain window;
        window.show();
        // Designed options: minimise instead of closing, no question.
        QVERIFY(Parts(window).MinimalizovataplikacipistiskuAltF41->isChecked());
        QVERIFY(!CloseAccepted(window));
        QVERIFY(window.isMinimized() || !window.isVisible());

        Parts(window).MinimalizovataplikacipistiskuAltF41->setChecked(false);
        Parts(window).Dotazpiuzaven1->setChecked(true);
        MessageDialogSeam::clearShown();
        MessageDialogSeam::setNextAnswer(1);
        QVERIFY(!CloseAccepted(window));
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QCOMPARE(MessageDialogSeam::shown().first().text, QStringLiteral("Zavřít zvonisty?"));
        QCOMPARE(MessageDialogSeam::shown().first().icon, 1);
        QCOMPARE(MessageDialogSeam::shown().first().buttonSet, 1);
        MessageDialogSeam::setNextAnswer(2);
        QVERIFY(!CloseAccepted(window));
        MessageDialogSeam::setNextAnswer(0);
        QVERIFY(CloseAccepted(window));
    }

    void konecThenNoAlwaysAsks()
    {
        Sandbox box;
        box.createDirectory();
        TMain window;
        window.show();
        Parts(window).Dotazpiuzaven1->setChecked(true);
        MessageDialogSeam::setNextAnswer(1);
        Parts(window).Konec1->trigger();
        QVERIFY(window.isVisible() && !window.isMinimized());
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        // Once "Konec" was chosen, a close is never turned into minimising again.
        MessageDialogSeam::setNextAnswer(1);
        QVERIFY(!CloseAccepted(window));
        QCOMPARE(MessageDialogSeam::shown().size(), 2);
        QVERIFY(!window.isMinimized());
    }

    // The application loads the toolkit's own Czech texts: its dialogs and standard buttons.
    void toolkitTextsAreCzech_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("czech");
        QTest::newRow("button") << "QPlatformTheme"
                                << "Cancel"
                                << "Zrušit";
        QTest::newRow("file dialog folder") << "QFileDialog"
                                            << "Look in:"
                                            << "Hledat v:";
        QTest::newRow("file dialog name") << "QFileDialog"
                                          << "File &name:"
                                          << "Název &souboru:";
    }
    void toolkitTextsAreCzech()
    {
        QFETCH(QString, context);
        QFETCH(QString, english);
        QFETCH(QString, czech);
        QCOMPARE(QCoreApplication::translate(context.toLatin1().constData(), english.toLatin1().constData()),
                 czech);
    }

    void uncaughtFailureIsReportedAndProgramGoesOn()
    {
        MessageDialogSeam::setTestMode(true);
        MessageDialogSeam::clearShown();
        Failing failing;
        QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QVERIFY(MessageDialogSeam::shown().first().errorReport);
        QCOMPARE(MessageDialogSeam::shown().first().text, QStringLiteral("Sloupec xyz neexistuje."));
        // The next event is handled as usual.
        bool ran = false;
        QTimer::singleShot(0, &failing, [&] { ran = true; });
        QTRY_VERIFY(ran);
    }
};

int main(int argc, char** argv)
{
    Application application(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_startup.moc"
