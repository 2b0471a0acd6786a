#include "db/QueryOps.h"

#include "app/AppContext.h"
#include "app/MessageDialog.h"
#include "db/DBGrid.h"
#include "db/Engine.h"
#include "db/ErrorLog.h"
#include "db/Query.h"

namespace {

void ReportFailure(const QString& statement, const db::EngineError& error)
{
    WriteErrorLog(statement);
    ShowMessageDialogOver(app::MainWindow(), StatementFailureText(error.message()), 0, 0);
}

} // namespace

QString StatementFailureText(const QString& engineMessage)
{
    return QStringLiteral("Došlo k chybě! (kontaktuje prosím správce)\r{") + engineMessage + QStringLiteral("}");
}

void OpenQuery(const QString& statement, db::Query* query, bool open)
{
    query->close();
    query->clearSql();
    query->setSql(statement);
    if (!open)
        return;
    try {
        query->open();
    } catch (const db::EngineError& error) {
        ReportFailure(statement, error);
    }
}

void ExecQuery(const QString& statement, db::Query* query)
{
    query->close();
    query->clearSql();
    query->setSql(statement);
    try {
        query->execSql();
    } catch (const db::EngineError& error) {
        ReportFailure(statement, error);
    }
}

void RefreshGrid(db::DBGrid* grid)
{
    db::Query* query = grid->dataSource();
    if (!query)
        return;
    int remembered = 0;
    if (query->isOpen() && query->recordCount() >= 2)
        remembered = query->recNo();
    query->close();
    query->open();
    if (query->isOpen() && remembered > 0 && query->recordCount() > 1 && remembered <= query->recordCount())
        query->setRecNo(remembered);
    grid->reattach();
}
