// Whole files written so that a failure leaves the old one as it was.
#include "db/engine/ErrorText.h"
#include "testsupport/TestSupport.h"
#include "ui/SafeWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using testsupport::ReadBytes;

namespace {

// Writes with the file size limited to `limit` bytes, as on a disk that fills up.
bool WriteOnFullDisk(const QString& path, const QByteArray& data, rlim_t limit, QString* why)
{
    struct rlimit old
    {
    };
    getrlimit(RLIMIT_FSIZE, &old);
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = SafeWriteFile(path, data, why);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    return ok;
}

} // namespace

class TestSafeWrite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replacesTheWholeFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.viz"));
        QVERIFY(SafeWriteFile(path, QByteArray(5000, 'a')));
        QVERIFY(SafeWriteFile(path, "kratší"));
        QCOMPARE(ReadBytes(path), QByteArray("kratší"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);
    }

    void failuresLeaveTheOldFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        // The size limit stands in for the full disk: the system calls the file too large.
        QTest::newRow("disk full") << "full"
                                   << "Soubor je příliš velký.";
        QTest::newRow("disk full at once") << "fullAtOnce"
                                           << "Soubor je příliš velký.";
        QTest::newRow("folder is a file") << "notAFolder"
                                          << "Část zadané cesty není složka.";
        QTest::newRow("a folder in its place") << "folder"
                                               << "není obyčejný soubor.";
        QTest::newRow("a pipe in its place") << "fifo"
                                             << "není obyčejný soubor.";
    }
    void failuresLeaveTheOldFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("z.ini"));
        const QByteArray old = QByteArray(3000, 'o');
        const QByteArray data = QByteArray(6000, 'n');
        QString why;
        bool ok = true;
        if (kind == QLatin1String("full") || kind == QLatin1String("fullAtOnce")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
            f.close();
            ok = WriteOnFullDisk(path, data, kind == QLatin1String("full") ? 4000 : 1, &why);
            QCOMPARE(ReadBytes(path), old);
        } else if (kind == QLatin1String("notAFolder")) {
            QFile f(dir.filePath(QStringLiteral("soubor")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.close();
            path = dir.filePath(QStringLiteral("soubor/z.ini"));
            ok = SafeWriteFile(path, data, &why);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("z.ini")));
            ok = SafeWriteFile(path, data, &why);
            QVERIFY(QFileInfo(path).isDir());
        } else {
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            ok = SafeWriteFile(path, data, &why);
            QVERIFY(!QFileInfo(path).isFile());
        }
        QVERIFY(!ok);
        // In Czech, naming the file once.
        QVERIFY2(why.endsWith(reason), qPrintable(why));
        QCOMPARE(why.count(QFileInfo(path).fileName()), 1);
        // No temporary file is left behind.
        QCOMPARE(QDir(dir.path())
                     .entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot)
                     .size(),
                 1);
    }

    // What the system or the toolkit says of a failed file operation, as the user reads it.
    void fileFailuresAreToldInCzech_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("czech");
        QTest::newRow("missing") << "missing"
                                 << "Soubor nebo složka neexistuje.";
        QTest::newRow("a folder") << "folder"
                                  << "Zadaná cesta je složka, ne soubor.";
        QTest::newRow("no space") << "full"
                                  << "Na disku není volné místo.";
        QTest::newRow("permission") << "permission"
                                    << "K souboru nebo jeho složce chybí oprávnění.";
        QTest::newRow("unknown write failure") << "unknown"
                                               << "Do souboru nelze zapsat.";
        QTest::newRow("system number") << "number"
                                       << "Disk je jen pro čtení.";
        QTest::newRow("unknown system number") << "bad number"
                                               << "Operace se souborem se nezdařila (chyba systému 9999).";
    }
    void fileFailuresAreToldInCzech()
    {
        QFETCH(QString, kind);
        QFETCH(QString, czech);
        QTemporaryDir dir;
        QString text;
        if (kind == QLatin1String("missing")) {
            QFile f(dir.filePath(QStringLiteral("neni.csv")));
            QVERIFY(!f.open(QIODevice::ReadOnly));
            text = db::FileErrorText(f);
        } else if (kind == QLatin1String("folder")) {
            QFile f(dir.path());
            QVERIFY(!f.open(QIODevice::ReadOnly));
            text = db::FileErrorText(f);
        } else if (kind == QLatin1String("full")) {
            QFile f(QStringLiteral("/dev/full"));
            if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                QSKIP("no /dev/full here");
            QVERIFY(f.write("x") < 0);
            text = db::FileErrorText(f);
        } else if (kind == QLatin1String("permission")) {
            text = db::FileErrorText(QFileDevice::OpenError, qt_error_string(EACCES));
        } else if (kind == QLatin1String("unknown")) {
            text = db::FileErrorText(QFileDevice::WriteError, QStringLiteral("Something new"));
        } else {
            text = db::SystemErrorText(kind == QLatin1String("number") ? EROFS : 9999);
        }
        QCOMPARE(text, czech);
    }
};

QTEST_GUILESS_MAIN(TestSafeWrite)
#include "test_safewrite.moc"
