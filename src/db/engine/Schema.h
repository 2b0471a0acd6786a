#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct sqlite3;

// What the program requires of the tables of a directory file, and the rebuild of tables
// that another tool created without the program's comparison or never-reused ids.
namespace db {

// Runs one statement on a handle; throws EngineError with the Czech text.
void RunStatement(sqlite3* handle, const QString& statement);
// Runs one statement and ignores its failure (a rollback after a failure).
void RunStatementQuietly(sqlite3* handle, const QString& statement);
// Every row of a SELECT as text (null as an empty text); throws EngineError.
QList<QStringList> SelectRows(sqlite3* handle, const QString& select);

bool TableExists(sqlite3* handle, const QString& table);
// The table's column names in lower case, in their order.
QStringList TableColumns(sqlite3* handle, const QString& table);
bool IndexExists(sqlite3* handle, const QString& index);

// Throws EngineError naming what is missing when the file is not a directory of this
// program: the contacts and notes tables with their columns, and the version and layout
// tables with theirs where they exist. Reads only.
void CheckDirectorySchema(sqlite3* handle);

// True when the contacts or notes table lacks the Czech comparison on a text column, the
// contacts' ids may be given again, or the notes' date is not filled on insert.
bool NeedsRebuild(sqlite3* handle);
// Rebuilds such tables to the form a new directory file has, keeping every row, id and
// additional column. A value longer than the program allows keeps what fits, and the rest
// becomes a dated additional note of its contact; gives the number of contacts so shortened.
// Runs inside the caller's transaction; throws EngineError.
int RebuildDirectoryTables(sqlite3* handle);

} // namespace db
