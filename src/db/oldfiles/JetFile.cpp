#include "db/oldfiles/JetFile.h"

#include "db/engine/CzechCount.h"
#include "db/engine/Engine.h"
#include "db/oldfiles/JetNotes.h"

#include <QDateTime>
#include <QFile>
#include <QStringList>

#include <sqlite3.h>

#include <mdbtools.h>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace db {
namespace {

// The tables of a directory file; the first two are in every one.
constexpr const char* kTables[] = {"zvonisty", "poznamky", "verze", "sloupce"};
constexpr int kRequiredTables = 2;

// Big enough for the longest text column; a note that does not fit is read again with more.
constexpr size_t kFirstBindSize = 64 * 1024;
constexpr size_t kLargestBindSize = size_t(256) * 1024 * 1024;

// What Jet itself allows a table; more in a definition is damage, and libmdb would read on past
// the definition into other bytes.
constexpr unsigned kMostColumns = 255;
constexpr unsigned kMostIndexes = 32;

class Failed
{
public:
    explicit Failed(QString why) : m_why(std::move(why)) {}
    const QString& why() const { return m_why; }

private:
    QString m_why;
};

Failed Damaged(const QString& what)
{
    return Failed(QStringLiteral("Soubor je poškozen: ") + what + QLatin1Char('.'));
}

QString Quoted(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

bool IsText(int type)
{
    return type == MDB_TEXT || type == MDB_MEMO;
}

// The declared type in the converted file: text stays text, numbers keep their kind, and a
// date becomes the program's own text of day, month, year and time.
QString DeclaredType(int type)
{
    switch (type) {
    case MDB_TEXT:
    case MDB_MEMO:
        return QStringLiteral("text");
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return QStringLiteral("integer");
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
    case MDB_MONEY:
        return QStringLiteral("numeric");
    case MDB_DATETIME:
        return QStringLiteral("datetime");
    default:
        return QString();
    }
}

// Access keeps a date as days since 30 December 1899; the fraction is the time of day, counted
// forward from midnight also before that day.
QString DateText(double value)
{
    const double days = std::trunc(value);
    qint64 seconds = qint64(std::llround(std::fabs(value - days) * 86400.0));
    qint64 day = qint64(days);
    if (seconds >= 86400) {
        seconds -= 86400;
        day += value < 0 ? -1 : 1;
    }
    const QDateTime moment(QDate(1899, 12, 30).addDays(day), QTime(0, 0).addSecs(int(seconds)));
    return moment.toString(QStringLiteral("d.M.yyyy H:mm:ss"));
}

struct MdbCloser
{
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableCloser
{
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
struct StatementCloser
{
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

MdbCatalogEntry* FindTable(MdbHandle* mdb, const char* name)
{
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && g_ascii_strcasecmp(entry->object_name, name) == 0)
            return entry;
    }
    return nullptr;
}

class Writer
{
public:
    explicit Writer(const QString& path) : m_path(path)
    {
        // Created here and by nobody else: an existing file is never written into.
        const QByteArray name = QFile::encodeName(path);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            throw Failed(SystemErrorText(errno));
        ::close(fd);
        if (sqlite3_open_v2(name.constData(), &m_handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw Failed(EngineErrorText(m_handle));
        // A half-written file is removed by the program that asked for it, so no journal.
        run("pragma journal_mode = off");
        run("pragma synchronous = off");
        run("begin");
    }
    ~Writer() { sqlite3_close(m_handle); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void run(const QString& statement)
    {
        if (sqlite3_exec(m_handle, statement.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw Failed(EngineErrorText(m_handle));
    }
    std::unique_ptr<sqlite3_stmt, StatementCloser> prepare(const QString& statement)
    {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_handle, statement.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
            throw Failed(EngineErrorText(m_handle));
        return std::unique_ptr<sqlite3_stmt, StatementCloser>(stmt);
    }
    void step(sqlite3_stmt* stmt)
    {
        if (sqlite3_step(stmt) != SQLITE_DONE)
            throw Failed(EngineErrorText(m_handle));
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
    void commit()
    {
        run("commit");
        if (sqlite3_close(m_handle) != SQLITE_OK)
            throw Failed(EngineErrorText(m_handle));
        m_handle = nullptr;
    }

private:
    QString m_path;
    sqlite3* m_handle = nullptr;
};

struct Column
{
    QString name;
    int type = 0;
};

class TableCopy
{
public:
    TableCopy(MdbHandle* mdb, MdbCatalogEntry* entry, const QString& name, Writer& writer)
        : m_mdb(mdb), m_name(name), m_writer(writer)
    {
        m_table.reset(mdb_read_table(entry));
        if (!m_table)
            throw Failed(QStringLiteral("Tabulku %1 nelze přečíst.").arg(name));
        const QString wrong = QStringLiteral("definice tabulky %1 je neplatná").arg(name);
        if (m_table->num_cols == 0 || m_table->num_cols > kMostColumns || m_table->num_idxs > kMostIndexes ||
            m_table->num_real_idxs > kMostIndexes)
            throw Damaged(wrong);
        if (!mdb_read_columns(m_table.get()))
            throw Failed(QStringLiteral("Sloupce tabulky %1 nelze přečíst.").arg(name));
        if (m_table->columns->len != m_table->num_cols)
            throw Damaged(wrong);
        QStringList names;
        for (unsigned i = 0; i < m_table->num_cols; ++i) {
            const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(m_table->columns, i));
            const QString column = QString::fromUtf8(col->name);
            if (column.trimmed().isEmpty() || names.contains(column, Qt::CaseInsensitive))
                throw Damaged(wrong);
            names << column;
            m_columns.push_back({column, col->col_type});
        }
    }

    JetTableSummary copy()
    {
        create();
        for (size_t bindSize = kFirstBindSize;; bindSize *= 8) {
            if (read(bindSize))
                break;
            // A value filled the buffer and may have been cut: the table is read again whole.
            if (bindSize >= kLargestBindSize)
                throw Failed(
                    QStringLiteral("Hodnota v tabulce %1 je delší, než program dokáže přečíst.").arg(m_name));
            m_writer.run(QStringLiteral("delete from %1").arg(Quoted(m_name)));
        }
        return m_summary;
    }

private:
    void create()
    {
        QStringList declared, names, marks;
        for (const Column& c : m_columns) {
            const QString type = DeclaredType(c.type);
            if (type.isEmpty())
                throw Failed(QStringLiteral("Sloupec %1 tabulky %2 je druhu, který program nezná.")
                                 .arg(c.name, m_name));
            const bool key = m_name == QLatin1String("zvonisty") &&
                             c.name.compare(QLatin1String("id"), Qt::CaseInsensitive) == 0;
            declared << Quoted(c.name) + QLatin1Char(' ') +
                            (key ? QStringLiteral("integer primary key") : type);
            names << Quoted(c.name);
            marks << QStringLiteral("?");
        }
        m_writer.run(QStringLiteral("create table %1 (%2)").arg(Quoted(m_name), declared.join(u", ")));
        if (m_name == QLatin1String("sloupce") &&
            names.contains(QStringLiteral("\"id\""), Qt::CaseInsensitive))
            m_writer.run(QStringLiteral("create unique index p_sloupce on sloupce (id)"));
        m_insert = m_writer.prepare(QStringLiteral("insert into %1 (%2) values (%3)")
                                        .arg(Quoted(m_name), names.join(u", "), marks.join(u", ")));
    }

    // False when a value may have been cut by the size of the buffers.
    bool read(size_t bindSize)
    {
        mdb_set_bind_size(m_mdb, bindSize);
        const size_t count = m_columns.size();
        std::vector<std::vector<char>> bound(count, std::vector<char>(bindSize));
        std::vector<int> lengths(count, 0);
        for (size_t i = 0; i < count; ++i)
            mdb_bind_column(m_table.get(), int(i) + 1, bound[i].data(), &lengths[i]);
        std::vector<MdbField> fields(count);
        std::vector<bool> isNull(count);
        std::vector<int> start(count);
        std::vector<int> size(count);

        m_summary = JetTableSummary{m_name, 0, qint64(m_table->num_rows), 0};
        mdb_rewind_table(m_table.get());
        while (mdb_fetch_row(m_table.get())) {
            // The bound values cannot tell an empty text from NULL; the row's own null flags can.
            int rowStart = 0;
            size_t rowSize = 0;
            if (mdb_find_row(m_mdb, int(m_table->cur_row) - 1, &rowStart, &rowSize) != 0)
                throw Failed(QStringLiteral("Řádek tabulky %1 nelze přečíst.").arg(m_name));
            // A row stored before later columns were added holds only the first ones; the others
            // are NULL.
            const int cracked = mdb_crack_row(m_table.get(), rowStart & 0x1fff, rowSize, fields.data());
            if (cracked < 0 || size_t(cracked) > count)
                throw Failed(QStringLiteral("Řádek tabulky %1 nelze přečíst.").arg(m_name));
            std::fill(isNull.begin(), isNull.end(), true);
            for (int i = 0; i < cracked; ++i) {
                const int c = fields[size_t(i)].colnum;
                if (c < 0 || size_t(c) >= count)
                    throw Failed(QStringLiteral("Řádek tabulky %1 nelze přečíst.").arg(m_name));
                isNull[size_t(c)] = fields[size_t(i)].is_null;
                start[size_t(c)] = fields[size_t(i)].start;
                size[size_t(c)] = fields[size_t(i)].siz;
            }
            for (size_t i = 0; i < count; ++i) {
                const int place = int(i) + 1;
                const int type = m_columns[i].type;
                if (isNull[i] && type != MDB_BOOL) {
                    sqlite3_bind_null(m_insert.get(), place);
                } else if (IsText(type)) {
                    if (type == MDB_MEMO && !MemoIsWhole(m_mdb, start[i], size[i]))
                        throw Damaged(QStringLiteral("text sloupce %1 v řádku %2 tabulky %3 neodpovídá "
                                                     "délce, kterou o sobě udává")
                                          .arg(m_columns[i].name)
                                          .arg(m_summary.rows + 1)
                                          .arg(m_name));
                    if (size_t(lengths[i]) + 1 >= bindSize)
                        return false;
                    sqlite3_bind_text(m_insert.get(), place, bound[i].data(), lengths[i], SQLITE_TRANSIENT);
                    m_summary.textBytes += lengths[i];
                } else if (type == MDB_DATETIME) {
                    const QByteArray text = DateText(mdb_get_double(m_mdb->pg_buf, start[i])).toUtf8();
                    sqlite3_bind_text(m_insert.get(), place, text.constData(), int(text.size()),
                                      SQLITE_TRANSIENT);
                } else {
                    bindNumber(place, QByteArray(bound[i].data(), lengths[i]).trimmed());
                }
            }
            m_writer.step(m_insert.get());
            ++m_summary.rows;
        }
        return true;
    }

    void bindNumber(int place, const QByteArray& text)
    {
        bool ok = false;
        const qlonglong whole = text.toLongLong(&ok);
        if (ok) {
            sqlite3_bind_int64(m_insert.get(), place, whole);
            return;
        }
        const double real = text.toDouble(&ok);
        if (ok && std::isfinite(real) && real == std::trunc(real) && std::fabs(real) < 9e15)
            sqlite3_bind_int64(m_insert.get(), place, qint64(real));
        else if (ok)
            sqlite3_bind_double(m_insert.get(), place, real);
        else if (text == "TRUE" || text == "FALSE")
            sqlite3_bind_int64(m_insert.get(), place, text == "TRUE" ? 1 : 0);
        else
            sqlite3_bind_text(m_insert.get(), place, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }

    MdbHandle* m_mdb;
    QString m_name;
    Writer& m_writer;
    std::unique_ptr<MdbTableDef, TableCloser> m_table;
    std::vector<Column> m_columns;
    std::unique_ptr<sqlite3_stmt, StatementCloser> m_insert;
    JetTableSummary m_summary;
};

} // namespace

bool IsJetFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(20);
    return header.size() == 20 && header.mid(4, 16) == QByteArray("Standard Jet DB\0", 16);
}

QString JetRowCountFault(const JetTableSummary& table)
{
    if (table.rows == table.declaredRows)
        return QString();
    const QString rows =
        CzechCount(table.rows, QStringLiteral("řádek"), QStringLiteral("řádky"), QStringLiteral("řádků"));
    const QString verb = table.rows == 1                      ? QStringLiteral("byl přečten")
                         : table.rows >= 2 && table.rows <= 4 ? QStringLiteral("byly přečteny")
                                                              : QStringLiteral("bylo přečteno");
    return QStringLiteral("Soubor je poškozen: z tabulky %1 %2 %3, tabulka má mít %4.")
        .arg(table.table, verb, rows,
             CzechCount(table.declaredRows, QStringLiteral("řádek"), QStringLiteral("řádky"),
                        QStringLiteral("řádků")));
}

qint64 JetRowsOf(const QList<JetTableSummary>& tables, const QString& table)
{
    for (const JetTableSummary& t : tables)
        if (t.table == table)
            return t.rows;
    return 0;
}

QString FormatJetSummary(const QList<JetTableSummary>& tables)
{
    QStringList parts;
    for (const JetTableSummary& t : tables)
        parts << QStringLiteral("%1:%2:%3:%4").arg(t.table).arg(t.rows).arg(t.declaredRows).arg(t.textBytes);
    return parts.join(QLatin1Char(' '));
}

bool ParseJetSummary(const QString& line, QList<JetTableSummary>* tables)
{
    tables->clear();
    for (const QString& part : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList fields = part.split(QLatin1Char(':'));
        if (fields.size() != 4)
            return false;
        bool ok[3] = {};
        tables->append({fields[0], fields[1].toLongLong(&ok[0]), fields[2].toLongLong(&ok[1]),
                        fields[3].toLongLong(&ok[2])});
        if (!ok[0] || !ok[1] || !ok[2])
            return false;
    }
    return !tables->isEmpty();
}

bool CopyJetTables(const QString& jetPath, const QString& outPath, QList<JetTableSummary>* summary,
                   QString* error)
{
    summary->clear();
    try {
        if (!IsJetFile(jetPath))
            throw Failed(QStringLiteral("Soubor není databází starší verze programu."));
        const QByteArray name = QFile::encodeName(jetPath);
        std::unique_ptr<MdbHandle, MdbCloser> mdb(mdb_open(name.constData(), MDB_NOFLAGS));
        if (!mdb)
            throw Failed(QStringLiteral("Soubor nelze otevřít jako databázi starší verze programu."));
        if (!mdb_read_catalog(mdb.get(), MDB_TABLE))
            throw Failed(QStringLiteral("Seznam tabulek souboru nelze přečíst."));
        Writer writer(outPath);
        for (int i = 0; i < int(std::size(kTables)); ++i) {
            MdbCatalogEntry* entry = FindTable(mdb.get(), kTables[i]);
            if (!entry) {
                if (i < kRequiredTables)
                    throw Failed(
                        QStringLiteral("V souboru chybí tabulka %1.").arg(QLatin1String(kTables[i])));
                continue;
            }
            TableCopy table(mdb.get(), entry, QLatin1String(kTables[i]), writer);
            const JetTableSummary read = table.copy();
            if (const QString fault = JetRowCountFault(read); !fault.isEmpty())
                throw Failed(fault);
            summary->append(read);
        }
        writer.commit();
        return true;
    } catch (const Failed& failure) {
        if (error)
            *error = failure.why();
    } catch (const Failure& failure) {
        if (error)
            *error = failure.message();
    }
    return false;
}

} // namespace db
