#pragma once

#include "db/contacts/RecordStatements.h"

#include <QString>

namespace db {
class Query;
struct ContactSearch;
} // namespace db

// The one way statements reach the directory. Failures are written to the error log and
// shown once; the caller learns only whether the statement succeeded.

// Puts the statement into the query and, when `open` is true, opens it.
bool OpenQuery(const QString& statement, db::Query* query, bool open = true);
// Puts a search of the contacts into the query and opens it.
bool OpenSearch(const db::ContactSearch& search, db::Query* query);
// Runs a statement that changes data or structure.
bool ExecQuery(const QString& statement, db::Query* query);


// The message shown for a failed statement.
QString StatementFailureText(const QString& engineMessage);
