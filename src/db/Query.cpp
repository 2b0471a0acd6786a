#include "db/Query.h"

#include "db/Connection.h"
#include "db/Dialect.h"
#include "db/Engine.h"

#include <sqlite3.h>

namespace db {

Query::Query(Connection* connection, QObject* parent) : QObject(parent), m_connection(connection) {}

Query::~Query() = default;

void Query::setConnection(Connection* connection)
{
    close();
    m_connection = connection;
}

void Query::addSql(const QString& line)
{
    if (!m_sql.isEmpty())
        m_sql += QLatin1Char('\n');
    m_sql += line;
}

void Query::close()
{
    if (!m_open)
        return;
    Q_EMIT aboutToReset();
    m_open = false;
    m_pastEnd = false;
    m_rows = 0;
    m_current = 0;
    m_names.clear();
    m_offsets.clear();
    m_lengths.clear();
    m_arena.clear();
    m_arena.shrink_to_fit();
    Q_EMIT reset();
}

void Query::prepareSingle(void** out) const
{
    if (!m_connection || !m_connection->connected())
        throw EngineError(QStringLiteral("Databáze není otevřena."));
    sqlite3* handle = m_connection->handle();
    const QByteArray text = TranslateStatement(m_sql).toUtf8();
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

void Query::open()
{
    close();
    void* raw = nullptr;
    prepareSingle(&raw);
    auto* statement = static_cast<sqlite3_stmt*>(raw);
    sqlite3* handle = m_connection->handle();

    const int columns = sqlite3_column_count(statement);
    QStringList names;
    names.reserve(columns);
    for (int c = 0; c < columns; ++c)
        names << QString::fromUtf8(sqlite3_column_name(statement, c));

    std::vector<quint32> offsets;
    std::vector<qint32> lengths;
    std::string arena;
    int rows = 0;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            if (sqlite3_column_type(statement, c) == SQLITE_NULL) {
                offsets.push_back(quint32(arena.size()));
                lengths.push_back(-1);
                continue;
            }
            const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
            const int bytes = sqlite3_column_bytes(statement, c);
            offsets.push_back(quint32(arena.size()));
            lengths.push_back(bytes);
            arena.append(value, size_t(bytes));
        }
        ++rows;
    }
    if (rc != SQLITE_DONE) {
        const QString message = EngineErrorText(handle);
        sqlite3_finalize(statement);
        throw EngineError(message);
    }
    sqlite3_finalize(statement);

    Q_EMIT aboutToReset();
    m_names = names;
    m_offsets.swap(offsets);
    m_lengths.swap(lengths);
    m_arena.swap(arena);
    m_rows = rows;
    m_current = 0;
    m_pastEnd = false;
    m_open = true;
    Q_EMIT reset();
    Q_EMIT afterOpen();
    Q_EMIT afterScroll();
}

void Query::execSql()
{
    close();
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
    if (!m_open || row < 0 || row >= m_rows || field < 0 || field >= m_names.size())
        return QString();
    const size_t cell = size_t(row) * size_t(m_names.size()) + size_t(field);
    const qint32 length = m_lengths[cell];
    if (length <= 0)
        return QString();
    return QString::fromUtf8(m_arena.data() + m_offsets[cell], length);
}

bool Query::isNull(int row, int field) const
{
    if (!m_open || row < 0 || row >= m_rows || field < 0 || field >= m_names.size())
        return true;
    return m_lengths[size_t(row) * size_t(m_names.size()) + size_t(field)] < 0;
}

} // namespace db
