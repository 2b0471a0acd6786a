#pragma once

#include <QList>
#include <QString>

// Directory files of the earlier Windows versions: Microsoft Jet databases (Access 97 = Jet 3,
// Access 2000–2003 = Jet 4), read through libmdb. libmdb reports damage as warnings on the
// error output and goes on with partial data, so it only ever runs in a process of its own
// (see JetConversion.h), whose every word on that output counts as damage.
namespace db {

// Recognised by the header, never by the name.
bool IsJetFile(const QString& path);

// What was read of one table: its rows, the row count the table's own definition gives, and
// the UTF-8 bytes of all its text, which the reading process reports and the converted file
// must show again.
struct JetTableSummary
{
    QString table;
    qint64 rows = 0;
    qint64 declaredRows = 0;
    qint64 textBytes = 0;
};

// Why the rows read of a table cannot be trusted; empty when as many were read as the table's
// definition gives.
QString JetRowCountFault(const JetTableSummary& table);

// The rows read of `table`; 0 when the file has no such table.
qint64 JetRowsOf(const QList<JetTableSummary>& tables, const QString& table);

// The tables a directory file holds, as the reading process reports them on one line.
QString FormatJetSummary(const QList<JetTableSummary>& tables);
bool ParseJetSummary(const QString& line, QList<JetTableSummary>* tables);

// The reading process's work: reads the directory tables of the Jet file (zvonisty and
// poznamky, verze and sloupce where present) and writes them, value for value, into a new
// file of this program's engine at `outPath`, which must not exist. The tables keep their
// columns and rows as the old file has them (ids, dates, NULL apart from empty text); the
// program's own opening rebuilds and upgrades them later. Never writes into the Jet file.
// False with a Czech reason when anything could not be read whole.
bool CopyJetTables(const QString& jetPath, const QString& outPath, QList<JetTableSummary>* summary,
                   QString* error);

} // namespace db
