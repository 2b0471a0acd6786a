#pragma once

#include <QString>

namespace db {
class DBGrid;
class Query;
} // namespace db

// The one way statements reach the directory. Failures are written to the error log and
// shown once; the caller learns only whether the statement succeeded.

// Puts the statement into the query and, when `open` is true, opens it.
bool OpenQuery(const QString& statement, db::Query* query, bool open = true);
// Runs a statement that changes data or structure.
bool ExecQuery(const QString& statement, db::Query* query);
// Reopens the grid's statement and selects the same row number again where it still exists.
// A failure of the reopening is shown as the top-level error report.
bool RefreshGrid(db::DBGrid* grid);

// The message shown for a failed statement.
QString StatementFailureText(const QString& engineMessage);
