// The directory file as the file system gives it: read-only files and folders, files that
// cannot be read, a file cut short while open, and the exclusive hold against other processes.
#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "testsupport/TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using db::Connection;
using testsupport::ConnectionStringFor;
using db::EngineError;

namespace {

// Runs `body` in a child process and returns its exit status as waitpid gives it; a child
// that does not end within the time is killed. The child never returns into the test.
int InChild(const std::function<int()>& body, int seconds = 60)
{
    const pid_t pid = fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = body();
        } catch (...) {
            code = 98;
        }
        _exit(code);
    }
    int status = 0;
    for (int waited = 0; waited < seconds * 100; ++waited) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return status;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return status;
}

// Opens the file in a new process of this program's own code, as a second copy of the program
// would: 0 when it opened, 1 when it was refused because the file is held, 2 otherwise.
int OpenInAnotherProcess(const QString& path)
{
    const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
    const QByteArray file = QFile::encodeName(path);
    const pid_t pid = fork();
    if (pid == 0) {
        const char* argv[] = {self.constData(), "--open", file.constData(), nullptr};
        execv(self.constData(), const_cast<char* const*>(argv));
        _exit(3);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 4;
}

int OpenAndReport(const char* path)
{
    Connection c;
    c.setConnectionString(ConnectionStringFor(QFile::decodeName(path)));
    try {
        c.open();
    } catch (const EngineError& e) {
        return e.message() == QStringLiteral("Databázi právě používá jiný program.") ? 1 : 2;
    }
    return 0;
}

// In a child process: drops root, whom file permissions do not stop, to an ordinary user.
bool ActAsOrdinaryUser()
{
    if (geteuid() != 0)
        return true;
    return setgid(65534) == 0 && setuid(65534) == 0;
}

} // namespace

class TestFileAccess : public testsupport::FreshDirectoryTest
{
    Q_OBJECT

private Q_SLOTS:
    void init() { openFresh(); }
    void cleanup() { closeConnection(); }

    void anotherProcessIsRefused()
    {
        // A second copy of the program cannot open the file while it is held, and can once it is not.
        QCOMPARE(OpenInAnotherProcess(m_path), 1);
        m_connection->close();
        QCOMPARE(OpenInAnotherProcess(m_path), 0);
    }

    void fileCutShortDoesNotEndTheProgram()
    {
        exec(QStringLiteral("begin"));
        for (int i = 0; i < 3000; ++i)
            insertName(QStringLiteral("Jméno číslo %1 s delším textem, aby stránek bylo mnoho").arg(i));
        exec(QStringLiteral("commit"));
        QCOMPARE(column(QStringLiteral("select count(*) as n from zvonisty"), "n"), QStringList{"3000"});
        // Another program cuts the file short while it is open; reading it again is a failure
        // the program reports, never a signal that ends it.
        const int status = InChild([&] {
            if (truncate(QFile::encodeName(m_path).constData(), 4096) != 0)
                return 3;
            try {
                column(QStringLiteral("select * from zvonisty order by jmeno desc"), "jmeno");
                column(QStringLiteral("select * from zvonisty where email is null order by telefon"),
                       "jmeno");
            } catch (const EngineError&) {
            }
            return 0;
        });
        QVERIFY2(WIFEXITED(status), qPrintable(QStringLiteral("ended by signal %1").arg(WTERMSIG(status))));
        QCOMPARE(WEXITSTATUS(status), 0);
    }

    void readOnlyWhenAsked()
    {
        insertName(QStringLiteral("Novák"));
        m_connection->close();
        Connection c;
        c.setConnectionString(
            ConnectionStringFor(m_path, QStringLiteral("Read|Share Deny Read|Share Deny Write")));
        c.open();
        QVERIFY(c.readOnly());
        QCOMPARE(c.access(), Connection::Access::ReadOnlyRequested);
        // Held exclusively although the engine only shares a file it reads.
        QCOMPARE(OpenInAnotherProcess(m_path), 1);
        QCOMPARE(testsupport::Column(&c, QStringLiteral("select jmeno from zvonisty"), "jmeno"),
                 QStringList{QStringLiteral("Novák")});
        try {
            testsupport::Exec(&c, QStringLiteral("delete from zvonisty"));
            QFAIL("a file opened for reading was written");
        } catch (const EngineError& e) {
            QCOMPARE(e.message(), QStringLiteral("Do databáze nelze zapisovat."));
        }
    }

    void readOnlyFileOrFolder_data()
    {
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<int>("folderMode");
        QTest::newRow("file") << 0444 << 0777;
        QTest::newRow("folder") << 0666 << 0555;
    }
    void readOnlyFileOrFolder()
    {
        // Permissions do not stop root, as which the tests may run: the opening runs in a child
        // process as an ordinary user, so that what is checked is the file system's own answer.
        QFETCH(int, fileMode);
        QFETCH(int, folderMode);
        insertName(QStringLiteral("Novák"));
        m_connection->close();
        QVERIFY(chmod(QFile::encodeName(m_path).constData(), mode_t(fileMode)) == 0);
        QVERIFY(chmod(QFile::encodeName(m_dir.path()).constData(), mode_t(folderMode)) == 0);
        const QByteArray before = testsupport::FileHash(m_path);
        const int status = InChild([&] {
            if (!ActAsOrdinaryUser())
                return 10;
            if (db::FileIsWritable(m_path))
                return 11;
            Connection c;
            c.setConnectionString(ConnectionStringFor(m_path));
            c.open();
            if (c.access() != Connection::Access::ReadOnlyFile)
                return 12;
            if (testsupport::Column(&c, QStringLiteral("select jmeno from zvonisty"), "jmeno") !=
                QStringList{QStringLiteral("Novák")})
                return 13;
            // The hold is exclusive for a file opened for reading as well.
            Connection second;
            second.setConnectionString(ConnectionStringFor(m_path));
            try {
                second.open();
                return 14;
            } catch (const EngineError&) {
            }
            if (OpenInAnotherProcess(m_path) != 1)
                return 15;
            try {
                testsupport::Exec(&c, QStringLiteral("delete from zvonisty"));
                return 16;
            } catch (const EngineError&) {
            }
            return 0;
        });
        chmod(QFile::encodeName(m_dir.path()).constData(), 0700);
        chmod(QFile::encodeName(m_path).constData(), 0644);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 10)
            QSKIP("cannot act as an ordinary user here");
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(testsupport::FileHash(m_path), before);
    }

    void unreadableFileIsToldInCzech()
    {
        m_connection->close();
        QVERIFY(chmod(QFile::encodeName(m_path).constData(), 0) == 0);
        QVERIFY(chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
        const int status = InChild([&] {
            if (!ActAsOrdinaryUser())
                return 10;
            Connection c;
            c.setConnectionString(ConnectionStringFor(m_path));
            try {
                c.open();
            } catch (const EngineError& e) {
                return e.message() == QStringLiteral("K souboru nebo jeho složce chybí oprávnění.") ? 0 : 2;
            }
            return 1;
        });
        chmod(QFile::encodeName(m_path).constData(), 0644);
        chmod(QFile::encodeName(m_dir.path()).constData(), 0700);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 10)
            QSKIP("cannot act as an ordinary user here");
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--open") == 0)
        return OpenAndReport(argv[2]);
    TestFileAccess test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_fileaccess.moc"
