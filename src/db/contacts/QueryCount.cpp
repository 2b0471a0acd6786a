// Counting a search whose first rows were shown before the search index was ready for it.
#include "db/contacts/Query.h"

#include "db/engine/Connection.h"
#include "db/engine/Dialect.h"
#include "db/search/SearchIndex.h"

#include <sqlite3.h>

#include <algorithm>

namespace db {

int Query::recordCount() const
{
    if (m_counting)
        const_cast<Query*>(this)->count(true);
    return m_open ? m_rows : 0;
}

int Query::engineCount() const
{
    // A search's order does not change its count, and without it the engine counts along the
    // table instead of walking an index and fetching every row it names.
    const QString counted = m_search ? SearchRowsStatement(*m_search) : m_sql;
    QByteArray body = TranslateStatement(counted).trimmed().toUtf8();
    while (body.endsWith(';') || body.endsWith(' ') || body.endsWith('\n'))
        body.chop(1);
    sqlite3_stmt* statement = nullptr;
    const QByteArray wrapped = "select count(*) from (\n" + body + "\n)";
    int rows = -1;
    if (m_connection && m_connection->connected() &&
        sqlite3_prepare_v2(m_connection->handle(), wrapped.constData(), int(wrapped.size()), &statement,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        rows = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    return rows;
}

bool Query::count(bool wait)
{
    if (!m_counting)
        return true;
    SearchIndex* index = m_search ? SearchIndex::Of(m_connection) : nullptr;
    // Into the room the ids of an earlier opening left, as an opening does.
    std::vector<quint32> ids;
    ids.swap(m_ids);
    bool later = false;
    const bool byId = index && index->resolve(*m_search, &ids, wait ? nullptr : &later);
    if (!byId) {
        ids.clear();
        m_ids.swap(ids);
    }
    if (!byId && later)
        return false;
    m_counting = false;
    m_countTimer.stop();
    if (byId) {
        // The index gives the same rows in the same order; the ones shown are read again by id.
        suspend(false);
        m_offsets = {};
        m_lengths = {};
        m_arena = {};
        m_fetched = 0;
        m_blocks.clear();
        // Room for a search of every contact, taken and touched while the window is idle: the
        // next large search does not wait for the system to map it.
        if (ids.capacity() < index->contacts()) {
            std::vector<quint32> room(index->contacts());
            std::copy(ids.begin(), ids.end(), room.begin());
            room.resize(ids.size());
            ids.swap(room);
        }
        m_ids.swap(ids);
        m_byId = true;
        m_rows = int(m_ids.size());
    } else {
        // Not countable: the rows read stay all there is.
        const int rows = engineCount();
        if (rows >= 0)
            m_rows = qMax(rows, m_fetched);
    }
    if (m_current >= m_rows)
        m_current = qMax(0, m_rows - 1);
    Q_EMIT counted();
    return true;
}

} // namespace db
