#include "db/JetConversion.h"

#include "db/Engine.h"
#include "db/ErrorText.h"
#include "db/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sqlite3.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace db {
namespace {

QString g_readerProgram;

QString ProgramPath()
{
    if (!g_readerProgram.isEmpty())
        return g_readerProgram;
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

// libmdb's own words are English; the user gets a Czech sentence with them as the detail.
QString LibraryWarning(const QByteArray& output)
{
    QString first;
    for (const QByteArray& line : output.split('\n')) {
        first = QString::fromUtf8(line).trimmed();
        if (!first.isEmpty())
            break;
    }
    if (first.size() > 160)
        first = first.left(160) + QStringLiteral("…");
    return QStringLiteral("Soubor je poškozen (při čtení bylo hlášeno: %1).").arg(first);
}

bool SyncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

struct Closer
{
    void operator()(sqlite3* handle) const { sqlite3_close(handle); }
};

// The new file shows again what the reading process read: sound, the same rows in every
// table, and every byte of text.
QString CheckConverted(const QString& path, const QList<JetTableSummary>& tables)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, Closer> handle(raw);
    if (rc != SQLITE_OK)
        return EngineErrorText(raw);
    try {
        const QList<QStringList> integrity = SelectRows(raw, QStringLiteral("pragma integrity_check"));
        if (integrity.size() != 1 || integrity.value(0).value(0) != QLatin1String("ok"))
            return QStringLiteral("Převedený soubor neprošel kontrolou.");
        for (const JetTableSummary& t : tables) {
            QStringList sums;
            for (const QStringList& column : SelectRows(
                     raw, QStringLiteral("select name, type from pragma_table_info('%1')").arg(t.table)))
                if (column.value(1).compare(QLatin1String("text"), Qt::CaseInsensitive) == 0)
                    sums << QStringLiteral("coalesce(sum(length(cast(\"%1\" as blob))), 0)")
                                .arg(column.value(0));
            const QStringList row =
                SelectRows(raw, QStringLiteral("select count(*)%1 from \"%2\"")
                                    .arg(sums.isEmpty() ? QString() : QStringLiteral(", ") + sums.join(u", "),
                                         t.table))
                    .value(0);
            qint64 bytes = 0;
            for (int i = 1; i < row.size(); ++i)
                bytes += row.at(i).toLongLong();
            if (row.value(0).toLongLong() != t.rows || bytes != t.textBytes)
                return QStringLiteral("Převedená tabulka %1 neodpovídá přečtené.").arg(t.table);
        }
    } catch (const EngineError& error) {
        return error.message();
    }
    return QString();
}

bool SameFile(const QString& a, const QString& b)
{
    struct stat sa, sb;
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// A copy that never replaces anything, flushed to the disk before it counts.
bool CopyNew(const QString& from, const QString& to, int* err)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        *err = EACCES;
        return false;
    }
    const int fd = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        *err = errno;
        return false;
    }
    bool ok = true;
    while (ok && !source.atEnd()) {
        const QByteArray chunk = source.read(1 << 20);
        qsizetype written = 0;
        while (ok && written < chunk.size()) {
            const ssize_t n = ::write(fd, chunk.constData() + written, size_t(chunk.size() - written));
            ok = n > 0;
            written += n > 0 ? n : 0;
        }
        ok = ok && source.error() == QFileDevice::NoError;
    }
    ok = ok && ::fsync(fd) == 0;
    *err = ok ? 0 : (errno ? errno : EIO);
    ::close(fd);
    if (!ok)
        QFile::remove(to);
    return ok;
}

// Keeps the original under the first free backup name; a backup already made of this very
// file (by a conversion killed before it ended) is taken again.
QString KeepOriginal(const QString& path, QString* error)
{
    for (int attempt = 1; attempt < 1000; ++attempt) {
        const QString backup = BackupNameFor(path, attempt);
        if (QFileInfo::exists(backup) || QFileInfo(backup).isSymLink()) {
            if (SameFile(path, backup))
                return backup;
            continue;
        }
        if (::link(QFile::encodeName(path).constData(), QFile::encodeName(backup).constData()) == 0)
            return backup;
        const int err = errno;
        if (err == EEXIST)
            continue;
        // A file system without hard links gets a copy.
        int copyError = 0;
        if (CopyNew(path, backup, &copyError))
            return backup;
        if (copyError == EEXIST)
            continue;
        *error = QStringLiteral("Původní soubor nelze uložit jako %1: %2")
                     .arg(QFileInfo(backup).fileName(), SystemErrorText(copyError));
        return QString();
    }
    *error = QStringLiteral("Pro původní soubor se nenašlo volné jméno.");
    return QString();
}

} // namespace

void SetOldFileReaderProgram(const QString& program)
{
    g_readerProgram = program;
}

QString OldFileReaderProgram()
{
    return ProgramPath();
}

int OldFileReadLimitMs(qint64 bytes)
{
    // libmdb reads a hundred thousand contacts in a fraction of a second; minutes mean a loop.
    return int(qMin<qint64>(30000 + bytes / 1024 / 1024 * 2000, 600000));
}

bool ConvertJetFile(const QString& jetPath, const QString& outPath, QList<JetTableSummary>* tables,
                    QString* error, const std::function<void()>& waiting)
{
    QList<JetTableSummary> read;
    auto fail = [&](const QString& why) {
        QFile::remove(outPath);
        if (error)
            *error = why;
        return false;
    };
    if (QFileInfo::exists(outPath))
        return fail(QStringLiteral("Soubor %1 již existuje.").arg(QDir::toNativeSeparators(outPath)));

    QProcess reader;
    reader.setProgram(OldFileReaderProgram());
    reader.setArguments({QStringLiteral("--") + QLatin1String(kReadOldFileOption), jetPath, outPath});
    reader.setProcessChannelMode(QProcess::SeparateChannels);
    reader.setStandardInputFile(QProcess::nullDevice());
    reader.start();
    if (!reader.waitForStarted(30000))
        return fail(QStringLiteral("Program pro čtení souboru nelze spustit."));
    const int limit = OldFileReadLimitMs(QFileInfo(jetPath).size());
    QElapsedTimer clock;
    clock.start();
    while (reader.state() != QProcess::NotRunning && !reader.waitForFinished(50)) {
        if (reader.state() == QProcess::NotRunning)
            break;
        if (clock.elapsed() > limit) {
            reader.kill();
            reader.waitForFinished(5000);
            return fail(QStringLiteral("Čtení souboru trvalo déle než %1 s; soubor je nejspíš poškozen.")
                            .arg(limit / 1000));
        }
        if (waiting)
            waiting();
    }
    const QByteArray warnings = reader.readAllStandardError();
    const QString said = QString::fromUtf8(reader.readAllStandardOutput()).trimmed();
    if (reader.exitStatus() != QProcess::NormalExit)
        return fail(QStringLiteral("Čtení souboru skončilo nečekaně; soubor je nejspíš poškozen."));
    if (!warnings.trimmed().isEmpty())
        return fail(LibraryWarning(warnings));
    if (reader.exitCode() != 0)
        return fail(said.isEmpty() ? QStringLiteral("Soubor nelze přečíst.") : said);
    if (!ParseJetSummary(said, &read))
        return fail(QStringLiteral("Čtení souboru nepodalo úplnou zprávu."));
    for (const JetTableSummary& t : read)
        if (t.rows != t.declaredRows)
            return fail(QStringLiteral("Z tabulky %1 bylo přečteno %2 řádků, tabulka jich má mít %3.")
                            .arg(t.table)
                            .arg(t.rows)
                            .arg(t.declaredRows));
    if (const QString wrong = CheckConverted(outPath, read); !wrong.isEmpty())
        return fail(wrong);
    if (tables)
        *tables = read;
    return true;
}

bool ConvertJetFileAs(const QString& jetPath, const QString& newPath, QList<JetTableSummary>* tables,
                      QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (QFileInfo::exists(newPath) || QFileInfo(newPath).isSymLink())
        return fail(QStringLiteral("Soubor %1 již existuje.").arg(QDir::toNativeSeparators(newPath)));
    const QString temporary = newPath + QStringLiteral("-prevod.tmp");
    QFile::remove(temporary);
    if (!ConvertJetFile(jetPath, temporary, tables, error))
        return false;
    if (!SyncPath(temporary, O_RDONLY)) {
        const int err = errno;
        QFile::remove(temporary);
        return fail(QStringLiteral("Převedený soubor nelze uložit na disk: %1").arg(SystemErrorText(err)));
    }
    // A link appears whole and fails where the name is taken meanwhile.
    const int linked =
        ::link(QFile::encodeName(temporary).constData(), QFile::encodeName(newPath).constData());
    const int err = linked == 0 ? 0 : errno;
    if (linked != 0 && err != EEXIST && !QFileInfo::exists(newPath) &&
        ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(newPath).constData()) == 0)
        return true;
    QFile::remove(temporary);
    if (linked != 0)
        return fail(err == EEXIST
                        ? QStringLiteral("Soubor %1 již existuje.").arg(QDir::toNativeSeparators(newPath))
                        : SystemErrorText(err));
    SyncPath(QFileInfo(newPath).absolutePath(), O_RDONLY | O_DIRECTORY);
    return true;
}

QString BackupNameFor(const QString& path, int attempt)
{
    const QFileInfo info(path);
    QString name = info.completeBaseName() + QStringLiteral("-puvodni");
    if (attempt > 1)
        name += QLatin1Char('-') + QString::number(attempt);
    if (!info.suffix().isEmpty())
        name += QLatin1Char('.') + info.suffix();
    return info.dir().filePath(name);
}

QString FreeBackupName(const QString& path)
{
    for (int attempt = 1;; ++attempt) {
        const QString backup = BackupNameFor(path, attempt);
        if ((!QFileInfo::exists(backup) && !QFileInfo(backup).isSymLink()) || SameFile(path, backup) ||
            attempt >= 999)
            return backup;
    }
}

bool ConvertJetFileInPlace(const QString& path, QString* backupPath, QList<JetTableSummary>* tables,
                           QString* error, const std::function<void()>& waiting)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    // The program's own temporary name; one left by a conversion that was killed goes first.
    const QString temporary = QDir(folder).filePath(info.completeBaseName() + QStringLiteral("-prevod.tmp"));
    QFile::remove(temporary);
    if (!ConvertJetFile(path, temporary, tables, error, waiting))
        return false;
    auto fail = [&](const QString& why) {
        QFile::remove(temporary);
        if (error)
            *error = why;
        return false;
    };
    if (!SyncPath(temporary, O_RDONLY))
        return fail(QStringLiteral("Převedený soubor nelze uložit na disk: %1").arg(SystemErrorText(errno)));
    QString why;
    const QString backup = KeepOriginal(path, &why);
    if (backup.isEmpty())
        return fail(why);
    SyncPath(folder, O_RDONLY | O_DIRECTORY);
    // One step: the name shows the original until it shows the whole new file.
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0)
        return fail(
            QStringLiteral("Převedený soubor nelze dát na místo původního: %1").arg(SystemErrorText(errno)));
    SyncPath(folder, O_RDONLY | O_DIRECTORY);
    if (backupPath)
        *backupPath = backup;
    return true;
}

} // namespace db
