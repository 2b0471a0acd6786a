#include "db/contacts/Directory.h"

#include "db/contacts/LayoutStatements.h"
#include "db/contacts/Query.h"
#include "db/contacts/QueryOps.h"
#include "db/contacts/RecordStatements.h"

namespace db {

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
