// Whole files written so that a failure leaves the old one as it was.
#include "testsupport/TestSupport.h"
#include "ui/SafeWrite.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
        QTest::newRow("disk full") << "full";
        QTest::newRow("disk full at once") << "fullAtOnce";
        QTest::newRow("folder is a file") << "notAFolder";
        QTest::newRow("a folder in its place") << "folder";
        QTest::newRow("a pipe in its place") << "fifo";
    }
    void failuresLeaveTheOldFile()
    {
        QFETCH(QString, kind);
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
        QVERIFY(!why.isEmpty());
        // No temporary file is left behind.
        QCOMPARE(QDir(dir.path())
                     .entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot)
                     .size(),
                 1);
    }
};

QTEST_GUILESS_MAIN(TestSafeWrite)
#include "test_safewrite.moc"
