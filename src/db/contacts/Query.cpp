#include "db/contacts/Query.h"

#include "db/engine/Connection.h"
#include "db/engine/Dialect.h"
#include "db/engine/Engine.h"
#include "db/search/SearchIndex.h"

#include <QElapsedTimer>

#include <sqlite3.h>

#include <algorithm>

namespace db {

Query::Query(Connection* connection, QObject* parent) : QObject(parent), m_connection(connection)
{
    m_countTimer.setInterval(kCountPollMs);
    connect(&m_countTimer, &QTimer::timeout, this, [this] { count(false); });
    if (m_connection)
        connect(m_connection, &Connection::readingSuspended, this, &Query::suspendForWrite);
}

void Query::setConnection(Connection* connection)
{
    close();
    if (m_connection)
        disconnect(m_connection, &Connection::readingSuspended, this, &Query::suspendForWrite);
    m_connection = connection;
    if (m_connection)
        connect(m_connection, &Connection::readingSuspended, this, &Query::suspendForWrite);
}

void Query::addSql(const QString& line)
{
    if (!m_sql.isEmpty())
        m_sql += QLatin1Char('\n');
    m_sql += line;
    m_search.reset();
}

void Query::setSearch(const ContactSearch& search)
{
    m_sql = BuildSearchStatement(search);
    m_search = search;
}

namespace {

// Queries of each connection that keep a statement pending between reads.
constexpr int kBlockRows = 64;
constexpr size_t kBlocksKept = 16;
constexpr int kKeptOnWrite = 20000;

void AppendRow(sqlite3_stmt* statement, int columns, std::vector<quint32>& offsets,
               std::vector<qint32>& lengths, std::string& arena)
{
    for (int c = 0; c < columns; ++c) {
        offsets.push_back(quint32(arena.size()));
        if (sqlite3_column_type(statement, c) == SQLITE_NULL) {
            lengths.push_back(-1);
            continue;
        }
        const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
        const int bytes = sqlite3_column_bytes(statement, c);
        lengths.push_back(bytes);
        arena.append(value, size_t(bytes));
    }
}

// How long a search the index will answer soon may look for its first rows in the engine.
constexpr qint64 kFirstRowsMs = 25;

// Ends the statement being stepped on a connection once the first rows took too long.
class FirstRowsDeadline
{
public:
    ~FirstRowsDeadline() { disarm(); }
    void arm(sqlite3* handle)
    {
        m_handle = handle;
        m_clock.start();
        sqlite3_progress_handler(handle, 2000, &FirstRowsDeadline::Past, this);
    }
    void disarm()
    {
        if (m_handle)
            sqlite3_progress_handler(m_handle, 0, nullptr, nullptr);
        m_handle = nullptr;
    }

private:
    static int Past(void* self)
    {
        return static_cast<FirstRowsDeadline*>(self)->m_clock.elapsed() > kFirstRowsMs;
    }
    sqlite3* m_handle = nullptr;
    QElapsedTimer m_clock;
};

} // namespace

Query::~Query()
{
    suspend(false);
}

void Query::SuspendReading(Connection* connection)
{
    connection->suspendReading();
}

void Query::suspendForWrite()
{
    suspend(true);
}

void Query::suspend(bool readShortRest)
{
    if (readShortRest && m_pending && m_rows - m_fetched <= kKeptOnWrite) {
        // A short rest is read now, so that a walk through the rows is not disturbed by writes.
        auto* statement = static_cast<sqlite3_stmt*>(m_pending);
        const int columns = int(m_names.size());
        while (m_fetched < m_rows && sqlite3_step(statement) == SQLITE_ROW) {
            AppendRow(statement, columns, m_offsets, m_lengths, m_arena);
            ++m_fetched;
        }
    }
    if (m_pending) {
        sqlite3_finalize(static_cast<sqlite3_stmt*>(m_pending));
        m_pending = nullptr;
    }
    if (m_byIdStatement) {
        sqlite3_finalize(static_cast<sqlite3_stmt*>(m_byIdStatement));
        m_byIdStatement = nullptr;
    }
}

void Query::finishPending() const
{
    const_cast<Query*>(this)->suspend(false);
}

void Query::close()
{
    suspend(false);
    if (!m_open)
        return;
    Q_EMIT aboutToReset();
    m_open = false;
    m_pastEnd = false;
    m_counting = false;
    m_countTimer.stop();
    m_rows = 0;
    m_current = 0;
    m_names.clear();
    m_offsets = {};
    m_lengths = {};
    m_arena = {};
    m_fetched = 0;
    m_byId = false;
    // Its room stays for the next opening: a list of a million ids taken anew each time would
    // have its pages mapped anew by the system each time.
    m_ids.clear();
    m_blocks.clear();
    m_translated.clear();
    Q_EMIT reset();
}

void Query::prepareText(const QByteArray& text, void** out) const
{
    sqlite3* handle = m_connection->handle();
    const char* tail = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &statement, &tail) != SQLITE_OK)
        throw EngineError(EngineErrorText(handle));
    if (!statement)
        throw EngineError(QStringLiteral("Prázdný příkaz."));
    // One statement per call: whatever follows a ";" must be blank or a comment.
    const char* end = text.constData() + text.size();
    while (tail && tail < end) {
        sqlite3_stmt* second = nullptr;
        const char* nextTail = nullptr;
        const int rc = sqlite3_prepare_v2(handle, tail, int(end - tail), &second, &nextTail);
        const bool more = rc != SQLITE_OK || second != nullptr;
        sqlite3_finalize(second);
        if (more) {
            sqlite3_finalize(statement);
            throw EngineError(QStringLiteral("Text obsahuje více než jeden příkaz; neprovedl se žádný."));
        }
        if (nextTail == tail)
            break;
        tail = nextTail;
    }
    *out = statement;
}

void Query::prepareSingle(void** out) const
{
    if (!m_connection || !m_connection->connected())
        throw EngineError(QStringLiteral("Databáze není otevřena."));
    prepareText(TranslateStatement(m_sql).toUtf8(), out);
}

void Query::open()
{
    close();
    if (m_search && m_connection && m_connection->connected() &&
        m_search->ignoreAccents != m_connection->plainLike() && !SearchLikes(*m_search).isEmpty()) {
        // The engine changes LIKE only while none of its statements is being stepped.
        SuspendReading(m_connection);
        m_connection->setPlainLike(m_search->ignoreAccents);
    }
    void* raw = nullptr;
    prepareSingle(&raw);
    auto* statement = static_cast<sqlite3_stmt*>(raw);
    sqlite3* handle = m_connection->handle();

    const int columns = sqlite3_column_count(statement);
    QStringList names;
    names.reserve(columns);
    for (int c = 0; c < columns; ++c)
        names << QString::fromUtf8(sqlite3_column_name(statement, c));

    std::vector<quint32> ids;
    ids.swap(m_ids);
    bool byId = false;
    int rows = -1;
    // The index is not ready for this search yet: its first rows come from the engine at once.
    bool later = false;
    SearchIndex* index = m_search ? SearchIndex::Of(m_connection) : nullptr;
    if (index) {
        if (index->resolve(*m_search, &ids, &later)) {
            byId = true;
            rows = int(ids.size());
        } else {
            int known = 0;
            if (index->quickCount(*m_search, &known))
                rows = known;
        }
    }

    std::vector<quint32> offsets;
    std::vector<qint32> lengths;
    std::string arena;
    int fetched = 0;
    bool pending = false;
    bool counting = false;
    if (!byId) {
        // The first rows at once, so that a failing statement fails here. A search the index will
        // answer soon is not left to walk the whole directory for them: the rows found in a short
        // while are shown, and the rest once it is counted.
        int rc = SQLITE_DONE;
        FirstRowsDeadline deadline;
        if (later)
            deadline.arm(handle);
        while (fetched < kBlockRows && (rc = sqlite3_step(statement)) == SQLITE_ROW) {
            AppendRow(statement, columns, offsets, lengths, arena);
            ++fetched;
        }
        deadline.disarm();
        const bool cut = later && rc == SQLITE_INTERRUPT;
        if (rc != SQLITE_ROW && rc != SQLITE_DONE && !cut) {
            const QString message = EngineErrorText(handle);
            sqlite3_finalize(statement);
            throw EngineError(message);
        }
        pending = rc == SQLITE_ROW;
        if (!pending && !cut)
            rows = fetched;
        if (rows < 0 && later) {
            counting = true;
            rows = fetched;
        }
        if (rows < 0)
            rows = engineCount();
        if (rows < fetched) {
            // Not countable apart: read it all, as a snapshot.
            while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
                AppendRow(statement, columns, offsets, lengths, arena);
                ++fetched;
            }
            if (rc != SQLITE_DONE) {
                const QString message = EngineErrorText(handle);
                sqlite3_finalize(statement);
                throw EngineError(message);
            }
            rows = fetched;
            pending = false;
        }
    }
    if (pending && fetched >= rows)
        pending = false;
    if (!pending) {
        sqlite3_finalize(statement);
        statement = nullptr;
    }

    Q_EMIT aboutToReset();
    m_names = names;
    m_offsets.swap(offsets);
    m_lengths.swap(lengths);
    m_arena.swap(arena);
    m_fetched = fetched;
    m_pending = statement;
    m_translated = TranslateStatement(m_sql).toUtf8();
    m_byId = byId;
    m_ids.swap(ids);
    m_rows = rows;
    m_current = 0;
    m_pastEnd = false;
    m_open = true;
    m_counting = counting;
    if (counting)
        m_countTimer.start();
    Q_EMIT reset();
    Q_EMIT afterOpen();
    Q_EMIT afterScroll();
}

bool Query::fetchTo(int row) const
{
    if (row < m_fetched)
        return true;
    if (row >= m_rows)
        return false;
    auto* statement = static_cast<sqlite3_stmt*>(m_pending);
    const int columns = int(m_names.size());
    if (!statement) {
        if (!m_connection || !m_connection->connected())
            return false;
        // Suspended: run the statement again and pass the rows already read.
        void* raw = nullptr;
        try {
            prepareText(m_translated, &raw);
        } catch (const EngineError&) {
            return false;
        }
        statement = static_cast<sqlite3_stmt*>(raw);
        for (int i = 0; i < m_fetched; ++i)
            if (sqlite3_step(statement) != SQLITE_ROW) {
                sqlite3_finalize(statement);
                return false;
            }
        m_pending = statement;
    }
    // Read ahead a little, so that scrolling does not step row by row.
    const int target = qMin(m_rows - 1, row + kBlockRows);
    while (m_fetched <= target) {
        if (sqlite3_step(statement) != SQLITE_ROW) {
            finishPending();
            break;
        }
        AppendRow(statement, columns, m_offsets, m_lengths, m_arena);
        ++m_fetched;
    }
    if (m_fetched >= m_rows)
        finishPending();
    return row < m_fetched;
}

const Query::Block* Query::blockOf(int row) const
{
    const int from = row - row % kBlockRows;
    for (size_t i = 0; i < m_blocks.size(); ++i)
        if (m_blocks[i].from == from) {
            if (i + 1 != m_blocks.size())
                std::rotate(m_blocks.begin() + qsizetype(i), m_blocks.begin() + qsizetype(i) + 1,
                            m_blocks.end());
            return &m_blocks.back();
        }
    sqlite3* handle = m_connection && m_connection->connected() ? m_connection->handle() : nullptr;
    if (!handle)
        return nullptr;
    if (!m_byIdStatement) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(handle, "select * from zvonisty where id = ?", -1, &s, nullptr) != SQLITE_OK) {
            sqlite3_finalize(s);
            return nullptr;
        }
        m_byIdStatement = s;
    }
    auto* statement = static_cast<sqlite3_stmt*>(m_byIdStatement);
    if (m_blocks.size() >= kBlocksKept)
        m_blocks.erase(m_blocks.begin());
    Block block;
    block.from = from;
    const int columns = int(m_names.size());
    const int to = qMin(m_rows, from + kBlockRows);
    for (int r = from; r < to; ++r) {
        sqlite3_bind_int64(statement, 1, m_ids[size_t(r)]);
        if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_count(statement) == columns) {
            AppendRow(statement, columns, block.offsets, block.lengths, block.arena);
        } else {
            // Removed since the search: an empty row until the grid is read again.
            for (int c = 0; c < columns; ++c) {
                block.offsets.push_back(quint32(block.arena.size()));
                block.lengths.push_back(-1);
            }
        }
        sqlite3_reset(statement);
    }
    m_blocks.push_back(std::move(block));
    return &m_blocks.back();
}

const char* Query::cell(int row, int field, qint32* length) const
{
    *length = -1;
    if (!m_open || row < 0 || row >= m_rows || field < 0 || field >= m_names.size())
        return nullptr;
    const size_t columns = size_t(m_names.size());
    if (m_byId) {
        const Block* block = blockOf(row);
        if (!block)
            return nullptr;
        const size_t index = size_t(row - block->from) * columns + size_t(field);
        *length = block->lengths[index];
        return block->arena.data() + block->offsets[index];
    }
    if (!fetchTo(row))
        return nullptr;
    const size_t index = size_t(row) * columns + size_t(field);
    *length = m_lengths[index];
    return m_arena.data() + m_offsets[index];
}

void Query::execSql()
{
    close();
    if (m_connection)
        SuspendReading(m_connection);
    void* raw = nullptr;
    prepareSingle(&raw);
    auto* statement = static_cast<sqlite3_stmt*>(raw);
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        const QString message = EngineErrorText(m_connection->handle());
        sqlite3_finalize(statement);
        throw EngineError(message);
    }
    sqlite3_finalize(statement);
}

void Query::setRecNo(int number)
{
    if (!m_open || m_rows == 0)
        return;
    if (number > m_rows)
        count(true);
    const int row = qBound(1, number, m_rows) - 1;
    if (row == m_current && !m_pastEnd)
        return;
    m_current = row;
    m_pastEnd = false;
    Q_EMIT afterScroll();
}

void Query::next()
{
    if (!m_open || m_rows == 0 || m_pastEnd)
        return;
    if (m_current + 1 >= m_rows)
        count(true);
    if (m_current + 1 < m_rows) {
        ++m_current;
        Q_EMIT afterScroll();
    } else {
        m_pastEnd = true;
    }
}

int Query::fieldIndex(QStringView name) const
{
    for (int i = 0; i < m_names.size(); ++i)
        if (QStringView(m_names.at(i)).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int Query::requireField(QStringView name) const
{
    const int field = fieldIndex(name);
    if (field < 0)
        throw EngineError(QStringLiteral("Pole %1 nebylo nalezeno.").arg(name));
    return field;
}

QString Query::fieldText(QStringView name) const
{
    const int field = requireField(name);
    if (eof() && !(m_open && m_rows > 0))
        return QString();
    return text(m_current, field);
}

int Query::fieldInt(QStringView name) const
{
    const QString value = fieldText(name).trimmed();
    bool ok = false;
    const int number = value.toInt(&ok);
    if (ok)
        return number;
    const double real = value.toDouble(&ok);
    return ok ? int(qRound64(real)) : 0;
}

bool Query::fieldIsNull(QStringView name) const
{
    const int field = requireField(name);
    return !m_open || m_rows == 0 || isNull(m_current, field);
}

QString Query::text(int row, int field) const
{
    qint32 length = -1;
    const char* value = cell(row, field, &length);
    if (!value || length <= 0)
        return QString();
    return QString::fromUtf8(value, length);
}

QByteArrayView Query::utf8(int row, int field) const
{
    qint32 length = -1;
    const char* value = cell(row, field, &length);
    if (!value || length <= 0)
        return QByteArrayView("");
    return QByteArrayView(value, length);
}

bool Query::isNull(int row, int field) const
{
    qint32 length = -1;
    cell(row, field, &length);
    return length < 0;
}

} // namespace db
