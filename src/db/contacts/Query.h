#pragma once

#include "db/search/ContactSearch.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>
#include <string>
#include <vector>

namespace db {

class Connection;

// One statement text on a connection. Opening runs a SELECT and places the query on its
// first row; the row count is known at once and any row can be made current. Rows are
// read only when asked for: the statement is stepped as far as the furthest row read
// (counted by a separate count statement), or, when the query holds a search that the search
// index of the connection can answer, the contacts are read by id in the order it gives.
// Values are kept as the engine's UTF-8 text and turned into QString only when read.
class Query : public QObject
{
    Q_OBJECT
public:
    explicit Query(Connection* connection, QObject* parent = nullptr);
    ~Query() override;

    Connection* connection() const { return m_connection; }
    void setConnection(Connection* connection);

    void close();
    void clearSql()
    {
        m_sql.clear();
        m_search.reset();
    }
    void setSql(const QString& text)
    {
        m_sql = text;
        m_search.reset();
    }
    // Adds a line to the statement text, as a list of lines would.
    void addSql(const QString& line);
    QString sql() const { return m_sql; }
    // A search of the contacts; its statement becomes the query's text.
    void setSearch(const ContactSearch& search);

    // Runs the SELECT and places the query on its first row; throws EngineError.
    void open();
    // Runs a statement that returns no rows; throws EngineError.
    void execSql();

    bool isOpen() const { return m_open; }
    // No current row: an empty result, or moved past the last row.
    bool eof() const { return !m_open || m_rows == 0 || m_pastEnd; }
    // Every row, counted first if they are still being counted.
    int recordCount() const;
    // The rows known so far: the first ones of a search still being counted, every one otherwise.
    int knownCount() const { return m_open ? m_rows : 0; }
    // A search shows its first rows at once where the search index is not ready for it yet, and
    // is counted whole, in the background, once the index can answer it (counted()).
    bool counting() const { return m_counting; }
    // The current row's number from 1 (0 when there is none).
    int recNo() const { return m_open && m_rows > 0 ? m_current + 1 : 0; }
    void setRecNo(int number);
    void first() { setRecNo(1); }
    void next();

    int fieldCount() const { return int(m_names.size()); }
    QString fieldName(int field) const { return m_names.value(field); }
    // Case is ignored; -1 when there is no such field.
    int fieldIndex(QStringView name) const;
    // The current row's value by field name; throws EngineError for an unknown field.
    QString fieldText(QStringView name) const;
    int fieldInt(QStringView name) const;
    bool fieldIsNull(QStringView name) const;

    // Direct access for grids: row from 0.
    QString text(int row, int field) const;
    // The value as the engine's UTF-8 text, empty for a null; valid until a further row is read.
    QByteArrayView utf8(int row, int field) const;
    bool isNull(int row, int field) const;

    // Ends every statement left pending by the queries of a connection before a write:
    // the rows read so far stay, further ones are read by running the statement again.
    static void SuspendReading(Connection* connection);

Q_SIGNALS:
    // The rows are about to change (opening, closing) and have changed.
    void aboutToReset();
    void reset();
    void afterOpen();
    // The current row changed, opening included.
    void afterScroll();
    // The rows of a search are all known now: they may be more than were known before.
    void counted();

private:
    friend class RowWalk;
    void suspendForWrite();
    int requireField(QStringView name) const;
    void prepareSingle(void** statement) const;
    void prepareText(const QByteArray& text, void** statement) const;
    // Makes rows up to `row` available; false when the row is not there.
    bool fetchTo(int row) const;
    void finishPending() const;
    void suspend(bool readShortRest);
    const char* cell(int row, int field, qint32* length) const;
    // The rows of the search being counted, from the index (waiting for it when `wait`) or
    // the engine; false while the index is not ready and the search may wait for it.
    bool count(bool wait);
    // The engine's count of the statement's rows, or -1.
    int engineCount() const;

    Connection* m_connection = nullptr;
    QString m_sql;
    std::optional<ContactSearch> m_search;
    bool m_open = false;
    bool m_pastEnd = false;
    bool m_counting = false;
    // How often a search being counted asks the index whether it is ready.
    static constexpr int kCountPollMs = 20;
    QTimer m_countTimer;
    int m_rows = 0;
    int m_current = 0;
    QStringList m_names;
    // Rows read so far, row-major cells: offset into m_arena and length (-1 for null).
    mutable std::vector<quint32> m_offsets;
    mutable std::vector<qint32> m_lengths;
    mutable std::string m_arena;
    mutable int m_fetched = 0;
    // The statement still being stepped (null once done or suspended).
    mutable void* m_pending = nullptr;
    QByteArray m_translated;
    // Rows given by the search index: contact ids in order; a few blocks of read rows are kept.
    struct Block
    {
        int from = 0;
        std::vector<quint32> offsets;
        std::vector<qint32> lengths;
        std::string arena;
    };
    bool m_byId = false;
    std::vector<quint32> m_ids;
    mutable std::vector<Block> m_blocks;
    mutable void* m_byIdStatement = nullptr;
    const Block* blockOf(int row) const;
};

} // namespace db

// The stored values of the query's current row, by the contact columns' names.
ContactValues CurrentValues(const db::Query& query);
// The stored values of a row (from 0) of the query, leaving its current row where it is.
ContactValues ValuesAt(const db::Query& query, int row);
