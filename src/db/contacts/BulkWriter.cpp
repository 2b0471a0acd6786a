#include "db/contacts/BulkWriter.h"

#include "db/contacts/Query.h"
#include "db/contacts/QueryOps.h"
#include "db/engine/Connection.h"
#include "db/engine/Dialect.h"
#include "db/engine/Engine.h"
#include "db/engine/FailureReporter.h"
#include "db/search/SearchIndex.h"

#include <QStringList>

#include <array>

#include <sqlite3.h>

namespace db {
namespace {

constexpr qint64 kGroupMs = 200;
constexpr int kOperationCache = -32768; // KiB, as the engine counts a negative size

QString Literal(const QString& value)
{
    return QLatin1Char('\'') + EscapeQuotes(value) + QLatin1Char('\'');
}

QStringList Literals(const QStringList& values)
{
    QStringList list;
    list.reserve(values.size());
    for (const QString& v : values)
        list << Literal(v);
    return list;
}

QString InsertText(const QString& columns, const QStringList& literals)
{
    return QStringLiteral("insert into zvonisty (") + columns + QStringLiteral(") values (") +
           literals.join(QStringLiteral(", ")) + QLatin1Char(')');
}

// The columns a kind of writing fills, in the order of its statement: the table's order, with
// the date last where the text and vCard imports have always had it.
const QList<const ContactColumn*>& WrittenColumns(BulkWriter::Kind kind)
{
    using Kind = BulkWriter::Kind;
    static const auto lists = [] {
        std::array<QList<const ContactColumn*>, 5> all;
        for (Kind k : {Kind::Import, Kind::Merge, Kind::MergeWithIcqSkype, Kind::VCard, Kind::Card}) {
            const bool dateLast = k == Kind::Import || k == Kind::VCard;
            QList<const ContactColumn*>& list = all[size_t(k)];
            for (const ContactColumn& c : kContactColumns) {
                // A file of the first structure lacks the columns added since; text lines carry no group.
                if ((k == Kind::Merge && c.since > 1) ||
                    (k == Kind::Import && c.member == &ContactValues::skupina) ||
                    (dateLast && c.member == &ContactValues::datum))
                    continue;
                list << &c;
            }
            if (dateLast)
                list << &ColumnOf(&ContactValues::datum);
        }
        return all;
    }();
    return lists[size_t(kind)];
}

QString ColumnsText(BulkWriter::Kind kind)
{
    QStringList names;
    for (const ContactColumn* c : WrittenColumns(kind))
        names << ColumnName(*c);
    return names.join(QStringLiteral(", "));
}

QStringList WrittenValues(const ContactValues& v, BulkWriter::Kind kind)
{
    QStringList values;
    for (const ContactColumn* c : WrittenColumns(kind))
        values << ValueOf(v, *c);
    return values;
}

// The statement with every value a bound parameter, for preparing once.
QString PreparedInsertText(BulkWriter::Kind kind)
{
    QStringList marks;
    for (qsizetype i = 0; i < WrittenColumns(kind).size(); ++i)
        marks << QStringLiteral("?");
    return InsertText(ColumnsText(kind), marks);
}

sqlite3_stmt* Prepare(sqlite3* handle, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, utf8.constData(), int(utf8.size()), &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return statement;
}

void Bind(sqlite3_stmt* statement, int index, QByteArrayView utf8)
{
    // An empty value is an empty text, never null, as the quoted literal would be.
    sqlite3_bind_text(statement, index, utf8.data() ? utf8.data() : "", int(utf8.size()), SQLITE_TRANSIENT);
}

void Bind(sqlite3_stmt* statement, int index, const QString& value)
{
    Bind(statement, index, QByteArrayView(value.toUtf8()));
}

QString NoteInsertText(qint64 id, const QString& dat, const QString& text)
{
    if (dat.isEmpty())
        return InsertNoteStatement(QString::number(id), text);
    return QStringLiteral("insert into poznamky (id, pozn, dat) values (%1, %2, %3)")
        .arg(QString::number(id), Literal(text), Literal(dat));
}

} // namespace

QString ImportInsertStatement(const ContactValues& v)
{
    return InsertText(ColumnsText(BulkWriter::Kind::Import),
                      Literals(WrittenValues(v, BulkWriter::Kind::Import)));
}

QString MergeInsertStatement(const ContactValues& v, bool withIcqSkype)
{
    const BulkWriter::Kind kind =
        withIcqSkype ? BulkWriter::Kind::MergeWithIcqSkype : BulkWriter::Kind::Merge;
    return InsertText(ColumnsText(kind), Literals(WrittenValues(v, kind)));
}

QString VCardInsertStatement(const ContactValues& v)
{
    return InsertText(ColumnsText(BulkWriter::Kind::VCard),
                      Literals(WrittenValues(v, BulkWriter::Kind::VCard)));
}

BulkWriter::BulkWriter(Connection* connection, Query* fallback, Kind kind)
    : m_connection(connection), m_fallback(fallback), m_kind(kind)
{
    if (!connection->connected())
        return;
    m_check = Prepare(connection->handle(), QStringLiteral("select * from zvonisty where telefon=?"));
    m_insert = Prepare(connection->handle(), PreparedInsertText(kind));
    if (!m_check || !m_insert) {
        sqlite3_finalize(m_check);
        sqlite3_finalize(m_insert);
        m_check = m_insert = nullptr;
    }
    // A single contact needs no more than browsing does.
    if (kind == Kind::Card)
        return;
    // Index upkeep of many inserts needs more of the engine's page cache than browsing keeps;
    // lent for the operation and given back after it.
    sqlite3_stmt* cache = Prepare(connection->handle(), QStringLiteral("pragma cache_size"));
    if (cache && sqlite3_step(cache) == SQLITE_ROW)
        m_previousCache = sqlite3_column_int(cache, 0);
    sqlite3_finalize(cache);
    if (m_previousCache < 0 && m_previousCache > kOperationCache)
        sqlite3_exec(connection->handle(), "pragma cache_size = -32768", nullptr, nullptr, nullptr);
    else
        m_previousCache = 0;
}

BulkWriter::BulkWriter(Connection* connection, Kind kind) : BulkWriter(connection, nullptr, kind)
{
    m_ownFallback = std::make_unique<Query>(connection);
    m_fallback = m_ownFallback.get();
}

BulkWriter::~BulkWriter()
{
    if (m_held)
        releaseCommits(false);
    commit();
    setMoreToCome(false);
    sqlite3_finalize(m_check);
    sqlite3_finalize(m_insert);
    sqlite3_finalize(m_note);
    if (m_previousCache != 0 && m_connection->connected()) {
        const QByteArray pragma = "pragma cache_size = " + QByteArray::number(m_previousCache);
        sqlite3_exec(m_connection->handle(), pragma.constData(), nullptr, nullptr, nullptr);
    }
}

QString BulkWriter::insertText(const ContactValues& v) const
{
    switch (m_kind) {
    case Kind::Import:
        return ImportInsertStatement(v);
    case Kind::VCard:
        return VCardInsertStatement(v);
    case Kind::Card:
        return InsertContactStatement(v);
    default:
        return MergeInsertStatement(v, m_kind == Kind::MergeWithIcqSkype);
    }
}

void BulkWriter::setMoreToCome(bool more)
{
    if (more == m_moreToCome)
        return;
    m_moreToCome = more;
    SearchIndex::MoreToCome(m_connection, more);
}

bool BulkWriter::begin()
{
    if (m_inGroup || m_kind == Kind::Card || !m_connection->connected())
        return true;
    sqlite3* handle = m_connection->handle();
    // Inside a transaction someone else opened, the rows go with it.
    if (!sqlite3_get_autocommit(handle))
        return true;
    if (sqlite3_exec(handle, "begin", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false; // each row then stands on its own
    m_inGroup = true;
    m_addedInGroup = 0;
    m_groupTimer.start();
    return true;
}

void BulkWriter::reportFailure(const QString& statement, const QString& text)
{
    noteBlocking();
    if (m_inGroup && sqlite3_get_autocommit(m_connection->handle())) {
        // The engine gave up the whole group (a full disk, an I/O error): its rows are gone.
        m_inGroup = false;
        m_added -= m_addedInGroup;
        m_addedInGroup = 0;
        m_mark = qMin(m_mark, m_added);
        noteBlocking(true);
    }
    commit();
    ReportStatementFailure(statement, text);
}

void BulkWriter::noteBlocking(bool groupLost)
{
    if (!m_stopReason.isEmpty() || !m_connection->connected())
        return;
    sqlite3* handle = m_connection->handle();
    switch (sqlite3_errcode(handle) & 0xFF) {
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_READONLY:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_CANTOPEN:
    case SQLITE_NOMEM:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_NOLFS:
        break;
    default:
        if (!groupLost)
            return;
    }
    m_stopReason = EngineErrorText(handle);
}

BulkWriter::Check BulkWriter::check(const QString& telefon)
{
    return check(QByteArrayView(telefon.toUtf8()));
}

BulkWriter::Check BulkWriter::check(QByteArrayView telefon)
{
    if (!m_check) {
        if (!OpenQuery(DuplicateCheckStatement(QString::fromUtf8(telefon)), m_fallback))
            return Check::Failed;
        return m_fallback->eof() ? Check::Absent : Check::Present;
    }
    begin();
    Bind(m_check, 1, telefon);
    const int rc = sqlite3_step(m_check);
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) {
        sqlite3_reset(m_check);
        return rc == SQLITE_ROW ? Check::Present : Check::Absent;
    }
    const QString text = StatementFailureText(EngineErrorText(m_connection->handle()));
    noteBlocking();
    sqlite3_reset(m_check);
    reportFailure(DuplicateCheckStatement(QString::fromUtf8(telefon)), text);
    return Check::Failed;
}

bool BulkWriter::insert(const ContactValues& v)
{
    begin();
    if (!m_insert) {
        if (!ExecQuery(insertText(v), m_fallback))
            return false;
        m_lastId = m_connection->connected() ? sqlite3_last_insert_rowid(m_connection->handle()) : 0;
        counted();
        return true;
    }
    const QStringList values = WrittenValues(v, m_kind);
    for (int i = 0; i < values.size(); ++i)
        Bind(m_insert, i + 1, values.at(i));
    return stepInsert([&v] { return v; });
}

bool BulkWriter::insert(const MergedValues& values, const std::function<ContactValues()>& decoded)
{
    if (!m_insert || (m_kind != Kind::Merge && m_kind != Kind::MergeWithIcqSkype))
        return insert(decoded());
    begin();
    int parameter = 0;
    for (const ContactColumn* c : WrittenColumns(m_kind))
        Bind(m_insert, ++parameter, values[size_t(c - kContactColumns)]);
    return stepInsert(decoded);
}

bool BulkWriter::stepInsert(const std::function<ContactValues()>& values)
{
    // A single contact is written as any other statement is: a walk through the grid's rows
    // is not disturbed by it.
    if (m_kind == Kind::Card)
        Query::SuspendReading(m_connection);
    const int rc = sqlite3_step(m_insert);
    if (rc == SQLITE_DONE) {
        sqlite3_reset(m_insert);
        m_lastId = sqlite3_last_insert_rowid(m_connection->handle());
        counted();
        return true;
    }
    const QString text = StatementFailureText(EngineErrorText(m_connection->handle()));
    noteBlocking();
    sqlite3_reset(m_insert);
    reportFailure(insertText(values()), text);
    return false;
}

bool BulkWriter::insertNote(qint64 id, const QString& dat, const QString& text)
{
    begin();
    if (!m_note && m_insert)
        m_note = Prepare(
            m_connection->handle(),
            QStringLiteral("insert into poznamky (id, pozn, dat) values (?, ?, ifnull(nullif(?, ''), ") +
                LocalNowExpression() + QStringLiteral("))"));
    if (!m_note)
        return ExecQuery(NoteInsertText(id, dat, text), m_fallback);
    sqlite3_bind_int64(m_note, 1, id);
    Bind(m_note, 2, text);
    Bind(m_note, 3, dat);
    const int rc = sqlite3_step(m_note);
    if (rc == SQLITE_DONE) {
        sqlite3_reset(m_note);
        return true;
    }
    const QString failure = StatementFailureText(EngineErrorText(m_connection->handle()));
    noteBlocking();
    sqlite3_reset(m_note);
    reportFailure(NoteInsertText(id, dat, text), failure);
    return false;
}

void BulkWriter::counted()
{
    ++m_added;
    ++m_addedInGroup;
    // Told as soon as the rows are more than it takes over in place, and after every group.
    if (m_added == int(SearchIndex::kMostInPlace) + 1)
        SearchIndex::Wrote(m_connection, m_added);
}

bool BulkWriter::commitIfDue()
{
    // A merge's rows go into every index of the directory at places all over it: it commits once,
    // at its end, so that each page they touch is written once.
    const bool merge = m_kind == Kind::Merge || m_kind == Kind::MergeWithIcqSkype;
    return (!m_inGroup || merge || m_groupTimer.elapsed() < kGroupMs || commit()) && m_stopReason.isEmpty();
}

bool BulkWriter::commit()
{
    if (!m_inGroup || m_held)
        return true;
    m_inGroup = false;
    sqlite3* handle = m_connection->handle();
    if (sqlite3_exec(handle, "commit", nullptr, nullptr, nullptr) == SQLITE_OK) {
        m_addedInGroup = 0;
        SearchIndex::Wrote(m_connection, m_added);
        return true;
    }
    const QString text = StatementFailureText(EngineErrorText(handle));
    noteBlocking(true);
    if (!sqlite3_get_autocommit(handle))
        sqlite3_exec(handle, "rollback", nullptr, nullptr, nullptr);
    m_added -= m_addedInGroup;
    m_addedInGroup = 0;
    m_mark = qMin(m_mark, m_added);
    ReportStatementFailure(QStringLiteral("commit"), text);
    return false;
}

void BulkWriter::releaseCommits(bool keep)
{
    m_held = false;
    if (keep || !m_inGroup)
        return;
    m_inGroup = false;
    sqlite3_exec(m_connection->handle(), "rollback", nullptr, nullptr, nullptr);
    m_added -= m_addedInGroup;
    m_addedInGroup = 0;
    m_mark = qMin(m_mark, m_added);
}

} // namespace db
