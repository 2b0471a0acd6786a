#include "db/FileState.h"

#include "db/Engine.h"
#include "db/Schema.h"

#include <QDateTime>

#include <sqlite3.h>

namespace db {

CloseMarker ReadCloseMarker(sqlite3* handle)
{
    CloseMarker marker;
    if (!TableExists(handle, QStringLiteral("stav_souboru")))
        return marker;
    const QList<QStringList> rows =
        SelectRows(handle, QStringLiteral("select uzavreno, zmeneno, razeni from stav_souboru"));
    if (rows.size() != 1)
        return marker;
    marker.present = true;
    marker.closedCleanly = rows[0].value(0) == QLatin1String("1");
    marker.modified = rows[0].value(1).toLongLong();
    marker.collation = rows[0].value(2).toInt();
    return marker;
}

void MarkOpened(sqlite3* handle)
{
    RunStatement(handle,
                 QStringLiteral("create table if not exists stav_souboru (uzavreno integer, zmeneno integer, "
                                "razeni integer)"));
    RunStatement(handle, QStringLiteral("delete from stav_souboru"));
    RunStatement(handle,
                 QStringLiteral("insert into stav_souboru (uzavreno, zmeneno, razeni) values (0, 0, %1)")
                     .arg(kCollationVersion));
}

void MarkClosed(sqlite3* handle, qint64 modified)
{
    RunStatement(handle, QStringLiteral("update stav_souboru set uzavreno = 1, zmeneno = %1").arg(modified));
}

qint64 CloseTime()
{
    return QDateTime::currentSecsSinceEpoch() & ~qint64(1);
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

} // namespace db
