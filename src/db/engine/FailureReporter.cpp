#include "db/engine/FailureReporter.h"

#include "db/engine/ErrorLog.h"

#include <QtGlobal>

namespace db {
namespace {

FailureReporter g_reporter;
bool g_logFailureTold = false;

void Report(const QString& text, bool unhandled)
{
    try {
        if (g_reporter) {
            g_reporter(text, unhandled);
            return;
        }
    } catch (...) {
    }
    qWarning("%s", qPrintable(text));
}

} // namespace

void SetFailureReporter(FailureReporter reporter)
{
    g_reporter = std::move(reporter);
}

void ReportToUser(const QString& text)
{
    Report(text, false);
}

void ReportUnhandled(const QString& text)
{
    Report(text, true);
}

void ReportStatementFailure(const QString& statement, const QString& text)
{
    QString why;
    if (WriteErrorLog(statement, &why) || g_logFailureTold) {
        ReportToUser(text);
        return;
    }
    g_logFailureTold = true;
    ReportToUser(text + QStringLiteral("\r\r") + why);
}

} // namespace db
