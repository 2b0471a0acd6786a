#include "db/contacts/RowWalk.h"

#include "db/contacts/Query.h"
#include "db/engine/Engine.h"

#include <sqlite3.h>

namespace db {

RowWalk::RowWalk(const Query& query) : m_query(query), m_held(query.m_byId ? query.m_rows : query.m_fetched)
{
}

RowWalk::~RowWalk()
{
    sqlite3_finalize(static_cast<sqlite3_stmt*>(m_statement));
}

bool RowWalk::next()
{
    if (m_row >= m_query.recordCount() || ++m_row >= m_query.recordCount())
        return false;
    if (m_row < m_held)
        return true;
    auto* statement = static_cast<sqlite3_stmt*>(m_statement);
    bool ok = true;
    if (!statement) {
        try {
            m_query.prepareText(m_query.m_translated, &m_statement);
        } catch (const EngineError&) {
            m_row = m_query.recordCount();
            return false;
        }
        statement = static_cast<sqlite3_stmt*>(m_statement);
        // The rows the query holds are passed over without their values being read.
        for (int i = 0; ok && i < m_held; ++i)
            ok = sqlite3_step(statement) == SQLITE_ROW;
    }
    ok = ok && sqlite3_step(statement) == SQLITE_ROW;
    if (!ok)
        m_row = m_query.recordCount();
    return ok;
}

QByteArrayView RowWalk::utf8(int field) const
{
    if (m_row < m_held)
        return m_query.utf8(m_row, field);
    auto* statement = static_cast<sqlite3_stmt*>(m_statement);
    if (!statement || field < 0 || field >= sqlite3_column_count(statement))
        return QByteArrayView("");
    const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(statement, field));
    return value ? QByteArrayView(value, sqlite3_column_bytes(statement, field)) : QByteArrayView("");
}

} // namespace db
