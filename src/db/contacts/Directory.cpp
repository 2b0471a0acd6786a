#include "db/contacts/Directory.h"

#include "db/contacts/LayoutStatements.h"
#include "db/contacts/Query.h"
#include "db/contacts/QueryOps.h"
#include "db/contacts/RecordStatements.h"
#include "db/engine/Connection.h"

#include <sqlite3.h>

#include <memory>

namespace db {

namespace {

// Past this many groups, reading the group's index once is quicker than seeking along it.
constexpr int kMostGroupsSought = 256;

using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

Statement Prepare(sqlite3* handle, const char* text)
{
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(handle, text, -1, &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        s = nullptr;
    }
    return Statement(s, &sqlite3_finalize);
}

// The groups found by seeking along the group's index, a seek a group, instead of reading an
// entry of every contact. Of names the collation takes as equal (letter case), the one shown
// is the first in the index, as the grouping statement shows it. Nothing where the engine
// fails or the groups are many: the grouping statement reads them then, and tells a failure.
std::optional<QStringList> GroupsBySeeking(sqlite3* handle)
{
    if (!handle)
        return std::nullopt;
    const Statement none = Prepare(handle, "select 1 from zvonisty where skupina is null limit 1");
    const Statement first =
        Prepare(handle, "select skupina from zvonisty where skupina is not null order by skupina limit 1");
    const Statement next =
        Prepare(handle, "select skupina from zvonisty where skupina > ? order by skupina limit 1");
    if (!none || !first || !next)
        return std::nullopt;
    QStringList groups;
    int rc = sqlite3_step(none.get());
    if (rc == SQLITE_ROW)
        groups.append(QString());
    else if (rc != SQLITE_DONE)
        return std::nullopt;
    sqlite3_stmt* seek = first.get();
    for (;;) {
        rc = sqlite3_step(seek);
        if (rc == SQLITE_DONE)
            return groups;
        if (rc != SQLITE_ROW || groups.size() > kMostGroupsSought)
            return std::nullopt;
        groups.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(seek, 0)),
                                        sqlite3_column_bytes(seek, 0)));
        // The next group begins past this one's value as the engine holds it, of whatever type.
        std::unique_ptr<sqlite3_value, decltype(&sqlite3_value_free)> found(
            sqlite3_value_dup(sqlite3_column_value(seek, 0)), &sqlite3_value_free);
        if (!found)
            return std::nullopt;
        seek = next.get();
        sqlite3_reset(seek);
        if (sqlite3_bind_value(seek, 1, found.get()) != SQLITE_OK)
            return std::nullopt;
    }
}

} // namespace

Directory::Directory(Connection* connection) : m_connection(connection), m_work(new Query(connection)) {}

Directory::~Directory()
{
    delete m_work;
}

Query* Directory::newQuery(QObject* parent) const
{
    return new Query(m_connection, parent);
}

bool Directory::openSearch(const ContactSearch& search, Query* rows)
{
    return OpenSearch(search, rows);
}

bool Directory::openNumberHolders(const QString& number, Query* rows)
{
    return OpenQuery(NumberHoldersStatement(number), rows);
}

bool Directory::openNotes(const QString& id, Query* rows)
{
    return OpenQuery(NotesOfContactStatement(id), rows);
}

void Directory::prepareAllByName(Query* rows)
{
    rows->setSql(QStringLiteral("select * from zvonisty order by jmeno"));
}

std::optional<bool> Directory::numberTaken(const QString& number)
{
    if (!OpenQuery(DuplicateCheckStatement(number), m_work))
        return std::nullopt;
    const bool taken = m_work->recordCount() > 0;
    m_work->close();
    return taken;
}

std::optional<ContactValues> Directory::contact(const QString& id)
{
    if (!OpenQuery(ContactRowStatement(id), m_work) || m_work->recordCount() == 0)
        return std::nullopt;
    const ContactValues values = CurrentValues(*m_work);
    m_work->close();
    return values;
}

bool Directory::insert(const ContactValues& values)
{
    return ExecQuery(InsertContactStatement(values), m_work);
}

bool Directory::save(const QString& id, const ContactValues& values)
{
    return ExecQuery(UpdateContactStatement(values, id), m_work);
}

bool Directory::remove(const QString& id)
{
    return ExecQuery(DeleteContactStatement(id), m_work);
}

bool Directory::addNote(const QString& id, const QString& text)
{
    return ExecQuery(InsertNoteStatement(id, text), m_work);
}

bool Directory::deleteNote(const QString& id, const QString& shownDate)
{
    return ExecQuery(DeleteNoteStatement(id, shownDate), m_work);
}

bool Directory::forEachNote(
    const std::function<void(const QString& id, const QString& date, const QString& text)>& take)
{
    if (!OpenQuery(QStringLiteral("select id, dat, pozn from poznamky"), m_work))
        return false;
    for (int row = 0; row < m_work->recordCount(); ++row)
        take(m_work->text(row, 0), m_work->text(row, 1), m_work->text(row, 2));
    m_work->close();
    return true;
}

bool Directory::groups(QStringList* groups)
{
    if (const std::optional<QStringList> sought = GroupsBySeeking(m_connection->handle())) {
        *groups << *sought;
        return true;
    }
    if (!OpenQuery(QStringLiteral("select skupina from zvonisty group by skupina order by skupina"), m_work))
        return false;
    for (int row = 0; row < m_work->recordCount(); ++row)
        groups->append(m_work->text(row, 0));
    m_work->close();
    return true;
}

bool Directory::layoutRow(const char* key, QHash<QString, int>* values)
{
    if (!OpenQuery(QStringLiteral("select * from sloupce where id ='%1'").arg(QLatin1String(key)), m_work))
        return false;
    const bool found = !m_work->eof();
    if (found)
        for (const QString& field : GridColumnNames())
            if (m_work->fieldIndex(field) >= 0 && !m_work->fieldIsNull(field))
                values->insert(field, m_work->fieldInt(field));
    m_work->close();
    return found;
}

bool Directory::saveLayout(const QStringList& displayOrder, const QString& sortColumn,
                           const QString& sortDirection, const QList<int>& widths)
{
    bool ok = ExecQuery(BuildOrderUpdate(displayOrder), m_work);
    ok = ExecQuery(BuildSortClear(), m_work) && ok;
    const QString sort = BuildSortUpdate(sortColumn, sortDirection);
    if (!sort.isEmpty())
        ok = ExecQuery(sort, m_work) && ok;
    const QString sizes = BuildWidthUpdate(displayOrder, widths);
    if (!sizes.isEmpty())
        ok = ExecQuery(sizes, m_work) && ok;
    return ok;
}

std::unique_ptr<BulkWriter> Directory::writer(BulkWriter::Kind kind)
{
    return std::make_unique<BulkWriter>(m_connection, kind);
}

} // namespace db
