#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace db {
class Query;
}

// The structure version of the open directory: 1 when the version table cannot be read,
// otherwise its DB value (0 for an empty table or a null), lowered to the version whose
// tables and columns the file really has (a layout table deleted by another tool).
// Leaves `query` holding the version table's rows.
int ReadStructureVersion(db::Query* query);

// The statements that bring a file of the given version to the current structure, in order.
QStringList UpgradeStatements(int version);

// Told before the first statement (done 0), after each statement and at the end (done == total).
using UpgradeProgress = std::function<void(int done, int total)>;

// Runs every upgrade step above `version` on the work query's connection in one transaction.
// A statement whose table, column, index or row the file already has is left out. At the
// first failing statement everything is rolled back, the statement is written to the error
// log, and false is returned with the text to show in `error`.
bool UpgradeDatabase(int version, db::Query* work, const UpgradeProgress& progress, QString* error);

inline constexpr int kCurrentStructureVersion = 4;
