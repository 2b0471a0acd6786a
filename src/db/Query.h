#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace db {

class Connection;

// One statement text on a connection. Opening runs a SELECT and keeps a static snapshot
// of its rows: the row count is known at once and any row can be made current.
// Values are kept as the engine's UTF-8 text in one buffer and turned into QString only
// when read, so a grid of 100,000 contacts costs no object per row.
class Query : public QObject
{
    Q_OBJECT
public:
    explicit Query(Connection* connection, QObject* parent = nullptr);
    ~Query() override;

    Connection* connection() const { return m_connection; }
    void setConnection(Connection* connection);

    void close();
    void clearSql() { m_sql.clear(); }
    void setSql(const QString& text) { m_sql = text; }
    // Adds a line to the statement text, as a list of lines would.
    void addSql(const QString& line);
    QString sql() const { return m_sql; }

    // Runs the SELECT and places the query on its first row; throws EngineError.
    void open();
    // Runs a statement that returns no rows; throws EngineError.
    void execSql();

    bool isOpen() const { return m_open; }
    // No current row: an empty result, or moved past the last row.
    bool eof() const { return !m_open || m_rows == 0 || m_pastEnd; }
    int recordCount() const { return m_open ? m_rows : 0; }
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
    bool isNull(int row, int field) const;

Q_SIGNALS:
    // The rows are about to change (opening, closing) and have changed.
    void aboutToReset();
    void reset();
    void afterOpen();
    // The current row changed, opening included.
    void afterScroll();

private:
    int requireField(QStringView name) const;
    void prepareSingle(void** statement) const;

    Connection* m_connection = nullptr;
    QString m_sql;
    bool m_open = false;
    bool m_pastEnd = false;
    int m_rows = 0;
    int m_current = 0;
    QStringList m_names;
    // Row-major cells: offset into m_arena and length (-1 for null).
    std::vector<quint32> m_offsets;
    std::vector<qint32> m_lengths;
    std::string m_arena;
};

} // namespace db
