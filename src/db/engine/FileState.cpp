#include "db/engine/FileState.h"

#include "db/engine/Engine.h"
#include "db/engine/Schema.h"

#include <QDateTime>
#include <QUrl>

#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

namespace db {
namespace {

const QString kTable = QStringLiteral("stav_souboru");

} // namespace

FileStamp ReadFileStamp(int fd)
{
    FileStamp stamp;
    unsigned char counter[4];
    struct stat st;
    if (fd < 0 || ::pread(fd, counter, sizeof counter, 24) != ssize_t(sizeof counter) ||
        ::fstat(fd, &st) != 0)
        return stamp;
    stamp.counter = (qint64(counter[0]) << 24) | (counter[1] << 16) | (counter[2] << 8) | counter[3];
    stamp.size = st.st_size;
    stamp.modified = st.st_mtim.tv_nsec == 0 ? qint64(st.st_mtim.tv_sec) : -1;
    return stamp;
}

qint64 InodeChangeTime(int fd)
{
    struct stat st;
    return fd >= 0 && ::fstat(fd, &st) == 0 ? qint64(st.st_ctim.tv_sec) : -1;
}

bool UntouchedSinceClose(const FileStamp& recorded, const FileStamp& now, qint64 inodeChanged)
{
    // The close takes its time rounded down to even seconds, then writes, lets the engine go
    // and only then gives the file that time; a minute covers the slowest machine.
    constexpr qint64 kCloseSeconds = 60;
    return recorded.valid() && now == recorded && inodeChanged >= 0 &&
           inodeChanged <= recorded.modified + kCloseSeconds;
}

qint64 CloseTime()
{
    return QDateTime::currentSecsSinceEpoch() & ~qint64(1);
}

CloseMarker ReadCloseMarker(sqlite3* handle)
{
    CloseMarker marker;
    if (!TableExists(handle, kTable))
        return marker;
    const QStringList columns = TableColumns(handle, kTable);
    const bool stamped =
        columns.contains(QStringLiteral("citac")) && columns.contains(QStringLiteral("velikost"));
    const QList<QStringList> rows = SelectRows(
        handle, stamped
                    ? QStringLiteral("select uzavreno, razeni, citac, velikost, zmeneno from stav_souboru")
                    : QStringLiteral("select uzavreno, razeni from stav_souboru"));
    if (rows.size() != 1)
        return marker;
    marker.present = true;
    marker.closedCleanly = rows[0].value(0) == QLatin1String("1");
    marker.collation = rows[0].value(1).toInt();
    bool counterOk = false, sizeOk = false, modifiedOk = false;
    const qint64 counter = rows[0].value(2).toLongLong(&counterOk);
    const qint64 size = rows[0].value(3).toLongLong(&sizeOk);
    const qint64 modified = rows[0].value(4).toLongLong(&modifiedOk);
    if (counterOk && sizeOk && modifiedOk)
        marker.stamp = FileStamp{counter, size, modified};
    return marker;
}

void MarkOpened(sqlite3* handle)
{
    RunStatement(handle,
                 QStringLiteral("create table if not exists stav_souboru (uzavreno integer, zmeneno integer, "
                                "razeni integer, citac integer, velikost integer)"));
    const QStringList columns = TableColumns(handle, kTable);
    for (const QString& column : {QStringLiteral("citac"), QStringLiteral("velikost")})
        if (!columns.contains(column))
            RunStatement(handle, QStringLiteral("alter table stav_souboru add %1 integer").arg(column));
    RunStatement(handle, QStringLiteral("delete from stav_souboru"));
    RunStatement(handle,
                 QStringLiteral("insert into stav_souboru (uzavreno, zmeneno, razeni) values (0, 0, %1)")
                     .arg(kCollationVersion));
}

void MarkClosed(sqlite3* handle, const FileStamp& stamp)
{
    RunStatement(handle, QStringLiteral(
                             "update stav_souboru set uzavreno = 1, zmeneno = %1, citac = %2, velikost = %3")
                             .arg(stamp.modified)
                             .arg(stamp.counter)
                             .arg(stamp.size));
}

bool IntegrityOk(sqlite3* handle, QString* finding)
{
    QList<QStringList> rows;
    try {
        rows = SelectRows(handle, QStringLiteral("pragma quick_check(1)"));
    } catch (const EngineError& error) {
        if (finding)
            *finding = error.message();
        return false;
    }
    if (rows.size() == 1 && rows[0].value(0) == QLatin1String("ok"))
        return true;
    if (finding)
        *finding = rows.isEmpty() ? QString() : rows[0].value(0);
    return false;
}

IntegrityCheckBeside::IntegrityCheckBeside(sqlite3* handle) : m_handle(handle)
{
    // The same file as the engine names it, its parameters included (a file read as it is,
    // without its journal, stays so).
    const char* file = sqlite3_db_filename(handle, "main");
    QUrl uri = QUrl::fromLocalFile(QString::fromUtf8(file ? file : ""));
    uri.setQuery(sqlite3_uri_boolean(file, "immutable", 0) ? QStringLiteral("mode=ro&immutable=1")
                                                           : QStringLiteral("mode=ro"));
    const QByteArray name = uri.toString(QUrl::FullyEncoded).toUtf8();
    m_outcome = std::async(std::launch::async, [name] {
        Outcome outcome;
        sqlite3* own = nullptr;
        if (sqlite3_open_v2(name.constData(), &own, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) ==
            SQLITE_OK) {
            RegisterEngine(own);
            // A file the engine cannot read on this connection at all is left to the first one.
            sqlite3_stmt* s = nullptr;
            outcome.checked =
                sqlite3_prepare_v2(own, "select count(*) from sqlite_master", -1, &s, nullptr) == SQLITE_OK &&
                sqlite3_step(s) == SQLITE_ROW;
            sqlite3_finalize(s);
            if (outcome.checked)
                outcome.ok = IntegrityOk(own, &outcome.finding);
        }
        sqlite3_close(own);
        return outcome;
    });
}

IntegrityCheckBeside::~IntegrityCheckBeside()
{
    if (m_outcome.valid())
        m_outcome.wait();
}

bool IntegrityCheckBeside::finished(int waitMs) const
{
    return !m_outcome.valid() ||
           m_outcome.wait_for(std::chrono::milliseconds(waitMs)) == std::future_status::ready;
}

bool IntegrityCheckBeside::passed(QString* finding)
{
    if (!m_outcome.valid())
        return false;
    const Outcome outcome = m_outcome.get();
    if (!outcome.checked)
        return IntegrityOk(m_handle, finding);
    if (finding)
        *finding = outcome.finding;
    return outcome.ok;
}

} // namespace db
