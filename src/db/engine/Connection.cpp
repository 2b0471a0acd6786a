#include "db/engine/Connection.h"

#include "db/engine/Dialect.h"
#include "db/engine/Engine.h"
#include "db/engine/ErrorLog.h"
#include "db/engine/FileState.h"
#include "db/engine/OpeningProgress.h"
#include "db/engine/Schema.h"
#include "db/engine/SearchText.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <QVariant>

#include <sqlite3.h>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace db {
namespace {

// Files held by a connection of this process, by device and inode. A second connection to
// one of them is refused before it opens a descriptor of its own: closing any descriptor of
// a file drops every lock the process holds on it, the engine's included.
QSet<QPair<quint64, quint64>>& HeldFiles()
{
    static QSet<QPair<quint64, quint64>> files;
    return files;
}

QPair<quint64, quint64> FileKey(const struct stat& st)
{
    return {quint64(st.st_dev), quint64(st.st_ino)};
}

struct Header
{
    bool database = false;
    bool wal = false; // the engine's write-ahead journal: its latest rows may lie in the -wal file
};

Header ReadHeader(int fd)
{
    static const QByteArray magic("SQLite format 3\0", 16);
    char header[20];
    Header h;
    if (::pread(fd, header, sizeof header, 0) != ssize_t(sizeof header))
        return h;
    h.database = QByteArray(header, 16) == magic;
    h.wal = h.database && (header[18] == 2 || header[19] == 2);
    return h;
}

void Rollback(sqlite3* handle)
{
    RunStatementQuietly(handle, QStringLiteral("rollback"));
}

// The index statements whose index the file lacks: building them is what makes the first
// opening of an old file slow. For the progress only, so a catalogue that cannot be read
// counts as nothing missing; the statements themselves then meet the failure.
QStringList MissingIndexStatements(sqlite3* handle)
{
    QStringList present;
    try {
        for (const QStringList& row :
             SelectRows(handle, QStringLiteral("select lower(name) from sqlite_master where type = 'index'")))
            present << row.value(0);
    } catch (const EngineError&) {
        return {};
    }
    QStringList missing;
    QStringList columns;
    try {
        columns = TableColumns(handle, QStringLiteral("zvonisty"));
    } catch (const EngineError&) {
        return {};
    }
    for (const QString& statement : IndexStatements(columns)) {
        // "create index if not exists <name> on ..."
        if (!present.contains(statement.section(QLatin1Char(' '), 5, 5).toLower()))
            missing << statement;
    }
    return missing;
}

// The conversion still ahead, found once for the progress and used again by the conversion
// itself. A failure to tell leaves it unknown, to be met, and reported, by the step itself.
struct PlannedConversion
{
    std::optional<bool> rebuild;
    QStringList missingIndexes;
    int steps() const { return int(rebuild.value_or(false)) + int(missingIndexes.size()); }
};

PlannedConversion PlanConversion(sqlite3* handle)
{
    PlannedConversion plan;
    try {
        plan.rebuild = NeedsRebuild(handle);
        plan.missingIndexes = MissingIndexStatements(handle);
    } catch (const EngineError&) {
        plan = PlannedConversion();
    }
    return plan;
}

// A grid walks the whole table in index order; the connection keeps the file's pages in memory.
const QString kPageCache = QStringLiteral("pragma cache_size = -131072");

// While indexes are built in sight of the user, the engine sorts in runs the size of a small
// page cache and goes back to its statement between them, so the beats keep coming; with the
// connection's large cache it sorts a million entries in one go, silent for seconds. It is no
// slower.
class SortInRuns
{
public:
    SortInRuns(sqlite3* handle, bool on) : m_handle(on ? handle : nullptr)
    {
        if (m_handle)
            RunStatement(m_handle, QStringLiteral("pragma cache_size = -2000"));
    }
    ~SortInRuns()
    {
        if (m_handle)
            RunStatementQuietly(m_handle, kPageCache);
    }
    SortInRuns(const SortInRuns&) = delete;
    SortInRuns& operator=(const SortInRuns&) = delete;

private:
    sqlite3* m_handle;
};

const QString kReindexText = QStringLiteral("Přestavuji rejstříky seznamu...");
const QString kCheckText = QStringLiteral("Kontroluji soubor seznamu...");
const QString kRebuildText = QStringLiteral("Převádím soubor seznamu...");
const QString kIndexText = QStringLiteral("Vytvářím rejstříky seznamu...");

} // namespace

QString Connection::DefaultConnectionString()
{
    return QStringLiteral("Provider=SQLite.3;Data Source=Zvonisty.mdb;Mode=Share Deny Read|Share Deny Write;"
                          "Persist Security Info=False");
}

Connection::Connection(QObject* parent) : QObject(parent)
{
    static QAtomicInt counter;
    m_qtName = QStringLiteral("zvonisty-%1").arg(counter.fetchAndAddRelaxed(1));
}

Connection::~Connection()
{
    close();
}

void Connection::setPlainLike(bool plain)
{
    if (plain == m_plainLike || !m_handle)
        return;
    RegisterPlainLike(m_handle, plain);
    m_plainLike = plain;
}

QString Connection::ConnectionStringValue(const QString& connectionString, const QString& key)
{
    const QStringList parts = connectionString.split(QLatin1Char(';'));
    for (const QString& part : parts) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq > 0 && part.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1).trimmed();
    }
    return QString();
}

bool FileIsWritable(const QString& path)
{
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    return ::faccessat(AT_FDCWD, file.constData(), W_OK, AT_EACCESS) == 0 &&
           ::faccessat(AT_FDCWD, folder.constData(), W_OK, AT_EACCESS) == 0;
}

QString Connection::sourcePath() const
{
    const QString source = m_filePath.isEmpty()
                               ? ConnectionStringValue(m_connectionString, QStringLiteral("Data Source"))
                               : m_filePath;
    return source.isEmpty() ? QString() : QFileInfo(QDir::current(), source).absoluteFilePath();
}

void Connection::open()
{
    close();
    m_access = Access::ReadWrite;
    m_damage.clear();
    m_checkedIntegrity = false;
    m_shortenedContacts = 0;
    m_untouchedStamp = FileStamp();
    m_openedPath.clear();
    const QString mode = ConnectionStringValue(m_connectionString, QStringLiteral("Mode"));
    bool exclusive = false, readOnlyRequested = false;
    for (const QString& word : mode.split(QLatin1Char('|'))) {
        const QString w = word.trimmed();
        exclusive = exclusive || w.compare(QLatin1String("Share Deny Read"), Qt::CaseInsensitive) == 0 ||
                    w.compare(QLatin1String("Share Exclusive"), Qt::CaseInsensitive) == 0;
        readOnlyRequested = readOnlyRequested || w.compare(QLatin1String("Read"), Qt::CaseInsensitive) == 0;
    }
    // The file name is looked up in the working directory at the moment of connecting.
    const QString path = sourcePath();
    if (path.isEmpty())
        throw EngineError(QStringLiteral("V připojovacím řetězci chybí zdroj dat."));
    m_openedPath = path;
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        throw EngineError(QStringLiteral("Soubor %1 nebyl nalezen.").arg(QDir::toNativeSeparators(path)));
    if (HeldFiles().contains(FileKey(st)))
        throw EngineError(QStringLiteral("Soubor databáze už je v programu otevřen."));

    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw EngineError(SystemErrorText(errno));
    // Only a file that already is a database of this engine is handed to it: the engine
    // would otherwise take an empty file for a new database and write into it.
    const Header header = ReadHeader(fd);
    if (!header.database) {
        ::close(fd);
        throw EngineError(QStringLiteral("Soubor není databází telefonního seznamu."));
    }
    // The exclusive hold is a lock of the whole file of its own, apart from the engine's: it
    // holds for a file opened for reading as well, where the engine only shares.
    if (exclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        throw EngineError(err == EWOULDBLOCK ? QStringLiteral("Databázi právě používá jiný program.")
                                             : SystemErrorText(err));
    }
    m_fileFd = fd;
    HeldFiles().insert(FileKey(st));

    try {
        const bool readOnly = readOnlyRequested || !FileIsWritable(path);
        m_access = readOnlyRequested ? Access::ReadOnlyRequested
                                     : (readOnly ? Access::ReadOnlyFile : Access::ReadWrite);
        if (attach(path, readOnly, exclusive, header.wal) == Outcome::Damaged) {
            // Nothing more is written into a damaged file; what can still be read stays readable.
            m_access = Access::ReadOnlyDamaged;
            if (!readOnly)
                attach(path, true, exclusive, header.wal);
            WriteErrorLog(QStringLiteral("pragma quick_check: ") + m_damage);
        }
    } catch (...) {
        close();
        throw;
    }
}

Connection::Outcome Connection::attach(const QString& path, bool readOnly, bool exclusive, bool wal)
{
    detach(false);
    sqlite3* handle = nullptr;
    // Through Qt's driver; mode=rw and mode=ro never let the engine create a missing file.
    QUrl uri = QUrl::fromLocalFile(path);
    // A write-ahead file with no -wal beside it holds everything in itself: read as it is, the
    // engine leaves no new -wal and -shm files in another program's folder.
    const bool walEmpty = readOnly && wal && !QFileInfo::exists(path + QStringLiteral("-wal"));
    uri.setQuery(!readOnly  ? QStringLiteral("mode=rw")
                 : walEmpty ? QStringLiteral("mode=ro&immutable=1")
                            : QStringLiteral("mode=ro"));
    {
        QSqlDatabase qdb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_qtName);
        qdb.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        qdb.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=0"));
        if (!qdb.open()) {
            const QSqlError error = qdb.lastError();
            qdb = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_qtName);
            throw EngineError(EngineErrorText(error.nativeErrorCode().toInt(), error.databaseText()));
        }
        const QVariant v = qdb.driver()->handle();
        handle = *static_cast<sqlite3* const*>(v.constData());
    }
    m_handle = handle;
    sqlite3_extended_result_codes(handle, 1);
    // The engine itself falls back to reading when the file refuses writing.
    if (!readOnly && sqlite3_db_readonly(handle, "main") == 1) {
        readOnly = true;
        m_access = Access::ReadOnlyFile;
    }
    RegisterEngine(handle);
    m_plainLike = false;
    if (exclusive && !(readOnly && wal)) {
        // The engine's lock taken by the first transaction is kept until the connection
        // closes, so no other program can read or write the file meanwhile. With a write-ahead
        // journal that lock is a write lock, which a file opened for reading cannot take; such
        // a file is read in snapshots instead, the -wal file's rows included, and only the
        // whole-file hold above keeps this program's other connections away.
        RunStatement(handle, QStringLiteral("pragma locking_mode = exclusive"));
    }
    // No memory mapping: a file cut short by another program would end the program at the next
    // read.
    RunStatement(handle, kPageCache);

    // Everything the opening writes is one transaction: a file refused or failing half way
    // is left as it was.
    RunStatement(handle, readOnly ? QStringLiteral("begin") : QStringLiteral("begin exclusive"));
    // Only the slow steps are told, and only those that run: a normal opening tells nothing.
    OpeningProgress progress(handle);
    PlannedConversion conversion;
    try {
        CheckDirectorySchema(handle);
        if (m_access != Access::ReadOnlyDamaged) {
            const CloseMarker marker = ReadCloseMarker(handle);
            const bool unchanged =
                marker.present && marker.closedCleanly &&
                UntouchedSinceClose(marker.stamp, ReadFileStamp(m_fileFd), InodeChangeTime(m_fileFd));
            QString finding;
            bool damaged = false;
            const bool reindex = !readOnly && marker.collation != kCollationVersion;
            const bool check = !unchanged && !(readOnly && m_checkedByReader);
            if (unchanged && !reindex)
                m_untouchedStamp = marker.stamp;
            if (progress.reporting()) {
                if (!readOnly)
                    conversion = PlanConversion(handle);
                progress.plan(int(reindex) + int(check) + conversion.steps());
            }
            if (reindex) {
                // Indexes ordered by an older comparison are rebuilt before they are checked.
                OpeningProgress::Step step(progress, kReindexText);
                const SortInRuns runs(handle, progress.reporting());
                try {
                    RunStatement(handle, QStringLiteral("reindex %1").arg(QLatin1String(kCzechCollation)));
                } catch (const EngineError& error) {
                    // Only damage met on the way makes the file damaged; a full disk does not.
                    if ((sqlite3_errcode(handle) & 0xFF) != SQLITE_CORRUPT)
                        throw;
                    damaged = true;
                    finding = error.message();
                }
            }
            if (!damaged && check) {
                OpeningProgress::Step step(progress, kCheckText);
                m_checkedIntegrity = true;
                damaged = !IntegrityOk(handle, &finding);
            }
            if (damaged) {
                Rollback(handle);
                m_damage = finding;
                return Outcome::Damaged;
            }
        }
        if (!readOnly) {
            if (conversion.rebuild ? *conversion.rebuild : NeedsRebuild(handle)) {
                m_untouchedStamp = FileStamp();
                {
                    OpeningProgress::Step step(progress, kRebuildText);
                    try {
                        m_shortenedContacts = RebuildDirectoryTables(handle);
                    } catch (const EngineError& e) {
                        throw EngineError(QStringLiteral("Soubor nelze převést do tvaru tohoto programu: ") +
                                          e.message());
                    }
                }
                // The rebuilt tables have lost their indexes.
                if (progress.reporting()) {
                    const QStringList missing = MissingIndexStatements(handle);
                    progress.plan(int(missing.size() - conversion.missingIndexes.size()));
                    conversion.missingIndexes = missing;
                }
            }
            const QStringList& missing = conversion.missingIndexes;
            const SortInRuns runs(handle, !missing.isEmpty());
            for (const QString& statement :
                 IndexStatements(TableColumns(handle, QStringLiteral("zvonisty")))) {
                std::optional<OpeningProgress::Step> step;
                if (missing.contains(statement))
                    step.emplace(progress, kIndexText);
                RunStatement(handle, statement);
            }
            MarkOpened(handle);
        }
        RunStatement(handle, QStringLiteral("commit"));
    } catch (...) {
        Rollback(handle);
        throw;
    }
    m_markOnClose = !readOnly;
    return Outcome::Opened;
}

void Connection::detach(bool markClosed)
{
    if (!m_handle)
        return;
    // Statements still being read would keep the file open and block the close marker.
    suspendReading();
    qint64 closeTime = -1;
    if (markClosed && m_markOnClose) {
        FileStamp stamp = ReadFileStamp(m_fileFd);
        stamp.modified = CloseTime();
        try {
            if (stamp.counter >= 0) {
                MarkClosed(m_handle, stamp);
                closeTime = stamp.modified;
                Q_EMIT closingCleanly(stamp);
            }
        } catch (const EngineError&) {
            // Left marked as open: the next opening checks the file.
        }
    }
    m_handle = nullptr;
    if (QSqlDatabase::contains(m_qtName)) {
        {
            QSqlDatabase qdb = QSqlDatabase::database(m_qtName, false);
            qdb.close();
        }
        QSqlDatabase::removeDatabase(m_qtName);
    }
    m_markOnClose = false;
    if (closeTime >= 0) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(closeTime), 0}};
        ::futimens(m_fileFd, times);
    }
}

void Connection::close()
{
    detach(true);
    if (m_fileFd >= 0) {
        struct stat st;
        if (::fstat(m_fileFd, &st) == 0)
            HeldFiles().remove(FileKey(st));
        ::close(m_fileFd);
        m_fileFd = -1;
    }
}

bool CreateDirectoryDatabase(const QString& path, QString* error)
{
    // Every refusal names the file once, the reason after it.
    auto fail = [&](const QString& reason) {
        if (error)
            *error = QStringLiteral("Soubor seznamu %1 nelze vytvořit: %2")
                         .arg(QDir::toNativeSeparators(path), reason);
        return false;
    };
    {
        // NewOnly refuses an existing file, so nothing that exists is ever touched.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            const QFileInfo info(path);
            return fail(!info.exists() ? FileErrorText(file)
                        : info.isDir()
                            ? SystemErrorText(EISDIR)
                            : QStringLiteral("Soubor již existuje; nový seznam se do něj nezapíše."));
        }
    }
    sqlite3* handle = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (sqlite3_open_v2(name.constData(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        const QString reason = EngineErrorText(handle);
        sqlite3_close(handle);
        QFile::remove(path);
        return fail(reason);
    }
    RegisterEngine(handle);
    try {
        RunStatement(handle, QStringLiteral("begin"));
        for (const QString& statement : BaseSchemaStatements())
            RunStatement(handle, statement);
        for (const QString& statement : IndexStatements(TableColumns(handle, QStringLiteral("zvonisty"))))
            RunStatement(handle, statement);
        RunStatement(handle, QStringLiteral("commit"));
    } catch (const EngineError& e) {
        sqlite3_close(handle);
        QFile::remove(path);
        return fail(e.message());
    }
    sqlite3_close(handle);
    return true;
}

} // namespace db
