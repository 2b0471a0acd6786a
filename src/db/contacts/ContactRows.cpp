#include "db/contacts/ContactRows.h"

#include "db/contacts/QueryOps.h"
#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/engine/ErrorLog.h"
#include "db/engine/FailureReporter.h"

#include <sqlite3.h>

namespace db {

ContactRows::ContactRows(const Connection& connection) : m_handle(connection.handle())
{
    if (sqlite3_prepare_v2(m_handle, kSelect, -1, &m_statement, nullptr) != SQLITE_OK) {
        m_failure = EngineErrorText(m_handle);
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
}

ContactRows::~ContactRows()
{
    sqlite3_finalize(m_statement);
}

int ContactRows::count() const
{
    sqlite3_stmt* count = nullptr;
    int rows = 0;
    if (sqlite3_prepare_v2(m_handle, "select count(*) from zvonisty", -1, &count, nullptr) == SQLITE_OK &&
        sqlite3_step(count) == SQLITE_ROW)
        rows = sqlite3_column_int(count, 0);
    sqlite3_finalize(count);
    return rows;
}

int ContactRows::field(const char* name) const
{
    for (int c = 0; c < sqlite3_column_count(m_statement); ++c)
        if (sqlite3_stricmp(sqlite3_column_name(m_statement, c), name) == 0)
            return c;
    return -1;
}

ContactRows::Step ContactRows::next()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return Step::Row;
    if (rc == SQLITE_DONE)
        return Step::End;
    m_failure = EngineErrorText(m_handle);
    return Step::Failed;
}

QByteArrayView ContactRows::utf8(int field) const
{
    if (field < 0)
        return QByteArrayView("");
    const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, field));
    return value ? QByteArrayView(value, sqlite3_column_bytes(m_statement, field)) : QByteArrayView("");
}

void ContactRows::reportUnprepared() const
{
    ReportStatementFailure(QString::fromLatin1(kSelect), StatementFailureText(m_failure));
}

void ContactRows::logFailedStep() const
{
    WriteErrorLog(QString::fromLatin1(kSelect));
}

} // namespace db
