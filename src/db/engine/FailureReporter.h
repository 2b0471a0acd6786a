#pragma once

#include <QString>

#include <functional>

// How a failure of the directory reaches the user. The database layer knows no windows:
// the application installs a reporter that shows the text; without one it goes to the
// console.
namespace db {

// `unhandled`: a failure that ended the user's action, shown as the top-level error report
// (a plain error box) rather than as a message.
using FailureReporter = std::function<void(const QString& text, bool unhandled)>;
void SetFailureReporter(FailureReporter reporter);

// Shows the text through the installed reporter. Never throws.
void ReportToUser(const QString& text);
void ReportUnhandled(const QString& text);

// Writes the statement to the error log and shows the text; a failure of the log itself is
// added to the first message that meets it, once a run.
void ReportStatementFailure(const QString& statement, const QString& text);

} // namespace db
