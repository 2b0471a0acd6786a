#include "db/oldfiles/JetConversion.h"

#include "db/engine/Engine.h"
#include "db/engine/ErrorText.h"
#include "db/engine/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace db {
namespace {

// The reader lies beside the executable in the build and in the libexec folder once installed;
// empty when it is in neither.
QString ReaderProgram()
{
    const QString folder = QCoreApplication::instance()
                               ? QCoreApplication::applicationDirPath()
                               : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    for (const QString& place : {folder, QDir(folder).filePath(QStringLiteral(ZV_LIBEXEC_FROM_BIN))}) {
        const QFileInfo reader(QDir(place).filePath(QStringLiteral(ZV_JET_READER)));
        if (reader.isFile() && reader.isExecutable())
            return reader.absoluteFilePath();
    }
    return QString();
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

// The new file is made in a folder of this run's own beside its place: the folder's name is taken
// exclusively, so everything in it was made by this run, and it goes with everything in it. A
// name fixed in advance could be another's file, and would be removed or written over.
QString FolderTemplate(const QString& path)
{
    const QFileInfo info(path);
    return QDir(info.absolutePath()).filePath(info.fileName() + QStringLiteral("-prevod-XXXXXX"));
}

// The reading process makes `made` inside the folder of this run, and the file is checked.
bool ReadIntoNewFile(const QString& jetPath, const QTemporaryDir& folder, QString* made,
                     QList<JetTableSummary>* tables, QString* error, const std::function<void()>& waiting)
{
    QList<JetTableSummary> read;
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!folder.isValid())
        return fail(QStringLiteral("Složku pro převod nelze vytvořit: %1").arg(SystemErrorText(errno)));
    const QString program = ReaderProgram();
    if (program.isEmpty())
        return fail(QStringLiteral("Chybí program %1, který čte soubory starší verze; instalace programu "
                                   "je nejspíš neúplná.")
                        .arg(QStringLiteral(ZV_JET_READER)));
    *made = folder.filePath(QStringLiteral("prevod.mdb"));
    QProcess reader;
    reader.setProgram(program);
    reader.setArguments({jetPath, *made});
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
        if (const QString fault = JetRowCountFault(t); !fault.isEmpty())
            return fail(fault);
    if (const QString wrong = CheckConverted(*made, read); !wrong.isEmpty())
        return fail(wrong);
    if (!SyncPath(*made, O_RDONLY))
        return fail(QStringLiteral("Převedený soubor nelze uložit na disk: %1").arg(SystemErrorText(errno)));
    if (tables)
        *tables = read;
    return true;
}

QString Exists(const QString& path)
{
    return QStringLiteral("Soubor %1 již existuje.").arg(QDir::toNativeSeparators(path));
}

} // namespace

int OldFileReadLimitMs(qint64 bytes)
{
    // libmdb reads a hundred thousand contacts in a fraction of a second; minutes mean a loop.
    return int(qMin<qint64>(30000 + bytes / 1024 / 1024 * 2000, 600000));
}

bool ConvertJetFile(const QString& jetPath, const QString& outPath, QList<JetTableSummary>* tables,
                    QString* error, const std::function<void()>& waiting)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (QFileInfo::exists(outPath) || QFileInfo(outPath).isSymLink())
        return fail(Exists(outPath));
    const QTemporaryDir folder(FolderTemplate(outPath));
    QString made;
    if (!ReadIntoNewFile(jetPath, folder, &made, tables, error, waiting))
        return false;
    // A link appears whole and fails where the name is taken meanwhile.
    const int linked = ::link(QFile::encodeName(made).constData(), QFile::encodeName(outPath).constData());
    const int err = linked == 0 ? 0 : errno;
    if (linked != 0 && err != EEXIST && !QFileInfo::exists(outPath) &&
        ::rename(QFile::encodeName(made).constData(), QFile::encodeName(outPath).constData()) == 0)
        return true;
    if (linked != 0)
        return fail(err == EEXIST ? Exists(outPath) : SystemErrorText(err));
    SyncPath(QFileInfo(outPath).absolutePath(), O_RDONLY | O_DIRECTORY);
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
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const QString folderOfFile = QFileInfo(path).absolutePath();
    const QTemporaryDir folder(FolderTemplate(path));
    QString made;
    if (!ReadIntoNewFile(path, folder, &made, tables, error, waiting))
        return false;
    QString why;
    const QString backup = KeepOriginal(path, &why);
    if (backup.isEmpty())
        return fail(why);
    SyncPath(folderOfFile, O_RDONLY | O_DIRECTORY);
    // One step: the name shows the original until it shows the whole new file.
    if (::rename(QFile::encodeName(made).constData(), QFile::encodeName(path).constData()) != 0)
        return fail(
            QStringLiteral("Převedený soubor nelze dát na místo původního: %1").arg(SystemErrorText(errno)));
    SyncPath(folderOfFile, O_RDONLY | O_DIRECTORY);
    if (backupPath)
        *backupPath = backup;
    return true;
}

} // namespace db
